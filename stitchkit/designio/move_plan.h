#pragma once

#include <cstdint>
#include <vector>

#include "stitchkit/designio/st_des.h"

namespace stitchkit {

// What a relative-move file format writes for a stitch point.
enum class MoveKind : std::uint8_t { Stitch, Jump, Trim, ColourChange, End };

// The move a point type is written as: penetrations (normal stitches, stitch variants,
// chenille) as stitches, trims and upper trims as trims, stops and colour changes as colour
// changes, the end as the end, and every other function as a jump to its position.
MoveKind moveKindOfPointType(std::uint8_t type);

// Longest component of one move, per kind of move.
struct MoveLimits {
  int stitch;
  int jump;
  int command;  // trims and colour changes
};

struct PlannedMove {
  MoveKind kind;
  int dx;
  int dy;
};

// A design as relative moves from the origin, with moves longer than the limits split into
// jumps followed by the move itself, and what headers need to know about it.
struct MovePlan {
  std::vector<PlannedMove> moves;  // ends with exactly one End
  // The thread of each colour block: the first point's, then each colour change's.
  std::vector<std::uint16_t> blockColours;
  // The box around the origin and every position reached.
  int minX = 0;
  int maxX = 0;
  int minY = 0;
  int maxY = 0;
  // Position of the last penetration (the origin when there is none).
  int lastStitchX = 0;
  int lastStitchY = 0;
};

// Plans the moves for `points` (positions rounded to whole units; points after the first end
// are not written). False when the design needs more moves than a file may hold.
bool planMoves(const std::vector<StDesPoint>& points, const MoveLimits& limits, MovePlan& plan);

}  // namespace stitchkit
