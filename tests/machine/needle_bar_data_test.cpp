#include "stitchkit/machine/needle_bar_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace stitchkit {
namespace {

HStitch stitch(std::uint8_t flags, unsigned short colour) {
  return HStitch(0, 0, flags, colour);
}

TEST(NeedleBarData, BorerCommandsOpenBlocksOfTheBorerNeedle) {
  HXArray<HStitch> design;
  for (const HStitch& s : {stitch(StitchCode::Normal, 0), stitch(StitchCode::Normal, 0),
                           stitch(StitchCode::BorerIn, 0), stitch(StitchCode::Normal, 6),
                           stitch(StitchCode::BorerOut, 6), stitch(StitchCode::Jump, 2),
                           stitch(StitchCode::Normal, 2)})
    design.add(s);
  StitchOptions options;
  options.setHasBorerNeedle(1);
  options.setBorerNeedle(7);
  NeedleBarData needles;
  needles.setNeedleBarData(StitchArrayWrapper(design), options, nullptr, -1);
  EXPECT_EQ(needles.count, 3);
  EXPECT_EQ(std::string(needles.ns1[1].data(), 2), "17");
  EXPECT_EQ(std::string(needles.ns1[2].data(), 2), "13");
}

}  // namespace
}  // namespace stitchkit
