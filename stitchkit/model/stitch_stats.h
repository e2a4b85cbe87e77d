#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "stitchkit/model/stitch.h"
#include "stitchkit/platform/geometry.h"
#include "stitchkit/platform/h_array.h"

namespace stitchkit {

// Owned array of per-stitch thread lengths, or none (null).
//
// Behaves like the owning pointer it replaces: it tests and compares against nullptr, indexes
// with [] and hands out the raw pointer through get(). Unlike a raw pointer it knows its
// length, deep-copies itself on copy and assignment (a null array copies as null) and frees
// its storage when it is destroyed or reset, so the object holding it needs no hand-written
// copy or destructor logic.
// Storage that cannot be obtained leaves the array null; no exception escapes.
class StitchThreadLengthArray {
 public:
  StitchThreadLengthArray() = default;
  StitchThreadLengthArray(const StitchThreadLengthArray& other);
  StitchThreadLengthArray(StitchThreadLengthArray&& other) noexcept;
  StitchThreadLengthArray& operator=(const StitchThreadLengthArray& other);
  StitchThreadLengthArray& operator=(StitchThreadLengthArray&& other) noexcept;
  ~StitchThreadLengthArray() = default;

  // Replaces the array with `count` values of 0.0 (count < 0 is taken as 0; a zero-length
  // array still exists, i.e. is not null). Returns false, leaving the array null, when the
  // storage cannot be obtained.
  bool allocate(int count);
  // Frees the array; it is null afterwards.
  void reset();

  // Number of values; 0 when null.
  int size() const { return size_; }
  double* get() { return data_.get(); }
  const double* get() const { return data_.get(); }
  // Requires a non-null array and 0 <= index < size().
  double& operator[](int index);
  const double& operator[](int index) const;

  explicit operator bool() const { return data_ != nullptr; }
  friend bool operator==(const StitchThreadLengthArray& a, std::nullptr_t) {
    return a.data_ == nullptr;
  }

 private:
  std::unique_ptr<double[]> data_;
  int size_ = 0;
};

// Figures of a design: counts, extents relative to the start point, the end point, the
// sequence of needle blocks with the stitches and thread of each, and a thread consumption
// estimate in total and per stitch move.
//
// Units: every coordinate and length is in stitch record units (0.1 mm). Coordinates are
// signed 16-bit like the stitch record's. A "needle" here is a stitch's colour index
// (needle n is colour n - 1).
//
// Use: reset (or setupStitchStats, which resets), feed stitches through update (coders may
// also call addX, addY and addNeedle directly), then finish. Only after finish are endX/endY
// and the last entries of colourThreadLengths and colourStitchCounts valid: the open needle
// block is written when the next block opens or when finish closes it.
//
// The data members are public and read directly by header writers and host programs; their
// names, types and order are part of the interface. The object owns everything it holds,
// including stitchThreadLengths; copies are deep and independent.
class StitchStats {
 public:
  StitchStats() = default;
  // Copies every member; the per-stitch thread array is deep-copied (null stays null).
  StitchStats(const StitchStats& other) = default;
  StitchStats(StitchStats&& other) noexcept = default;
  // Copies every member; the target's per-stitch thread array is released and replaced by a
  // deep copy of the source's. Self-assignment changes nothing.
  StitchStats& operator=(const StitchStats& other) = default;
  StitchStats& operator=(StitchStats&& other) noexcept = default;
  virtual ~StitchStats() = default;

  // Every member back to its default except threadStitchAllowance and threadLengthScale,
  // which keep their values; the per-stitch thread array is freed (null).
  void reset();
  // Sets threadStitchAllowance and threadLengthScale.
  void setThreadConsumpVars(double allowance, double scale);

  // Sets the start point. Before any stitch is counted it also becomes the current position
  // and the whole extent; afterwards it only widens the extents.
  void setStartPoint(short x, short y);
  void setStartPoint(HCoord<short> p) { setStartPoint(p.x, p.y); }

  // Moves the current x (y) to `x` (`y`), widening the extents and recording the move in
  // maxMove. The move is taken in 16-bit arithmetic, as the stitch formats store it: the
  // difference wraps modulo 65536 and its magnitude is compared as a 16-bit value, so a
  // move of exactly 32768 (magnitude -32768 in 16 bits) never raises maxMove.
  void addX(short x);
  void addY(short y);
  // Opens a needle block for `needle`, closing the open one (if any).
  void addNeedle(short needle);

  // Feeds one stitch. A stitch with real stitches is fed as those real stitches unless
  // `skipRealStitches` is non-zero; `countEmptyParent` non-zero also feeds the parent itself
  // when its real-stitch list is empty. Counts the command by the stitch's own code.
  void update(const HStitch& s, int countEmptyParent, int skipRealStitches);
  // As update(s, 1, 0) for each stitch of `run`, all normal stitches or jumps without real
  // stitches. Coders read and write most of a design this way, a batch at a time.
  void updatePlainRun(std::span<const HStitch> run);
  // As update(s, 0, 0) for `s` carrying `written` as its real stitches (none when empty):
  // the records written for a stitch count in its place.
  void updateWritten(const HStitch& s, std::span<const HStitch> written);
  // Resets and takes `first` as the start point of a design (counted as one stitch, no thread,
  // no block), as setupStitchStats does; the further stitches follow through update.
  void start(const HStitch& first);
  // Closes the open needle block and records the end point. With no stitch counted the
  // extents collapse to the start point.
  void finish();

