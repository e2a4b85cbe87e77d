#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/memory_advice.h"

namespace stitchkit::detail {

// The design a stitch filter rewrites while it encodes it, as a gap buffer.
//
// The encode pipeline replaces each group of stitches by the records written for it, removes
// short stitches and inserts commands, always close to where its walk has got to. Doing that
// in one array would shift the whole rest of the design at every change. Here the stitches
// before the gap live in `front_` and those after it in `back_` (from `readAt_` on); the gap
// follows the changes, so each one costs only its distance from the previous one, and a whole
// design is rewritten in linear time. Indexes are those of the design as one sequence.
//
// bind() takes the container's stitches over (without copying them when the container is a
// StitchArrayWrapper) and unbind() puts the rewritten design back; between the two the
// container itself is empty and must not be used. Not copyable.
class WorkingDesign {
 public:
  WorkingDesign() = default;
  // `releaseEvery`: how many stitches behind the gap are gathered before their memory is
  // given back (see releaseBehindGap).
  explicit WorkingDesign(std::size_t releaseEvery) : releaseEvery_(releaseEvery) {}
  WorkingDesign(const WorkingDesign&) = delete;
  WorkingDesign& operator=(const WorkingDesign&) = delete;

  // Takes over the stitches of `container`. Throws std::bad_alloc when memory runs out (the
  // container is then unchanged).
  void bind(StitchWrapper& container);
  // Puts the design back into the container it was taken from. Also after a failure: the
  // container then holds the design as far as it was rewritten.
  void unbind();
  bool isBound() const { return container_ != nullptr; }

  int length() const { return static_cast<int>(front_.size() + back_.size() - readAt_); }

  // `index` must lie inside the design.
  HStitch& operator[](int index) {
    const auto i = static_cast<std::size_t>(index);
    return i < front_.size() ? front_[i] : back_[readAt_ + (i - front_.size())];
  }
  const HStitch& operator[](int index) const {
    const auto i = static_cast<std::size_t>(index);
    return i < front_.size() ? front_[i] : back_[readAt_ + (i - front_.size())];
  }

  // The stitches first..last (inclusive, inside the design) as one contiguous run. Valid until
  // the next change of the design's length.
  std::span<const HStitch> range(int first, int last);

  // Removes up to `count` stitches from `index`; out-of-range parts are ignored.
  void remove(int index, int count = 1);
  // Inserts `stitch` before `index` (at the end when `index` is the length).
  void insert(int index, const HStitch& stitch);
  // Inserts `count` default stitches before `index`.
  void insertEmpty(int index, int count);
  // Replaces the stitch at `index` by `stitch` where the gap is already, or anywhere; the
  // common case of writing, where a stitch is written as itself, costs a copy.
  void replaceOne(int index, const HStitch& stitch) {
    const auto at = static_cast<std::size_t>(index);
    if (at != front_.size()) {
      replace(index, 1, 1, [&](int, HStitch& out) { out = stitch; });
      return;
    }
    HStitch& old = back_[readAt_];
    if (!old.isPlain()) old = HStitch();
    ++readAt_;
    front_.push_back(stitch);
    releaseBehindGap();
  }
  // Up to `count` stitches from `index` on, when the gap is at `index` (empty otherwise):
  // those the walk reaches next, to be written as they stand. Valid until the next change.
  std::span<const HStitch> afterGap(int index, int count) const {
    if (static_cast<std::size_t>(index) != front_.size() || count <= 0) return {};
    const std::size_t n = std::min(static_cast<std::size_t>(count), back_.size() - readAt_);
    return {back_.data() + readAt_, n};
  }
  // Moves the first `count` stitches of afterGap() in front of the gap: written as they
  // stood, plain stitches, no longer marked as cleaned.
  void passOver(int count) {
    const auto from = back_.begin() + static_cast<std::ptrdiff_t>(readAt_);
    const std::size_t at = front_.size();
    front_.insert(front_.end(), from, from + count);
    readAt_ += static_cast<std::size_t>(count);
    for (std::size_t k = at; k < front_.size(); ++k)
      front_[k].setAutoCleaned(false);
    releaseBehindGap();
  }
  // Replaces the stitches first..first + oldCount - 1 by `newCount` stitches made by
  // make(k, stitch) for k = 0..newCount - 1; `make` assigns each new stitch in place.
  template <typename Make>
  void replace(int first, int oldCount, int newCount, Make&& make);

 private:
  // Moves the gap to `index` (0..length()).
  void moveGapTo(std::size_t index);
  // Makes room for at least `count` stitches in front of `readAt_`.
  void reserveBehindGap(std::size_t count);
  // Moves everything after the gap to the end of `front_`.
  void joinAtFront();
  // Drops `count` stitches after the gap.
  void skipAfterGap(std::size_t count);
  // Gives back the memory of the stitches behind the gap once enough of them have been
  // passed: they are moved from, copied plain stitches or dropped ones, none owning anything,
  // and a stitch of zero bytes is a plain one. The written design then grows while the one
  // it is made from shrinks, instead of both being held whole.
  void releaseBehindGap() {
    if (readAt_ - releasedUpTo_ < releaseEvery_) return;
    releaseBufferPages(back_.data() + releasedUpTo_, (readAt_ - releasedUpTo_) * sizeof(HStitch));
    releasedUpTo_ = readAt_;
  }

  std::vector<HStitch> front_;  // the design before the gap
  std::vector<HStitch> back_;   // from readAt_ on: the design after the gap
  std::size_t readAt_ = 0;
  std::size_t releasedUpTo_ = 0;  // back_ before this index has been given back
  std::size_t releaseEvery_ = std::size_t{1} << 18;
  StitchWrapper* container_ = nullptr;
};

template <typename Make>
void WorkingDesign::replace(int first, int oldCount, int newCount, Make&& make) {
  moveGapTo(static_cast<std::size_t>(first));
  skipAfterGap(static_cast<std::size_t>(oldCount));
  for (int k = 0; k < newCount; ++k) {
    front_.emplace_back();
    make(k, front_.back());
  }
}

}  // namespace stitchkit::detail
