#pragma once

#include <cmath>

namespace stitchkit {

// A point in design coordinates (the stitch record's unit, 0.1 mm).
template <typename T>
struct HCoord {
  T x{};
  T y{};

  constexpr HCoord() = default;
  constexpr HCoord(T px, T py) : x(px), y(py) {}
  constexpr bool operator==(const HCoord&) const = default;
};

// The difference of two points.
template <typename T>
struct HVector {
  T x{};
  T y{};

  constexpr HVector() = default;
  constexpr HVector(T px, T py) : x(px), y(py) {}
  constexpr bool operator==(const HVector&) const = default;

  double length() const { return std::hypot(static_cast<double>(x), static_cast<double>(y)); }
  // Scales both components, rounding to the nearest value of T.
  HVector operator*(double factor) const {
    return HVector(static_cast<T>(std::lround(x * factor)),
                   static_cast<T>(std::lround(y * factor)));
  }
};

template <typename T>
constexpr HVector<T> operator-(const HCoord<T>& a, const HCoord<T>& b) {
  return HVector<T>(static_cast<T>(a.x - b.x), static_cast<T>(a.y - b.y));
}

// A width and a height (the design-I/O layer's extents, in design units).
struct CSize {
  int cx = 0;
  int cy = 0;
  constexpr bool operator==(const CSize&) const = default;
};

struct DPoint {
  double x = 0.0;
  double y = 0.0;
};

// True when |value| < epsilon.
constexpr bool IS_ZERO(double value, double epsilon) {
  return (value < 0 ? -value : value) < epsilon;
}

// Non-zero when `p` lies within `tolerance` of the straight line through `a` and `b`
// (the infinite line, not the segment). When a and b coincide, the distance to that point
// is used.
int quickCheckPointOnLine(const DPoint& p, const DPoint& a, const DPoint& b, double tolerance);

}  // namespace stitchkit
