#include "base/WideStringList.h"

#include "package/WholeFiles.h"
#include "platform/Text.h"

namespace {

// The byte face converts in the thread's ANSI code page, without flags.
ByteString ToThreadAnsi(const WideString& text) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return ByteString();
  const int length = static_cast<int>(text.size());
  const int size = platform::WideToMultiByte(platform::kCpThreadAcp, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return ByteString();
  ByteString result(static_cast<std::size_t>(size), '\0');
  const int written = platform::WideToMultiByte(platform::kCpThreadAcp, 0, text.data(), length, &result[0], size);
  result.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  return result;
}

WideString FromThreadAnsi(const ByteString& text) {
  if (text.empty() || text.size() > 0x7FFFFFFF) return WideString();
  const int length = static_cast<int>(text.size());
  const int size = platform::MultiByteToWide(platform::kCpThreadAcp, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return WideString();
  WideString result(static_cast<std::size_t>(size), u'\0');
  const int written = platform::MultiByteToWide(platform::kCpThreadAcp, 0, text.data(), length, &result[0], size);
  result.resize(static_cast<std::size_t>(written > 0 ? written : 0));
  return result;
}

int32_t ClampedSize(std::size_t size) { return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(size); }

}  // namespace

TWStringList::~TWStringList() {
  beforeChange_ = nullptr;
  afterChange_ = nullptr;
}

// ---- byte face -----------------------------------------------------------

ByteString TWStringList::ItemText(int32_t index) const {
  if (!items_.HasIndex(index)) return ByteString();
  return ToThreadAnsi(items_[index].text);
}

std::uintptr_t TWStringList::ItemObject(int32_t index) const {
  if (!items_.HasIndex(index)) return 0;
  return items_[index].object;
}

void TWStringList::SetItemObject(int32_t index, std::uintptr_t object) {
  if (!items_.HasIndex(index)) return;
  NotifyBeforeChange();
  items_[index].object = object;
  NotifyAfterChange();
}

void TWStringList::SetCapacity(int32_t capacity) { items_.SetCapacity(capacity); }

void TWStringList::SplitText(const ByteString& text) {
  Clear();
  if (text.empty()) return;
  if (SplitUtf16(text.data(), ClampedSize(text.size()), bomNone) == splitNoMark)
    StringsBase::SplitText(text);  // no mark: ANSI lines
}

void TWStringList::SetUpdating(bool updating) {
  if (updating)
    NotifyBeforeChange();
  else
    NotifyAfterChange();
}

void TWStringList::NotifyBeforeChange() {
  if (BatchDepth() == 0 && beforeChange_) beforeChange_(*this);
}

void TWStringList::NotifyAfterChange() {
  if (BatchDepth() == 0 && afterChange_) afterChange_(*this);
}

void TWStringList::AddAll(const StringsBase& source) {
  const auto* wide = dynamic_cast<const TWStringList*>(&source);
  if (wide == nullptr) {
    StringsBase::AddAll(source);
    return;
  }
  BeginBatch();
  const int32_t count = wide->Count();  // counted once: a list may add itself
  for (int32_t i = 0; i < count; ++i) AddWideWithObject(wide->WideItemText(i), wide->ItemObject(i));
  EndBatch();
}

void TWStringList::Clear() {
  if (items_.Count() <= 0) return;
  NotifyBeforeChange();
  items_.Clear();
  NotifyAfterChange();
}

void TWStringList::DeleteAt(int32_t index) {
  if (!items_.HasIndex(index)) return;
  NotifyBeforeChange();
  items_.DeleteAt(index);
  NotifyAfterChange();
}

void TWStringList::Swap(int32_t first, int32_t second) {
  if (!items_.HasIndex(first) || !items_.HasIndex(second)) return;
  NotifyBeforeChange();
  items_.Exchange(first, second);
  NotifyAfterChange();
}

void TWStringList::InsertAt(int32_t index, const ByteString& text) {
  InsertWideAt(index, FromThreadAnsi(text), 0);
}

void TWStringList::MoveItem(int32_t from, int32_t to) {
  // Both positions must be valid, or the entry would be lost or conjured.
  if (from == to || sorted_ || !items_.HasIndex(from) || !items_.HasIndex(to)) return;
  BeginBatch();
  const WideString text = items_[from].text;
  const std::uintptr_t object = items_[from].object;
  DeleteAt(from);
  InsertWideAt(to, text, object);
  EndBatch();
}

// ---- wide face -----------------------------------------------------------

WideString TWStringList::WideItemText(int32_t index) const {
  if (!items_.HasIndex(index)) return WideString();
  return items_[index].text;
}

void TWStringList::SetWideItemText(int32_t index, const WideString& text) {
  if (sorted_ || !items_.HasIndex(index)) return;
  NotifyBeforeChange();
  items_[index].text = text;
  NotifyAfterChange();
}

int32_t TWStringList::AddWide(const WideString& text) { return AddWideWithObject(text, 0); }

int32_t TWStringList::AddWideWithObject(const WideString& text, std::uintptr_t object) {
  int32_t index = items_.Count();
  if (sorted_ && LocateWide(text, index) && duplicates_ != TDuplicates::Accept) return index;
  InsertItem(index, text, object);
  return index;
}

void TWStringList::InsertWideAt(int32_t index, const WideString& text, std::uintptr_t object) {
  if (sorted_ || !items_.HasInsertIndex(index)) return;
  InsertItem(index, text, object);
}

void TWStringList::InsertItem(int32_t index, const WideString& text, std::uintptr_t object) {
  NotifyBeforeChange();
  items_.InsertAt(index, TWidestringItem{text, object});
  NotifyAfterChange();
}

bool TWStringList::LocateWide(const WideString& text, int32_t& index) const {
  return items_.Bisect([&](const TWidestringItem& item) { return CompareWide(item.text, text); },
                       duplicates_ == TDuplicates::Accept, index);
}

int TWStringList::CompareWide(const WideString& a, const WideString& b) const {
  const uint32_t flags = caseSensitive_ ? 0 : platform::kNormIgnoreCase;
  const int result = platform::CompareWideText(flags, a, b);
  if (result != 0) return result - 2;
  // The wide comparison is not available: compare the ANSI forms by the same rule.
  return platform::CompareAnsi(flags, ToThreadAnsi(a), ToThreadAnsi(b)) - 2;
}

void TWStringList::SetWideText(const WideString& text) {
  Clear();
  if (text.empty()) return;
  const ByteString bytes = WideToBytes(text);
  SplitUtf16(bytes.data(), ClampedSize(bytes.size()), bomUtf16LE);
}

WideString TWStringList::WideText(bool withMark) const {
  if (items_.Count() == 0) return WideString();
  WideString result;
  if (withMark) result += u'\xFEFF';
  for (int32_t i = 0; i < items_.Count(); ++i) {
    result += items_[i].text;
    result += u"\r\n";
  }
  return result;
}

TSplitUtf16Result TWStringList::SplitUtf16(const void* data, int32_t byteCount, TByteOrderMark defaultKind) {
  Clear();
  if (data == nullptr || byteCount <= 0) return splitDone;
  int32_t markLength = 0;
  TByteOrderMark kind = DetectByteOrderMark(data, byteCount, markLength);
  if (kind == bomNone) {
    if (defaultKind == bomNone) return splitNoMark;
    kind = defaultKind;
  }
  if (kind != bomUtf16LE) return splitUnsupported;

  const auto* bytes = static_cast<const unsigned char*>(data);
  const int32_t units = (byteCount - markLength) / 2;  // an odd last byte is ignored
  const auto unitAt = [&](int32_t i) -> char16_t {
    const int32_t at = markLength + 2 * i;
    return static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8));
  };
  const auto lineOf = [&](int32_t start, int32_t length) {
    WideString line(static_cast<std::size_t>(length), u'\0');
    for (int32_t k = 0; k < length; ++k) line[k] = unitAt(start + k);
    return line;
  };

  int32_t lineStart = 0;
  int32_t lineLength = 0;
  char16_t previousBreak = 0;  // none
  for (int32_t i = 0; i < units; ++i) {
    const char16_t unit = unitAt(i);
    if (unit != u'\n' && unit != u'\r') {
      ++lineLength;
      previousBreak = 0;
    } else if (previousBreak != 0 && previousBreak != unit) {
      // The second half of CR LF or LF CR.
      lineStart = i + 1;
      previousBreak = 0;
    } else {
      if (lineLength > 0)
        AddWide(lineOf(lineStart, lineLength));
      else
        Add(ByteString());
      lineStart = i + 1;
      lineLength = 0;
      previousBreak = unit;
    }
  }
  if (lineLength > 0) AddWide(lineOf(lineStart, lineLength));
  return splitDone;
}

bool LoadWideListFromFile(const ByteString& fileName, TWStringList* list) {
  if (list == nullptr) return false;
  list->Clear();
  ByteString data;
  if (!ReadWholeFile(fileName, data)) {
    list->Clear();
    return false;
  }
  switch (list->SplitUtf16(data.data(), ClampedSize(data.size()), bomNone)) {
    case splitDone:
      return true;
    case splitNoMark:
      list->SplitText(data);  // ANSI lines
      return true;
    default:
      return false;
  }
}
