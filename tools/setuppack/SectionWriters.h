#pragma once
// The payload of the packed files' section, written as the files' data
// arrives in script order.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace setuppack {

enum class Codec { kZlib, kZstd };

class PackedSectionWriter {
public:
  virtual ~PackedSectionWriter() = default;
  // One file's stored data; `compressed`: it is a stream of its own already.
  virtual void Add(std::string_view data, bool compressed) = 0;
  // The section's payload; the writer is spent afterwards.
  virtual std::string Finish() = 0;
};

// zlib ("Section:Setup.bin"): one zlib stream whose header says zlib's
// default level. Data that is a stream of its own goes into stored blocks
// (the format takes any deflate block, and deflating a zlib stream again
// only costs time); raw data is deflated at the default level.
std::unique_ptr<PackedSectionWriter> MakeZlibSectionWriter();
// zstd ("Section:Setup.zst"): one frame of exactly `totalBytes` bytes, with
// long-distance matching in a window the setup accepts, compressed by
// `threads` workers (1 or more: the output is the same for any count).
std::unique_ptr<PackedSectionWriter> MakeZstdSectionWriter(uint64_t totalBytes, unsigned threads);

}  // namespace setuppack
