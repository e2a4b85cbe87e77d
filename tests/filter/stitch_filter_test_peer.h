#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "stitchkit/encode/stitch_encoder.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_array.h"

namespace stitchkit {

// A host's own container, not an HXArray wrapper: the filter must work through the interface
// alone. Remembers every reservation asked of it.
class VectorWrapper final : public StitchWrapper {
 public:
  VectorWrapper() = default;
  explicit VectorWrapper(const HXArray<HStitch>& from) : items_(from.begin(), from.end()) {}
  int length() const override { return static_cast<int>(items_.size()); }
  void reserve(int count) override {
    reservations.push_back(count);
    items_.reserve(static_cast<std::size_t>(count));
  }
  void truncate(int count) override { items_.resize(static_cast<std::size_t>(count)); }
  void clear() override { items_.clear(); }
  void append(const HStitch& s) override { items_.push_back(s); }
  void insertEmpty(int index, int count) override {
    items_.insert(items_.begin() + index, static_cast<std::size_t>(count), HStitch());
  }
  void insert(int index, const HStitch& s) override { items_.insert(items_.begin() + index, s); }
  void remove(int index, int count) override {
    items_.erase(items_.begin() + index, items_.begin() + index + count);
  }
  void remove(int index) override { remove(index, 1); }
  HStitch& operator[](int index) override { return items_[static_cast<std::size_t>(index)]; }
  const HStitch& operator[](int index) const override {
    return items_[static_cast<std::size_t>(index)];
  }

  std::vector<int> reservations;

 private:
  std::vector<HStitch> items_;
};

// Reaches the encode-side steps of the filter that are not public, so that each can be
// driven on its own.
struct StitchFilterTestPeer {
  static void takeCleanParameters(StitchFilter& filter, const StitchOptions& options) {
    filter.takeCleanParameters(options);
  }
  static void setPreviousIsCommand(StitchFilter& filter, int on) { filter.previousIsCommand = on; }
  static int cleanLength(const StitchFilter& filter) { return filter.cleanLength; }
  static int hardLength(const StitchFilter& filter) { return filter.hardLength; }
  static int cleanShortStitches(StitchFilter& filter, int start, int& end, int preserveJumps,
                                int& skipNext) {
    return filter.cleanShortStitches(start, end, preserveJumps, skipNext);
  }
  static int findGroupEnd(StitchFilter& filter, int start, int preserveJumps, int trimAsJump,
                          int keepBlankJumps) {
    return filter.findGroupEnd(start, preserveJumps, trimAsJump, keepBlankJumps);
  }
  static void virtualizeStitch(StitchFilter& filter, HStitch& out, int first, int last) {
    filter.virtualizeStitch(out, first, last);
  }
  static int moveTrimsBeforeJumps(StitchFilter& filter) { return filter.moveTrimsBeforeJumps(); }
  static int traceDesign(StitchFilter& filter, int index) { return filter.traceDesign(index); }
  static int revirtualizeAndEncode(StitchFilter& filter, BytestreamStitchEncoder* encoder,
                                   int start, const StitchOptions& options, int& afterTrim) {
    return filter.revirtualizeAndEncode(encoder, start, 1, 1, options, afterTrim, 1);
  }
};

namespace testing_support {

// One stitch of a test design: command code and point.
struct CodedPoint {
  int code;
  int x;
  int y;
  bool operator==(const CodedPoint&) const = default;
};

inline void PrintTo(const CodedPoint& p, std::ostream* os) {
  *os << stitchCodeName(p.code) << "(" << p.x << "," << p.y << ")";
}

inline CodedPoint N(int x, int y = 0) {
  return {StitchCode::Normal, x, y};
}
inline CodedPoint J(int x, int y = 0) {
  return {StitchCode::Jump, x, y};
}
inline CodedPoint At(int code, int x, int y = 0) {
  return {code, x, y};
}

inline void fillDesign(HXArray<HStitch>& array, const std::vector<CodedPoint>& design,
                       unsigned short colour = 0) {
  array.clear();
  for (const CodedPoint& p : design)
    array.add(HStitch(static_cast<short>(p.x), static_cast<short>(p.y),
                      static_cast<std::uint8_t>(p.code), colour));
}

inline std::vector<CodedPoint> designOf(const StitchWrapper& stitches) {
  std::vector<CodedPoint> out;
  for (int i = 0; i < stitches.length(); ++i)
    out.push_back({stitches[i].getFlags(), stitches[i].xval(), stitches[i].yval()});
  return out;
}

}  // namespace testing_support
}  // namespace stitchkit
