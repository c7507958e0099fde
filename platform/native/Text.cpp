// Portable text services: table-driven conversion for the single-byte code
// pages in use, UTF-8, Latin-1, and an ordinal comparison that folds case
// through the code page's letters. The Windows build uses the real locale.
#include "platform/Text.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace platform {
namespace nativetext {
const char16_t* HighHalfOf(uint32_t codePage);
extern const char16_t kCompositions[][3];
extern const std::size_t kCompositionCount;
}  // namespace nativetext

namespace {

constexpr uint32_t kCpOemcp = 1;
constexpr uint32_t kCpLatin1 = 28591;
constexpr uint32_t kCpAscii = 20127;
constexpr uint32_t kCpUtf8 = 65001;

uint32_t g_codePage = kCp1252;
uint16_t g_langId = 0x0409;

// The code page a request stands for, or 0 when the native build cannot
// convert it.
uint32_t Resolve(uint32_t codePage) {
  if (codePage == kCpAcp || codePage == kCpThreadAcp || codePage == kCpOemcp) codePage = g_codePage;
  if (codePage == kCpUtf8 || codePage == kCpLatin1 || codePage == kCpAscii) return codePage;
  return nativetext::HighHalfOf(codePage) ? codePage : 0;
}

char16_t ByteToChar(uint32_t codePage, unsigned char byte) {
  if (byte < 0x80 || codePage == kCpLatin1) return byte;
  if (codePage == kCpAscii) return byte & 0x7F;  // as Windows: the high bit is dropped
  return nativetext::HighHalfOf(codePage)[byte - 0x80];
}

// The byte of a character in a single-byte code page; false when it has none.
bool CharToByte(uint32_t codePage, char16_t ch, unsigned char& byte) {
  if (ch < 0x80) {
    byte = static_cast<unsigned char>(ch);
    return true;
  }
  if (codePage == kCpLatin1) {
    if (ch > 0xFF) return false;
    byte = static_cast<unsigned char>(ch);
    return true;
  }
  if (codePage == kCpAscii) return false;
  const char16_t* high = nativetext::HighHalfOf(codePage);
  for (int i = 0; i < 128; ++i) {
    if (high[i] == ch) {
      byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

void AppendUtf16(WideString& out, uint32_t codePoint) {
  if (codePoint >= 0x10000) {
    codePoint -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  } else {
    out += static_cast<char16_t>(codePoint);
  }
}

WideString DecodeUtf8(const unsigned char* s, std::size_t n) {
  WideString out;
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = s[i];
    int extra = 0;
    uint32_t cp = 0;
    uint32_t min = 0;
    if (b < 0x80) {
      out += b;
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
      out += u'\xFFFD';
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n || (s[j] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (s[j] & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += u'\xFFFD';
      ++i;  // resynchronise at the next byte
      continue;
    }
    AppendUtf16(out, cp);
    i = j;
  }
  return out;
}

ByteString EncodeUtf8(const char16_t* s, std::size_t n) {
  ByteString out;
  for (std::size_t i = 0; i < n; ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

WideString Decode(uint32_t codePage, const char* src, std::size_t n) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(src);
  if (codePage == kCpUtf8) return DecodeUtf8(bytes, n);
  WideString out(n, u'\0');
  for (std::size_t i = 0; i < n; ++i) out[i] = ByteToChar(codePage, bytes[i]);
  return out;
}

// The precomposed character of a base character and a following combining
// mark, or 0 when Unicode composes none.
char16_t Compose(char16_t base, char16_t mark) {
  const auto* begin = nativetext::kCompositions;
  const auto* end = begin + nativetext::kCompositionCount;
  const auto* it = std::lower_bound(begin, end, std::make_pair(base, mark),
                                    [](const char16_t* entry, const std::pair<char16_t, char16_t>& key) {
                                      return entry[0] < key.first || (entry[0] == key.first && entry[1] < key.second);
                                    });
  return it != end && (*it)[0] == base && (*it)[1] == mark ? (*it)[2] : 0;
}

// With WC_COMPOSITECHECK a base character and its mark become the
// precomposed character when the code page has one; otherwise the pair
// becomes the default character (WC_DEFAULTCHAR), the base alone
// (WC_DISCARDNS) or both converted one by one (WC_SEPCHARS, the default).
ByteString Encode(uint32_t codePage, uint32_t flags, const char16_t* src, std::size_t n) {
  if (codePage == kCpUtf8) return EncodeUtf8(src, n);
  const unsigned char defaultChar = '?';  // the default character of these code pages
  ByteString out(n, '\0');
  std::size_t written = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t ch = src[i];
    unsigned char byte = defaultChar;
    // Every mark that composes lies at U+0300 or above.
    if ((flags & kWcCompositeCheck) && i + 1 < n && src[i + 1] >= 0x0300) {
      if (const char16_t composed = Compose(ch, src[i + 1])) {
        ++i;
        if (CharToByte(codePage, composed, byte) || (flags & kWcDefaultChar)) {
          out[written++] = static_cast<char>(byte);
          continue;
        }
        if (!(flags & kWcDiscardNs)) --i;  // both, one by one
      }
    }
    CharToByte(codePage, ch, byte);
    out[written++] = static_cast<char>(byte);
  }
  out.resize(written);
  return out;
}

// Simple upper case for the scripts of the supported code pages.
char16_t UpperChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 0x20;
  if (c < 0xB5) return c;
  if (c == 0xB5) return 0x039C;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x0178;
  if ((c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177)) return (c & 1) ? c - 1 : c;
  if ((c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E)) return (c & 1) ? c : c - 1;
  if (c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) return c - 0x20;
  if (c >= 0x0430 && c <= 0x044F) return c - 0x20;
  if (c >= 0x0450 && c <= 0x045F) return c - 0x50;
  if (c == 0x0491) return 0x0490;
  return c;
}

bool IsLower(char16_t c) { return UpperChar(c) != c; }

// 1 less, 2 equal, 3 greater: ordinal on upper-cased characters, then (when
// case counts) lower case before upper case at the first difference, as the
// Windows locale orders them. CharAt(text, i) gives a text's i-th character.
template <typename Text, typename CharAt>
int CompareChars(const Text& a, const Text& b, bool ignoreCase, CharAt charAt) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t fa = UpperChar(charAt(a, i));
    const char16_t fb = UpperChar(charAt(b, i));
    if (fa != fb) return fa < fb ? 1 : 3;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? 1 : 3;
  if (!ignoreCase) {
    for (std::size_t i = 0; i < n; ++i) {
      const char16_t ca = charAt(a, i);
      const char16_t cb = charAt(b, i);
      if (ca != cb) return IsLower(ca) ? 1 : 3;
    }
  }
  return 2;
}

int CompareChars(const WideString& a, const WideString& b, bool ignoreCase) {
  return CompareChars(a, b, ignoreCase, [](const WideString& text, std::size_t i) { return text[i]; });
}

}  // namespace

int MultiByteToWide(uint32_t codePage, uint32_t /*flags*/, const char* src, int srcLen,
                    char16_t* dst, int dstLen) {
  const uint32_t cp = Resolve(codePage);
  if (cp == 0 || src == nullptr || srcLen == 0 || srcLen < -1 || dstLen < 0 || (dstLen > 0 && !dst))
    return 0;
  const std::size_t n = srcLen == -1 ? std::char_traits<char>::length(src) + 1 : static_cast<std::size_t>(srcLen);
  const WideString wide = Decode(cp, src, n);
  if (wide.size() > 0x7FFFFFFF) return 0;
  const int needed = static_cast<int>(wide.size());
  if (dstLen == 0) return needed;
  if (needed > dstLen) return 0;  // buffer too small
  std::copy(wide.begin(), wide.end(), dst);
  return needed;
}

int WideToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* src, int srcLen,
                    char* dst, int dstLen) {
  const uint32_t cp = Resolve(codePage);
  if (cp == 0 || src == nullptr || srcLen == 0 || srcLen < -1 || dstLen < 0 || (dstLen > 0 && !dst))
    return 0;
  const std::size_t n = srcLen == -1 ? std::char_traits<char16_t>::length(src) + 1 : static_cast<std::size_t>(srcLen);
  const ByteString bytes = Encode(cp, flags, src, n);
  if (bytes.size() > 0x7FFFFFFF) return 0;
  const int needed = static_cast<int>(bytes.size());
  if (dstLen == 0) return needed;
  if (needed > dstLen) return 0;
  std::copy(bytes.begin(), bytes.end(), dst);
  return needed;
}

int CompareAnsi(uint32_t flags, const ByteString& a, const ByteString& b) {
  const uint32_t cp = Resolve(kCpAcp);
  const bool ignoreCase = (flags & kNormIgnoreCase) != 0;
  if (cp == kCpUtf8) return CompareChars(Decode(cp, a.data(), a.size()), Decode(cp, b.data(), b.size()), ignoreCase);
  // One byte, one character: compared in place (sorting calls this a lot).
  return CompareChars(a, b, ignoreCase, [cp](const ByteString& text, std::size_t i) {
    return ByteToChar(cp, static_cast<unsigned char>(text[i]));
  });
}

int CompareWideText(uint32_t flags, const WideString& a, const WideString& b) {
  return CompareChars(a, b, (flags & kNormIgnoreCase) != 0);
}

ByteString UpperCaseAnsi(const ByteString& text) {
  const uint32_t cp = Resolve(kCpAcp);
  if (cp == kCpUtf8) {
    WideString wide = Decode(cp, text.data(), text.size());
    for (char16_t& c : wide) c = UpperChar(c);
    return Encode(cp, 0, wide.data(), wide.size());
  }
  ByteString result = text;
  for (char& c : result) {
    unsigned char upper = 0;
    if (CharToByte(cp, UpperChar(ByteToChar(cp, static_cast<unsigned char>(c))), upper))
      c = static_cast<char>(upper);  // letters without a capital in the code page stay
  }
  return result;
}

uint32_t AnsiCodePage() { return g_codePage; }
uint16_t SystemDefaultLangId() { return g_langId; }

void SetNativeCodePage(uint32_t codePage) { g_codePage = codePage; }
void SetNativeLangId(uint16_t langId) { g_langId = langId; }

}  // namespace platform
