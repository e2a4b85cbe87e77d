// How the encoder cuts a move into pieces: whether a move needs cutting, the path along a
// virtual stitch's real stitches, and the leg algorithm that lays the pieces out.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "stitchkit/encode/stitch_encoder.h"
#include "stitchkit/encode/stitch_encoder_internal.h"

namespace stitchkit {
namespace {

// Jumps, needle-ups and the trim kinds: the entries that make up a trim written as jumps.
bool isTrimMovement(const HStitch& s) {
  return s.isJump() || s.isNeedleUp() || s.isJumpTrim() || s.isTrim() || s.isUpperTrim();
}

bool movesAtLeast(int dx, int dy, int minStep) {
  return std::abs(dx) >= minStep || std::abs(dy) >= minStep;
}

DPoint toDPoint(HCoord<short> p) {
  return DPoint{static_cast<double>(p.x), static_cast<double>(p.y)};
}

// How many pieces a leg of (vx, vy) is cut into, starting from `k`: fewer while every piece
// would be shorter than `minStep` on both axes (down to one, which makes `shortLeg` true),
// then more until no piece is wider than `maxAxis` on an axis or longer than `maxLength`, or
// until every piece moves one unit at most on each axis (more pieces cannot make one shorter:
// a limit below a diagonal unit step, or a granularity that rounds a step up past the limit).
int fitLegPieces(double vx, double vy, int k, int minStep, int maxAxis, int maxLength,
                 int granularity, bool& shortLeg) {
  const auto snap = [granularity](int v) { return detail::snapTo(v, granularity); };
  shortLeg = false;
  while (minStep >= 1 && k >= 1 &&
         snap(static_cast<int>(std::floor(std::fabs(vx / k)))) < minStep &&
         snap(static_cast<int>(std::floor(std::fabs(vy / k)))) < minStep) {
    if (k == 1) {
      shortLeg = true;
      return k;
    }
    --k;
  }
  const double mostPieces = std::max(std::fabs(vx), std::fabs(vy));
  for (;;) {
    const long long cx = snap(static_cast<int>(std::ceil(std::fabs(vx / k))));
    const long long cy = snap(static_cast<int>(std::ceil(std::fabs(vy / k))));
    const bool tooWide = maxAxis > 0 && (cx > maxAxis || cy > maxAxis);
    const bool tooLong =
        maxLength >= 1 && cx * cx + cy * cy > static_cast<long long>(maxLength) * maxLength;
    if ((!tooWide && !tooLong) || k >= mostPieces) return k;
    ++k;
  }
}

// Hands `add` the ends of the `k` pieces of the leg start..end: k - 1 points along it, each
// moved from the one before by a multiple of the granularity, then `end`.
template <typename Add>
void layLeg(HCoord<short> start, HCoord<short> end, int k, int granularity, Add&& add) {
  const double stepX = (static_cast<double>(end.x) - start.x) / k;
  const double stepY = (static_cast<double>(end.y) - start.y) / k;
  double accX = 0.0;
  double accY = 0.0;
  int offX = 0;
  int offY = 0;
  for (int j = 1; j < k; ++j) {
    accX += stepX;
    accY += stepY;
    const int tx = static_cast<int>(accX >= 0.0 ? accX + 0.01 : accX - 0.01);
    const int ty = static_cast<int>(accY >= 0.0 ? accY + 0.01 : accY - 0.01);
    offX += detail::snapTo(tx - offX, granularity);
    offY += detail::snapTo(ty - offY, granularity);
    add(HCoord<short>(static_cast<short>(start.x + offX), static_cast<short>(start.y + offY)));
  }
  add(end);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Does the move need cutting, and into how many pieces

int StitchEncoder::needResplit(const HStitch& s, std::span<const HStitch> real, int trim,
                               int atGroupEnd) {
  const StitchOptions& o = *options;
  if (o.getKeepOriginalStitch()) return 0;

  const HCoord<short> cur = current.getPoint();
  if (o.getSplitStitchToJumps() && s.getFlags() == StitchCode::Normal &&
      exceeds(s.xval() - cur.x, s.yval() - cur.y, o.getMaxLength())) {
    return 1;
  }

  const int preserve = preserveJumps();
  int jpt = 0;
  int penetrate = 0;
  int found = 0;
  if (trim) {
    if (preserve) {
      trim = 0;
    } else {
      jpt = o.getJumpsPerTrim();
      penetrate = o.getPenetrateAtTrims();
    }
  }

  const int minStep = granulate(o.getTrimJumpLength());
  if (jpt > 0 && forceResplit) return 1;

  int limit = o.getHardLength();
  if (o.getMaxLength() > 0 && o.getMaxLength() < limit) limit = o.getMaxLength();

  const bool chenille = o.getHasChenilleSupport() != 0;
  if (!real.empty()) {
    if (forceResplit && real.size() > 1) return 1;

    int jumpLimit = limit;
    int chenilleLimit = 0;
    if (!preserve) {
      if (o.getSplitJumpLength() > 0 && o.getSplitJumpLength() < jumpLimit) {
        jumpLimit = o.getSplitJumpLength();
      }
      if (chenille && o.getMaxRealLength() > 0) chenilleLimit = o.getMaxRealLength();
    }

    int count = 0;
    HCoord<short> prev = cur;
    const int lastIndex = static_cast<int>(real.size()) - 1;
    for (int i = 0; i <= lastIndex; ++i) {
      const HStitch& e = real[static_cast<std::size_t>(i)];
      const int dx = e.xval() - prev.x;
      const int dy = e.yval() - prev.y;
      if (!preserve && chenille && exceeds(dx, dy, chenilleLimit)) return 1;
      if (jpt > 0 && isTrimMovement(e) && movesAtLeast(dx, dy, minStep)) {
        ++count;
        if (atGroupEnd && count == jpt && i == lastIndex) return 1;
        if (penetrate && count == jpt && e.getPoint() == cur) found = 1;
      }
      if (detail::isJumpOrNeedleUp(e) && !preserve) {
        if (exceeds(dx, dy, jumpLimit)) return 1;
      } else if (exceeds(dx, dy, limit)) {
        return 1;
      }
      prev = e.getPoint();
    }
    if (count < jpt) return 1;
    return (penetrate && !found) ? 1 : 0;
  }

  if (jpt >= 2 && penetrate) return 1;
  const int dx = s.xval() - cur.x;
  const int dy = s.yval() - cur.y;
  int count = 0;
  if (!preserve) {
    if (jpt > 0 && isTrimMovement(s) && movesAtLeast(dx, dy, minStep)) count = 1;
    if (detail::isJumpOrNeedleUp(s) && o.getSplitJumpLength() > 0 &&
        o.getSplitJumpLength() < limit) {
      limit = o.getSplitJumpLength();
    }
    if (chenille && exceeds(dx, dy, o.getMaxRealLength())) return 1;
  }
  if (exceeds(dx, dy, limit)) return 1;
  if (count < jpt) return 1;
  return penetrate;
}

void StitchEncoder::buildPath(const HStitch& s, std::span<const HStitch> real,
                              HXArray<HCoord<short>>& path) const {
  path.clear();
  path.add(current.getPoint());
  if (real.empty()) {
    path.add(s.getPoint());
    return;
  }
  const int lastIndex = static_cast<int>(real.size()) - 1;
  const HCoord<short> end = real.back().getPoint();
  const DPoint e = toDPoint(end);
  constexpr double kTolerance = 10.0;
  for (int i = 0; i < lastIndex; ++i) {
    const HCoord<short> p = real[static_cast<std::size_t>(i)].getPoint();
    const DPoint dp = toDPoint(p);
    const HCoord<short> q = path[path.length() - 1];
    if (quickCheckPointOnLine(dp, toDPoint(q), e, kTolerance)) continue;
    if (path.length() == 1) {
      path.add(p);
    } else if (quickCheckPointOnLine(toDPoint(q), toDPoint(path[path.length() - 2]), dp,
                                     kTolerance)) {
      path[path.length() - 1] = p;
    } else {
      path.add(p);
    }
  }
  path.add(end);
}

int StitchEncoder::countSplits(const HStitch& s, std::span<const HStitch> real) {
  HXArray<HCoord<short>>& path = pathScratch_;
  buildPath(s, real, path);
  const HCoord<short> cur = current.getPoint();
  if (path.length() < 3 && s.getPoint() == cur) return 0;

  const StitchOptions& o = *options;
  int limit = o.getHardLength();
  if (o.getMaxLength() > 0 && o.getMaxLength() < limit && !preserveJumps()) {
    limit = o.getMaxLength();
  }
  const int chenilleLimit = o.getHasChenilleSupport() ? o.getMaxRealLength() : 0;
  const int splitLength = o.getSplitJumpLength() < 1 ? limit : o.getSplitJumpLength();

  const double dxAll = static_cast<double>(s.xval()) - cur.x;
  const double dyAll = static_cast<double>(s.yval()) - cur.y;
  // The squares of 16-bit moves are exact, and the root of a whole number never lies close
  // enough to a half for rounding to tell this from a more careful length.
  const long long distance = std::llround(std::sqrt(dxAll * dxAll + dyAll * dyAll));
  auto ceilDiv = [distance](long long by) -> long long {
    return by < 1 ? 1 : (distance + by - 1) / by;
  };

  long long total = 0;
  for (int i = 1; i < path.length(); ++i) {
    const int dx = path[i].x - path[i - 1].x;
    const int dy = path[i].y - path[i - 1].y;
    long long k = 1;
    if (exceeds(dx, dy, chenilleLimit)) k = std::max(k, ceilDiv(chenilleLimit));
    if (exceeds(dx, dy, limit)) k = std::max(k, ceilDiv(splitLength));
    total += k;
  }
  return static_cast<int>(total);
}

// ---------------------------------------------------------------------------------------------
// The pieces

void StitchEncoder::addPenetrationPattern(HXArray<HCoord<short>>& out, int count,
                                          HCoord<short> base, int step, HCoord<short> centre) {
  if (count < 2) count = 2;
  const int dx = centre.x - base.x;
  const int dy = centre.y - base.y;
  int ux = 0;
  int uy = 0;
  if (std::abs(dx) < 2 * step && std::abs(dy) < 2 * step) {
    ux = -step;
  } else if (std::abs(dx) >= 2 * step) {
    ux = dx >= 1 ? step : -step;
  } else {
    uy = dy >= 1 ? step : -step;
  }
  const HCoord<short> one(static_cast<short>(base.x + ux), static_cast<short>(base.y + uy));
  const HCoord<short> two(static_cast<short>(base.x + 2 * ux), static_cast<short>(base.y + 2 * uy));
  int left = count;
  while (left > 0) {
    if (left == 1) {
      out.add(one);
      left -= 1;
    } else if (left == 2) {
      out.add(one);
      out.add(base);
      left -= 2;
    } else if (left == 4) {
      out.add(one);
      out.add(two);
      out.add(one);
      out.add(base);
      left -= 4;
    } else {
      out.add(one);
      out.add(two);
      out.add(base);
      left -= 3;
    }
  }
}

void StitchEncoder::resplitPath(HXArray<HCoord<short>>& path, int n, int minStep, int maxAxis,
                                int maxLength, int granularity, HCoord<short> centre,
                                bool penetrateMissing) {
  HXArray<HCoord<short>>& points = pointScratch_;
  points.clear();
  const int legs = path.length() - 1;
  if (legs < 1) {
    path.clear();
    return;
  }

  legLengths_.clear();
  double total = 0.0;
  if (legs == 1) {
    // Only whether the leg has a length matters; points are whole units apart.
    total = path[0] == path[1] ? 0.0 : 1.0;
  } else {
    for (int i = 0; i < legs; ++i) {
      const double len = (path[i + 1] - path[i]).length();
      legLengths_.add(len);
      total += len;
    }
  }

  legCounts_.clear();
  int sumK = 0;
  int shortLegs = 0;
  for (int i = 0; i < legs; ++i) {
    const double vx = static_cast<double>(path[i + 1].x) - path[i].x;
    const double vy = static_cast<double>(path[i + 1].y) - path[i].y;
    int k = 1;
    if (legs == 1) {
      // One leg takes all n pieces (when it has a length).
      if (total >= 1.0) k = n < 1 ? 1 : n;
    } else if (total >= 1.0) {
      k = static_cast<int>(std::lround(n * legLengths_[i] / total));
      if (k < 1) k = 1;
    }
    bool shortLeg = false;
    k = fitLegPieces(vx, vy, k, minStep, maxAxis, maxLength, granularity, shortLeg);
    if (shortLeg) ++shortLegs;
    legCounts_.add(k);
    sumK += k;
  }

  int extra = penetrateMissing ? n - (sumK - shortLegs) : 0;
  if (extra < 0) extra = 0;
  if (extra == 1) extra = 2;

  points.add(path[0]);
  if (extra > 0) addPenetrationPattern(points, extra, path[0], minStep, centre);

  const bool singleZeroLeg = legs == 1 && path[0] == path[1];
  if (!(singleZeroLeg && extra > 0)) {
    for (int i = 0; i < legs; ++i) {
      layLeg(path[i], path[i + 1], legCounts_[i], granularity,
             [&points](HCoord<short> p) { points.add(p); });
    }
  }
  // Copied back rather than swapped, so that each scratch array keeps its own capacity.
  path = points;
}

int StitchEncoder::splitIntoJumps(HXArray<HStitch>& out, const HStitch& s,
                                  std::span<const HStitch> real, int trim, int extra) {
  const StitchOptions& o = *options;
  int n = countSplits(s, real);
  if (n < 0) n = 0;
  int penetrations = 0;
  int minStep = 0;

  if (trim) {
    minStep = granulate(o.getTrimJumpLength());
    int jpt = o.getJumpsPerTrim();
    if (o.getPenetrateAtTrims()) {
      penetrations = jpt == 1 ? 2 : jpt;
      if (extra && n == 0) n = 1;
    } else {
      if (extra) jpt += 1;
      if (n < jpt) n = jpt;
    }
  } else {
    if (n < 1) n = 1;
    if (extra) n += 1;
  }
  if (penetrations <= 0 && n == 0) n = 1;

  int maxAxis = o.getHardLength();
  if (o.getMaxLength() > 0 && o.getMaxLength() < maxAxis) maxAxis = o.getMaxLength();
  // No piece may be longer than the longest move either: the test for whether a move needs
  // cutting measures its length, so a longer piece would be cut again when the file is read
  // and written once more.
  const int maxLength = o.getHasChenilleSupport() ? o.getMaxRealLength() : maxAxis;

  const HCoord<short> cur = current.getPoint();
  HXArray<HCoord<short>>& path = pathScratch_;

  out.clear();
  auto addPiece = [&](HCoord<short> p) {
    out.add(HStitch(p.x, p.y, StitchCode::Jump, current.getColor()));
  };

  if (penetrations > 0) {
    pointScratch_.clear();
    addPenetrationPattern(pointScratch_, penetrations, cur, minStep, origin);
    for (const HCoord<short>& p : pointScratch_)
      addPiece(p);
    minStep = 0;
  }

  buildPath(s, real, path);
  // Only a trim is made of more pieces than its legs need: the extra jumps are its signal to
  // the machine. Elsewhere they would be moves of no length, which a machine reading a jump
  // in place as a trim cuts the thread at, and which a second conversion would not repeat.
  resplitPath(path, n, minStep, maxAxis, maxLength, o.getGranularity(), origin, trim != 0);
  for (int i = 1; i < path.length(); ++i)
    addPiece(path[i]);

  // Effect colour and id of `current`; a plain `current` has none to hand on.
  if (!current.isPlain()) {
    std::uint8_t flag = 0;
    std::uint32_t colour = 0;
    HString id;
    current.getEffectInfo(flag, colour, id);
    for (int i = 0; i < out.length(); ++i) {
      out[i].setEffectInfo(flag, colour, id);
      out[i].setNewEffect(i == 0 && current.isNewEffect());
    }
  }
  return out.length();
}

// ---------------------------------------------------------------------------------------------
// A plain stitch cut in bulk

int StitchEncoder::encodeCutPlainStitch(const HStitch& s, int afterTrim, HXArray<HStitch>& pieces) {
  pieces.clear();
  const StitchOptions& o = *options;
  // What would make sendWithSplit do more than lay jumps along the straight move and end
  // with the stitch: an added blank stitch, jumps written as needle-ups, a penetration style,
  // chenille lengths, jumps to preserve.
  if (!plainRunAllowed(afterTrim) || s.getFlags() != StitchCode::Normal || !s.isPlain() ||
      o.getKeepOriginalStitch() || o.getInsertBlankStitchAfterTrim() || o.getUseNeedleUps() ||
      o.getPenetrationStyle() != kPenetrationPlain || o.getHasChenilleSupport() ||
      preserveJumps()) {
    return kEncodeOk;
  }
  int limit = o.getHardLength();
  if (o.getMaxLength() > 0 && o.getMaxLength() < limit) limit = o.getMaxLength();
  const HCoord<short> from = current.getPoint();
  const int dx = s.xval() - from.x;
  const int dy = s.yval() - from.y;
  if (!exceeds(dx, dy, limit)) return kEncodeOk;

  // The piece count countSplits gives a single leg, then fitted as resplitPath fits it.
  const int splitLength = o.getSplitJumpLength() < 1 ? limit : o.getSplitJumpLength();
  const long long distance =
      std::llround(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy));
  const long long wanted = std::max(1LL, (distance + splitLength - 1) / splitLength);
  bool shortLeg = false;
  const int k =
      fitLegPieces(dx, dy, static_cast<int>(wanted), 0, limit, limit, o.getGranularity(), shortLeg);

  HXArray<HCoord<short>>& points = pointScratch_;
  points.clear();
  layLeg(from, s.getPoint(), k, o.getGranularity(), [&points](HCoord<short> p) { points.add(p); });
  const int r = vSendPieces({points.data(), static_cast<std::size_t>(points.length())});
  if (r == kEncodeSkipped) return kEncodeOk;
  if (r != kEncodeOk) return r;

  setDesignBegun(1);
  anyOutput = 1;
  anyStitchOutput = 1;
  const unsigned short colour = current.getColor();
  for (int i = 0; i + 1 < points.length(); ++i)
    pieces.add(HStitch(points[i].x, points[i].y, StitchCode::Jump, colour));
  pieces.add(HStitch(s, 0));
  pieces[pieces.length() - 1].setAutoCleaned(false);
  current.copyStitch(s, 0);
  emitted.clear();
  const std::span<const HStitch> written{pieces.data(), static_cast<std::size_t>(pieces.length())};
  stats.updateWritten(s, written);
  if (keepSegmentStats) segmentStats.updateWritten(s, written);
  return kEncodeOk;
}

}  // namespace stitchkit
