#pragma once
// Writing the installation's files and the small file-name checks the
// actions and the uninstall share.
#include <cstdint>
#include <string_view>
#include "base/Text.h"

// Makes sure of the folder, replaces the file, records it in WrittenFiles;
// "Write Error: " + path on failure.
bool WriteWholeFile(const ByteString& path, std::string_view data);
// The size of WrittenFiles' entry `index`: as written, or else as the disk
// says now (-1 when it is gone).
int64_t WrittenFileSize(int32_t index);
// A write of the run failed because its volume was full ("disk full: X:\"
// follows the write error).
extern bool WriteFailedForDiskFull;
// The volume a path lies on: "X:\" or "\\server\share\".
ByteString VolumeOf(const ByteString& path);

// The text from the last "." behind the last "\" or ":", in small letters
// (A-Z only); empty when the file name has no dot.
ByteString LowerFileExtension(const ByteString& path);
// An existing file, not a folder.
bool IsExistingFile(const ByteString& path);
