// TQStringList: bad indexes, sorted lists and their duplicates policies,
// notifications and batches, line splitting, ValueOf, the quicksort.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "base/ByteStringList.h"

namespace {

std::vector<ByteString> TextsOf(const StringsBase& list) {
  std::vector<ByteString> texts;
  for (int32_t i = 0; i < list.Count(); ++i) texts.push_back(list.ItemText(i));
  return texts;
}

using Texts = std::vector<ByteString>;

struct NotificationCounter {
  int before = 0;
  int after = 0;
  void Watch(TQStringList& list) {
    list.SetBeforeChange([this](StringsBase&) { ++before; });
    list.SetAfterChange([this](StringsBase&) { ++after; });
  }
};

TQStringList& Fill(TQStringList& list, const Texts& texts) {
  for (const auto& text : texts) list.Add(text);
  return list;
}

}  // namespace

TEST(StringList, BadIndexesReadEmptyAndWriteNothing) {
  TQStringList list;
  list.AddWithObject("one", 11);
  list.AddWithObject("two", 22);
  NotificationCounter counter;
  counter.Watch(list);

  EXPECT_EQ(list.ItemText(-1), "");
  EXPECT_EQ(list.ItemText(2), "");
  EXPECT_EQ(list.ItemObject(-1), 0u);
  EXPECT_EQ(list.ItemObject(2), 0u);

  list.SetItemText(2, "x");
  list.SetItemText(-1, "x");
  list.SetItemObject(2, 5);
  list.DeleteAt(-1);
  list.DeleteAt(2);
  list.Swap(0, 2);
  list.Swap(-1, 1);
  list.InsertAt(-1, "x");
  list.InsertAt(3, "x");
  list.InsertWithObjectAt(7, "x", 9);
  list.MoveItem(-1, 0);
  list.MoveItem(0, 2);
  list.MoveItem(5, 1);
  list.SetCapacity(1);  // below Count: refused
  list.SetCapacity(-3);

  EXPECT_EQ(TextsOf(list), (Texts{"one", "two"}));
  EXPECT_EQ(list.ItemObject(0), 11u);
  EXPECT_EQ(list.ItemObject(1), 22u);
  EXPECT_GE(list.Capacity(), 2);
  EXPECT_EQ(counter.before, 0);
  EXPECT_EQ(counter.after, 0);
}

