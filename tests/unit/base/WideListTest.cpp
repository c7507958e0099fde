// TWStringList: both faces, UTF-16 line splitting, the byte fallback, files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "base/WideStringList.h"

namespace {

using Wides = std::vector<WideString>;

Wides WidesOf(const TWStringList& list) {
  Wides texts;
  for (int32_t i = 0; i < list.Count(); ++i) texts.push_back(list.WideItemText(i));
  return texts;
}

ByteString Le(const WideString& text, bool withMark = false) {
  return (withMark ? ByteString("\xFF\xFE") : ByteString()) + WideToBytes(text);
}

TSplitUtf16Result Split(TWStringList& list, const ByteString& bytes, TByteOrderMark kind = bomNone) {
  return list.SplitUtf16(bytes.data(), static_cast<int32_t>(bytes.size()), kind);
}

// A file in the temporary folder, removed afterwards.
class ScratchFile {
public:
  explicit ScratchFile(const ByteString& bytes) {
    static int serial = 0;
    path_ = (std::filesystem::temp_directory_path() /
             ("quillon_wide_" + std::to_string(std::random_device()()) + "_" + std::to_string(++serial) + ".lng"))
                .string();
    std::ofstream(path_, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  const ByteString& Path() const { return path_; }

private:
  ByteString path_;
};

}  // namespace

TEST(WideList, BadIndexesReadEmptyAndWriteNothing) {
  TWStringList list;
  list.AddWideWithObject(u"one", 1);
  EXPECT_EQ(list.WideItemText(-1), u"");
  EXPECT_EQ(list.WideItemText(1), u"");
  EXPECT_EQ(list.ItemText(1), "");
  EXPECT_EQ(list.ItemObject(-1), 0u);
  list.SetWideItemText(1, u"x");
  list.SetItemText(-1, "x");
  list.SetItemObject(1, 9);
  list.InsertWideAt(2, u"x", 0);
  list.InsertAt(-1, "x");
  list.DeleteAt(1);
  list.Swap(0, 1);
  list.MoveItem(0, 1);
  list.MoveItem(1, 0);
  EXPECT_EQ(WidesOf(list), (Wides{u"one"}));
  EXPECT_EQ(list.ItemObject(0), 1u);
}

TEST(WideList, ByteFaceConvertsInTheAnsiCodePage) {
  TWStringList list;
  list.AddWideWithObject(u"Gr\u00FC\u00DFe", 3);
  list.AddWide(u"x\u4E2Dy");
  EXPECT_EQ(list.ItemText(0), "Gr\xFC\xDF" "e");
  EXPECT_EQ(list.ItemText(1), "x?y");  // no such character in the code page

  list.InsertAt(0, "\xC4nderung");
  EXPECT_EQ(list.WideItemText(0), u"\u00C4nderung");
  EXPECT_EQ(list.Add("\x80"), 3);
  EXPECT_EQ(list.WideItemText(3), u"\u20AC");

  list.SetItemText(1, "Gr\xF6\xDF" "e");  // keeps the object
  EXPECT_EQ(list.WideItemText(1), u"Gr\u00F6\u00DFe");
  EXPECT_EQ(list.ItemObject(1), 3u);
  EXPECT_EQ(list.PositionOf("GR\xD6\xDF" "E"), 1);
  EXPECT_EQ(list.JoinText(), "\xC4nderung\r\nGr\xF6\xDF" "e\r\nx?y\r\n\x80\r\n");
}

TEST(WideList, SplitUtf16LineBreaks) {
  TWStringList list;
  EXPECT_EQ(Split(list, Le(u"a\rb\nc\r\nd\n\re", true)), splitDone);
  EXPECT_EQ(WidesOf(list), (Wides{u"a", u"b", u"c", u"d", u"e"}));
  EXPECT_EQ(Split(list, Le(u"a\r\rb\n\nc\r\n\r\n", true)), splitDone);
  EXPECT_EQ(WidesOf(list), (Wides{u"a", u"", u"b", u"", u"c", u""}));
  EXPECT_EQ(Split(list, Le(u"\r\n", true)), splitDone);
  EXPECT_EQ(WidesOf(list), (Wides{u""}));
  EXPECT_EQ(Split(list, Le(WideString(u"a\0b\n", 4), true)), splitDone);
  EXPECT_EQ(WidesOf(list), (Wides{WideString(u"a\0b", 3)}));
  EXPECT_EQ(Split(list, Le(u"ab", true) + "c"), splitDone);  // odd last byte ignored
  EXPECT_EQ(WidesOf(list), (Wides{u"ab"}));
  EXPECT_EQ(Split(list, Le(u"", true)), splitDone);
  EXPECT_EQ(list.Count(), 0);
}

TEST(WideList, SplitUtf16MarksAndDefaults) {
  TWStringList list;
  list.AddWide(u"stale");
  EXPECT_EQ(Split(list, Le(u"no mark")), splitNoMark);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(Split(list, Le(u"one\r\ntwo"), bomUtf16LE), splitDone);
  EXPECT_EQ(WidesOf(list), (Wides{u"one", u"two"}));
  EXPECT_EQ(Split(list, "\xEF\xBB\xBFutf8"), splitUnsupported);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(Split(list, "\xFE\xFF\x00x"), splitUnsupported);
  EXPECT_EQ(Split(list, ByteString("\xFF\xFE\x00\x00", 4)), splitUnsupported);
  EXPECT_EQ(Split(list, "abc", bomUtf8), splitUnsupported);
  EXPECT_EQ(list.SplitUtf16(nullptr, 10, bomUtf16LE), splitDone);
  EXPECT_EQ(list.Count(), 0);
}

TEST(WideList, ByteSplitTextFallsBackToAnsiLines) {
  TWStringList list;
  list.SplitText("eins\r\nzwei\n\rdrei \x80");
  EXPECT_EQ(WidesOf(list), (Wides{u"eins", u"zwei", u"", u"drei \u20AC"}));
  list.SplitText(Le(u"\u0141\u00F3d\u017A\r\n\u4E2D", true));
  EXPECT_EQ(WidesOf(list), (Wides{u"\u0141\u00F3d\u017A", u"\u4E2D"}));
  list.SplitText("\xEF\xBB\xBFtext");
  EXPECT_EQ(list.Count(), 0);
  list.AddWide(u"x");
  list.SplitText("");
  EXPECT_EQ(list.Count(), 0);
}

TEST(WideList, WideTextRoundTrip) {
  TWStringList list;
  EXPECT_EQ(list.WideText(true), u"");
  list.AddWide(u"first");
  list.AddWide(u"");
  list.AddWide(u"\u4E2D third");
  list.AddWide(u"");
  EXPECT_EQ(list.WideText(false), u"first\r\n\r\n\u4E2D third\r\n\r\n");
  const WideString marked = list.WideText(true);
  EXPECT_EQ(marked[0], u'\xFEFF');

  TWStringList copy;
  copy.SetWideText(marked);
  EXPECT_EQ(WidesOf(copy), WidesOf(list));
  copy.SetWideText(list.WideText(false));
  EXPECT_EQ(WidesOf(copy), WidesOf(list));
  copy.SetWideText(u"\xFFFEtext");  // its bytes form a UTF-16BE mark
  EXPECT_EQ(copy.Count(), 0);
  copy.SetWideText(u"");
  EXPECT_EQ(copy.Count(), 0);
}

TEST(WideList, AddAllAndMoveKeepWideTexts) {
  TWStringList source;
  source.AddWideWithObject(u"\u4E2D", 1);
  source.AddWideWithObject(u"b", 2);
  TWStringList target;
  int before = 0;
  int after = 0;
  target.SetBeforeChange([&](StringsBase&) { ++before; });
  target.SetAfterChange([&](StringsBase&) { ++after; });
  target.AddAll(source);
  EXPECT_EQ(WidesOf(target), (Wides{u"\u4E2D", u"b"}));
  EXPECT_EQ(target.ItemObject(0), 1u);
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);

