#include "stitchkit/model/stitch.h"

#include <gtest/gtest.h>

#include "stitchkit/model/stop_info.h"

namespace stitchkit {
namespace {

TEST(HStitch, RareAttributesAreDeepCopiedAndIndependent) {
  HStitch virtualJump(100, 50, StitchCode::Jump, 2);
  HXArray<HStitch> real;
  real.add(HStitch(40, 20, StitchCode::Jump, 2));
  real.add(HStitch(100, 50, StitchCode::Jump, 2));
  virtualJump.setRealStitches(real);
  virtualJump.setComment(L"move");
  virtualJump.setEffectInfo(0x21, 0xFF0000, L"glow");
  virtualJump.setHeadCode(7);
  virtualJump.setAutoColourChangeOffset(3);
  virtualJump.setArbitraryBlock(0xA4);
  virtualJump.setIndividualSpeed(800);
  PresserFootSettings foot;
  foot.valid = true;
  foot.lowerDeadPoint = 12;
  virtualJump.setPresserFootSettings(foot);

  HStitch copy(virtualJump);
  copy.getRealStitches()[0].xval() = 1;
  copy.setComment(L"other");
  EXPECT_EQ(virtualJump.getRealStitches()[0].xval(), 40);
  EXPECT_EQ(virtualJump.getComment(), L"move");
  EXPECT_EQ(copy.getRealStitchCount(), 2);

  std::uint8_t flag = 0;
  std::uint32_t colour = 0;
  HString id;
  copy.getEffectInfo(flag, colour, id);
  EXPECT_EQ(flag, 0x21);
  EXPECT_EQ(colour, 0xFF0000u);
  EXPECT_EQ(id, L"glow");
  EXPECT_TRUE(copy.hasEffectColour());  // low four bits are 1
  EXPECT_EQ(copy.getHeadCode(), 7);
  EXPECT_EQ(copy.getAutoColourChangeOffset(), 3);
  EXPECT_EQ(copy.getArbitraryBlock(), 0xA4);
  EXPECT_EQ(copy.getIndividualSpeed(), 800);
  EXPECT_TRUE(copy.hasPresserFootSettings());
  EXPECT_EQ(copy.getPresserFootSettings().lowerDeadPoint, 12);

  // Copies that leave the real stitches behind keep every other attribute.
  HStitch commandOnly(virtualJump, 0);
  EXPECT_FALSE(commandOnly.hasRealStitches());
  EXPECT_EQ(commandOnly.getComment(), L"move");
  EXPECT_EQ(commandOnly.getHeadCode(), 7);
  HStitch target(virtualJump);
  target.copyStitch(HStitch(1, 2), 0);
  EXPECT_FALSE(target.hasRealStitches());
  EXPECT_TRUE(target.getComment().isEmpty());

  copy.reset();
  EXPECT_FALSE(copy.hasRealStitches());
  EXPECT_EQ(copy.getHeadCode(), 0);
}

TEST(HStitch, RealStitchOptionsAndColour) {
  HStitch nested(5, 5, StitchCode::Jump);
  HXArray<HStitch> inner;
  inner.add(HStitch(1, 1));
  nested.setRealStitches(inner);
  HXArray<HStitch> outer;
  outer.add(nested);

  HStitch kept(0, 0, StitchCode::Jump);
  kept.setRealStitches(outer, 0);
  EXPECT_TRUE(kept.getRealStitches()[0].hasRealStitches());
  HStitch flattened(0, 0, StitchCode::Jump);
  flattened.setRealStitches(outer, 1);
  EXPECT_FALSE(flattened.getRealStitches()[0].hasRealStitches());

  flattened.setColor(4, true);
  EXPECT_EQ(flattened.getRealStitches()[0].getColor(), 4);
  flattened.setColor(6, false);
  EXPECT_EQ(flattened.getColor(), 6);
  EXPECT_EQ(flattened.getRealStitches()[0].getColor(), 4);
  HStitch plain;
  EXPECT_EQ(plain.getRealStitches().length(), 0);
  EXPECT_FALSE(plain.hasRealStitches());
}

}  // namespace
}  // namespace stitchkit
