#pragma once

#include <cassert>
#include <deque>
#include <utility>

namespace stitchkit {

// Ordered list with cheap insertion and removal at both ends; used as a queue of option
// records, directory entries and, through HStack, the decoder's push-back stack.
template <typename T>
class HList {
 public:
  int length() const { return static_cast<int>(items_.size()); }
  bool isEmpty() const { return items_.empty(); }

  // Inserts `value` before `index` (0 is the front; an index past the end appends).
  void insert(const T& value, int index) {
    items_.insert(items_.begin() + clampIndex(index), value);
  }
  void insert(T&& value, int index) {
    items_.insert(items_.begin() + clampIndex(index), std::move(value));
  }
  void append(const T& value) { items_.push_back(value); }

  // Element at `index`; requires 0 <= index < length().
  T& operator()(int index) {
    assert(index >= 0 && index < length());
    return items_[static_cast<std::size_t>(index)];
  }
  const T& operator()(int index) const {
    assert(index >= 0 && index < length());
    return items_[static_cast<std::size_t>(index)];
  }

  // Removes the element at `index`; an index out of range removes nothing.
  void remove(int index) {
    if (index < 0 || index >= length()) return;
    items_.erase(items_.begin() + index);
  }

  // Removes every element.
  void empty() { items_.clear(); }

  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  bool operator==(const HList& other) const { return items_ == other.items_; }

 private:
  long clampIndex(int index) const {
    if (index < 0) return 0;
    return index > length() ? length() : index;
  }

  std::deque<T> items_;
};

// Last-in first-out stack over HList: the element pushed last is popped first.
template <typename T>
class HStack : private HList<T> {
 public:
  void push(const T& value) { HList<T>::insert(value, 0); }
  // Moves the top element into `out`; false when the stack is empty.
  bool pop(T& out) {
    if (HList<T>::isEmpty()) return false;
    out = std::move(HList<T>::operator()(0));
    HList<T>::remove(0);
    return true;
  }
  const T& top() const { return HList<T>::operator()(0); }
  using HList<T>::length;
  using HList<T>::isEmpty;
  using HList<T>::empty;
};

}  // namespace stitchkit
