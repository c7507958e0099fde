#include "base/Encodings.h"

#include "platform/Text.h"

void AppendCodePageToWide(const char* bytes, int32_t count, uint32_t codePage, WideString& target) {
  if (bytes == nullptr || count <= 0) return;
  uint32_t flags = platform::kMbPrecomposed;
  int needed = platform::MultiByteToWide(codePage, flags, bytes, count, nullptr, 0);
  if (needed < 1) {
    // UTF-8 and a few other code pages refuse every flag; without this the
    // whole text would be lost on such a system.
    flags = 0;
    needed = platform::MultiByteToWide(codePage, flags, bytes, count, nullptr, 0);
  }
  if (needed < 1) return;
  const std::size_t oldSize = target.size();
  target.resize(oldSize + static_cast<std::size_t>(needed));
  const int written = platform::MultiByteToWide(codePage, flags, bytes, count, &target[oldSize], needed);
  // A second answer that differs from the first leaves only what was written.
  target.resize(oldSize + static_cast<std::size_t>(written > 0 ? written : 0));
}

WideString Str255ToWide(const ShortText& text, uint32_t codePage) {
  WideString result;
  AppendCodePageToWide(text.str().data(), static_cast<int32_t>(text.size()), codePage, result);
  return result;
}

namespace {
constexpr uint32_t kWideToCodePageFlags = platform::kWcCompositeCheck | platform::kWcDiscardNs |
                                          platform::kWcSepChars | platform::kWcDefaultChar;
static_assert(kWideToCodePageFlags == 0x270, "the conversion flags are fixed");
}  // namespace

ByteString WideToCodePage(const WideString& text, uint32_t codePage) {
  if (text.empty()) return ByteString();
  // Length -1: the text up to its first NUL, with the NUL counted; c_str()
  // guarantees the terminator even without an embedded one.
  uint32_t flags = kWideToCodePageFlags;
  int size = platform::WideToMultiByte(codePage, flags, text.c_str(), -1, nullptr, 0);
  if (size == 0) {
    // UTF-8 and a few other code pages refuse these flags: convert plainly
    // rather than lose the text.
    flags = 0;
    size = platform::WideToMultiByte(codePage, flags, text.c_str(), -1, nullptr, 0);
  }
  if (size <= 1) return ByteString();
  ByteString result(static_cast<std::size_t>(size), '\0');
  const int written = platform::WideToMultiByte(codePage, flags, text.c_str(), -1, &result[0], size);
  if (written <= 1) return ByteString();
  result.resize(static_cast<std::size_t>(written) - 1);
  return result;
}

TByteOrderMark DetectByteOrderMark(const void* data, int32_t count, int32_t& markLength) {
  markLength = 0;
  if (data == nullptr || count < 2) return bomNone;
  const auto* b = static_cast<const unsigned char*>(data);
  if (count >= 4) {
    if (b[0] == 0xFF && b[1] == 0xFE && b[2] == 0x00 && b[3] == 0x00) {
      markLength = 4;
      return bomUtf32LE;
    }
    if (b[0] == 0x00 && b[1] == 0x00 && b[2] == 0xFE && b[3] == 0xFF) {
      markLength = 4;
      return bomUtf32BE;
    }
  }
  if (count >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    markLength = 3;
    return bomUtf8;
  }
  if (b[0] == 0xFF && b[1] == 0xFE) {
    markLength = 2;
    return bomUtf16LE;
  }
  if (b[0] == 0xFE && b[1] == 0xFF) {
    markLength = 2;
    return bomUtf16BE;
  }
  return bomNone;
}

WideString BytesToWide(const ByteString& bytes) {
  if (bytes.empty()) return WideString();
  int32_t markLength = 0;
  const int32_t size = bytes.size() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(bytes.size());
  const TByteOrderMark mark = DetectByteOrderMark(bytes.data(), size, markLength);
  if (mark != bomNone && mark != bomUtf16LE) return WideString();
  const std::size_t units = (bytes.size() - static_cast<std::size_t>(markLength)) / 2;
  WideString result(units, u'\0');
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + markLength;
  for (std::size_t i = 0; i < units; ++i)
    result[i] = static_cast<char16_t>(b[2 * i] | (b[2 * i + 1] << 8));
  return result;
}

ByteString WideToBytes(const WideString& text) {
  ByteString result(text.size() * 2, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    result[2 * i] = static_cast<char>(text[i] & 0xFF);
    result[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  return result;
}
