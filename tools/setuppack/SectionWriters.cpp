#include "SectionWriters.h"

#include <zlib.h>
#include <zstd.h>

#include <limits>
#include <stdexcept>

#include "package/ZLibHelpers.h"
#include "package/ZstdHelpers.h"

namespace setuppack {

namespace {

constexpr std::size_t kOutputStep = std::size_t{1} << 20;
// Large enough that each call hands zlib a good share, small enough to
// keep counts in zlib's 32-bit fields.
constexpr std::size_t kZlibPiece = std::size_t{64} << 20;

[[noreturn]] void RaiseZlib(int code) {
  const char* text = zError(code);
  throw EZCompressionError(code, text ? text : "zlib error");
}

class ZlibSectionWriter : public PackedSectionWriter {
public:
  ZlibSectionWriter() {
    const int result = deflateInit(&stream_, Z_DEFAULT_COMPRESSION);
    if (result != Z_OK) RaiseZlib(result);
  }
  ~ZlibSectionWriter() override { deflateEnd(&stream_); }

  void Add(std::string_view data, bool compressed) override {
    const int level = compressed ? Z_NO_COMPRESSION : Z_DEFAULT_COMPRESSION;
    if (level != level_) {
      // The stream's header names the level it starts with: write it first,
      // so that it says zlib's default whatever the first file is.
      if (!headerWritten_) {
        Room();
        stream_.avail_in = 0;
        const int result = deflate(&stream_, Z_BLOCK);
        if (result != Z_OK) RaiseZlib(result);
        Used();
      }
      // Ends the current block (at most a few bytes of output).
      for (;;) {
        Room();
        const int result = deflateParams(&stream_, level, Z_DEFAULT_STRATEGY);
        Used();
        if (result == Z_OK) break;
        if (result != Z_BUF_ERROR) RaiseZlib(result);
      }
      level_ = level;
    }
    headerWritten_ = true;
    while (!data.empty()) {
      const std::size_t piece = std::min(data.size(), kZlibPiece);
      stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
      stream_.avail_in = static_cast<uInt>(piece);
      while (stream_.avail_in > 0) {
        Room();
        const int result = deflate(&stream_, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_BUF_ERROR) RaiseZlib(result);
        Used();
      }
      data.remove_prefix(piece);
    }
  }

  std::string Finish() override {
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    for (;;) {
      Room();
      const int result = deflate(&stream_, Z_FINISH);
      Used();
      if (result == Z_STREAM_END) break;
      if (result != Z_OK && result != Z_BUF_ERROR) RaiseZlib(result);
    }
    output_.resize(produced_);
    return std::move(output_);
  }

private:
  // At least kOutputStep bytes of room behind what was produced.
  void Room() {
    if (output_.size() - produced_ < kOutputStep) output_.resize(std::max(output_.size() * 2, produced_ + kOutputStep));
    stream_.next_out = reinterpret_cast<Bytef*>(&output_[produced_]);
    stream_.avail_out = static_cast<uInt>(output_.size() - produced_);
  }
  void Used() { produced_ = output_.size() - stream_.avail_out; }

  z_stream stream_{};
  int level_ = Z_DEFAULT_COMPRESSION;
  bool headerWritten_ = false;
  std::string output_;
  std::size_t produced_ = 0;
};

// zstd's optimal parser (levels 16 and up) codes the literals of text so much
// better that a 1 GiB tree is 2 % smaller than at level 12 (bench/README.md);
// 19 gains a little more at three times the time.
constexpr int kZstdLevel = 17;

[[noreturn]] void RaiseZstd(std::size_t code) {
  throw EZCompressionError(-2, std::string("zstd: ") + ZSTD_getErrorName(code));
}
void Check(std::size_t result) {
  if (ZSTD_isError(result)) RaiseZstd(result);
}

class ZstdSectionWriter : public PackedSectionWriter {
public:
  ZstdSectionWriter(uint64_t totalBytes, unsigned threads) : context_(ZSTD_createCCtx()) {
    if (!context_) throw EZCompressionError(-4, "zstd: cannot allocate the compressor");
    Check(ZSTD_CCtx_setParameter(context_, ZSTD_c_compressionLevel, kZstdLevel));
    Check(ZSTD_CCtx_setParameter(context_, ZSTD_c_windowLog, kZstdWindowLog));
    Check(ZSTD_CCtx_setParameter(context_, ZSTD_c_enableLongDistanceMatching, 1));
    Check(ZSTD_CCtx_setParameter(context_, ZSTD_c_checksumFlag, 1));
    // Always through the workers, even one: their jobs cut the data at the
    // same places whatever their number, so the bytes do not depend on it.
    Check(ZSTD_CCtx_setParameter(context_, ZSTD_c_nbWorkers, static_cast<int>(threads < 1 ? 1 : threads)));
    Check(ZSTD_CCtx_setPledgedSrcSize(context_, totalBytes));
  }
  ~ZstdSectionWriter() override { ZSTD_freeCCtx(context_); }

  void Add(std::string_view data, bool) override { Run(data, ZSTD_e_continue); }

  std::string Finish() override {
    Run(std::string_view(), ZSTD_e_end);
    output_.resize(produced_);
    return std::move(output_);
  }

private:
  void Run(std::string_view data, ZSTD_EndDirective mode) {
    ZSTD_inBuffer in{data.data(), data.size(), 0};
    for (;;) {
      if (output_.size() - produced_ < kOutputStep) output_.resize(std::max(output_.size() * 2, produced_ + kOutputStep));
      ZSTD_outBuffer out{&output_[0], output_.size(), produced_};
      const std::size_t left = ZSTD_compressStream2(context_, &out, &in, mode);
      Check(left);
      produced_ = out.pos;
      if (mode == ZSTD_e_end ? left == 0 : in.pos == in.size) break;
    }
  }

  ZSTD_CCtx* context_;
  std::string output_;
  std::size_t produced_ = 0;
};

}  // namespace

std::unique_ptr<PackedSectionWriter> MakeZlibSectionWriter() { return std::make_unique<ZlibSectionWriter>(); }

std::unique_ptr<PackedSectionWriter> MakeZstdSectionWriter(uint64_t totalBytes, unsigned threads) {
  return std::make_unique<ZstdSectionWriter>(totalBytes, threads);
}

}  // namespace setuppack
