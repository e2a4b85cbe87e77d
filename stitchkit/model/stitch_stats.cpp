#include "stitchkit/model/stitch_stats.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <new>

namespace stitchkit {

// ---------------------------------------------------------------------------------------------
// StitchThreadLengthArray

namespace {

// Storage for `count` values (count >= 0), or null when it cannot be obtained: an allocation
// failure must not leave the library as an exception.
std::unique_ptr<double[]> allocateValues(int count) {
  try {
    return std::unique_ptr<double[]>(new double[static_cast<std::size_t>(count)]);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

StitchThreadLengthArray::StitchThreadLengthArray(const StitchThreadLengthArray& other) {
  *this = other;
}

StitchThreadLengthArray::StitchThreadLengthArray(StitchThreadLengthArray&& other) noexcept
    : data_(std::move(other.data_)), size_(other.size_) {
  other.size_ = 0;
}

StitchThreadLengthArray& StitchThreadLengthArray::operator=(const StitchThreadLengthArray& other) {
  if (this == &other) return *this;
  if (!other.data_) {
    reset();
    return *this;
  }
  // Build the copy first so that a failed allocation leaves this array null, never
  // half-copied.
  std::unique_ptr<double[]> copy = allocateValues(other.size_);
  if (!copy) {
    reset();
    return *this;
  }
  std::copy(other.data_.get(), other.data_.get() + other.size_, copy.get());
  data_ = std::move(copy);
  size_ = other.size_;
  return *this;
}

StitchThreadLengthArray& StitchThreadLengthArray::operator=(
    StitchThreadLengthArray&& other) noexcept {
  if (this != &other) {
    data_ = std::move(other.data_);
    size_ = other.size_;
    other.size_ = 0;
  }
  return *this;
}

bool StitchThreadLengthArray::allocate(int count) {
  reset();
  const int n = count > 0 ? count : 0;
  data_ = allocateValues(n);
  if (!data_) return false;
  std::fill(data_.get(), data_.get() + n, 0.0);
  size_ = n;
  return true;
}

void StitchThreadLengthArray::reset() {
  data_.reset();
  size_ = 0;
}

double& StitchThreadLengthArray::operator[](int index) {
  assert(data_ && index >= 0 && index < size_);
  return data_[static_cast<std::size_t>(index)];
}

const double& StitchThreadLengthArray::operator[](int index) const {
  assert(data_ && index >= 0 && index < size_);
  return data_[static_cast<std::size_t>(index)];
}

// ---------------------------------------------------------------------------------------------
// StitchStats

namespace {

// Array index of a block number, or -1 when it does not fit the arrays' int indexes (HXArray
// ignores writes to negative indexes).
int blockIndex(std::uint64_t block) {
  return block <= static_cast<std::uint64_t>(INT_MAX) ? static_cast<int>(block) : -1;
}

}  // namespace

void StitchStats::reset() {
  const double allowance = threadStitchAllowance;
  const double scale = threadLengthScale;
  *this = StitchStats();
  threadStitchAllowance = allowance;
  threadLengthScale = scale;
}

void StitchStats::setThreadConsumpVars(double allowance, double scale) {
  threadStitchAllowance = allowance;
  threadLengthScale = scale;
}

void StitchStats::setStartPoint(short x, short y) {
  startX = x;
  startY = y;
  if (stitchCount > 0) {
    maxX = std::max(maxX, startX);
    minX = std::min(minX, startX);
    maxY = std::max(maxY, startY);
    minY = std::min(minY, startY);
  } else {
    curX = startX;
    curY = startY;
    maxX = minX = startX;
    maxY = minY = startY;
  }
}

void StitchStats::addX(short x) {
  addAxis(x, curX, maxX, minX, maxMove);
}

void StitchStats::addY(short y) {
  addAxis(y, curY, maxY, minY, maxMove);
}

void StitchStats::closeNeedleBlock() {
  if (needleCount == 0) return;
  const int i = blockIndex(needleCount - 1);
  colourThreadLengths.set(i, (threadLength - threadAtLastNeedle) / 10.0 * threadLengthScale);
  threadAtLastNeedle = threadLength;
  colourStitchCounts.set(i, stitchCount - stitchesAtLastNeedle);
  stitchesAtLastNeedle = stitchCount;
}

void StitchStats::addNeedle(short needle) {
  if (needleCount == 0) firstNeedle = needle;
  needles.set(blockIndex(needleCount), needle);
  if (needle > maxNeedle) maxNeedle = needle;
  closeNeedleBlock();
  currentNeedle = needle;
  ++needleCount;
}

int StitchStats::AddThreadLength(const HStitch& s) {
  const bool excluded =
      s.isTrim() || s.isColorChange() || s.isJumpTrim() || s.isNeedleUp() || s.isEndRewind();
  int added = 0;
  if (threadInFabric != 0 && !excluded) {
    const double t = threadOfMove(static_cast<double>(s.xval()) - static_cast<double>(curX),
                                  static_cast<double>(s.yval()) - static_cast<double>(curY),
                                  threadStitchAllowance);
    threadLength += t;
    const int slot = stitchIndex - 1;
    if (stitchThreadLengths && slot >= 0 && slot < stitchThreadLengths.size()) {
      stitchThreadLengths.get()[slot] += t;
    }
    added = 1;
  }
  SetThreadState(s);
  return added;
}

void StitchStats::SetThreadState(const HStitch& s) {
  if (s.isJump() || s.isColorChange()) return;
  if (s.isTrim() || s.isJumpTrim() || s.isBegin() || s.isNeedleUp() || s.isEndRewind()) {
    threadInFabric = 0;
  } else {
    threadInFabric = 1;
  }
}

void StitchStats::updateStitchInfo(const HStitch& s) {
  AddThreadLength(s);
  addX(s.xval());
  addY(s.yval());
  if (s.isJump() || s.isNeedleUp()) ++jumpCount;
  if (s.isJumpTrim()) {
    const int k = needleCount > 0 ? blockIndex(needleCount - 1) : 0;
    if (k < 0) return;
    if (k >= colourJumpTrimCounts.length()) colourJumpTrimCounts.setSize(k + 1);
    colourJumpTrimCounts[k] += 1;
    return;
  }
  // Needles are 16-bit in the block arrays; compare in that form so that a colour above 32767
  // opens one block rather than one per stitch.
  const short needle = static_cast<short>(s.getColor());
  if (needle != currentNeedle) addNeedle(needle);
  ++stitchCount;
}

// `countEmptyParent` would count a parent whose list of real stitches is empty; such a parent
// has no real stitches to feed and is fed itself in any case.
void StitchStats::update(const HStitch& s, int /*countEmptyParent*/, int skipRealStitches) {
  const bool fedAsReal = s.hasRealStitches() && skipRealStitches == 0;
  updateWritten(s, fedAsReal ? s.getRealStitches() : std::span<const HStitch>());
}

void StitchStats::updateWritten(const HStitch& s, std::span<const HStitch> written) {
  if (written.empty()) {
    updateStitchInfo(s);
  } else {
    for (const HStitch& real : written)
      updateStitchInfo(real);
  }
  ++stitchIndex;

  switch (s.getFlags()) {
    case StitchCode::Normal:
    case StitchCode::Jump:
    case StitchCode::NeedleUp:
    case StitchCode::DropSequin:
    case 26:
    case 27:
    case 28:
    case 29:
    case 30:
    case 53:
    case StitchCode::DropBead:
    case StitchCode::DropSequinW:
      break;
    case StitchCode::ChangeNeedle:
      colourChangeCount = static_cast<short>(colourChangeCount + 1);
      ++commandCount;
      break;
    case StitchCode::Trim:
    case StitchCode::UpperTrim:
    case StitchCode::JumpTrim:
      ++trimCount;
      break;
    default:
      ++commandCount;
      break;
  }
}

void StitchStats::updatePlainRun(std::span<const HStitch> run) {
  if (stitchThreadLengths) {
    for (const HStitch& s : run)
      update(s, 1, 0);
    return;
  }
  std::size_t i = 0;
  while (i < run.size()) {
    // A stitch of another needle opens a block, which reads the figures: they are written
    // back before and read again after.
    const short needle = static_cast<short>(run[i].getColor());
    if (needle != currentNeedle) addNeedle(needle);
    double thread = threadLength;
    int inFabric = threadInFabric;
    short x = curX, y = curY, lowX = minX, highX = maxX, lowY = minY, highY = maxY;
    short move = maxMove;
    int jumps = 0;
    const std::size_t from = i;
    for (; i < run.size() && static_cast<short>(run[i].getColor()) == needle; ++i) {
      const HStitch& s = run[i];
      const bool jump = s.getFlags() == StitchCode::Jump;
      if (inFabric != 0) {
        thread += threadOfMove(static_cast<double>(s.xval()) - static_cast<double>(x),
                               static_cast<double>(s.yval()) - static_cast<double>(y),
                               threadStitchAllowance);
      }
      // A jump leaves the thread as it was; a stitch puts it into the fabric.
      if (!jump) inFabric = 1;
      jumps += jump ? 1 : 0;
      addAxis(s.xval(), x, highX, lowX, move);
      addAxis(s.yval(), y, highY, lowY, move);
    }
    threadLength = thread;
    threadInFabric = inFabric;
    curX = x, curY = y, minX = lowX, maxX = highX, minY = lowY, maxY = highY, maxMove = move;
    jumpCount += jumps;
    const int counted = static_cast<int>(i - from);
    stitchCount += counted;
    stitchIndex += counted;
  }
}

void StitchStats::finish() {
  closeNeedleBlock();
  endX = curX;
  endY = curY;
  if (stitchCount < 1) {
    maxX = minX = startX;
    maxY = minY = startY;
  }
}

void StitchStats::start(const HStitch& first) {
  reset();
  setStartPoint(first.getPoint());
  ++stitchCount;
  ++stitchIndex;
  SetThreadState(first);
}

void StitchStats::setupStitchStats(const HXArray<HStitch>& stitches, int countEmptyParent,
                                   int keepStitchThread, int skipRealStitches) {
  const int n = stitches.length();
  if (n == 0) {
    reset();
    return;
  }
  start(stitches[0]);
  if (keepStitchThread != 0) stitchThreadLengths.allocate(n - 1);

  for (int i = 1; i < n; ++i)
    update(stitches[i], countEmptyParent, skipRealStitches);
  finish();
}

double StitchStats::getThreadLength(int from, int to) {
  if (!stitchThreadLengths || from >= to || stitchCount < 2) return 0.0;
  from = std::max(from, 0);
  to = std::min(to, stitchCount - 2);
  to = std::min(to, stitchThreadLengths.size());
  double sum = 0.0;
  const double* values = stitchThreadLengths.get();
  for (int i = from; i < to; ++i)
    sum += values[i];
  return sum;
}

}  // namespace stitchkit
