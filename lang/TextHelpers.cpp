#include "lang/TextHelpers.h"

#include <cstdint>
#include <type_traits>

namespace {

template <typename String>
String Trimmed(const String& text) {
  auto isControl = [](auto c) { return static_cast<uint32_t>(static_cast<std::make_unsigned_t<decltype(c)>>(c)) <= 32; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isControl(text[begin])) ++begin;
  while (end > begin && isControl(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

ByteString TrimControls(const ByteString& text) { return Trimmed(text); }
WideString TrimControls(const WideString& text) { return Trimmed(text); }

ByteString UpperCaseAToZ(const ByteString& text) {
  ByteString result = text;
  for (char& c : result)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return result;
}

ByteString ReplaceAll(const ByteString& text, const ByteString& what, const ByteString& with) {
  if (what.empty()) return text;
  ByteString result;
  std::size_t from = 0;
  for (std::size_t at = text.find(what); at != ByteString::npos; at = text.find(what, from)) {
    result.append(text, from, at - from);
    result += with;
    from = at + what.size();
  }
  result.append(text, from, ByteString::npos);
  return result;
}
