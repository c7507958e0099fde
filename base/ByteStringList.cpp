#include "base/ByteStringList.h"

#include <algorithm>
#include <utility>

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

int32_t NextListCapacity(int32_t capacity) {
  if (capacity > 64) return capacity + capacity / 4;
  if (capacity > 8) return capacity + 16;
  return capacity + 4;
}

TQStringList::~TQStringList() {
  beforeChange_ = nullptr;
  afterChange_ = nullptr;
}

ByteString TQStringList::ItemText(int32_t index) const {
  if (index < 0 || index >= count_) return ByteString();
  return items_[index].text;
}

std::uintptr_t TQStringList::ItemObject(int32_t index) const {
  if (index < 0 || index >= count_) return 0;
  return items_[index].object;
}

void TQStringList::SetItemText(int32_t index, const ByteString& text) {
  if (sorted_ || index < 0 || index >= count_) return;
  NotifyBeforeChange();
  items_[index].text = text;
  NotifyAfterChange();
}

void TQStringList::SetItemObject(int32_t index, std::uintptr_t object) {
  if (index < 0 || index >= count_) return;
  NotifyBeforeChange();
  items_[index].object = object;
  NotifyAfterChange();
}

void TQStringList::SetCapacity(int32_t capacity) {
  if (capacity < count_) return;  // would drop entries
  items_.resize(static_cast<std::size_t>(capacity));
  if (capacity == 0) items_.shrink_to_fit();
  capacity_ = capacity;
}

void TQStringList::SetUpdating(bool updating) {
  if (updating)
    NotifyBeforeChange();
  else
    NotifyAfterChange();
}

void TQStringList::NotifyBeforeChange() {
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
  int32_t index = count_;
  if (sorted_ && Locate(text, index) && duplicates_ != TDuplicates::Accept) return index;
  InsertItem(index, text, object);
  return index;
}

void TQStringList::Grow() { SetCapacity(NextListCapacity(capacity_)); }

void TQStringList::InsertItem(int32_t index, const ByteString& text, std::uintptr_t object) {
  NotifyBeforeChange();
  if (count_ == capacity_) Grow();
  std::move_backward(items_.begin() + index, items_.begin() + count_, items_.begin() + count_ + 1);
  items_[index].text = text;
  items_[index].object = object;
  ++count_;
  NotifyAfterChange();
}

void TQStringList::Clear() {
  if (count_ <= 0) return;
  NotifyBeforeChange();
  items_.clear();
  items_.shrink_to_fit();
  count_ = 0;
  capacity_ = 0;
  NotifyAfterChange();
}

void TQStringList::DeleteAt(int32_t index) {
  if (index < 0 || index >= count_) return;
  NotifyBeforeChange();
  std::move(items_.begin() + index + 1, items_.begin() + count_, items_.begin() + index);
  --count_;
  items_[count_] = TStringItem();
  NotifyAfterChange();
}

void TQStringList::Swap(int32_t first, int32_t second) {
  if (first < 0 || first >= count_ || second < 0 || second >= count_) return;
  NotifyBeforeChange();
  ExchangeItems(first, second);
  NotifyAfterChange();
}

void TQStringList::ExchangeItems(int32_t first, int32_t second) {
  std::swap(items_[first], items_[second]);
}

int32_t TQStringList::PositionOf(const ByteString& text) const {
  if (sorted_) {
    int32_t index = -1;
    return Locate(text, index) ? index : -1;
  }
  for (int32_t i = 0; i < count_; ++i)
    if (CompareTexts(items_[i].text, text) == 0) return i;
  return -1;
}

void TQStringList::InsertAt(int32_t index, const ByteString& text) { InsertWithObjectAt(index, text, 0); }

void TQStringList::InsertWithObjectAt(int32_t index, const ByteString& text, std::uintptr_t object) {
  if (sorted_ || index < 0 || index > count_) return;
  InsertItem(index, text, object);
}

void TQStringList::MoveItem(int32_t from, int32_t to) {
  // A sorted list refuses the re-insertion; moving would lose the entry.
  if (sorted_) return;
  StringsBase::MoveItem(from, to);
}

bool TQStringList::Locate(const ByteString& text, int32_t& index) const {
  int32_t lo = 0;
  int32_t hi = count_ - 1;
  bool found = false;
  while (lo <= hi) {
    const int32_t mid = static_cast<int32_t>((static_cast<uint32_t>(lo) + static_cast<uint32_t>(hi)) >> 1);
    const int c = CompareTexts(items_[mid].text, text);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != TDuplicates::Accept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TQStringList::SortItems() {
  if (sorted_ || count_ <= 1) return;
  NotifyBeforeChange();
  QuickSort(0, count_ - 1);
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
        ExchangeItems(i, j);
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
  for (int32_t i = 0; i < count_; ++i) {
    const ByteString& text = items_[i].text;
    if (text.size() >= key.size() && AsciiUpper(text.substr(0, key.size())) == key)
      return text.substr(key.size());
  }
  return ByteString();
}
