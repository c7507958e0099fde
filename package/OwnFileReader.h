#pragma once
// A file read in pieces: searching for a byte pattern and copying ranges
// without ever holding the whole file. One reader serves one thread.
#include <cstdint>
#include <string_view>
#include <vector>
#include "base/Text.h"
#include "platform/Files.h"

class OwnFileReader {
public:
  static constexpr uint64_t kNotFound = ~uint64_t{0};

  OwnFileReader() = default;
  explicit OwnFileReader(const ByteString& path) { Open(path); }
  ~OwnFileReader() { Close(); }
  OwnFileReader(const OwnFileReader&) = delete;
  OwnFileReader& operator=(const OwnFileReader&) = delete;

  bool Open(const ByteString& path);
  // The same open file through a handle of its own (for another thread),
  // with the other reader's end.
  bool OpenDuplicate(const OwnFileReader& other);
  // Reads and searches end at `end` from now on, as if the file ended there.
  void EndAt(uint64_t end) {
    if (end < size_) size_ = end;
  }
  void Close();
  uint64_t Size() const { return size_; }
  // For asking the system about the open file itself (0 when none is open).
  platform::ReadHandle Handle() const { return file_; }
  // The offset of the first occurrence of `pattern` at or behind `from`,
  // kNotFound when there is none. Reads only as far as the first match.
  uint64_t Find(std::string_view pattern, uint64_t from);
  // The first occurrence of any of `patterns` (none empty) in one pass;
  // `which` receives its index.
  uint64_t FindFirstOf(const std::vector<std::string_view>& patterns, uint64_t from, std::size_t& which);
  // Up to `size` bytes at `offset` (fewer at the end of the file).
  std::size_t Read(uint64_t offset, char* buffer, std::size_t size);
  bool ReadRange(uint64_t offset, uint64_t size, ByteString& out);

private:
  platform::ReadHandle file_ = 0;
  uint64_t size_ = 0;
};
