#include "package/BinaryPatch.h"

#include <algorithm>
#include <limits>
#include <new>

#include "package/ZLibHelpers.h"
#include "package/ZstdHelpers.h"

namespace {

constexpr std::size_t kPiece = std::size_t{64} << 10;
// The setup reads counts as signed 32-bit numbers.
constexpr uint64_t kLargestFile = std::numeric_limits<int32_t>::max();

void AppendNumber(ByteString& out, uint64_t value) {
  while (value >= 0x80) {
    out += static_cast<char>((value & 0x7F) | 0x80);
    value >>= 7;
  }
  out += static_cast<char>(value);
}

// One unsigned LEB128 number, its bytes from `next` (false: no more bytes).
template <typename NextByte>
bool DecodeNumber(NextByte next, uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    unsigned char byte = 0;
    if (!next(byte)) return false;
    if (shift == 63 && byte > 1) return false;  // beyond 64 bits
    value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if (byte < 0x80) return true;
  }
  return false;
}

bool TakeNumber(std::string_view& in, uint64_t& value) {
  return DecodeNumber(
      [&in](unsigned char& byte) {
        if (in.empty()) return false;
        byte = static_cast<unsigned char>(in.front());
        in.remove_prefix(1);
        return true;
      },
      value);
}

// One of a patch's streams, decoded as it is read, a piece at a time. Reads
// raise EZDecompressionError for a damaged frame.
class PatchStream {
public:
  explicit PatchStream(std::string_view frame) : frame_(frame) {
    if (!frame_.empty()) decoder_ = std::make_unique<ZstdDecodeStream>(kPatchWindowLog);
  }
  // Exactly `size` bytes; false when the stream ends before.
  bool Read(char* out, std::size_t size) {
    while (size > 0) {
      if (next_ == buffer_.size() && !Refill()) return false;
      const std::size_t take = std::min(size, buffer_.size() - next_);
      buffer_.copy(out, take, next_);
      next_ += take;
      out += take;
      size -= take;
    }
    return true;
  }
  bool ReadNumber(uint64_t& value) {
    return DecodeNumber([this](unsigned char& byte) { return Read(reinterpret_cast<char*>(&byte), 1); }, value);
  }
  // Nothing left: the frame is decoded to its end and nothing follows it.
  bool AtEnd() { return next_ == buffer_.size() && !Refill() && (!decoder_ || frame_.empty()); }

private:
  bool Refill() {
    if (!decoder_ || decoder_->Ended()) return false;
    buffer_.resize(kPiece);
    buffer_.resize(decoder_->Decode(frame_, &buffer_[0], buffer_.size(), true));
    next_ = 0;
    return !buffer_.empty();
  }

  std::string_view frame_;
  std::unique_ptr<ZstdDecodeStream> decoder_;
  ByteString buffer_;
  std::size_t next_ = 0;
};

// The differences from their three streams.
class Differences {
public:
  explicit Differences(const std::string_view frames[])
      : gaps_(frames[kPatchGaps]), first_(frames[kPatchFirst]), follow_(frames[kPatchFollow]) {}
  // False for streams that contradict each other.
  bool Read(char* out, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      if (zeros_ == 0 && !pending_ && !lastGap_ && !Next()) return false;
      if (zeros_ > 0) {
        --zeros_;
        out[i] = 0;
      } else if (pending_) {
        pending_ = false;
        out[i] = value_;
      } else {
        out[i] = 0;  // behind the last gap
      }
    }
    return true;
  }
  bool AtEnd() { return zeros_ == 0 && !pending_ && gaps_.AtEnd() && first_.AtEnd() && follow_.AtEnd(); }

private:
  // The next gap and the difference behind it.
  bool Next() {
    uint64_t gap = 0;
    char c;
    if (!gaps_.Read(&c, 1)) {
      lastGap_ = true;
      return true;
    }
    for (gap = static_cast<unsigned char>(c); static_cast<unsigned char>(c) == 255; gap += static_cast<unsigned char>(c))
      if (gap > kLargestFile || !gaps_.Read(&c, 1)) return false;
    zeros_ = gap;
    pending_ = true;
    return (gap > 0 ? first_ : follow_).Read(&value_, 1) && value_ != 0;
  }

  PatchStream gaps_, first_, follow_;
  uint64_t zeros_ = 0;
  bool pending_ = false;
  bool lastGap_ = false;
  char value_ = 0;
};

bool Fail(ByteString& problem, ByteString& result, const char* why) {
  problem = why;
  ByteString().swap(result);
  return false;
}

}  // namespace

ByteString PatchHeaderBytes(const PatchLayout& layout) {
  ByteString header(kPatchMagic);
  AppendNumber(header, layout.baseSize);
  AppendNumber(header, layout.newSize);
  for (uint64_t length : layout.lengths) AppendNumber(header, length);
  return header;
}

