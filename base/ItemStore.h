#pragma once
// ItemStore: the entries of a string list, with a count and a capacity of
// their own. An insertion into a full store grows it by one step of
// NextListCapacity; a deletion keeps the capacity; Clear frees the storage.
// The store does not check indexes: its lists ask HasIndex / HasInsertIndex
// first, since a bad index there means "do nothing".
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

// The capacity after one grow step: +4 up to 8, +16 from 9 to 64, then +1/4.
inline int32_t NextListCapacity(int32_t capacity) {
  if (capacity > 64) return capacity + capacity / 4;
  if (capacity > 8) return capacity + 16;
  return capacity + 4;
}

template <class Item>
class ItemStore {
public:
  int32_t Count() const { return count_; }
  int32_t Capacity() const { return static_cast<int32_t>(items_.size()); }
  // An existing entry.
  bool HasIndex(int32_t index) const { return index >= 0 && index < count_; }
  // A place for a new entry: 0 to Count.
  bool HasInsertIndex(int32_t index) const { return index >= 0 && index <= count_; }

  Item& operator[](int32_t index) { return items_[index]; }
  const Item& operator[](int32_t index) const { return items_[index]; }

  // Resizes the storage; never below Count.
  void SetCapacity(int32_t capacity) {
    if (capacity < count_) return;  // would drop entries
    items_.resize(static_cast<std::size_t>(capacity));
    if (capacity == 0) items_.shrink_to_fit();
  }

  void InsertAt(int32_t index, Item item) {
    if (count_ == Capacity()) SetCapacity(NextListCapacity(count_));
    std::move_backward(items_.begin() + index, items_.begin() + count_, items_.begin() + count_ + 1);
    items_[index] = std::move(item);
    ++count_;
  }

  void DeleteAt(int32_t index) {
    std::move(items_.begin() + index + 1, items_.begin() + count_, items_.begin() + index);
    --count_;
    items_[count_] = Item();
  }

  void Exchange(int32_t first, int32_t second) { std::swap(items_[first], items_[second]); }

  // Bisection over entries in order; compare(item) is negative, 0 or positive
  // as the entry sorts before, with or after the one sought. Answers whether
  // an equal entry exists; index is that entry (the first equal one under
  // firstOfEqual) or the insertion position.
  template <class Compare>
  bool Bisect(Compare compare, bool firstOfEqual, int32_t& index) const {
    int32_t lo = 0;
    int32_t hi = count_ - 1;
    bool found = false;
    while (lo <= hi) {
      const int32_t mid = static_cast<int32_t>((static_cast<uint32_t>(lo) + static_cast<uint32_t>(hi)) >> 1);
      const int c = compare(items_[mid]);
      if (c < 0) {
        lo = mid + 1;
      } else {
        hi = mid - 1;
        if (c == 0) {
          found = true;
          if (!firstOfEqual) lo = mid;
        }
      }
    }
    index = lo;
    return found;
  }

  void Clear() {
    items_.clear();
    items_.shrink_to_fit();
    count_ = 0;
  }

private:
  std::vector<Item> items_;  // size() is the capacity
  int32_t count_ = 0;
};
