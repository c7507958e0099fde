// The small text helpers and the splitting of ";"-separated values.
#include <gtest/gtest.h>

#include <vector>

#include "base/TextBasics.h"
#include "base/ByteStringList.h"
#include "base/SemicolonValues.h"

TEST(Basics, CharacterAccessOutsideTheTextGivesZero) {
  EXPECT_EQ(CharAt("abc", 1), 'a');
  EXPECT_EQ(CharAt("abc", 3), 'c');
  EXPECT_EQ(CharAt("abc", 0), '\0');
  EXPECT_EQ(CharAt("abc", 4), '\0');
  EXPECT_EQ(CharAt("abc", -2147483647 - 1), '\0');
  EXPECT_EQ(CharAt("", 1), '\0');
  EXPECT_EQ(FirstChar("xy"), 'x');
  EXPECT_EQ(FirstChar(""), '\0');
}

TEST(Basics, CuttingClampsToTheText) {
  EXPECT_EQ(LeftPart("abcd", 2), "ab");
  EXPECT_EQ(LeftPart("abcd", 0), "");
  EXPECT_EQ(LeftPart("abcd", -1), "");
  EXPECT_EQ(LeftPart("abcd", 9), "abcd");
  EXPECT_EQ(FromPos("abcd", 1), "abcd");
  EXPECT_EQ(FromPos("abcd", 0), "abcd");
  EXPECT_EQ(FromPos("abcd", 3), "cd");
  EXPECT_EQ(FromPos("abcd", 4), "d");
  EXPECT_EQ(FromPos("abcd", 5), "");
  EXPECT_EQ(SkipChars("abcd", 1), "bcd");
  EXPECT_EQ(SkipChars("abcd", -5), "abcd");
  EXPECT_EQ(SkipChars("abcd", 4), "");
  EXPECT_EQ(SkipChars("abcd", 2147483647), "");
  EXPECT_EQ(DropFirstChar("ab"), "b");
  EXPECT_EQ(DropFirstChar("a"), "");
  EXPECT_EQ(DropFirstChar(""), "");
  EXPECT_EQ(LeftPart(ByteString("a\0b", 3), 3), ByteString("a\0b", 3));
}

TEST(Basics, IntegerTexts) {
  struct Case {
    const char* text;
    int32_t orZero;
  };
  const std::vector<Case> valid = {
      {" 42", 42},           {"+7", 7},           {"-15", -15},
      {"00042", 42},         {"$1F", 31},         {"x1f", 31},
      {"X1F", 31},           {"0x10", 16},        {"-0x10", -16},
      {"0XaB", 171},         {"-2147483648", -2147483647 - 1},
      {"2147483647", 2147483647},                 {"0xFFFFFFFF", -1},
      {"$80000000", -2147483647 - 1},             {"-$FFFFFFFF", 1},
      {"0", 0},              {"-0", 0},
  };
  for (const Case& c : valid) {
    EXPECT_EQ(IntOrZero(c.text), c.orZero) << c.text;
    EXPECT_EQ(IntOrMinusOne(c.text), c.orZero) << c.text;
  }
  const std::vector<const char*> invalid = {
      "",    " ",    "+",     "-",  "42 ", "4 2", "12a", "2147483648", "-2147483649",
      "$",   "0x",   "x",     "$123456789", "0xG1", "--1", "+-1", "99999999999999999999",
      "\t1", "1-",   "0x 1",
  };
  for (const char* text : invalid) {
    EXPECT_EQ(IntOrZero(text), 0) << text;
    EXPECT_EQ(IntOrMinusOne(text), -1) << text;
  }
  int32_t value = 5;
  EXPECT_FALSE(TryReadInt("nope", value));
  EXPECT_EQ(value, 5);
}

TEST(Basics, AtOrBelowAFolderByNameAlone) {
  EXPECT_TRUE(AtOrBelowFolder("C:\\Data", "c:\\data"));
  EXPECT_TRUE(AtOrBelowFolder("c:\\DATA\\sub\\x.txt", "C:\\Data"));
  EXPECT_FALSE(AtOrBelowFolder("C:\\Database", "C:\\Data"));
  EXPECT_FALSE(AtOrBelowFolder("C:\\Dat", "C:\\Data"));
  EXPECT_FALSE(AtOrBelowFolder("C:\\Data", ""));
  EXPECT_FALSE(AtOrBelowFolder("C:\\D\xC4ta\\x", "C:\\D\xE4ta"));  // only A to Z fold
}

// The sets of the run's names keep them as given: ordered as their
// AsciiLower forms, bytes above 127 after every ASCII letter.
TEST(Basics, CaseBlindOrderIsTheLoweredOrder) {
  const std::vector<ByteString> names = {"", "a", "A", "ab", "aB\\", "B", "b", "Z", "[", "_", "\xC4", "\xE4", "a\xC4"};
  const AsciiCaseLess less;
  for (const ByteString& a : names)
    for (const ByteString& b : names)
      EXPECT_EQ(less(a, b), AsciiLower(a) < AsciiLower(b)) << a << " / " << b;
}

TEST(ValueStrings, NextValueConsumesOneValue) {
  ByteString text = "a;b";
  EXPECT_EQ(NextValue(text), "a");
  EXPECT_EQ(text, "b");
  EXPECT_EQ(NextValue(text), "b");
  EXPECT_EQ(text, "");
  EXPECT_EQ(NextValue(text), "");
}

TEST(ValueStrings, SplitValues) {
  const auto split = [](const ByteString& text) {
    TQStringList list;
    list.Add("stale");
    SplitValues(text, list);
    std::vector<ByteString> values;
    for (int32_t i = 0; i < list.Count(); ++i) values.push_back(list.ItemText(i));
    return values;
  };
  using V = std::vector<ByteString>;
  EXPECT_EQ(split("a;b"), (V{"a", "b"}));
  EXPECT_EQ(split("a;;b"), (V{"a", "", "b"}));
  EXPECT_EQ(split("a;"), (V{"a"}));
  EXPECT_EQ(split(";"), (V{""}));
  EXPECT_EQ(split(""), (V{}));
  EXPECT_EQ(split(" a ; b"), (V{" a ", " b"}));
}
