#include "engine/PackedData.h"

#include <algorithm>

#include "package/ZLibHelpers.h"

std::string_view PackedData::TakeFromSource(std::size_t n) {
  // The buffer grows with what arrives, never with what n claims: a line may
  // state any length, the data decides.
  constexpr std::size_t kStep = std::size_t{1} << 20;
  std::size_t have = 0;
  while (have < n) {
    const std::size_t want = std::min(n - have, kStep);
    if (bytes_.size() < have + want) bytes_.resize(have + want);
    const std::size_t got = source_->Read(&bytes_[have], want);
    if (got == 0) break;
    have += got;
  }
  return std::string_view(bytes_.data(), have);
}

PackedFile PackedData::TakeFile(std::size_t origLen, std::size_t comprLen) {
  if (feed_) return feed_->Next(origLen, comprLen);
  PackedFile file;
  if (comprLen == 0) {
    file.contents = Take(origLen);
    file.complete = file.contents.size() == origLen;
    return file;
  }
  const std::string_view stream = Take(comprLen);
  if (stream.size() < comprLen) return file;
  file.complete = true;
  // OrigLen sizes the buffer; corrupt data raises and ends the run.
  DecompressBytesInto(stream, inflated_, origLen);
  file.contents = inflated_;
  return file;
}
