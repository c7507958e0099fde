// The journal file's lines: whatever a path, a registry name or registry
// data holds comes back unchanged, and a damaged file yields only the lines
// that were written completely.
#include <gtest/gtest.h>

#include "engine/JournalFormat.h"

namespace {

ByteString Journal(const std::vector<JournalEntry>& entries) {
  ByteString text = ByteString(kJournalHeader) + "\n";
  for (const JournalEntry& entry : entries) text += EncodeEntry(entry);
  return text;
}

bool Same(const std::vector<JournalEntry>& a, const std::vector<JournalEntry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].kind != b[i].kind || a[i].fields != b[i].fields) return false;
  return true;
}

TEST(JournalFormat, EveryFieldComesBackUnchanged) {
  ByteString allBytes;
  for (int c = 0; c < 256; ++c) allBytes += static_cast<char>(c);
  const std::vector<JournalEntry> entries = {
      {"file", {"C:\\Q\\100%25 a\tb\r\nc.txt", "C:\\Q\\~qn1.tmp", ""}},  // empty last field: a new file
      {"value", {"M", "\\SOFTWARE\\Q", "", "3", HexOf(allBytes)}},
      {"attr", {allBytes, ByteString(1 << 20, '%')}},  // every byte; an overlong field
      {"commit", {}},
      {"dir", {"", "", ""}},
  };
  std::vector<JournalEntry> decoded;
  ASSERT_TRUE(DecodeJournal(Journal(entries), decoded));
  EXPECT_TRUE(Same(decoded, entries));
  EXPECT_EQ(BytesOfHex(decoded[1].Field(4)), allBytes);
  EXPECT_EQ(decoded[0].Field(2), "");
  EXPECT_EQ(decoded[3].Field(0), "");  // a field the entry lacks
  EXPECT_EQ(HiveOfCode(HiveCode(platform::Hive::CurrentUser)), platform::Hive::CurrentUser);
  EXPECT_EQ(HiveOfCode(HiveCode(platform::Hive::LocalMachine)), platform::Hive::LocalMachine);
}

TEST(JournalFormat, DamagedTextGivesOnlyCompleteLines) {
  std::vector<JournalEntry> decoded{{"stale", {}}};
  // Not a journal (another file, an unknown version, empty): no entries.
  EXPECT_FALSE(DecodeJournal("file\tC:\\a\n", decoded));
  EXPECT_TRUE(decoded.empty());
  EXPECT_FALSE(DecodeJournal("QuillonSetupJournal 2\nfile\tC:\\a\n", decoded));
  EXPECT_FALSE(DecodeJournal(kJournalHeader, decoded));  // cut off within the header

  // A line cut off by a power cut was never acted on; an unknown kind is
  // decoded as it stands (undo skips it).
  const ByteString text = Journal({{"dir", {"C:\\Q"}}, {"future", {"x"}}}) + "file\tC:\\Q\\a.txt\tC:\\Q\\~q";
  ASSERT_TRUE(DecodeJournal(text, decoded));
  ASSERT_EQ(decoded.size(), 2u);
  EXPECT_EQ(decoded[1].kind, "future");

  // Hand-made escapes: a "%" without two hex digits stays, lower-case hex counts.
  ASSERT_TRUE(DecodeJournal(Journal({}) + "file\t100%\t%zz%4\t%0a%7C\n", decoded));
  EXPECT_EQ(decoded[0].fields, (std::vector<ByteString>{"100%", "%zz%4", "\n|"}));
  // Registry data stops at the first pair that is not hex.
  EXPECT_EQ(BytesOfHex("4142G3"), "AB");
  EXPECT_EQ(BytesOfHex("414"), "A");
}

}  // namespace
