#include "lang/TextHelpers.h"

#include <cstdint>
#include <type_traits>

namespace lang {

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

}  // namespace lang
