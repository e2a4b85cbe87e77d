#include "stitchkit/designio/move_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace stitchkit {

namespace {

struct TypeKind {
  std::uint8_t type;
  MoveKind kind;
};

// Point types written as something other than a jump.
constexpr TypeKind kTypeKinds[] = {
    {StDesPointType::Normal, MoveKind::Stitch},
    {StDesPointType::Trim, MoveKind::Trim},
    {StDesPointType::Stop, MoveKind::ColourChange},
    {StDesPointType::ColourChange, MoveKind::ColourChange},
    {10, MoveKind::Stitch},  // stitch variants
    {11, MoveKind::Stitch},
    {12, MoveKind::Stitch},
    {15, MoveKind::Stitch},  // chenille chain and moss
    {16, MoveKind::Stitch},
    {StDesPointType::End, MoveKind::End},
    {26, MoveKind::Trim},  // upper trim
};

// More moves than this are refused (a file of them would be far beyond any machine's memory).
constexpr std::size_t kMaxMoves = std::size_t{1} << 24;

// Positions beyond this are clamped so that differences stay within int.
constexpr float kMaxPosition = 1.0e9f;

int roundedPosition(float value) {
  if (std::isnan(value)) return 0;
  return static_cast<int>(std::lround(std::clamp(value, -kMaxPosition, kMaxPosition)));
}

int limitOf(MoveKind kind, const MoveLimits& limits) {
  switch (kind) {
    case MoveKind::Stitch:
      return limits.stitch;
    case MoveKind::Jump:
      return limits.jump;
    default:
      return limits.command;
  }
}

// Appends the move by (dx, dy) as `kind`, led by jumps when it is longer than its limit. The
// pieces are of nearly equal length so that none exceeds the smaller of the two limits.
bool appendMove(MoveKind kind, int dx, int dy, const MoveLimits& limits, MovePlan& plan) {
  const long long longest = std::max(std::llabs(dx), std::llabs(dy));
  const int limit = limitOf(kind, limits);
  long long pieces = 1;
  if (longest > limit) {
    const long long step = std::min(limit, limits.jump);
    pieces = (longest + step - 1) / step;
  }
  if (plan.moves.size() + static_cast<std::size_t>(pieces) > kMaxMoves) return false;
  for (long long i = 1; i <= pieces; ++i) {
    const int x = static_cast<int>(dx * i / pieces - dx * (i - 1) / pieces);
    const int y = static_cast<int>(dy * i / pieces - dy * (i - 1) / pieces);
    plan.moves.push_back({i == pieces ? kind : MoveKind::Jump, x, y});
  }
  return true;
}

}  // namespace

MoveKind moveKindOfPointType(std::uint8_t type) {
  for (const TypeKind& entry : kTypeKinds) {
    if (entry.type == type) return entry.kind;
  }
  return MoveKind::Jump;
}

bool planMoves(const std::vector<StDesPoint>& points, const MoveLimits& limits, MovePlan& plan) {
  plan = MovePlan();
  int x = 0;
  int y = 0;
  for (const StDesPoint& point : points) {
    const MoveKind kind = moveKindOfPointType(point.type);
    if (plan.blockColours.empty()) plan.blockColours.push_back(point.colour);
    const int px = roundedPosition(point.x);
    const int py = roundedPosition(point.y);
    if (kind == MoveKind::End) {
      if ((px != x || py != y) && !appendMove(MoveKind::Jump, px - x, py - y, limits, plan)) {
        return false;
      }
    } else if (!appendMove(kind, px - x, py - y, limits, plan)) {
      return false;
    }
    x = px;
    y = py;
    plan.minX = std::min(plan.minX, x);
    plan.maxX = std::max(plan.maxX, x);
    plan.minY = std::min(plan.minY, y);
    plan.maxY = std::max(plan.maxY, y);
    if (kind == MoveKind::ColourChange) plan.blockColours.push_back(point.colour);
    if (kind == MoveKind::Stitch) {
      plan.lastStitchX = x;
      plan.lastStitchY = y;
    }
    if (kind == MoveKind::End) break;
  }
  if (plan.blockColours.empty()) plan.blockColours.push_back(0);
  plan.moves.push_back({MoveKind::End, 0, 0});
  return true;
}

}  // namespace stitchkit