bool ReadPatchHeader(std::string_view patch, PatchLayout& layout, std::size_t& headerLength) {
  const std::string_view magic(kPatchMagic);
  if (patch.substr(0, magic.size()) != magic) return false;
  std::string_view rest = patch.substr(magic.size());
  if (!TakeNumber(rest, layout.baseSize) || !TakeNumber(rest, layout.newSize)) return false;
  for (uint64_t& length : layout.lengths)
    if (!TakeNumber(rest, length)) return false;
  headerLength = patch.size() - rest.size();
  uint64_t left = rest.size();
  for (uint64_t length : layout.lengths) {
    if (length > left) return false;
    left -= length;
  }
  return left == 0;
}

void SplitDifferences(std::string_view differences, ByteString& gaps, ByteString& first, ByteString& follow) {
  gaps.clear();
  first.clear();
  follow.clear();
  uint64_t zeros = 0;
  for (char c : differences) {
    if (c == 0) {
      ++zeros;
      continue;
    }
    (zeros > 0 ? first : follow) += c;
    for (; zeros >= 255; zeros -= 255) gaps += static_cast<char>(255);
    gaps += static_cast<char>(zeros);
    zeros = 0;
  }
}

void AppendPatchStep(ByteString& steps, uint64_t add, uint64_t copy, int64_t seek) {
  AppendNumber(steps, add);
  AppendNumber(steps, copy);
  const auto bits = static_cast<uint64_t>(seek);
  AppendNumber(steps, (bits << 1) ^ (seek < 0 ? ~uint64_t{0} : 0));
}

bool ApplyBinaryPatch(std::string_view patch, PatchBase& base, ByteString& result, ByteString& problem) {
  result.clear();
  PatchLayout layout;
  std::size_t at = 0;
  if (!ReadPatchHeader(patch, layout, at)) return Fail(problem, result, "not a patch, or a cut-off one");
  if (layout.baseSize != base.Size()) return Fail(problem, result, "the patch is for a file of another size");
  if (layout.newSize > kLargestFile) return Fail(problem, result, "the patch states an impossible size");
  try {
    result.reserve(static_cast<std::size_t>(layout.newSize));
    std::string_view frames[kPatchStreams];
    for (int i = 0; i < kPatchStreams; ++i) {
      frames[i] = patch.substr(at, layout.lengths[i]);
      at += layout.lengths[i];
    }
    PatchStream steps(frames[kPatchSteps]);
    Differences differences(frames);
    PatchStream extra(frames[kPatchExtra]);

    ByteString from(kPiece, '\0');
    ByteString change(kPiece, '\0');
    uint64_t basePosition = 0;
    while (result.size() < layout.newSize) {
      uint64_t add = 0, copy = 0, seek = 0;
      if (!steps.ReadNumber(add) || !steps.ReadNumber(copy) || !steps.ReadNumber(seek))
        return Fail(problem, result, "the patch's steps end before the file does");
      const uint64_t room = layout.newSize - result.size();
      if (add > room || copy > room - add) return Fail(problem, result, "the patch writes past the file's end");
      if (basePosition > layout.baseSize || add > layout.baseSize - basePosition)
        return Fail(problem, result, "the patch reads outside the earlier file");
      for (uint64_t left = add; left > 0;) {
        const std::size_t piece = static_cast<std::size_t>(std::min<uint64_t>(left, kPiece));
        if (!base.ReadAt(basePosition, &from[0], piece))
          return Fail(problem, result, "the earlier file cannot be read");
        if (!differences.Read(&change[0], piece)) return Fail(problem, result, "the patch's differences are damaged");
        for (std::size_t i = 0; i < piece; ++i)
          from[i] = static_cast<char>(static_cast<unsigned char>(from[i]) + static_cast<unsigned char>(change[i]));
        result.append(from, 0, piece);
        basePosition += piece;
        left -= piece;
      }
      for (uint64_t left = copy; left > 0;) {
        const std::size_t piece = static_cast<std::size_t>(std::min<uint64_t>(left, kPiece));
        if (!extra.Read(&change[0], piece)) return Fail(problem, result, "the patch's new bytes end too early");
        result.append(change, 0, piece);
        left -= piece;
      }
      // Zigzag: the lowest bit is the sign. A position outside the base is
      // refused by the next step that reads there.
      const uint64_t distance = (seek >> 1) ^ (~(seek & 1) + 1);
      basePosition += distance;
    }
    if (!steps.AtEnd() || !differences.AtEnd() || !extra.AtEnd())
      return Fail(problem, result, "the patch holds more than its file");
  } catch (const EZDecompressionError& error) {
    problem = ByteString("the patch is damaged (") + error.what() + ")";
    ByteString().swap(result);
    return false;
  } catch (const std::bad_alloc&) {
    return Fail(problem, result, "too little memory for the patched file");
  }
  return true;
}
