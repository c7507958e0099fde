#pragma once
// The remaining file data of a run: the decompressed "Section:Setup.bin",
// consumed from the front. Either bytes held in memory (consumed by moving an
// offset, never by erasing) or a source that inflates the section from the
// own file as it is taken, so that the whole data is never held at once.
#include <cstddef>
#include <memory>
#include <string_view>
#include "base/Text.h"

// Decompressed file data arriving in pieces.
class PackedSource {
public:
  virtual ~PackedSource() = default;
  // Up to `room` bytes into `out`; 0 only at the end of the data. Corrupt
  // data raises (EZDecompressionError).
  virtual std::size_t Read(char* out, std::size_t room) = 0;
};

// One file's data as a "save" line takes it: OrigLen bytes stored raw, or a
// stream of ComprLen bytes and what it inflates to.
struct PackedFile {
  bool complete = false;       // the data held all the bytes the line states
  std::string_view contents;   // raw: the bytes; a stream: the inflated bytes
};

// Files' data prepared ahead (on another thread), handed out in script order.
class PackedFileFeed {
public:
  virtual ~PackedFileFeed() = default;
  // The next file's data; a stream that does not inflate raises here.
  virtual PackedFile Next(std::size_t origLen, std::size_t comprLen) = 0;
};

class PackedData {
public:
  PackedData() = default;
  explicit PackedData(ByteString bytes) : bytes_(std::move(bytes)) {}
  explicit PackedData(std::unique_ptr<PackedSource> source) : source_(std::move(source)) {}
  explicit PackedData(std::unique_ptr<PackedFileFeed> feed) : feed_(std::move(feed)) {}
  // In memory only: what is left.
  std::size_t Remaining() const { return bytes_.size() - offset_; }
  std::string_view Rest() const { return std::string_view(bytes_).substr(offset_); }
  // Removes up to n bytes from the front and answers them (fewer when fewer
  // are left). From a source, the view lasts until the next Take.
  std::string_view Take(std::size_t n) {
    if (source_) return TakeFromSource(n);
    std::size_t count = n < Remaining() ? n : Remaining();
    std::string_view piece(bytes_.data() + offset_, count);
    offset_ += count;
    return piece;
  }
  // A file's data from the front: OrigLen raw bytes (comprLen 0) or a stream
  // of comprLen bytes, inflated (corrupt data raises). The contents last
  // until the next take.
  PackedFile TakeFile(std::size_t origLen, std::size_t comprLen);
private:
  std::string_view TakeFromSource(std::size_t n);
  ByteString bytes_;
  std::size_t offset_ = 0;
  std::unique_ptr<PackedSource> source_;
  std::unique_ptr<PackedFileFeed> feed_;
  ByteString inflated_;  // reused for every file: one allocation, not one per file
};
