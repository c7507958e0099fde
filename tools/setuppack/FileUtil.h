#pragma once
// Whole files with plain C++ streams (the packer works with host paths, not
// with the setup's Windows paths).
#include <string>

namespace setuppack {

enum class ReadResult { kOk, kMissing, kNotAFile, kUnreadable };
ReadResult ReadFileBytes(const std::string& path, std::string& bytes);
std::string DescribeReadFailure(ReadResult result, const std::string& path);
// Writes the file, replacing it; a failed write leaves no file behind.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace setuppack
