#pragma once
// The program's two kinds of text, named once for the whole code base.
#include <cstdint>
#include <string>

// Counted 8-bit text that may hold any byte: ANSI text, paths, payloads.
using ByteString = std::string;
// Counted UTF-16 text; its bytes in files and sections are UTF-16LE.
using WideString = std::u16string;

// A byte text of at most 255 bytes (the compiled-in default texts and the
// language codes). Longer input is cut to its first 255 bytes.
class ShortText {
public:
  ShortText() = default;
  ShortText(const char* text) : ShortText(ByteString(text ? text : "")) {}
  ShortText(const ByteString& text) : text_(text.substr(0, 255)) {}
  const ByteString& str() const { return text_; }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }
private:
  ByteString text_;
};

// A language code: a byte text of at most 3 characters.
inline ByteString LanguageCode(const ByteString& code) { return code.substr(0, 3); }
