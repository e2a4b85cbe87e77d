#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "bench/dst_bench_data.h"
#include "stitchkit/decode/dst_records.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"

namespace stitchkit::bench {

// DST records of a design as a digitiser's export looks to a converter: stitches with random
// moves of up to 121 units on each axis (about a fifth of them longer than 121 in all, so
// that writers with that limit must split them), a trim written as three jumps every 1,000
// records, a colour change (stop record) every 50,000 records, and the end record. `records`
// counts every record written. The same `seed` gives the same design.
inline std::vector<unsigned char> makeRandomDstRecords(int records, unsigned seed = 1) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> move(-dst::kMaxMove, dst::kMaxMove);
  std::vector<unsigned char> bytes;
  bytes.reserve(static_cast<std::size_t>(records) * dst::kRecordSize);
  auto put = [&](int dx, int dy, std::uint8_t command) { appendRecord(bytes, dx, dy, command); };
  // Moves stay inside a 600 by 600 mm field: each one turns back towards the middle when it
  // would leave it.
  int x = 0;
  int y = 0;
  auto step = [&](int& at, int d) {
    if (at + d > 3000 || at + d < -3000) d = -d;
    at += d;
    return d;
  };
  for (int written = 0; written < records - 1; ++written) {
    if (written % 50'000 == 49'999) {
      put(0, 0, dst::kCommandStop);
    } else if (written % 1'000 == 997 && written + 3 < records - 1) {
      for (int k = 0; k < 3; ++k, ++written)
        put(step(x, move(random)), step(y, move(random)), dst::kCommandJump);
      --written;
    } else {
      put(step(x, move(random)), step(y, move(random)), dst::kCommandNormal);
    }
  }
  put(0, 0, dst::kCommandStop);  // turned into the end record 00 00 F3
  bytes[bytes.size() - 1] = dst::kEndByte2;
  return bytes;
}

// A design as an editor holds it before it is written for a machine: satin-like stitches,
// every 40th stitch a long move between objects held as a single jump (127 to 400 units, to
// be split), one stitch in ten shorter than 5 units (for the short-stitch clean-up), a trim
// before each long move and a colour change every 20,000 stitches, then the design end.
inline HXArray<HStitch> makeEditorDesign(int stitches, unsigned seed = 2) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> satin(20, 60);
  std::uniform_int_distribution<int> shortMove(-3, 3);
  std::uniform_int_distribution<int> longMove(127, 400);
  HXArray<HStitch> out;
  out.setAllocSize(stitches);
  short x = 0;
  short y = 0;
  unsigned short colour = 0;
  int side = 1;
  auto add = [&](int dx, int dy, std::uint8_t code) {
    if (x + dx > 3000 || x + dx < -3000) dx = -dx;
    if (y + dy > 3000 || y + dy < -3000) dy = -dy;
    x = static_cast<short>(x + dx);
    y = static_cast<short>(y + dy);
    out.add(HStitch(x, y, code, colour));
  };
  for (int i = 0; out.length() < stitches - 1; ++i) {
    if (i % 20'000 == 19'999) {
      ++colour;
      add(0, 0, StitchCode::ChangeNeedle);
    } else if (i % 40 == 39) {
      add(0, 0, StitchCode::Trim);
      add(longMove(random), longMove(random) / 2, StitchCode::Jump);
    } else if (i % 10 == 5) {
      add(shortMove(random), shortMove(random), StitchCode::Normal);
    } else {
      side = -side;
      add(side * satin(random), 8, StitchCode::Normal);
    }
  }
  add(0, 0, StitchCode::DesignEnd);
  return out;
}

}  // namespace stitchkit::bench