  target.MoveItem(0, 1);
  EXPECT_EQ(WidesOf(target), (Wides{u"b", u"\u4E2D"}));
  EXPECT_EQ(target.ItemObject(1), 1u);
  EXPECT_EQ(before, 2);

  TQStringList bytes;
  bytes.AddWithObject("\xE4", 7);
  target.AddAll(bytes);
  EXPECT_EQ(target.WideItemText(2), u"\u00E4");
  EXPECT_EQ(target.ItemObject(2), 7u);

  bytes.AddAll(target);
  EXPECT_EQ(bytes.ItemText(2), "?");
  EXPECT_EQ(bytes.ItemObject(2), 1u);
}

TEST(WideList, SearchesWithTheWideComparison) {
  TWStringList list;
  list.AddWide(u"alpha");
  list.AddWide(u"\u00C4rger");
  int32_t index = -1;
  EXPECT_EQ(list.CompareWide(u"\u00E4RGER", u"\u00C4rger"), 0);
  EXPECT_LT(list.CompareWide(u"alpha", u"beta"), 0);
  EXPECT_TRUE(list.LocateWide(u"ALPHA", index));  // the list is in order
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(list.LocateWide(u"aa", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(list.Sorted());
  EXPECT_EQ(list.AddWide(u"alpha"), 2);  // unsorted: accepts every text
}

TEST(WideListFile, LoadsUtf16WithMark) {
  ScratchFile file(Le(u"Erste Zeile\r\n\u0141\u00F3d\u017A\r\n\r\nletzte", true));
  TWStringList list;
  ASSERT_TRUE(LoadWideListFromFile(file.Path(), &list));
  EXPECT_EQ(WidesOf(list), (Wides{u"Erste Zeile", u"\u0141\u00F3d\u017A", u"", u"letzte"}));
}

TEST(WideListFile, WithoutMarkFallsBackToAnsiLines) {
  ScratchFile utf16(Le(u"Line one\r\nLine two\r\n"));
  TWStringList list;
  ASSERT_TRUE(LoadWideListFromFile(utf16.Path(), &list));
  EXPECT_EQ(WidesOf(list), (Wides{u"L"}));  // the first zero byte ends the text

  ScratchFile ansi("eins\r\nzwei \xFC");
  ASSERT_TRUE(LoadWideListFromFile(ansi.Path(), &list));
  EXPECT_EQ(WidesOf(list), (Wides{u"eins", u"zwei \u00FC"}));
}

TEST(WideListFile, RefusesWhatItCannotRead) {
  TWStringList list;
  list.AddWide(u"stale");
  ScratchFile utf8("\xEF\xBB\xBFHallo\r\n");
  EXPECT_FALSE(LoadWideListFromFile(utf8.Path(), &list));
  EXPECT_EQ(list.Count(), 0);

  list.AddWide(u"stale");
  ScratchFile empty("");
  EXPECT_FALSE(LoadWideListFromFile(empty.Path(), &list));
  EXPECT_EQ(list.Count(), 0);

  list.AddWide(u"stale");
  EXPECT_FALSE(LoadWideListFromFile(utf8.Path() + ".missing", &list));
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(LoadWideListFromFile(utf8.Path(), nullptr));
}
