#pragma once
// Whole-file helpers.
#include <cstdint>
#include "base/Text.h"
#include "platform/Files.h"

bool ReadWholeFile(const ByteString& path, ByteString& contents);
int64_t FileSizeOf(const ByteString& path);  // -1 when there is no such file
bool FindFileProbe(const ByteString& path, platform::FindData& data);
ByteString StripTrailingSeparator(const ByteString& text);
