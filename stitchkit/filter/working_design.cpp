#include "stitchkit/filter/working_design.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "stitchkit/platform/memory_advice.h"

namespace stitchkit::detail {

void WorkingDesign::bind(StitchWrapper& container) {
  front_.clear();
  back_.clear();
  readAt_ = 0;
  releasedUpTo_ = 0;
  if (auto* wrapper = dynamic_cast<StitchArrayWrapper*>(&container)) {
    wrapper->array().swapStorage(back_);
  } else {
    const int n = container.length();
    back_.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
      back_.push_back(container[i]);
    container.clear();
  }
  // The rewritten design is usually longer than the original (split moves, trims written as
  // jumps): room for that up front spares the copies of growing. Room never used is never
  // touched, so it costs address space only.
  front_.reserve(back_.size() + back_.size() / 2 + 16);
  adviseLargeBuffer(front_.data(), front_.capacity() * sizeof(HStitch));
  // What it gives back is read again by the destructors at the end: as large pages, once each.
  adviseLargeBuffer(back_.data(), back_.capacity() * sizeof(HStitch));
  container_ = &container;
}

void WorkingDesign::unbind() {
  if (container_ == nullptr) return;
  StitchWrapper& container = *container_;
  container_ = nullptr;
  if (auto* wrapper = dynamic_cast<StitchArrayWrapper*>(&container)) {
    joinAtFront();
    wrapper->array().reset();
    wrapper->array().swapStorage(front_);
  } else {
    container.clear();
    container.reserve(length());
    for (const HStitch& s : front_)
      container.append(s);
    for (std::size_t i = readAt_; i < back_.size(); ++i)
      container.append(back_[i]);
  }
  std::vector<HStitch>().swap(front_);
  std::vector<HStitch>().swap(back_);
  readAt_ = 0;
  releasedUpTo_ = 0;
}

void WorkingDesign::joinAtFront() {
  const std::size_t after = back_.size() - readAt_;
  if (after == 0) return;
  if (front_.capacity() - front_.size() < after && readAt_ >= front_.size()) {
    // No room after the front, but room behind the gap: join there, without allocating.
    const std::size_t at = readAt_ - front_.size();
    std::move(front_.begin(), front_.end(), back_.begin() + static_cast<std::ptrdiff_t>(at));
    back_.erase(back_.begin(), back_.begin() + static_cast<std::ptrdiff_t>(at));
    front_.swap(back_);
  } else {
    front_.insert(front_.end(), std::make_move_iterator(back_.begin() + readAt_),
                  std::make_move_iterator(back_.end()));
  }
  back_.clear();
  readAt_ = 0;
  releasedUpTo_ = 0;
}

std::span<const HStitch> WorkingDesign::range(int first, int last) {
  const auto from = static_cast<std::size_t>(first);
  const auto to = static_cast<std::size_t>(last) + 1;
  if (to <= front_.size()) return {front_.data() + from, to - from};
  moveGapTo(std::min(from, front_.size()));
  return {back_.data() + readAt_ + (from - front_.size()), to - from};
}

void WorkingDesign::reserveBehindGap(std::size_t count) {
  if (readAt_ >= count) return;
  // Room grows with the design, so that making it costs constant time per stitch overall.
  const std::size_t room = std::max(count, (back_.size() - readAt_) / 2 + 64);
  std::vector<HStitch> grown;
  grown.reserve(room + back_.size() - readAt_);
  grown.resize(room);
  grown.insert(grown.end(), std::make_move_iterator(back_.begin() + readAt_),
               std::make_move_iterator(back_.end()));
  back_ = std::move(grown);
  readAt_ = room;
  releasedUpTo_ = 0;
}

void WorkingDesign::moveGapTo(std::size_t index) {
  if (index > front_.size()) {
    const std::size_t count = index - front_.size();
    front_.insert(front_.end(), std::make_move_iterator(back_.begin() + readAt_),
                  std::make_move_iterator(back_.begin() + readAt_ + count));
    readAt_ += count;
    releaseBehindGap();
  } else if (index < front_.size()) {
    const std::size_t count = front_.size() - index;
    reserveBehindGap(count);
    readAt_ -= count;
    releasedUpTo_ = std::min(releasedUpTo_, readAt_);
    std::move(front_.begin() + index, front_.end(), back_.begin() + readAt_);
    front_.resize(index);
  }
}

void WorkingDesign::skipAfterGap(std::size_t count) {
  // What is dropped releases its rare attributes now rather than at the end.
  for (std::size_t k = 0; k < count; ++k) {
    if (!back_[readAt_ + k].isPlain()) back_[readAt_ + k] = HStitch();
  }
  readAt_ += count;
  releaseBehindGap();
}

void WorkingDesign::remove(int index, int count) {
  const int n = length();
  if (index < 0 || count <= 0 || index >= n) return;
  if (count > n - index) count = n - index;
  moveGapTo(static_cast<std::size_t>(index));
  skipAfterGap(static_cast<std::size_t>(count));
}

void WorkingDesign::insert(int index, const HStitch& stitch) {
  const int at = std::clamp(index, 0, length());
  // `stitch` may be an element of the design, which moving the gap may move.
  HStitch copy(stitch);
  moveGapTo(static_cast<std::size_t>(at));
  front_.push_back(std::move(copy));
}

void WorkingDesign::insertEmpty(int index, int count) {
  if (count <= 0) return;
  moveGapTo(static_cast<std::size_t>(std::clamp(index, 0, length())));
  front_.resize(front_.size() + static_cast<std::size_t>(count));
}

}  // namespace stitchkit::detail
