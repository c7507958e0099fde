// Whole-buffer zlib streams. The version text handed to zlib is the one the
// program was written against; zlib checks only its first character.
#include "package/ZLibHelpers.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

namespace {

const char kZLibVersion[] = "1.2.3";
constexpr std::size_t kGrain = 256;
// zlib counts in 32-bit units; larger inputs cannot be handed over in one go.
constexpr std::size_t kLargestInput = std::numeric_limits<uInt>::max();

std::size_t RoundUpToGrain(std::size_t n) { return (n + kGrain - 1) / kGrain * kGrain; }

ByteString MessageFor(int code) {
  const char* text = zError(code);
  return text ? text : "zlib error";
}

[[noreturn]] void RaiseDecompression(int code) { throw EZDecompressionError(code, MessageFor(code)); }
[[noreturn]] void RaiseCompression(int code) { throw EZCompressionError(code, MessageFor(code)); }

// Enlarges the output to `size` bytes; asks for at least double the capacity
// so that many small growth steps cost linear time overall. Running out of
// memory (a stream that inflates beyond what the process can hold) is
// reported as zlib's memory error, not as a stray std::bad_alloc.
template <typename Error>
void GrowTo(ByteString& output, std::size_t size) {
  try {
    if (size > output.capacity()) output.reserve(std::max(size, output.capacity() * 2));
    output.resize(size);
  } catch (const std::bad_alloc&) {
    throw Error(Z_MEM_ERROR, MessageFor(Z_MEM_ERROR));
  } catch (const std::length_error&) {
    throw Error(Z_MEM_ERROR, MessageFor(Z_MEM_ERROR));
  }
}

void PointOutput(z_stream& stream, ByteString& output, std::size_t produced) {
  stream.next_out = reinterpret_cast<Bytef*>(&output[0]) + produced;
  stream.avail_out = static_cast<uInt>(output.size() - produced);
}

struct InflateGuard {
  z_stream* stream;
  bool active = true;
  ~InflateGuard() { if (active) inflateEnd(stream); }
};
struct DeflateGuard {
  z_stream* stream;
  bool active = true;
  ~DeflateGuard() { if (active) deflateEnd(stream); }
};

}  // namespace

// Deflate cannot expand data more than 1032-fold; a larger expected size is
// no hint.
constexpr uint64_t kMostInflation = 1032;

ByteString DecompressBytes(std::string_view input, std::size_t expectedSize) {
  ByteString output;
  DecompressBytesInto(input, output, expectedSize);
  return output;
}

