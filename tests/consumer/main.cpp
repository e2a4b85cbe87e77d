// Built by `make test` against an installed stitchkit; the README shows this program.
#include <cstdio>

#include "stitchkit/stitchkit.h"

int main() {
  using namespace stitchkit;
  // A small design: a square sewn with needle 1, a jump, a line with needle 2.
  HXArray<HStitch> design;
  design.add(HStitch(0, 0, StitchCode::Normal, 0));
  design.add(HStitch(100, 0, StitchCode::Normal, 0));
  design.add(HStitch(100, 100, StitchCode::Normal, 0));
  design.add(HStitch(0, 100, StitchCode::Normal, 0));
  design.add(HStitch(0, 0, StitchCode::Normal, 0));
  design.add(HStitch(300, 0, StitchCode::Jump, 0));
  design.add(HStitch(300, 0, StitchCode::ChangeNeedle, 1));
  design.add(HStitch(400, 50, StitchCode::Normal, 1));

  StitchStats stats;
  stats.setupStitchStats(design, 1, 0, 0);
  std::printf("%d stitches, %llu needle blocks, %.1f x %.1f mm, %.2f m of thread\n",
              stats.stitchCount, static_cast<unsigned long long>(stats.needleCount),
              (stats.maxX - stats.minX) / 10.0, (stats.maxY - stats.minY) / 10.0,
              stats.threadLength / 10000.0);

  StitchEncoderOptions options;
  setDefaultEncoderOptions(options);
  options.setFileFormat(kFormatDst);
  return options.isCompatible(kFormatDstVariant15) ? 0 : 1;
}
