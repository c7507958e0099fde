#pragma once
// The journal file's format: a first line naming the format, then one line
// per entry, its kind and its fields separated by tabs. "%", tab, CR and LF
// inside a field are written as %XX, so that any path or registry name
// survives. Pure functions, no file and no registry.
#include <cstddef>
#include <vector>
#include "base/Text.h"
#include "platform/Registry.h"

// The journal file's first line, without its line end.
extern const char* const kJournalHeader;

// One journal entry: its kind and fields, one line of the file.
struct JournalEntry {
  ByteString kind;
  std::vector<ByteString> fields;
  // Empty for a field the entry does not have.
  const ByteString& Field(std::size_t i) const;
};

ByteString EscapeField(const ByteString& text);
// A "%" not followed by two hex digits stays as it is.
ByteString UnescapeField(const ByteString& text);
// Registry data as hex digits and back; decoding stops at the first pair
// that is not hex.
ByteString HexOf(const ByteString& data);
ByteString BytesOfHex(const ByteString& hex);
// The hive as one letter in an entry: "M" for the machine, "U" for the user.
ByteString HiveCode(platform::Hive hive);
platform::Hive HiveOfCode(const ByteString& code);

// The entry's line, with its line end.
ByteString EncodeEntry(const JournalEntry& entry);
// The entries of a journal file's text after its first line. Only complete
// lines: a line cut off by a power cut was never acted on. False (and no
// entries) when the text does not start with the header.
bool DecodeJournal(const ByteString& text, std::vector<JournalEntry>& entries);
