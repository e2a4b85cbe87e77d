// Built by `make test` against an installed stitchkit; the README shows this program.
#include <cstdio>

#include "stitchkit/stitchkit.h"

int main() {
  using namespace stitchkit;
  // A small design: a square sewn with needle 1, a long jump, a line with needle 2.
  HXArray<HStitch> design;
  design.add(HStitch(0, 0, StitchCode::Normal, 0));
  design.add(HStitch(100, 0, StitchCode::Normal, 0));
  design.add(HStitch(100, 100, StitchCode::Normal, 0));
  design.add(HStitch(0, 100, StitchCode::Normal, 0));
  design.add(HStitch(0, 0, StitchCode::Normal, 0));
  design.add(HStitch(300, 0, StitchCode::Jump, 0));
  design.add(HStitch(300, 0, StitchCode::ChangeNeedle, 1));
  design.add(HStitch(400, 50, StitchCode::Normal, 1));

  // Write it as a DST file: the writer splits the long jump into records the machine can
  // carry and rewrites `design` to what it wrote.
  HXArray<HString> names;
  if (makeStitchFormatFile(L"example.dst", design, ThreadPalette(), names, 0.0, nullptr, 0,
                           HeadGrouping()) != kWriteOk) {
    return 1;
  }

  // Read it back and describe it (coordinates are in 0.1 mm).
  HXArray<HStitch> read;
  StitchStats stats;
  double scale = 0.0;
  const int r = decodeFile(L"example.dst", read, stats, scale, nullptr, nullptr, nullptr, nullptr);
  if (r != kReadOk) {
    std::fprintf(stderr, "example.dst: %s\n", readResultMessage(r));
    return 1;
  }
  std::printf("%d stitches, %llu needle blocks, %.1f x %.1f mm, %.2f m of thread\n",
              stats.stitchCount, static_cast<unsigned long long>(stats.needleCount),
              (stats.maxX - stats.minX) / 10.0, (stats.maxY - stats.minY) / 10.0,
              stats.threadLength / 10000.0);
  return 0;
}
