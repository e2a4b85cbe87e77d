#include "stitchkit/platform/geometry.h"

namespace stitchkit {

int quickCheckPointOnLine(const DPoint& p, const DPoint& a, const DPoint& b, double tolerance) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double lengthSquared = dx * dx + dy * dy;
  if (IS_ZERO(lengthSquared, 1e-12)) {
    return std::hypot(p.x - a.x, p.y - a.y) <= tolerance ? 1 : 0;
  }
  // Distance from p to the line: |cross(b - a, p - a)| / |b - a|, compared squared.
  const double cross = dx * (p.y - a.y) - dy * (p.x - a.x);
  return cross * cross <= tolerance * tolerance * lengthSquared ? 1 : 0;
}

}  // namespace stitchkit
