#pragma once
// TWStringList: the list of UTF-16 texts that holds the language data. Its
// wide face reads and writes texts as they are; its byte face (the StringsBase
// interface) converts to and from the thread's ANSI code page on every access.
#include <cstdint>
#include "base/ByteStringList.h"
#include "base/Encodings.h"
#include "base/ItemStore.h"

// One entry of TWStringList.
struct TWidestringItem {
  WideString text;
  std::uintptr_t object = 0;  // not owned
};

// Answers of SplitUtf16.
enum TSplitUtf16Result : int {
  splitDone = 0,         // lines taken (or no data)
  splitNoMark = 1,       // no byte-order mark and no default kind: not split
  splitUnsupported = 2,  // a mark (or default) other than UTF-16LE: list empty
};

class TWStringList : public StringsBase {
public:
  TWStringList() = default;
  ~TWStringList() override;

  // Byte face.
  ByteString ItemText(int32_t index) const override;
  int32_t Capacity() const override { return items_.Capacity(); }
  int32_t Count() const override { return items_.Count(); }
  std::uintptr_t ItemObject(int32_t index) const override;
  void SetItemObject(int32_t index, std::uintptr_t object) override;
  void SetCapacity(int32_t capacity) override;
  // UTF-16LE data with a mark is split as wide lines; data without a mark as
  // ANSI lines; any other mark leaves the list empty.
  void SplitText(const ByteString& text) override;
  void SetUpdating(bool updating) override;
  // A TWStringList source keeps its wide texts.
  void AddAll(const StringsBase& source) override;
  void Clear() override;
  void DeleteAt(int32_t index) override;
  void Swap(int32_t first, int32_t second) override;
  void InsertAt(int32_t index, const ByteString& text) override;
  void MoveItem(int32_t from, int32_t to) override;

  // Wide face.
  WideString WideItemText(int32_t index) const;
  void SetWideItemText(int32_t index, const WideString& text);
  int32_t AddWide(const WideString& text);
  int32_t AddWideWithObject(const WideString& text, std::uintptr_t object);
  void InsertWideAt(int32_t index, const WideString& text, std::uintptr_t object);
  bool LocateWide(const WideString& text, int32_t& index) const;
  int CompareWide(const WideString& a, const WideString& b) const;
  // Clear; then the text's lines (as UTF-16LE).
  void SetWideText(const WideString& text);
  // Every entry followed by CR LF, after U+FEFF when withMark; empty for an
  // empty list.
  WideString WideText(bool withMark) const;
  // Clears the list, then splits UTF-16LE data into lines: CR, LF, CR LF and
  // LF CR each end one line.
  TSplitUtf16Result SplitUtf16(const void* data, int32_t byteCount, TByteOrderMark defaultKind);

  // Kept with the meaning of TQStringList; nothing in the program changes them.
  bool Sorted() const { return sorted_; }
  TDuplicates Duplicates() const { return duplicates_; }
  bool CaseSensitive() const { return caseSensitive_; }

  void SetBeforeChange(TChangeNotification notification) { beforeChange_ = std::move(notification); }
  void SetAfterChange(TChangeNotification notification) { afterChange_ = std::move(notification); }

private:
  void NotifyBeforeChange();
  void NotifyAfterChange();
  void InsertItem(int32_t index, const WideString& text, std::uintptr_t object);

  ItemStore<TWidestringItem> items_;
  bool sorted_ = false;
  TDuplicates duplicates_ = TDuplicates::Ignore;
  bool caseSensitive_ = false;
  TChangeNotification afterChange_;
  TChangeNotification beforeChange_;
};

// Clears the list and reads the whole file into it: UTF-16LE with a mark as
// wide lines, data without a mark as ANSI lines. False for a null list, a
// file that cannot be read or is empty, or an unsupported mark (list empty).
bool LoadWideListFromFile(const ByteString& fileName, TWStringList* list);
