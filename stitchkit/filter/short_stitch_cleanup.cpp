// The short-stitch clean-up and the smaller services of the encode side: moving trims before
// jump runs, the design trace, the centre and the moves between stitches. The operations that
// change the design work on the filter's working design (see working_design.h).

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>

#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/filter/stitch_filter_internal.h"

namespace stitchkit {

namespace {

// A command as the blank-stitch rules see it: anything but a normal stitch or a jump.
bool isBlankNeighbourCommand(const HStitch& s) {
  return !s.isNormal() && !s.isJump();
}

// A command as the short-stitch walk sees it: anything but a normal stitch, a jump or a
// needle-up.
bool isCleanupCommand(const HStitch& s) {
  return !s.isNormal() && !detail::isJumpOrNeedleUp(s);
}

int roundedLength(int squared) {
  return static_cast<int>(std::lround(std::sqrt(static_cast<double>(squared))));
}

// The design trace jumps to this many points before it stops at the start point.
constexpr int kTraceJumps = 6;

}  // namespace

HCoord<short> StitchFilter::pointAt(int index) const {
  return index < 0 ? startPoint_ : at(index).getPoint();
}

int StitchFilter::getDeltaX(int a, int b) const {
  if (a >= stitchCount_ || b >= stitchCount_) return 0;
  return pointAt(b).x - pointAt(a).x;
}

int StitchFilter::getDeltaY(int a, int b) const {
  if (a >= stitchCount_ || b >= stitchCount_) return 0;
  return pointAt(b).y - pointAt(a).y;
}

int StitchFilter::getDeltaSquared(int a, int b) const {
  if (a >= stitchCount_ || b >= stitchCount_) return 0;
  const HCoord<short> from = pointAt(a);
  const HCoord<short> to = pointAt(b);
  const std::int64_t dx = to.x - from.x;
  const std::int64_t dy = to.y - from.y;
  // Moves across the whole coordinate range do not fit; they are long in any case.
  return static_cast<int>(std::min<std::int64_t>(dx * dx + dy * dy, INT_MAX));
}

int StitchFilter::getDeltaX(int i) const {
  return getDeltaX(i - 1, i);
}

int StitchFilter::getDeltaY(int i) const {
  return getDeltaY(i - 1, i);
}

int StitchFilter::getDeltaSquared(int i) const {
  return getDeltaSquared(i - 1, i);
}

int StitchFilter::cleanStitch(int a, int b, int preserveJumps) const {
  if (cleanLength < 1 || b < 0 || b >= stitchCount_) return 0;
  const int squared = getDeltaSquared(a, b);
  if (squared >= cleanLengthSquared) return 0;
  const int d = roundedLength(squared);

  // The jumps that lead to `a` lend their length, unless they are a run that stands for a
  // trim: the thread is cut there, so they lend nothing.
  int lent = 0;
  if (preserveJumps == 0) {
    int jumps = 0;
    for (int j = a;
         j >= 0 && j < stitchCount_ && detail::isJumpOrNeedleUp(at(j)) && d + lent < cleanLength;
         --j) {
      lent += roundedLength(getDeltaSquared(j));
      if (jumpsPerTrim > 0 && ++jumps >= jumpsPerTrim) {
        lent = 0;
        break;
      }
    }
  }
  if (d + lent >= cleanLength) return 0;

  const HStitch& s = at(b);
  if (d != 0) return 1;
  if (s.isJump()) return filterBlankJumps != 0 ? 1 : 0;
  if (!s.isNormal()) return 1;

  // A blank (zero-length normal stitch).
  if (preserveBlanks == kPreserveBlanksNone) return 1;
  if (preserveBlanks == kPreserveBlanksAlways) return 0;
  const bool afterCommand =
      a < 0 ? previousIsCommand != 0 : a < stitchCount_ && isBlankNeighbourCommand(at(a));
  if (afterCommand && (preserveBlanks == kPreserveBlanksAfterCommand ||
                       preserveBlanks == kPreserveBlanksNextToCommand)) {
    return 0;
  }
  if (b == stitchCount_ - 1) return 1;
  if (preserveBlanks != kPreserveBlanksBeforeCommand &&
      preserveBlanks != kPreserveBlanksNextToCommand) {
    return 1;
  }
  return isBlankNeighbourCommand(at(b + 1)) ? 0 : 1;
}

int StitchFilter::cleanShortStitches(int start, int& end, int preserveJumps, int& skipNext) {
  if (cleanLength < 1 || start < 0 || start >= stitchCount_) return 0;
  DesignScope scope(*this);
  if (end < 0 || end >= stitchCount_) end = stitchCount_ - 1;

  int removed = 0;
  int i = start;
  while (i <= end) {
    const HStitch& s = work_[i];

    // Runs of blank stitches of one kind keep their first two.
    if (i > 0 && (s.isNormal() || detail::isJumpOrNeedleUp(s)) &&
        s.getFlags() == work_[i - 1].getFlags() && s.getPoint() == work_[i - 1].getPoint() &&
        getDeltaSquared(i - 1) == 0) {
      const bool beforeCommand = i + 1 < stitchCount_ && isBlankNeighbourCommand(work_[i + 1]);
      const bool kept =
          (s.isNormal() && preserveBlanks == kPreserveBlanksAlways) ||
          (s.isNormal() && preserveBlanks == kPreserveBlanksBeforeCommand && beforeCommand) ||
          (s.isJump() && filterBlankJumps == 0);
      if (!kept) {
        work_.remove(i);
        --stitchCount_;
        --end;
        ++removed;
        continue;
      }
    }

    if (skipNext != 0 && isCleanupCommand(s)) skipNext = 0;

    if (s.isNormal()) {
      if (skipNext != 0) {
        // The first stitch after a trim anchors the thread; it is never cleaned.
        skipNext = 0;
      } else if (cleanStitch(i - 1, i, preserveJumps)) {
        const int n = fixShortStitch(i, start, end, preserveJumps);
        removed += n;
        if (n > 0) start = i + 1;
      }
    } else if (isCleanupCommand(s)) {
      break;
    }
    ++i;
  }
  end = i;
  return removed;
}

int StitchFilter::fixShortStitch(int& i, int& start, int& end, int preserveJumps) {
  if (start == end && end == i) {
    work_.remove(i);
    --stitchCount_;
    end = start - 1;
    return 1;
  }

  // Forward: the first stitch far enough from the one before the cluster.
  int k = i;
  int movements = 0;
  for (int j = i + 1; j <= end; ++j) {
    const HStitch& s = work_[j];
    if (s.isNormal()) {
      k = j;
      if (!cleanStitch(i - 1, j, preserveJumps)) break;
      movements = 0;
    } else {
      if (preserveJumps != 0 || !detail::isJumpOrNeedleUp(s)) break;
      if (jumpsPerTrim > 0 && ++movements >= jumpsPerTrim) break;
    }
  }

  // Backward, when the stretch ends before a far enough stitch: look for an anchor up to
  // three stitches further back from which stitch k is far enough.
  int anchor = i - 1;
  if (cleanStitch(i - 1, k, preserveJumps)) {
    int candidate = i - 1;
    int normals = 0;
    movements = 0;
    for (int j = i - 1;; --j) {
      if (j < start) break;
      if (j < 1) {
        anchor = -1;
        break;
      }
      const HStitch& s = work_[j];
      if (s.isNormal()) {
        if (candidate < anchor) {
          anchor = candidate;
          break;
        }
        if (++normals > 3) break;
        if (!cleanStitch(j, k, preserveJumps)) {
          anchor = j;
          break;
        }
        anchor = j - 1;
        movements = 0;
      } else {
        if (preserveJumps != 0 || !detail::isJumpOrNeedleUp(s)) {
          anchor = candidate < anchor ? candidate : j;
          break;
        }
        if (jumpsPerTrim > 0 && ++movements >= jumpsPerTrim) break;
        if (j == start) {
          anchor = candidate >= anchor ? j - 1 : candidate;
          break;
        }
        if (candidate >= anchor && !cleanStitch(j - 1, k, preserveJumps)) candidate = j - 1;
      }
    }
  }

  const int n = k - anchor - 1;
  if (n >= 1) {
    work_.remove(anchor + 1, n);
    stitchCount_ -= n;
    end -= n;
  }
  i = anchor + 1;
  return n > 0 ? n : 0;
}

int StitchFilter::moveTrimsBeforeJumps() {
  DesignScope scope(*this);
  int runStart = -1;
  for (int k = 0; k < stitchCount_; ++k) {
    HStitch& s = work_[k];
    if (s.hasRealStitches()) {
      const HXArray<HStitch>& real = s.getRealStitches();
      if (!std::all_of(real.begin(), real.end(), [](const HStitch& r) { return r.isJump(); })) {
        runStart = -1;
        continue;
      }
    }
    if (s.isJump()) {
      if (runStart < 0) runStart = k;
      continue;
    }
    if (s.isTrim() && runStart >= 0) {
      work_[runStart].setFlags(StitchCode::Trim);
      s.setFlags(StitchCode::Jump);
    }
    runStart = -1;
  }
  return 0;
}

int StitchFilter::traceDesign(int index) {
  if (index < 0 || index >= stitchCount_) return 0;
  const StitchStats& st = getStats();
  DesignScope scope(*this);
  const unsigned short colour = work_[index].getColor();
  const std::array<HCoord<short>, kTraceJumps> corners = {{
      {st.minX, st.minY},
      {st.minX, st.maxY},
      {st.maxX, st.maxY},
      {st.maxX, st.minY},
      {st.minX, st.minY},
      {st.startX, st.startY},
  }};
  work_.insertEmpty(index, kTraceJumps + 1);
  stitchCount_ += kTraceJumps + 1;
  for (int k = 0; k < kTraceJumps; ++k) {
    HStitch& jump = work_[index + k];
    jump = HStitch(corners[k].x, corners[k].y, StitchCode::Jump, colour);
    jump.preserve(true);
  }
  work_[index + kTraceJumps] = HStitch(st.startX, st.startY, StitchCode::Stop, colour);
  return 0;
}

HCoord<short> StitchFilter::getCentre() const {
  const int n = work_.isBound() ? work_.length() : stitches_.length();
  if (n == 0) return {0, 0};
  int minX = at(0).xval();
  int maxX = minX;
  int minY = at(0).yval();
  int maxY = minY;
  for (int k = 1; k < n; ++k) {
    const HStitch& s = at(k);
    minX = std::min<int>(minX, s.xval());
    maxX = std::max<int>(maxX, s.xval());
    minY = std::min<int>(minY, s.yval());
    maxY = std::max<int>(maxY, s.yval());
  }
  return {static_cast<short>((minX + maxX) / 2), static_cast<short>((minY + maxY) / 2)};
}

HCoord<short> StitchFilter::getCentre() {
  return std::as_const(*this).getCentre();
}

}  // namespace stitchkit
