#pragma once

#include <cmath>

#include "stitchkit/model/stitch.h"

// Small rules the encoder's sources share.
namespace stitchkit::detail {

// Rounds `v` to a multiple of `g` (halves away from zero) when g > 1 and v is not one.
inline int snapTo(int v, int g) {
  if (g <= 1 || v % g == 0) return v;
  return static_cast<int>(std::lround(static_cast<double>(v) / g)) * g;
}

inline bool isJumpOrNeedleUp(const HStitch& s) {
  return s.isJump() || s.isNeedleUp();
}

}  // namespace stitchkit::detail
