#pragma once
// The remaining file data of a run: the decompressed "Section:Setup.bin",
// consumed from the front by moving an offset (never by erasing), so that
// extracting n files costs linear time.
#include <cstddef>
#include <string_view>
#include "base/Text.h"

class PackedData {
public:
  PackedData() = default;
  explicit PackedData(ByteString bytes) : bytes_(std::move(bytes)) {}
  std::size_t Remaining() const { return bytes_.size() - offset_; }
  // Removes up to n bytes from the front and answers them (fewer when fewer are left).
  std::string_view Take(std::size_t n) {
    std::size_t count = n < Remaining() ? n : Remaining();
    std::string_view piece(bytes_.data() + offset_, count);
    offset_ += count;
    return piece;
  }
  std::string_view Rest() const { return std::string_view(bytes_).substr(offset_); }
private:
  ByteString bytes_;
  std::size_t offset_ = 0;
};