TEST(StringList, UnsortedEditingKeepsTextsAndObjects) {
  TQStringList list;
  EXPECT_EQ(list.Add("a"), 0);
  EXPECT_EQ(list.AddWithObject("b", 2), 1);
  list.InsertWithObjectAt(0, "first", 7);
  list.InsertAt(3, "last");
  EXPECT_EQ(TextsOf(list), (Texts{"first", "a", "b", "last"}));
  EXPECT_EQ(list.ItemObject(0), 7u);
  EXPECT_EQ(list.ItemObject(2), 2u);

  list.SetItemText(2, "B");
  EXPECT_EQ(list.ItemObject(2), 2u);
  list.Swap(0, 3);
  EXPECT_EQ(TextsOf(list), (Texts{"last", "a", "B", "first"}));
  EXPECT_EQ(list.ItemObject(3), 7u);

  list.MoveItem(3, 0);
  EXPECT_EQ(TextsOf(list), (Texts{"first", "last", "a", "B"}));
  EXPECT_EQ(list.ItemObject(0), 7u);
  list.MoveItem(0, 3);
  EXPECT_EQ(TextsOf(list), (Texts{"last", "a", "B", "first"}));
  EXPECT_EQ(list.ItemObject(3), 7u);

  const int32_t capacity = list.Capacity();
  list.DeleteAt(1);
  EXPECT_EQ(TextsOf(list), (Texts{"last", "B", "first"}));
  EXPECT_EQ(list.Capacity(), capacity);
  EXPECT_EQ(list.ItemObject(2), 7u);

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(StringList, GrowStepFollowsTheCapacitySeries) {
  TQStringList list;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 96; ++i) {
    list.Add("x");
    if (capacities.empty() || capacities.back() != list.Capacity()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
  EXPECT_EQ(NextListCapacity(0), 4);
  EXPECT_EQ(NextListCapacity(64), 80);
  EXPECT_EQ(NextListCapacity(400), 500);
}

TEST(StringList, PositionSearches) {
  TQStringList list;
  list.AddWithObject("Name=Quillon", 1);
  list.AddWithObject("alpha", 2);
  list.AddWithObject("ALPHA", 3);
  EXPECT_EQ(list.PositionOf("Alpha"), 1);  // case-insensitive, first match
  EXPECT_EQ(list.PositionOf("beta"), -1);
  EXPECT_EQ(list.PositionOfName("NAME"), 0);
  EXPECT_EQ(list.PositionOfName("alpha"), -1);
  EXPECT_EQ(list.PositionOfObject(3), 2);
  EXPECT_EQ(list.PositionOfObject(9), -1);

  list.SetCaseSensitive(true);
  EXPECT_EQ(list.PositionOf("ALPHA"), 2);
  EXPECT_EQ(list.PositionOf("Alpha"), -1);
}

TEST(SortedStringList, IgnoreAndRefuseAnswerTheExistingEntry) {
  for (TDuplicates policy : {TDuplicates::Ignore, TDuplicates::Refuse}) {
    TQStringList list;
    list.SetSorted(true);
    list.SetDuplicates(policy);
    list.Add("cherry");
    list.Add("apple");
    list.AddWithObject("Banana", 5);
    ASSERT_EQ(TextsOf(list), (Texts{"apple", "Banana", "cherry"}));

    EXPECT_EQ(list.AddWithObject("BANANA", 9), 1);
    EXPECT_EQ(list.Add("banana"), 1);
    EXPECT_EQ(TextsOf(list), (Texts{"apple", "Banana", "cherry"}));
    EXPECT_EQ(list.ItemObject(1), 5u);
    EXPECT_EQ(list.PositionOf("CHERRY"), 2);
    EXPECT_EQ(list.PositionOf("date"), -1);
  }
}

TEST(SortedStringList, AcceptPutsAnEqualTextFirst) {
  TQStringList list;
  list.SetSorted(true);
  list.SetDuplicates(TDuplicates::Accept);
  list.Add("a");
  list.AddWithObject("b", 1);
  list.Add("c");
  EXPECT_EQ(list.AddWithObject("B", 2), 1);
  EXPECT_EQ(list.AddWithObject("b", 3), 1);
  EXPECT_EQ(TextsOf(list), (Texts{"a", "b", "B", "b", "c"}));
  EXPECT_EQ(list.ItemObject(1), 3u);
  EXPECT_EQ(list.ItemObject(2), 2u);
  EXPECT_EQ(list.ItemObject(3), 1u);

  int32_t index = -1;
  EXPECT_TRUE(list.Locate("B", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.Locate("bb", index));
  EXPECT_EQ(index, 4);
  EXPECT_FALSE(list.Locate("0", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(list.Locate("z", index));
  EXPECT_EQ(index, 5);
}

TEST(SortedStringList, RefusesPositionalEdits) {
  TQStringList list;
  Fill(list, {"b", "a"}).SetSorted(true);
  ASSERT_EQ(TextsOf(list), (Texts{"a", "b"}));
  list.SetItemText(0, "z");
  list.InsertAt(0, "0");
  list.InsertWithObjectAt(2, "c", 1);
  list.MoveItem(0, 1);
  EXPECT_EQ(TextsOf(list), (Texts{"a", "b"}));
  list.SetItemObject(0, 4);  // objects may still change
  EXPECT_EQ(list.ItemObject(0), 4u);
}

TEST(SortedStringList, SortingFollowsTheCaseRule) {
  TQStringList list;
  Fill(list, {"b", "B", "a", "A"});
  list.SetCaseSensitive(true);
  list.SetSorted(true);
  // The user's locale puts lower case before upper case.
  EXPECT_EQ(TextsOf(list), (Texts{"a", "A", "b", "B"}));
  EXPECT_EQ(list.PositionOf("B"), 3);

  list.SetSorted(false);
  list.SetItemText(0, "c");
  list.SetSorted(true);
  EXPECT_EQ(TextsOf(list), (Texts{"A", "b", "B", "c"}));
}

TEST(SortedStringList, QuicksortOfManyRandomTexts) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> letter('a', 'z');
  std::uniform_int_distribution<int> length(1, 12);
  TQStringList list;
  list.SetCapacity(100000);
  for (int i = 0; i < 100000; ++i) {
    ByteString text;
    for (int n = length(random); n > 0; --n) text += static_cast<char>(letter(random));
    list.AddWithObject(text, static_cast<std::uintptr_t>(i));
  }
  list.SetSorted(true);
  ASSERT_EQ(list.Count(), 100000);
  std::vector<bool> seen(100000, false);
  for (int32_t i = 0; i < list.Count(); ++i) {
    if (i > 0) {
      ASSERT_LE(list.CompareTexts(list.ItemText(i - 1), list.ItemText(i)), 0) << i;
    }
    seen[list.ItemObject(i)] = true;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 100000);
}

TEST(SortedStringList, QuicksortOfEqualAndPresortedTexts) {
  TQStringList equal;
  for (int i = 0; i < 5000; ++i) equal.AddWithObject("same", static_cast<std::uintptr_t>(i));
  equal.SetSorted(true);
  EXPECT_EQ(equal.Count(), 5000);

  TQStringList descending;
  for (int i = 9999; i >= 0; --i) descending.Add(std::to_string(100000 + i));
  descending.SetSorted(true);
  for (int32_t i = 1; i < descending.Count(); ++i)
    ASSERT_LT(descending.CompareTexts(descending.ItemText(i - 1), descending.ItemText(i)), 0);
}

TEST(StringListNotifications, EachChangeIsAnnouncedOnce) {
  TQStringList list;
  NotificationCounter counter;
  counter.Watch(list);
  list.Clear();
  EXPECT_EQ(counter.before, 0);
  EXPECT_EQ(counter.after, 0);

  std::vector<char> order;
  list.SetBeforeChange([&](StringsBase& sender) { order.push_back('b'); EXPECT_EQ(&sender, &list); });
  list.SetAfterChange([&](StringsBase&) { order.push_back('a'); });
  list.Add("x");
  list.SetItemObject(0, 1);
  list.Swap(0, 0);
  list.DeleteAt(0);
  EXPECT_EQ(ByteString(order.begin(), order.end()), "babababa");
  order.clear();
  list.SetUpdating(true);
  list.SetUpdating(false);
  EXPECT_EQ(ByteString(order.begin(), order.end()), "ba");
}

TEST(StringListNotifications, BatchAnnouncesOnlyItsEnds) {
  TQStringList list;
  NotificationCounter counter;
  counter.Watch(list);
  list.BeginBatch();
  list.BeginBatch();
  for (int i = 0; i < 100; ++i) list.Add("line");
  list.EndBatch();
  EXPECT_EQ(counter.after, 0);
  list.EndBatch();
  EXPECT_EQ(list.Count(), 100);
  EXPECT_EQ(counter.before, 1);
  EXPECT_EQ(counter.after, 1);

  list.EndBatch();  // unbalanced: ignored
  EXPECT_EQ(list.BatchDepth(), 0);
  list.SplitText("a\r\nb\r\nc");
  EXPECT_EQ(counter.before, 2);
  EXPECT_EQ(counter.after, 2);
}

TEST(StringListNotifications, DestructionFiresNothing) {
  int calls = 0;
  {
    TQStringList list;
    list.Add("x");
    list.SetBeforeChange([&](StringsBase&) { ++calls; });
    list.SetAfterChange([&](StringsBase&) { ++calls; });
  }
  EXPECT_EQ(calls, 0);
}

TEST(StringListText, SplitTextLineBreaks) {
  TQStringList list;
  list.SplitText("one\r\n\r\ntwo\n");
  EXPECT_EQ(TextsOf(list), (Texts{"one", "", "two"}));
  list.SplitText("one\n\rtwo");  // LF CR is two breaks
  EXPECT_EQ(TextsOf(list), (Texts{"one", "", "two"}));
  list.SplitText("a\rb\nc\r\nd");
  EXPECT_EQ(TextsOf(list), (Texts{"a", "b", "c", "d"}));
  list.SplitText("\r");
  EXPECT_EQ(TextsOf(list), (Texts{""}));
  list.SplitText(ByteString("a\nb\0c\nd", 7));  // a NUL byte ends the text
  EXPECT_EQ(TextsOf(list), (Texts{"a", "b"}));
  list.SplitText("");
  EXPECT_EQ(list.Count(), 0);
  list.SetTextFromBuffer("x\ny");
  EXPECT_EQ(TextsOf(list), (Texts{"x", "y"}));
  list.SetTextFromBuffer(nullptr);
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringListText, JoinTextAndAddAll) {
  TQStringList list;
  EXPECT_EQ(list.JoinText(), "");
  list.AddWithObject("a", 1);
  list.Add("");
  EXPECT_EQ(list.JoinText(), "a\r\n\r\n");

  list.AddAll(list);  // counted once: adding itself ends
  EXPECT_EQ(TextsOf(list), (Texts{"a", "", "a", ""}));
  EXPECT_EQ(list.ItemObject(2), 1u);
}

TEST(StringListText, ValueOfMatchesNameWithoutCase) {
  TQStringList list;
  Fill(list, {"Title = spaced", "name=Quillon=1", "Empty=", "NAME=second", "Path=C:\\x"});
  EXPECT_EQ(list.ValueOf("NaMe"), "Quillon=1");
  EXPECT_EQ(list.ValueOf("path"), "C:\\x");
  EXPECT_EQ(list.ValueOf("Title"), "");   // blanks around "=" do not match
  EXPECT_EQ(list.ValueOf("empty"), "");
  EXPECT_EQ(list.ValueOf("Pat"), "");
  EXPECT_EQ(list.ValueOf("missing"), "");
  EXPECT_EQ(list.ValueOf(""), "");
  list.Add("=root");
  EXPECT_EQ(list.ValueOf(""), "root");
}
