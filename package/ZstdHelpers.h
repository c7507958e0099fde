#pragma once
// zstd for the packed files: the decoder the setup uses, and the limit that
// the packer's frames keep to.
#include <cstddef>
#include <memory>
#include <string_view>
#include "package/StreamDecoder.h"

// The largest window a frame may ask for (2^24 = 16 MiB). The decoder holds
// one window of output, so this bounds its memory whatever a package says;
// the packer compresses with this window.
constexpr int kZstdWindowLog = 24;

// One zstd frame decoded piece by piece. Raises EZDecompressionError with
// zstd's message on corrupt data, on a window beyond kZstdWindowLog and on
// input that ends before the frame does; data behind the frame is ignored.
class ZstdDecodeStream : public StreamDecoder {
public:
  // `windowLog`: the largest window it accepts (at most kZstdWindowLog).
  explicit ZstdDecodeStream(int windowLog = kZstdWindowLog);
  ~ZstdDecodeStream() override;
  ZstdDecodeStream(const ZstdDecodeStream&) = delete;
  ZstdDecodeStream& operator=(const ZstdDecodeStream&) = delete;
  std::size_t Decode(std::string_view& input, char* out, std::size_t room, bool lastInput) override;
  bool Ended() const override { return ended_; }

private:
  struct State;
  std::unique_ptr<State> state_;
  bool ended_ = false;
};
