// Whole-file helpers over the platform's file services.
#include "package/WholeFiles.h"

#include <limits>
#include <new>
#include <stdexcept>

namespace {
constexpr int64_t kLargestWholeFile = std::numeric_limits<int32_t>::max();
}

bool FindFileProbe(const ByteString& path, platform::FindData& data) {
  data = platform::FindData();
  return platform::FindFirst(path, data);
}

int64_t FileSizeOf(const ByteString& path) {
  if (path.empty()) return -1;
  platform::FindData data;
  if (!FindFileProbe(path, data)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.sizeHigh) << 32) | data.sizeLow);
}

bool ReadWholeFile(const ByteString& path, ByteString& contents) {
  contents.clear();
  const int64_t size = FileSizeOf(path);
  if (size < 1 || size > kLargestWholeFile) return false;

  try {
    contents.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    ByteString().swap(contents);
    return false;
  } catch (const std::length_error&) {
    ByteString().swap(contents);
    return false;
  }
  if (!platform::ReadFileExactly(path, &contents[0], contents.size())) {
    ByteString().swap(contents);
    return false;
  }
  return true;
}

ByteString StripTrailingSeparator(const ByteString& text) {
  if (!text.empty() && (text.back() == '\\' || text.back() == '/'))
    return text.substr(0, text.size() - 1);
  return text;
}
