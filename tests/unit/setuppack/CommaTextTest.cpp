#include <gtest/gtest.h>

#include "CommaText.h"

using setuppack::JoinCommaText;
using setuppack::SplitCommaText;

namespace {
std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> items;
  EXPECT_TRUE(SplitCommaText(line, items)) << line;
  return items;
}
}  // namespace

TEST(CommaText, SplitsAsTheSetupReadsLines) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Split("action=save,Filename=a"), (V{"action=save", "Filename=a"}));
  EXPECT_EQ(Split("  a b\tc"), (V{"a", "b", "c"}));
  EXPECT_EQ(Split("a,,b"), (V{"a", "", "b"}));
  EXPECT_EQ(Split("a,"), (V{"a", ""}));
  EXPECT_EQ(Split("\"x=1, 2\",y"), (V{"x=1, 2", "y"}));
  EXPECT_EQ(Split("\"say \"\"hi\"\"\""), (V{"say \"hi\""}));
  EXPECT_EQ(Split("\"a\"b"), (V{"a", "b"}));
  EXPECT_EQ(Split("x=\"q\""), (V{"x=\"q\""}));  // a quote inside an item is ordinary
  EXPECT_TRUE(Split("").empty());

  std::vector<std::string> items;
  EXPECT_FALSE(SplitCommaText("a,\"never closed", items));
  EXPECT_FALSE(SplitCommaText("\"ends in a doubled quote\"\"", items));
}

TEST(CommaText, JoinedItemsSplitBackUnchanged) {
  const std::vector<std::vector<std::string>> cases = {
      {"action=uninst", "Publisher=Q, Inc.", "name=My \"Best\" Tool"},
      {"a=b c", "\"lead", "tail\"", "tab=\there", "plain"},
      {"x=\xE4\xF6", "y=1,2,3", "z="},
  };
  for (const auto& items : cases) {
    std::vector<std::string> back;
    ASSERT_TRUE(SplitCommaText(JoinCommaText(items), back));
    EXPECT_EQ(back, items) << JoinCommaText(items);
  }
  EXPECT_EQ(JoinCommaText({"Publisher=Q, Inc.", "a=\"b\""}), "\"Publisher=Q, Inc.\",\"a=\"\"b\"\"\"");
}

TEST(CommaText, LinesEndAtCrLfCrOrLf) {
  using V = std::vector<std::string>;
  EXPECT_EQ(setuppack::SplitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(setuppack::SplitLines("a\n\r"), (V{"a", ""}));
  EXPECT_EQ(setuppack::SplitLines("a\r\n"), (V{"a"}));
  EXPECT_EQ(setuppack::SplitLines("a\n\nb"), (V{"a", "", "b"}));
  EXPECT_TRUE(setuppack::SplitLines("").empty());
}
