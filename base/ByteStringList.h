#pragma once
// StringsBase, the common base of the program's two string lists, and
// TQStringList, the ordered byte-string list. Neither list ever fails on a bad
// index: reads outside the list give an empty value, writes do nothing.
#include <cstdint>
#include <functional>
#include "base/ItemStore.h"
#include "base/Text.h"

class StringsBase;

// Duplicates policy of a sorted list.
enum class TDuplicates : uint8_t {
  Ignore = 0,  // an equal text is not added; its index is answered
  Accept = 1,  // an equal text goes in front of the existing ones
  Refuse = 2,  // as Ignore, without any error
};

// Before-change and after-change notifications. The callable carries its own
// context; it receives the list that changed.
using TChangeNotification = std::function<void(StringsBase& sender)>;

class StringsBase {
public:
  StringsBase() = default;
  StringsBase(const StringsBase&) = delete;
  StringsBase& operator=(const StringsBase&) = delete;
  virtual ~StringsBase() = default;

  // Reading. Invalid indexes give the empty text and object 0.
  virtual ByteString ItemText(int32_t index) const = 0;
  virtual int32_t Capacity() const = 0;
  virtual int32_t Count() const = 0;
  virtual std::uintptr_t ItemObject(int32_t index) const = 0;
  // Every entry followed by CR LF.
  virtual ByteString JoinText() const;

  // Writing. Invalid indexes and refused insertions do nothing.
  // Base: keeps the object, DeleteAt, then InsertWithObjectAt at the same index.
  virtual void SetItemText(int32_t index, const ByteString& text);
  virtual void SetItemObject(int32_t index, std::uintptr_t object) = 0;
  virtual void SetCapacity(int32_t capacity) = 0;
  // Clear, then one entry per line (CR, LF or CR LF end a line; a NUL byte
  // ends the text), all inside one batch.
  virtual void SplitText(const ByteString& text);
  // true: before-change, false: after-change (only outside a batch).
  virtual void SetUpdating(bool updating) = 0;
  // Negative, 0 or positive. Base: case-insensitive locale comparison.
  virtual int CompareTexts(const ByteString& a, const ByteString& b) const;
  // Base: InsertAt(Count, text); answers the old count.
  virtual int32_t Add(const ByteString& text);
  // Base: Add, then SetItemObject at the answered index.
  virtual int32_t AddWithObject(const ByteString& text, std::uintptr_t object);
  // Adds every entry of the source (texts with their objects) inside one batch.
  virtual void AddAll(const StringsBase& source);
  virtual void Clear() = 0;
  virtual void DeleteAt(int32_t index) = 0;
  virtual void Swap(int32_t first, int32_t second) = 0;
  // Base: first index whose text compares equal under CompareTexts; -1 if none.
  virtual int32_t PositionOf(const ByteString& text) const;
  // First entry "name=..." whose name compares equal under CompareTexts; -1 if none.
  virtual int32_t PositionOfName(const ByteString& name) const;
  // First entry holding the object; -1 if none.
  virtual int32_t PositionOfObject(std::uintptr_t object) const;
  virtual void InsertAt(int32_t index, const ByteString& text) = 0;
  // Base: InsertAt, then SetItemObject.
  virtual void InsertWithObjectAt(int32_t index, const ByteString& text, std::uintptr_t object);
  // When from != to, inside one batch: DeleteAt(from), InsertWithObjectAt(to, ...).
  virtual void MoveItem(int32_t from, int32_t to);
  // The text up to the first NUL byte, as SplitText (null: an empty list).
  virtual void SetTextFromBuffer(const char* buffer);

  // A batch announces one before-change at its start and one after-change at its end.
  void BeginBatch();
  void EndBatch();
  int32_t BatchDepth() const { return batchDepth_; }

private:
  int32_t batchDepth_ = 0;
};

// One entry of TQStringList.
struct TStringItem {
  ByteString text;
  std::uintptr_t object = 0;  // not owned
};

class TQStringList : public StringsBase {
public:
  TQStringList() = default;
  // Drops the notifications first, so none fires while the list goes away.
  ~TQStringList() override;

  ByteString ItemText(int32_t index) const override;
  int32_t Capacity() const override { return items_.Capacity(); }
  int32_t Count() const override { return items_.Count(); }
  std::uintptr_t ItemObject(int32_t index) const override;
  // Only on an unsorted list and a valid index.
  void SetItemText(int32_t index, const ByteString& text) override;
  void SetItemObject(int32_t index, std::uintptr_t object) override;
  // Resizes the storage; never below Count.
  void SetCapacity(int32_t capacity) override;
  void SetUpdating(bool updating) override;
  // Locale comparison (user default locale), case-insensitive unless
  // CaseSensitive is set.
  int CompareTexts(const ByteString& a, const ByteString& b) const override;
  int32_t Add(const ByteString& text) override;
  // Unsorted: appends. Sorted: Locate; an equal text under Ignore or Refuse
  // adds nothing and answers the existing entry's index.
  int32_t AddWithObject(const ByteString& text, std::uintptr_t object) override;
  // Frees the storage; an empty list fires nothing.
  void Clear() override;
  // The capacity stays.
  void DeleteAt(int32_t index) override;
  void Swap(int32_t first, int32_t second) override;
  // Sorted: Locate (-1 without a match); unsorted: first equal entry.
  int32_t PositionOf(const ByteString& text) const override;
  // Only on an unsorted list and 0 <= index <= Count.
  void InsertAt(int32_t index, const ByteString& text) override;
  void InsertWithObjectAt(int32_t index, const ByteString& text, std::uintptr_t object) override;
  // A sorted list keeps its order: nothing moves.
  void MoveItem(int32_t from, int32_t to) override;

  // Bisection search. Answers whether an equal entry exists; index is that
  // entry (the first equal one under Accept) or the insertion position.
  bool Locate(const ByteString& text, int32_t& index) const;
  // Quicksort of an unsorted list with more than one entry.
  void SortItems();
  // Turning sorting on sorts first.
  void SetSorted(bool sorted);
  bool Sorted() const { return sorted_; }
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  bool CaseSensitive() const { return caseSensitive_; }
  // A sorted list is sorted again under the new comparison.
  void SetCaseSensitive(bool caseSensitive);
  // The rest of the first entry that starts with name + "=" (ASCII letters
  // compared without case); empty when none.
  ByteString ValueOf(const ShortText& name) const;

  // Grows with every change of the entries or of how they compare: tells
  // an index kept beside the list whether it still holds.
  uint64_t ChangeCount() const { return changes_; }
  void SetBeforeChange(TChangeNotification notification) { beforeChange_ = std::move(notification); }
  void SetAfterChange(TChangeNotification notification) { afterChange_ = std::move(notification); }

protected:
  void NotifyBeforeChange();
  void NotifyAfterChange();

private:
  void InsertItem(int32_t index, const ByteString& text, std::uintptr_t object);
  void QuickSort(int32_t lo, int32_t hi);

  ItemStore<TStringItem> items_;
  bool sorted_ = false;
  TDuplicates duplicates_ = TDuplicates::Ignore;
  bool caseSensitive_ = false;
  uint64_t changes_ = 0;
  TChangeNotification afterChange_;
  TChangeNotification beforeChange_;
};
