#include "base/ByteStringList.h"

#include "platform/Text.h"

// ---- StringsBase ---------------------------------------------------------

ByteString StringsBase::JoinText() const {
  ByteString result;
  const int32_t count = Count();
  for (int32_t i = 0; i < count; ++i) {
    result += ItemText(i);
    result += "\r\n";
  }
  return result;
}

void StringsBase::SetItemText(int32_t index, const ByteString& text) {
  if (index < 0 || index >= Count()) return;
  const std::uintptr_t object = ItemObject(index);
  DeleteAt(index);
  InsertWithObjectAt(index, text, object);
}

void StringsBase::SplitText(const ByteString& text) {
  BeginBatch();
  Clear();
  const std::size_t n = text.size();
  std::size_t p = 0;
  while (p < n && text[p] != '\0') {
    const std::size_t start = p;
    while (p < n && text[p] != '\0' && text[p] != '\r' && text[p] != '\n') ++p;
    Add(text.substr(start, p - start));
    // CR, LF and CR LF are one break each; LF CR is two.
    if (p < n && text[p] == '\r') ++p;
    if (p < n && text[p] == '\n') ++p;
  }
  EndBatch();
}

int StringsBase::CompareTexts(const ByteString& a, const ByteString& b) const {
  return platform::CompareAnsi(platform::kNormIgnoreCase, a, b) - 2;
}

int32_t StringsBase::Add(const ByteString& text) {
  const int32_t index = Count();
  InsertAt(index, text);
  return index;
}

int32_t StringsBase::AddWithObject(const ByteString& text, std::uintptr_t object) {
  const int32_t index = Add(text);
  SetItemObject(index, object);
  return index;
}

void StringsBase::AddAll(const StringsBase& source) {
  BeginBatch();
  // Counted once, so that adding a list to itself ends.
  const int32_t count = source.Count();
  for (int32_t i = 0; i < count; ++i) AddWithObject(source.ItemText(i), source.ItemObject(i));
  EndBatch();
}

int32_t StringsBase::PositionOf(const ByteString& text) const {
  const int32_t count = Count();
  for (int32_t i = 0; i < count; ++i)
    if (CompareTexts(ItemText(i), text) == 0) return i;
  return -1;
}

int32_t StringsBase::PositionOfName(const ByteString& name) const {
  const int32_t count = Count();
  for (int32_t i = 0; i < count; ++i) {
    const ByteString text = ItemText(i);
    const std::size_t equals = text.find('=');
    if (equals != ByteString::npos && CompareTexts(text.substr(0, equals), name) == 0) return i;
  }
  return -1;
}

int32_t StringsBase::PositionOfObject(std::uintptr_t object) const {
  const int32_t count = Count();
  for (int32_t i = 0; i < count; ++i)
    if (ItemObject(i) == object) return i;
  return -1;
}

void StringsBase::InsertWithObjectAt(int32_t index, const ByteString& text, std::uintptr_t object) {
  const int32_t before = Count();
  InsertAt(index, text);
  if (Count() > before) SetItemObject(index, object);
}

void StringsBase::MoveItem(int32_t from, int32_t to) {
  // Both positions must be valid: a bad one would otherwise drop the entry
  // or conjure an empty one.
  const int32_t count = Count();
  if (from == to || from < 0 || from >= count || to < 0 || to >= count) return;
  BeginBatch();
  const ByteString text = ItemText(from);
  const std::uintptr_t object = ItemObject(from);
  DeleteAt(from);
  InsertWithObjectAt(to, text, object);
  EndBatch();
}

void StringsBase::SetTextFromBuffer(const char* buffer) {
  SplitText(buffer ? ByteString(buffer) : ByteString());
}

void StringsBase::BeginBatch() {
  if (batchDepth_ == 0) SetUpdating(true);
  ++batchDepth_;
}

void StringsBase::EndBatch() {
  if (batchDepth_ <= 0) return;  // unbalanced: nothing to close
  --batchDepth_;
  if (batchDepth_ == 0) SetUpdating(false);
}

// ---- TQStringList --------------------------------------------------------

TQStringList::~TQStringList() {
  beforeChange_ = nullptr;
  afterChange_ = nullptr;
}

ByteString TQStringList::ItemText(int32_t index) const {
  if (!items_.HasIndex(index)) return ByteString();
  return items_[index].text;
}

std::uintptr_t TQStringList::ItemObject(int32_t index) const {
  if (!items_.HasIndex(index)) return 0;
  return items_[index].object;
}

void TQStringList::SetItemText(int32_t index, const ByteString& text) {
  if (sorted_ || !items_.HasIndex(index)) return;
  NotifyBeforeChange();
  items_[index].text = text;
  NotifyAfterChange();
}

void TQStringList::SetItemObject(int32_t index, std::uintptr_t object) {
  if (!items_.HasIndex(index)) return;
  NotifyBeforeChange();
  items_[index].object = object;
  NotifyAfterChange();
}

void TQStringList::SetCapacity(int32_t capacity) { items_.SetCapacity(capacity); }

