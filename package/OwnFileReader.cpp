#include "package/OwnFileReader.h"

#include <algorithm>

namespace {
// A search reads a small piece first (the sections it looks for mostly lie
// near where it starts), then pieces twice as large up to the largest, all
// through one buffer: memory a process touches for the first time costs
// far more than another read.
constexpr std::size_t kFirstSearchPiece = std::size_t{64} << 10;
constexpr std::size_t kSearchPiece = std::size_t{256} << 10;
}  // namespace

bool OwnFileReader::Open(const ByteString& path) {
  Close();
  file_ = platform::OpenForReading(path);
  if (!file_) return false;
  const int64_t size = platform::SizeOfOpenFile(file_);
  size_ = size < 0 ? 0 : static_cast<uint64_t>(size);
  return true;
}

bool OwnFileReader::OpenDuplicate(const OwnFileReader& other) {
  Close();
  file_ = platform::DuplicateReading(other.file_);
  if (!file_) return false;
  size_ = other.size_;
  return true;
}

void OwnFileReader::Close() {
  platform::CloseReading(file_);
  file_ = 0;
  size_ = 0;
}

std::size_t OwnFileReader::Read(uint64_t offset, char* buffer, std::size_t size) {
  if (offset >= size_) return 0;
  size = static_cast<std::size_t>(std::min<uint64_t>(size, size_ - offset));
  std::size_t done = 0;
  while (done < size) {
    const std::size_t got = platform::ReadAt(file_, offset + done, buffer + done, size - done);
    if (got == 0) break;
    done += got;
  }
  return done;
}

bool OwnFileReader::ReadRange(uint64_t offset, uint64_t size, ByteString& out) {
  out.clear();
  if (offset > size_ || size > size_ - offset) return false;
  out.resize(static_cast<std::size_t>(size));
  return size == 0 || Read(offset, &out[0], out.size()) == out.size();
}

uint64_t OwnFileReader::Find(std::string_view pattern, uint64_t from) {
  if (pattern.empty()) return from <= size_ ? from : kNotFound;
  std::size_t which = 0;
  return FindFirstOf({pattern}, from, which);
}

uint64_t OwnFileReader::FindFirstOf(const std::vector<std::string_view>& patterns, uint64_t from, std::size_t& which) {
  which = 0;
  std::size_t longest = 0;
  for (std::string_view pattern : patterns) longest = std::max(longest, pattern.size());
  if (longest == 0 || from >= size_) return kNotFound;
  // Consecutive pieces overlap by one byte less than the pattern, so a match
  // across a boundary is found whole in the next piece.
  ByteString piece;
  const std::size_t keep = longest - 1;
  std::size_t held = 0;   // bytes of the previous piece kept at the front
  uint64_t base = from;   // file offset of piece[0]
  uint64_t next = from;   // next file offset to read
  for (std::size_t step = kFirstSearchPiece; next < size_; step = std::min(2 * step, kSearchPiece)) {
    piece.resize(held + step);
    const std::size_t got = Read(next, &piece[held], step);
    if (got == 0) break;
    next += got;
    const std::string_view window(piece.data(), held + got);
    std::size_t first = std::string_view::npos;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      const std::size_t at = patterns[i].empty() ? std::string_view::npos : window.find(patterns[i]);
      if (at < first) {
        first = at;
        which = i;
      }
    }
    if (first != std::string_view::npos) return base + first;
    held = std::min(keep, window.size());
    std::copy(window.end() - held, window.end(), &piece[0]);
    base = next - held;
  }
  return kNotFound;
}