void DecompressBytesInto(std::string_view input, ByteString& output, std::size_t expectedSize) {
  if (input.size() > kLargestInput) RaiseDecompression(Z_MEM_ERROR);
  z_stream stream{};
  int result = inflateInit_(&stream, kZLibVersion, static_cast<int>(sizeof(z_stream)));
  if (result < 0) RaiseDecompression(result);
  InflateGuard guard{&stream};

  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(input.size());

  // The first buffer and every growth step: the input length rounded up to
  // 256 bytes (never less than 256, so an empty input cannot stall). A known
  // output size makes the first buffer large enough for all of it; when that
  // much memory is not to be had, the steps take over as without the hint.
  // A reused output keeps its size: only what lies beyond it is zeroed.
  const std::size_t step = std::max(RoundUpToGrain(input.size()), kGrain);
  const uint64_t most = static_cast<uint64_t>(input.size()) * kMostInflation + kGrain;
  if (expectedSize > step && expectedSize <= most && output.size() <= expectedSize) {
    try {
      output.resize(RoundUpToGrain(expectedSize + 1));  // room for the end mark
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }
  if (output.size() < step) GrowTo<EZDecompressionError>(output, step);
  std::size_t produced = 0;
  for (;;) {
    PointOutput(stream, output, produced);
    const uInt inBefore = stream.avail_in;
    const uInt outBefore = stream.avail_out;
    result = inflate(&stream, Z_NO_FLUSH);
    produced = output.size() - stream.avail_out;
    if (result < 0) RaiseDecompression(result);
    if (result == Z_STREAM_END) break;
    // A preset dictionary is never supplied: waiting for one would loop.
    if (result == Z_NEED_DICT) RaiseDecompression(Z_NEED_DICT);
    // No progress with room to spare: the stream ends before its end mark.
    if (stream.avail_in == inBefore && stream.avail_out == outBefore) RaiseDecompression(Z_BUF_ERROR);
    if (output.size() - produced < step) GrowTo<EZDecompressionError>(output, produced + step);
  }
  guard.active = false;
  result = inflateEnd(&stream);
  if (result < 0) RaiseDecompression(result);
  output.resize(produced);
}

uint64_t CheckDecompressBytes(std::string_view input) {
  if (input.size() > kLargestInput) RaiseDecompression(Z_MEM_ERROR);
  z_stream stream{};
  int result = inflateInit_(&stream, kZLibVersion, static_cast<int>(sizeof(z_stream)));
  if (result < 0) RaiseDecompression(result);
  InflateGuard guard{&stream};

  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(input.size());
  // Large against zlib's 32 KiB window (which it copies after every call),
  // small enough to stay in the cache.
  ByteString scratch;
  GrowTo<EZDecompressionError>(scratch, std::size_t{256} * 1024);
  uint64_t produced = 0;
  for (;;) {
    PointOutput(stream, scratch, 0);
    const uInt inBefore = stream.avail_in;
    result = inflate(&stream, Z_NO_FLUSH);
    produced += scratch.size() - stream.avail_out;
    if (result < 0) RaiseDecompression(result);
    if (result == Z_STREAM_END) break;
    // As in DecompressBytes: no preset dictionary, no waiting for input that never comes.
    if (result == Z_NEED_DICT) RaiseDecompression(Z_NEED_DICT);
    if (stream.avail_in == inBefore && stream.avail_out == scratch.size()) RaiseDecompression(Z_BUF_ERROR);
  }
  guard.active = false;
  result = inflateEnd(&stream);
  if (result < 0) RaiseDecompression(result);
  return produced;
}

ByteString CompressBytes(std::string_view input, int levelIndex) {
  static const int kLevels[] = {Z_NO_COMPRESSION, Z_BEST_SPEED, Z_DEFAULT_COMPRESSION, Z_BEST_COMPRESSION};
  if (levelIndex < 0 || levelIndex > 3) RaiseCompression(Z_STREAM_ERROR);
  if (input.size() > kLargestInput) RaiseCompression(Z_MEM_ERROR);

  z_stream stream{};
  int result = deflateInit_(&stream, kLevels[levelIndex], kZLibVersion, static_cast<int>(sizeof(z_stream)));
  if (result < 0) RaiseCompression(result);
  DeflateGuard guard{&stream};

  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
  stream.avail_in = static_cast<uInt>(input.size());

  ByteString output;
  GrowTo<EZCompressionError>(output, RoundUpToGrain(input.size() + input.size() / 10 + 12));
  std::size_t produced = 0;
  for (;;) {
    PointOutput(stream, output, produced);
    result = deflate(&stream, Z_FINISH);
    produced = output.size() - stream.avail_out;
    if (result < 0) RaiseCompression(result);
    if (result == Z_STREAM_END) break;
    GrowTo<EZCompressionError>(output, output.size() + kGrain);
  }
  guard.active = false;
  result = deflateEnd(&stream);
  if (result < 0) RaiseCompression(result);
  output.resize(produced);
  return output;
}

struct InflateStream::State {
  z_stream stream{};
};

InflateStream::InflateStream() : state_(new State) {
  const int result = inflateInit_(&state_->stream, kZLibVersion, static_cast<int>(sizeof(z_stream)));
  if (result < 0) RaiseDecompression(result);
}

InflateStream::~InflateStream() { inflateEnd(&state_->stream); }

void InflateStream::Reset() {
  const int result = inflateReset(&state_->stream);
  if (result < 0) RaiseDecompression(result);
  ended_ = false;
}

std::size_t InflateStream::Inflate(std::string_view& input, char* out, std::size_t room, bool lastInput) {
  if (ended_ || room == 0) return 0;
  z_stream& stream = state_->stream;
  std::size_t written = 0;
  while (written < room) {
    if (input.empty() && !lastInput) break;  // more input first
    const std::size_t giveIn = std::min(input.size(), kLargestInput);
    const std::size_t giveOut = std::min(room - written, kLargestInput);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream.avail_in = static_cast<uInt>(giveIn);
    stream.next_out = reinterpret_cast<Bytef*>(out + written);
    stream.avail_out = static_cast<uInt>(giveOut);
    const int result = inflate(&stream, Z_NO_FLUSH);
    const std::size_t used = giveIn - stream.avail_in;
    const std::size_t made = giveOut - stream.avail_out;
    input.remove_prefix(used);
    written += made;
    if (result < 0) RaiseDecompression(result);
    if (result == Z_STREAM_END) {
      ended_ = true;
      break;
    }
    if (result == Z_NEED_DICT) RaiseDecompression(Z_NEED_DICT);
    // No progress with room to spare: the stream ends before its end mark.
    if (used == 0 && made == 0) RaiseDecompression(Z_BUF_ERROR);
  }
  return written;
}
