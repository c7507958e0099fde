#include "FileUtil.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace setuppack {

namespace fs = std::filesystem;

ReadResult ReadFileBytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) return ReadResult::kMissing;
  if (!fs::is_regular_file(status)) return ReadResult::kNotAFile;
  std::ifstream in(path, std::ios::binary);
  if (!in) return ReadResult::kUnreadable;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return ReadResult::kUnreadable;
  in.seekg(0, std::ios::beg);
  bytes.resize(static_cast<std::size_t>(size));
  if (size > 0 && !in.read(&bytes[0], size)) {
    bytes.clear();
    return ReadResult::kUnreadable;
  }
  return ReadResult::kOk;
}

std::string DescribeReadFailure(ReadResult result, const std::string& path) {
  switch (result) {
    case ReadResult::kMissing: return "file not found: " + path;
    case ReadResult::kNotAFile: return "not a file: " + path;
    case ReadResult::kUnreadable: return "cannot read " + path;
    case ReadResult::kOk: break;
  }
  return std::string();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (out.fail()) {
    std::remove(path.c_str());  // a cut-off package must not look like a good one
    return false;
  }
  return true;
}

}  // namespace setuppack
