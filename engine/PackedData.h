#pragma once
// The remaining file data of a run: the decompressed "Section:Setup.bin",
// consumed from the front by moving an offset (never by erasing), so that
// extracting n files costs linear time. The bytes may be shared: the setup
// decompresses them once and both of its runs read them.
#include <cstddef>
#include <memory>
#include <string_view>
#include "base/Text.h"

class PackedData {
public:
  PackedData() = default;
  explicit PackedData(ByteString bytes) : bytes_(std::make_shared<const ByteString>(std::move(bytes))) {}
  explicit PackedData(std::shared_ptr<const ByteString> bytes) : bytes_(std::move(bytes)) {}
  std::size_t Remaining() const { return All().size() - offset_; }
  // Removes up to n bytes from the front and answers them (fewer when fewer are left).
  std::string_view Take(std::size_t n) {
    std::size_t count = n < Remaining() ? n : Remaining();
    std::string_view piece = All().substr(offset_, count);
    offset_ += count;
    return piece;
  }
  std::string_view Rest() const { return All().substr(offset_); }
private:
  std::string_view All() const { return bytes_ ? std::string_view(*bytes_) : std::string_view(); }
  std::shared_ptr<const ByteString> bytes_;
  std::size_t offset_ = 0;
};
