#pragma once

#include <span>

#include "stitchkit/model/stitch.h"
#include "stitchkit/platform/h_array.h"

namespace stitchkit {

// A stitch container as the stitch filter sees it. Hosts that keep their designs in their own
// structures implement it; StitchArrayWrapper adapts an HXArray<HStitch>. Indexes outside the
// container are the caller's error except where an operation says it clamps.
class StitchWrapper {
 public:
  virtual ~StitchWrapper() = default;

  virtual int length() const = 0;
  // Makes room for `count` stitches without changing the length.
  virtual void reserve(int count) = 0;
  // Keeps the first `count` stitches.
  virtual void truncate(int count) = 0;
  virtual void clear() = 0;
  virtual void append(const HStitch& stitch) = 0;
  // Appends each stitch of `stitches` in order.
  virtual void appendAll(std::span<const HStitch> stitches) {
    for (const HStitch& s : stitches)
      append(s);
  }
  // Inserts `count` default stitches before `index`.
  virtual void insertEmpty(int index, int count) = 0;
  virtual void insert(int index, const HStitch& stitch) = 0;
  // Removes up to `count` stitches from `index`.
  virtual void remove(int index, int count) = 0;
  virtual void remove(int index) = 0;
  virtual HStitch& operator[](int index) = 0;
  virtual const HStitch& operator[](int index) const = 0;
};

// StitchWrapper over an HXArray<HStitch>. Does not own the array, which must outlive it.
class StitchArrayWrapper final : public StitchWrapper {
 public:
  explicit StitchArrayWrapper(HXArray<HStitch>& stitches) : stitches_(&stitches) {}

  int length() const override { return stitches_->length(); }
  void reserve(int count) override { stitches_->setAllocSize(count); }
  void truncate(int count) override {
    if (count < stitches_->length()) stitches_->setSize(count);
  }
  void clear() override { stitches_->clear(); }
  void append(const HStitch& stitch) override { stitches_->add(stitch); }
  void appendAll(std::span<const HStitch> stitches) override {
    stitches_->addAll(stitches.data(), static_cast<int>(stitches.size()));
  }
  void insertEmpty(int index, int count) override { stitches_->insert(index, count, HStitch()); }
  void insert(int index, const HStitch& stitch) override { stitches_->insert(index, stitch); }
  void remove(int index, int count) override { stitches_->remove(index, count); }
  void remove(int index) override { stitches_->remove(index, 1); }
  HStitch& operator[](int index) override { return (*stitches_)[index]; }
  const HStitch& operator[](int index) const override { return (*stitches_)[index]; }

  HXArray<HStitch>& array() { return *stitches_; }

 private:
  HXArray<HStitch>* stitches_;
};

}  // namespace stitchkit