  // Computes the figures of a whole design: reset, then the first stitch as the start point
  // (counted as one stitch, no thread, no block), update for each further stitch, finish.
  // With `keepStitchThread` non-zero the thread of each stitch move is kept in
  // stitchThreadLengths (one value per move: number of stitches - 1). An empty array leaves a
  // freshly reset object (finish is not called).
  void setupStitchStats(const HXArray<HStitch>& stitches, int countEmptyParent,
                        int keepStitchThread, int skipRealStitches);

  // The thread a stitch move of (dx, dy) takes: the move, plus what the stitch takes up going
  // through the fabric and back (an allowance on each side and two thirds of the move again).
  static double threadOfMove(double dx, double dy, double allowance) {
    // Coordinates are 16-bit, so the squares are exact and sqrt needs no overflow guard.
    const double d = std::sqrt(dx * dx + dy * dy);
    return d + 2.0 * allowance + (2.0 / 3.0) * d;
  }
  // Moves one axis's current value to `v`, widening its extent and raising maxMove. The
  // difference and its magnitude are 16-bit values: the conversions to short wrap modulo
  // 65536, and the magnitude is taken in int first so that -32768 is not negated in 16 bits.
  static void addAxis(short v, short& cur, short& maxV, short& minV, short& maxMove) {
    const short d = static_cast<short>(v - cur);
    cur = v;
    maxV = std::max(cur, maxV);
    minV = std::min(cur, minV);
    const short magnitude = static_cast<short>(d < 0 ? -static_cast<int>(d) : static_cast<int>(d));
    maxMove = std::max(magnitude, maxMove);
  }

  int getFirstNeedle() const { return firstNeedle; }
  // Thread of the stitch moves from `from` up to, not including, `to`; 0.0 without a
  // per-stitch array, when from >= to or when fewer than two stitches were counted. `from` is
  // raised to 0; `to` is lowered to stitchCount - 2 and never past the end of the array.
  double getThreadLength(int from, int to);

  // --- Figures (public; read directly by header writers and hosts) ---

  int stitchCount = 0;   // stitches counted: every stitch fed in except jump-trims
  int jumpCount = 0;     // jumps and needle-ups
  int commandCount = 0;  // commands other than trims, colour changes included (see update)
  int trimCount = 0;     // trims, upper trims and jump-trims
  short curX = 0;        // position of the last stitch fed in
  short curY = 0;
  short maxX = -32768;  // largest coordinates seen
  short maxY = -32768;
  short minX = 32767;  // smallest coordinates seen
  short minY = 32767;
  short startX = 0;  // start point
  short startY = 0;
  short endX = 0;  // end point; valid after finish
  short endY = 0;
  short maxMove = 0;              // largest single-axis move between consecutive stitches (16-bit)
  std::uint64_t needleCount = 0;  // number of needle blocks (entries of `needles`)
  short colourChangeCount = 0;    // change-needle commands counted by update
  double threadLength = 0.0;      // total thread estimate (not scaled)
  HXArray<short> needles{0};      // needle of each block, in order
  // Thread of each block: (thread sewn in the block) / 10 * threadLengthScale. The last
  // entry is written by finish.
  HXArray<double> colourThreadLengths;
  // Stitches counted in each block. The last entry is written by finish.
  HXArray<int> colourStitchCounts;
  int maxNeedle = -1;  // highest needle opened
  // Jump-trims of each block; a jump-trim before the first block counts into entry 0. Only
  // grows as far as the last block that had one, so it may be shorter than needleCount.
  HXArray<int> colourJumpTrimCounts;
  int stitchesAtLastNeedle = 0;        // stitchCount when the previous block was closed
  double threadAtLastNeedle = 0.0;     // threadLength when the previous block was closed
  int currentNeedle = -1;              // needle of the open block
  int firstNeedle = 0;                 // needle of the first block
  double threadStitchAllowance = 5.0;  // thread added twice for each sewn stitch
  double threadLengthScale = 1.0;      // factor applied to the per-block thread lengths
  int threadInFabric = 0;              // 1 after a sewn stitch, 0 after a trim or similar
  // Stitches passed to update so far (plus the first stitch of setupStitchStats); the move
  // fed by a stitch is recorded at index stitchIndex - 1 of stitchThreadLengths.
  int stitchIndex = 0;
  // Thread of each stitch move, owned by this object; null unless setupStitchStats was asked
  // to keep it. Its length is stitchThreadLengths.size().
  StitchThreadLengthArray stitchThreadLengths;

 private:
  // Adds the thread of the move to `s` when thread is in the fabric and `s` sews or jumps;
  // returns 1 when thread was added. Updates the thread state in every case.
  int AddThreadLength(const HStitch& s);
  // Whether thread runs through the fabric after `s`.
  void SetThreadState(const HStitch& s);
  // Thread, position, counts and needle blocks for one fed-in stitch.
  void updateStitchInfo(const HStitch& s);
  // Writes the figures of block `needleCount - 1` and starts the next one from here.
  void closeNeedleBlock();
};

}  // namespace stitchkit
