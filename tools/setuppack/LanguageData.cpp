#include "LanguageData.h"

#include <cstdint>

namespace setuppack {

namespace {

bool StartsWith(const std::string& text, const char* prefix, std::size_t n) {
  return text.size() >= n && text.compare(0, n, prefix, n) == 0;
}

void PutUnit(std::string& out, uint32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>((unit >> 8) & 0xFF);
}

// Decodes one UTF-8 sequence at `p`; 0 bytes consumed when it is invalid
// (truncated, overlong, a surrogate or beyond U+10FFFF).
std::size_t DecodeUtf8(const std::string& s, std::size_t p, uint32_t& code) {
  const unsigned char lead = static_cast<unsigned char>(s[p]);
  std::size_t length;
  uint32_t minimum;
  if (lead < 0x80) { code = lead; return 1; }
  if (lead >= 0xC2 && lead <= 0xDF) { length = 2; code = lead & 0x1F; minimum = 0x80; }
  else if (lead >= 0xE0 && lead <= 0xEF) { length = 3; code = lead & 0x0F; minimum = 0x800; }
  else if (lead >= 0xF0 && lead <= 0xF4) { length = 4; code = lead & 0x07; minimum = 0x10000; }
  else return 0;
  if (p + length > s.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(s[p + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool ToUtf16LeWithBom(const std::string& input, std::string& output, std::string& error) {
  output.clear();
  if (StartsWith(input, "\xFF\xFE\0\0", 4) || StartsWith(input, "\0\0\xFE\xFF", 4)) {
    error = "language data is UTF-32; use UTF-8 or UTF-16LE";
    return false;
  }
  if (StartsWith(input, "\xFE\xFF", 2)) {
    error = "language data is UTF-16BE; use UTF-8 or UTF-16LE";
    return false;
  }
  if (StartsWith(input, "\xFF\xFE", 2)) {
    if (input.size() % 2 != 0) {
      error = "language data in UTF-16LE has an odd number of bytes";
      return false;
    }
    output = input;
    return true;
  }

  const std::size_t start = StartsWith(input, "\xEF\xBB\xBF", 3) ? 3 : 0;
  output.reserve(2 + (input.size() - start) * 2);
  output = "\xFF\xFE";
  std::size_t line = 1;
  for (std::size_t p = start; p < input.size();) {
    uint32_t code = 0;
    const std::size_t used = DecodeUtf8(input, p, code);
    if (used == 0) {
      error = "language data is not valid UTF-8 (line " + std::to_string(line) + ", byte " +
              std::to_string(p + 1) + ")";
      output.clear();
      return false;
    }
    if (code == '\n') ++line;
    if (code >= 0x10000) {
      code -= 0x10000;
      PutUnit(output, 0xD800 | (code >> 10));
      PutUnit(output, 0xDC00 | (code & 0x3FF));
    } else {
      PutUnit(output, code);
    }
    p += used;
  }
  return true;
}

}  // namespace setuppack
