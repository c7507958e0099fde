#include "package/ZstdHelpers.h"

#include <algorithm>

#include <zstd.h>
#include <zstd_errors.h>

#include "package/ZLibHelpers.h"

namespace {

// The codes zlib gives the same failures, so that callers see one kind of error.
constexpr int kDataError = -3;
constexpr int kMemoryError = -4;
constexpr int kBufferError = -5;

[[noreturn]] void RaiseZstd(std::size_t result) {
  const int code = ZSTD_getErrorCode(result) == ZSTD_error_memory_allocation ? kMemoryError : kDataError;
  throw EZDecompressionError(code, std::string("zstd: ") + ZSTD_getErrorName(result));
}

}  // namespace

struct ZstdDecodeStream::State {
  ZSTD_DCtx* context = nullptr;
};

ZstdDecodeStream::ZstdDecodeStream(int windowLog) : state_(new State) {
  state_->context = ZSTD_createDCtx();
  if (!state_->context) throw EZDecompressionError(kMemoryError, "zstd: cannot allocate the decoder");
  const std::size_t result = ZSTD_DCtx_setParameter(state_->context, ZSTD_d_windowLogMax, std::min(windowLog, kZstdWindowLog));
  if (ZSTD_isError(result)) {
    ZSTD_freeDCtx(state_->context);
    RaiseZstd(result);
  }
}

ZstdDecodeStream::~ZstdDecodeStream() { ZSTD_freeDCtx(state_->context); }

std::size_t ZstdDecodeStream::Decode(std::string_view& input, char* out, std::size_t room, bool lastInput) {
  if (ended_ || room == 0) return 0;
  ZSTD_outBuffer output{out, room, 0};
  while (output.pos < output.size) {
    if (input.empty() && !lastInput) break;  // more input first
    ZSTD_inBuffer in{input.data(), input.size(), 0};
    const std::size_t before = output.pos;
    const std::size_t result = ZSTD_decompressStream(state_->context, &output, &in);
    input.remove_prefix(in.pos);
    if (ZSTD_isError(result)) RaiseZstd(result);
    if (result == 0) {  // the frame is decoded and all of it handed out
      ended_ = true;
      break;
    }
    // No progress with room to spare and nothing more to come: the data
    // ends before its frame does.
    if (in.pos == 0 && output.pos == before) {
      if (lastInput) throw EZDecompressionError(kBufferError, "zstd: the data ends before its frame");
      break;
    }
  }
  return output.pos;
}

std::unique_ptr<StreamDecoder> MakeStreamDecoder(PackedCodec codec) {
  if (codec == PackedCodec::kZstd) return std::make_unique<ZstdDecodeStream>();
  return std::make_unique<InflateStream>();
}
