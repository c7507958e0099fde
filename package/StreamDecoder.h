#pragma once
// A compressed stream decoded piece by piece as its input arrives: zlib
// (InflateStream) or zstd (ZstdDecodeStream). Corrupt or truncated data
// raises EZDecompressionError.
#include <cstddef>
#include <memory>
#include <string_view>

class StreamDecoder {
public:
  virtual ~StreamDecoder() = default;
  // Decodes from the front of `input` (removing what it used) into up to
  // `room` bytes at `out`; answers how many it wrote. `lastInput`: nothing
  // follows what `input` holds. After the stream's end it writes nothing.
  virtual std::size_t Decode(std::string_view& input, char* out, std::size_t room, bool lastInput) = 0;
  virtual bool Ended() const = 0;
};

// The codecs of the packed files' section, named by the section that holds them.
enum class PackedCodec { kZlib, kZstd };
std::unique_ptr<StreamDecoder> MakeStreamDecoder(PackedCodec codec);
