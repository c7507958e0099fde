#pragma once
// Whole-buffer zlib streams, with the errors zlib reports raised as exceptions.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string_view>
#include "base/Text.h"
#include "package/StreamDecoder.h"

class EZLibError : public std::runtime_error {
public:
  EZLibError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int Code() const { return code_; }
private:
  int code_;
};
class EZCompressionError : public EZLibError { using EZLibError::EZLibError; };
class EZDecompressionError : public EZLibError { using EZLibError::EZLibError; };

// Level index 0..3 selects zlib level 0, 1, -1 (default), 9.
ByteString CompressBytes(std::string_view input, int levelIndex);
// `expectedSize`, when known (a file's original length), sizes the first
// output buffer so that the output need not grow; it is a hint only: the
// result is the same whatever it says.
ByteString DecompressBytes(std::string_view input, std::size_t expectedSize = 0);
// As DecompressBytes, into `output`, whose memory is reused: a caller that
// decompresses many streams one after the other allocates once.
void DecompressBytesInto(std::string_view input, ByteString& output, std::size_t expectedSize = 0);
// Inflates the stream without keeping the output (a small buffer is reused)
// and raises exactly where DecompressBytes would; answers the output's size.
uint64_t CheckDecompressBytes(std::string_view input);

// One zlib stream inflated piece by piece as its input arrives. For the same
// bytes it raises exactly where DecompressBytes raises.
class InflateStream : public StreamDecoder {
public:
  InflateStream();
  ~InflateStream() override;
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  // Inflates from the front of `input` (removing what it used) into up to
  // `room` bytes at `out`; answers how many it wrote. `lastInput`: nothing
  // follows what `input` holds. After the end mark it writes nothing.
  std::size_t Inflate(std::string_view& input, char* out, std::size_t room, bool lastInput);
  std::size_t Decode(std::string_view& input, char* out, std::size_t room, bool lastInput) override {
    return Inflate(input, out, room, lastInput);
  }
  bool Ended() const override { return ended_; }
  // Ready for the next stream, keeping the memory zlib took for this one
  // (a file at a time, that is two allocations fewer per file).
  void Reset();

private:
  struct State;
  std::unique_ptr<State> state_;
  bool ended_ = false;
};
