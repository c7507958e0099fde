#include "base/TextBasics.h"

#include <algorithm>

char CharAt(const ByteString& text, int32_t position) {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) return '\0';
  return text[static_cast<std::size_t>(position) - 1];
}

char FirstChar(const ByteString& text) { return text.empty() ? '\0' : text[0]; }

ByteString LeftPart(const ByteString& text, int32_t n) {
  if (n <= 0) return ByteString();
  return text.substr(0, static_cast<std::size_t>(n));
}

ByteString FromPos(const ByteString& text, int32_t position) {
  if (position <= 1) return text;
  if (static_cast<std::size_t>(position) > text.size()) return ByteString();
  return text.substr(static_cast<std::size_t>(position) - 1);
}

ByteString SkipChars(const ByteString& text, int32_t n) {
  if (n <= 0) return text;
  if (static_cast<std::size_t>(n) >= text.size()) return ByteString();
  return text.substr(static_cast<std::size_t>(n));
}

ByteString DropFirstChar(const ByteString& text) { return SkipChars(text, 1); }

namespace {
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool TryReadInt(const ByteString& text, int32_t& value) {
  const std::size_t n = text.size();
  std::size_t p = 0;
  while (p < n && text[p] == ' ') ++p;
  bool negative = false;
  if (p < n && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  if (p >= n) return false;

  std::size_t digitsStart = p;
  const bool hex = text[p] == '$' || text[p] == 'x' || text[p] == 'X' ||
                   (text[p] == '0' && p + 1 < n && (text[p + 1] == 'x' || text[p + 1] == 'X'));
  if (hex) {
    digitsStart = p + (text[p] == '0' ? 2 : 1);
    const std::size_t digits = n - digitsStart;
    if (digits < 1 || digits > 8) return false;
    uint32_t pattern = 0;
    for (std::size_t i = digitsStart; i < n; ++i) {
      const int d = HexDigitValue(text[i]);
      if (d < 0) return false;
      pattern = (pattern << 4) | static_cast<uint32_t>(d);
    }
    // Eight digits give a 32-bit pattern that may stand for a negative value.
    if (negative) pattern = 0u - pattern;
    value = static_cast<int32_t>(pattern);
    return true;
  }

  int64_t magnitude = 0;
  for (std::size_t i = digitsStart; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 2147483648LL) return false;
  }
  if (magnitude > (negative ? 2147483648LL : 2147483647LL)) return false;
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

int32_t IntOrZero(const ByteString& text) {
  int32_t value = 0;
  return TryReadInt(text, value) ? value : 0;
}

int32_t IntOrMinusOne(const ByteString& text) {
  int32_t value = -1;
  return TryReadInt(text, value) ? value : -1;
}

namespace {
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

ByteString AsciiLower(ByteString text) {
  for (char& c : text) c = LowerAscii(c);
  return text;
}

bool SameAsciiText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool AsciiCaseLess::operator()(std::string_view a, std::string_view b) const {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
    const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

bool AtOrBelowFolder(std::string_view path, std::string_view folder) {
  return !folder.empty() && path.size() >= folder.size() && SameAsciiText(path.substr(0, folder.size()), folder) &&
         (path.size() == folder.size() || path[folder.size()] == '\\');
}

bool StartsWith(const ByteString& text, const ByteString& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

ByteString WithoutTrailingBackslashes(const ByteString& path) {
  return ByteString(WithoutTrailingBackslashesView(path));
}

std::string_view WithoutTrailingBackslashesView(std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return path;
}

ByteString TrimControls(const ByteString& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}