void TQStringList::SetUpdating(bool updating) {
  if (updating)
    NotifyBeforeChange();
  else
    NotifyAfterChange();
}

void TQStringList::NotifyBeforeChange() {
  ++changes_;
  if (BatchDepth() == 0 && beforeChange_) beforeChange_(*this);
}

void TQStringList::NotifyAfterChange() {
  if (BatchDepth() == 0 && afterChange_) afterChange_(*this);
}

int TQStringList::CompareTexts(const ByteString& a, const ByteString& b) const {
  return platform::CompareAnsi(caseSensitive_ ? 0 : platform::kNormIgnoreCase, a, b) - 2;
}

int32_t TQStringList::Add(const ByteString& text) { return AddWithObject(text, 0); }

int32_t TQStringList::AddWithObject(const ByteString& text, std::uintptr_t object) {
  int32_t index = items_.Count();
  if (sorted_ && Locate(text, index) && duplicates_ != TDuplicates::Accept) return index;
  InsertItem(index, text, object);
  return index;
}

void TQStringList::InsertItem(int32_t index, const ByteString& text, std::uintptr_t object) {
  NotifyBeforeChange();
  items_.InsertAt(index, TStringItem{text, object});
  NotifyAfterChange();
}

void TQStringList::Clear() {
  if (items_.Count() <= 0) return;
  NotifyBeforeChange();
  items_.Clear();
  NotifyAfterChange();
}

void TQStringList::DeleteAt(int32_t index) {
  if (!items_.HasIndex(index)) return;
  NotifyBeforeChange();
  items_.DeleteAt(index);
  NotifyAfterChange();
}

void TQStringList::Swap(int32_t first, int32_t second) {
  if (!items_.HasIndex(first) || !items_.HasIndex(second)) return;
  NotifyBeforeChange();
  items_.Exchange(first, second);
  NotifyAfterChange();
}

int32_t TQStringList::PositionOf(const ByteString& text) const {
  if (sorted_) {
    int32_t index = -1;
    return Locate(text, index) ? index : -1;
  }
  for (int32_t i = 0; i < items_.Count(); ++i)
    if (CompareTexts(items_[i].text, text) == 0) return i;
  return -1;
}

void TQStringList::InsertAt(int32_t index, const ByteString& text) { InsertWithObjectAt(index, text, 0); }

void TQStringList::InsertWithObjectAt(int32_t index, const ByteString& text, std::uintptr_t object) {
  if (sorted_ || !items_.HasInsertIndex(index)) return;
  InsertItem(index, text, object);
}

void TQStringList::MoveItem(int32_t from, int32_t to) {
  // A sorted list refuses the re-insertion; moving would lose the entry.
  if (sorted_) return;
  StringsBase::MoveItem(from, to);
}

bool TQStringList::Locate(const ByteString& text, int32_t& index) const {
  return items_.Bisect([&](const TStringItem& item) { return CompareTexts(item.text, text); },
                       duplicates_ == TDuplicates::Accept, index);
}

void TQStringList::SortItems() {
  if (sorted_ || items_.Count() <= 1) return;
  NotifyBeforeChange();
  QuickSort(0, items_.Count() - 1);
  NotifyAfterChange();
}

// Hoare partition around the middle entry, following the pivot through the
// exchanges. Each partition touches only its own range, so taking the smaller
// side first (to bound the recursion) leaves the same order as left-first.
void TQStringList::QuickSort(int32_t lo, int32_t hi) {
  while (lo < hi) {
    int32_t i = lo;
    int32_t j = hi;
    int32_t p = static_cast<int32_t>((static_cast<uint32_t>(lo) + static_cast<uint32_t>(hi)) >> 1);
    do {
      // The bounds only matter for a comparison that contradicts itself.
      while (i < hi && CompareTexts(items_[i].text, items_[p].text) < 0) ++i;
      while (j > lo && CompareTexts(items_[j].text, items_[p].text) > 0) --j;
      if (i <= j) {
        items_.Exchange(i, j);
        if (p == i)
          p = j;
        else if (p == j)
          p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - lo < hi - i) {
      if (lo < j) QuickSort(lo, j);
      lo = i;
    } else {
      if (i < hi) QuickSort(i, hi);
      hi = j;
    }
  }
}

void TQStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) SortItems();
  sorted_ = sorted;
}

void TQStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  ++changes_;
  caseSensitive_ = caseSensitive;
  if (sorted_) {
    sorted_ = false;
    SetSorted(true);
  }
}

namespace {
ByteString AsciiUpper(ByteString text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}
}  // namespace

ByteString TQStringList::ValueOf(const ShortText& name) const {
  const ByteString key = AsciiUpper(name.str()) + "=";
  for (int32_t i = 0; i < items_.Count(); ++i) {
    const ByteString& text = items_[i].text;
    if (text.size() >= key.size() && AsciiUpper(text.substr(0, key.size())) == key)
      return text.substr(key.size());
  }
  return ByteString();
}
