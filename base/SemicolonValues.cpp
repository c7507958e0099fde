#include "base/SemicolonValues.h"

#include "base/ByteStringList.h"

ByteString NextValue(ByteString& text) {
  const std::size_t separator = text.find(';');
  ByteString value;
  if (separator == ByteString::npos) {
    value.swap(text);
  } else {
    value = text.substr(0, separator);
    text.erase(0, separator + 1);
  }
  return value;
}

void SplitValues(const ByteString& text, TQStringList& list) {
  list.Clear();
  ByteString rest = text;
  while (!rest.empty()) list.Add(NextValue(rest));
}
