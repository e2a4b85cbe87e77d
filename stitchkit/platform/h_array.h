#pragma once

#include <cassert>
#include <cstddef>
#include <utility>
#include <vector>

namespace stitchkit {

// Growable array of values, the container the whole library exchanges designs in.
//
// Indexes are int, as in the rest of the interface. operator[] requires an index inside
// [0, length()); set() and the insert/remove operations clamp or grow instead, so callers
// that work from counts read out of a file never index out of bounds through them.
// New elements created by growth take the array's fill value (a value-initialised T unless
// setFillValue was called).
template <typename T>
class HXArray {
 public:
  HXArray() = default;
  explicit HXArray(const T& fill) : fill_(fill) {}

  int length() const { return static_cast<int>(items_.size()); }
  bool isEmpty() const { return items_.empty(); }

  T& operator[](int index) {
    assert(index >= 0 && index < length());
    return items_[static_cast<std::size_t>(index)];
  }
  const T& operator[](int index) const {
    assert(index >= 0 && index < length());
    return items_[static_cast<std::size_t>(index)];
  }

  // Appends a value; returns its index.
  int add(const T& value) {
    items_.push_back(value);
    return length() - 1;
  }
  int add(T&& value) {
    items_.push_back(std::move(value));
    return length() - 1;
  }

  // Appends copies of `count` values from `values`.
  void addAll(const T* values, int count) {
    if (count > 0) items_.insert(items_.end(), values, values + count);
  }

  // Inserts `value` before `index`; an index past the end appends, a negative one prepends.
  void insert(int index, const T& value) {
    items_.insert(items_.begin() + clampIndex(index), value);
  }
  // Inserts `count` copies of `value` before `index` (clamped as above).
  void insert(int index, int count, const T& value) {
    if (count <= 0) return;
    items_.insert(items_.begin() + clampIndex(index), static_cast<std::size_t>(count), value);
  }

  // Removes up to `count` elements starting at `index`; out-of-range parts are ignored.
  void remove(int index, int count = 1) {
    if (index < 0 || count <= 0 || index >= length()) return;
    const int end = count > length() - index ? length() : index + count;
    items_.erase(items_.begin() + index, items_.begin() + end);
  }

  // Writes `value` at `index`, growing the array with the fill value when needed.
  void set(int index, const T& value) {
    if (index < 0) return;
    if (index >= length()) setSize(index + 1);
    items_[static_cast<std::size_t>(index)] = value;
  }

  // Sets the length: new elements take the fill value, surplus ones are dropped.
  void setSize(int size) { items_.resize(size < 0 ? 0 : static_cast<std::size_t>(size), fill_); }
  // Sets the length: new elements take `value`.
  void resize(int size, const T& value) {
    items_.resize(size < 0 ? 0 : static_cast<std::size_t>(size), value);
  }
  // Reserves room for `size` elements without changing the length.
  void setAllocSize(int size) {
    if (size > 0) items_.reserve(static_cast<std::size_t>(size));
  }
  int allocSize() const { return static_cast<int>(items_.capacity()); }

  // Empties the array and keeps its storage.
  void clear() { items_.clear(); }
  // Empties the array and releases its storage.
  void reset() { std::vector<T>().swap(items_); }

  void setFillValue(const T& fill) { fill_ = fill; }
  const T& fillValue() const { return fill_; }

  T* data() { return items_.data(); }
  const T* data() const { return items_.data(); }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  bool operator==(const HXArray& other) const { return items_ == other.items_; }

  // Exchanges the elements with `other` without copying them.
  void swapStorage(std::vector<T>& other) noexcept { items_.swap(other); }

 private:
  std::ptrdiff_t clampIndex(int index) const {
    if (index < 0) return 0;
    return index > length() ? length() : index;
  }

  std::vector<T> items_;
  T fill_{};
};

}  // namespace stitchkit
