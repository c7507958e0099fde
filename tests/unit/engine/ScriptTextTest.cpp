// The script's text rules: line splitting, comma text, name lookup, version
// padding and folder parents. Pure functions, checked on both builds.
#include <gtest/gtest.h>

#include "engine/PathVariables.h"
#include "engine/ProductSettings.h"
#include "engine/ScriptCommands.h"

namespace {

using Items = CommandItems;

TEST(ScriptLines, LineEndsAndZeroByte) {
  EXPECT_EQ(SplitScriptLines("a\r\nb\r\n"), (std::vector<ByteString>{"a", "b"}));
  EXPECT_EQ(SplitScriptLines("a\rb\nc"), (std::vector<ByteString>{"a", "b", "c"}));
  // LF CR is two line ends, an empty line in the middle stays a line.
  EXPECT_EQ(SplitScriptLines("a\n\rb"), (std::vector<ByteString>{"a", "", "b"}));
  EXPECT_EQ(SplitScriptLines("a\r\n\r\nb"), (std::vector<ByteString>{"a", "", "b"}));
  EXPECT_EQ(SplitScriptLines(ByteString("a\r\nb\0c\r\nd", 10)), (std::vector<ByteString>{"a", "b"}));
  EXPECT_TRUE(SplitScriptLines("").empty());
  EXPECT_EQ(SplitScriptLines("\r\n"), (std::vector<ByteString>{""}));
}

TEST(CommaText, SeparatorsBlanksAndEmptyItems) {
  EXPECT_EQ(SplitCommandItems("action=icon,file=*PgmPath*\\Quillon.exe,lnk=*Desktop*\\Quillon.lnk"),
            (Items{"action=icon", "file=*PgmPath*\\Quillon.exe", "lnk=*Desktop*\\Quillon.lnk"}));
  // Blanks separate like commas; leading blanks and controls are skipped.
  EXPECT_EQ(SplitCommandItems("  \ta=1 b=2 , c=3"), (Items{"a=1", "b=2", "c=3"}));
  EXPECT_EQ(SplitCommandItems("a=1,,b=2"), (Items{"a=1", "", "b=2"}));
  EXPECT_EQ(SplitCommandItems("a=1,"), (Items{"a=1", ""}));
  EXPECT_EQ(SplitCommandItems("a=1, "), (Items{"a=1"}));
  EXPECT_EQ(SplitCommandItems(",a"), (Items{"", "a"}));
  EXPECT_TRUE(SplitCommandItems("").empty());
  EXPECT_TRUE(SplitCommandItems(" \t ").empty());
  // Bytes above 127 are ordinary characters.
  EXPECT_EQ(SplitCommandItems("n=\xE4\xF6\xFC x"), (Items{"n=\xE4\xF6\xFC", "x"}));
}

TEST(CommaText, Quotes) {
  EXPECT_EQ(SplitCommandItems("\"Publisher=Quill, \"\"Ink\"\" & Co\",b=1"),
            (Items{"Publisher=Quill, \"Ink\" & Co", "b=1"}));
  // Text right behind a closing quote starts the next item.
  EXPECT_EQ(SplitCommandItems("\"a=1 2\"b=3"), (Items{"a=1 2", "b=3"}));
  // A quote inside an unquoted item is an ordinary character.
  EXPECT_EQ(SplitCommandItems("a=x\"y z"), (Items{"a=x\"y", "z"}));
  EXPECT_EQ(SplitCommandItems("\"\",a"), (Items{"", "a"}));
  // An opening quote that is never closed takes the rest of the line.
  EXPECT_EQ(SplitCommandItems("a=1,\"b=2, c"), (Items{"a=1", "b=2, c"}));
  EXPECT_EQ(SplitCommandItems("\""), (Items{""}));
  EXPECT_EQ(SplitCommandItems("\"x\"\""), (Items{"x\""}));
}

TEST(CommaText, ValueLookup) {
  const Items items = SplitCommandItems("action=save,FILENAME=a=b,empty=,x,FileName=second");
  // Names without regard to case, the value is everything behind the first "=",
  // the first of two equal names wins.
  EXPECT_EQ(CommandValue(items, "Filename"), "a=b");
  EXPECT_EQ(CommandValue(items, "empty"), "");
  EXPECT_EQ(CommandValue(items, "x"), "");
  EXPECT_EQ(CommandValue(items, "missing"), "");
  // Only the case of A to Z: a name is never equal to a longer one, nor to
  // one that differs in another byte by 32.
  EXPECT_EQ(CommandValue(SplitCommandItems("file=1"), "fil"), "");
  EXPECT_EQ(CommandValue(SplitCommandItems("fil\xC9=1"), "fil\xE9"), "");
  EXPECT_EQ(CommandValue(SplitCommandItems("a[=1"), "a{"), "");
  EXPECT_EQ(GetCommandAction("ACTION=path,x=1"), "path");
  EXPECT_EQ(GetCommandAction("x=1"), "");
}

TEST(Versions, Normalize) {
  EXPECT_EQ(NormalizeVersion("1.5"), "01.50");
  EXPECT_EQ(NormalizeVersion(".5"), "00.50");
  EXPECT_EQ(NormalizeVersion("2.10"), "02.10");
  EXPECT_EQ(NormalizeVersion("10.1"), "10.10");
  EXPECT_EQ(NormalizeVersion("2.5-1"), "02.5-1");
  EXPECT_EQ(NormalizeVersion("7"), "7");
  EXPECT_EQ(NormalizeVersion(" \t2.3c \r\n"), "02.3c");
  EXPECT_EQ(NormalizeVersion(""), "");
  EXPECT_EQ(NormalizeVersion("."), "00.00");
}

TEST(Folders, ParentFolderOf) {
  EXPECT_EQ(ParentFolderOf("C:\\P\\Q"), "C:\\P");
  EXPECT_EQ(ParentFolderOf("C:\\P"), "C:\\");
  EXPECT_EQ(ParentFolderOf("C:"), "C:");
  EXPECT_EQ(ParentFolderOf("\\\\server\\share"), "\\\\server");
  EXPECT_EQ(ParentFolderOf("\\\\server"), "\\\\");
  EXPECT_EQ(ParentFolderOf("\\x"), "\\");
  EXPECT_EQ(ParentFolderOf("name"), "");
  EXPECT_EQ(ParentFolderOf(""), "");
}

}  // namespace
