#include "engine/JournalFormat.h"

#include "base/TextBasics.h"

const char* const kJournalHeader = "QuillonSetupJournal 1";

namespace {

const char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

JournalEntry DecodeLine(const ByteString& line) {
  JournalEntry entry;
  std::size_t start = 0;
  bool first = true;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    const ByteString part = line.substr(start, tab == ByteString::npos ? ByteString::npos : tab - start);
    if (first) entry.kind = part;
    else entry.fields.push_back(UnescapeField(part));
    first = false;
    if (tab == ByteString::npos) break;
    start = tab + 1;
  }
  return entry;
}

}  // namespace

const ByteString& JournalEntry::Field(std::size_t i) const {
  static const ByteString kNone;
  return i < fields.size() ? fields[i] : kNone;
}

namespace {

void AppendEscaped(ByteString& out, const ByteString& text) {
  for (char c : text) {
    if (c == '%' || c == '\t' || c == '\r' || c == '\n') {
      out += '%';
      out += kHex[(static_cast<unsigned char>(c) >> 4) & 15];
      out += kHex[static_cast<unsigned char>(c) & 15];
    } else {
      out += c;
    }
  }
}

}  // namespace

ByteString EscapeField(const ByteString& text) {
  ByteString out;
  AppendEscaped(out, text);
  return out;
}

ByteString UnescapeField(const ByteString& text) {
  ByteString out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

ByteString HexOf(const ByteString& data) {
  ByteString out;
  for (unsigned char c : data) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

ByteString BytesOfHex(const ByteString& hex) {
  ByteString out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) break;
    out += static_cast<char>(high * 16 + low);
  }
  return out;
}

ByteString HiveCode(platform::Hive hive) { return hive == platform::Hive::LocalMachine ? "M" : "U"; }
platform::Hive HiveOfCode(const ByteString& code) {
  return code == "U" ? platform::Hive::CurrentUser : platform::Hive::LocalMachine;
}

ByteString EncodeEntry(const JournalEntry& entry) {
  // Written for every change a run makes: one allocation where no field
  // needs escaping.
  std::size_t size = entry.kind.size() + 1;
  for (const ByteString& field : entry.fields) size += field.size() + 1;
  ByteString line;
  line.reserve(size);
  line += entry.kind;
  for (const ByteString& field : entry.fields) {
    line += '\t';
    AppendEscaped(line, field);
  }
  line += '\n';
  return line;
}

bool DecodeJournal(const ByteString& text, std::vector<JournalEntry>& entries) {
  entries.clear();
  const ByteString header = ByteString(kJournalHeader) + "\n";
  if (!StartsWith(text, header)) return false;
  std::size_t begin = header.size();
  for (std::size_t end; (end = text.find('\n', begin)) != ByteString::npos; begin = end + 1)
    entries.push_back(DecodeLine(text.substr(begin, end - begin)));
  return true;
}
