#include "stitchkit/machine/needle_bar_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace stitchkit {
namespace {

HStitch stitch(std::uint8_t flags, unsigned short colour) {
  return HStitch(0, 0, flags, colour);
}

TEST(NeedleBarCodes, NeedleCharactersAndTheColoursTheyReadBackAs) {
  struct Case {
    std::uint8_t flags;
    unsigned short colour;
    int firstPunch;
    char code;
    int readBack;
  };
  const Case cases[] = {
      {StitchCode::Normal, 0, -1, '1', 0},
      {StitchCode::Normal, 9, -1, 'A', 9},
      {StitchCode::Normal, 17, -1, 'I', 17},
      {StitchCode::Normal, 20, -1, '3', 2},
      {StitchCode::ChangeNeedle, 13, 12, 'b', 13},
      {StitchCode::Normal, 11, 12, 'C', 11},
      {StitchCode::LockChenilleStandard, 5, -1, 'X', 1},
      {StitchCode::ChenilleMoss, 4, -1, 'N', 4},
      {StitchCode::ChenilleChain, 5, -1, 'P', 5},
      {StitchCode::ChenilleTaping, 23, -1, 'V', 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.flags) << " colour " << c.colour);
    EXPECT_EQ(needleBarNeedleCode(stitch(c.flags, c.colour), c.firstPunch), c.code);
    EXPECT_EQ(colourOfNeedleBarCode(c.code, c.firstPunch), c.readBack);
  }
}

TEST(NeedleBarCodes, HeadStopAndChenilleCharacters) {
  struct HeadCase {
    int head;
    char code;
    int readBack;
  };
  for (const HeadCase& c : {HeadCase{0, '1', 0}, HeadCase{1, '2', 1}, HeadCase{7, '8', 7},
                            HeadCase{8, '1', 0}, HeadCase{10, '0', 10}, HeadCase{20, 'A', 20},
                            HeadCase{39, 'T', 39}, HeadCase{40, '1', 0}}) {
    HStitch s;
    s.setHeadCode(c.head);
    EXPECT_EQ(needleBarHeadCode(s), c.code) << c.head;
    EXPECT_EQ(headCodeOfNeedleBarCode(c.code), c.readBack) << c.head;
  }
  struct StopCase {
    std::uint8_t flags;
    int offset;
    char code;
  };
  for (const StopCase& c :
       {StopCase{StitchCode::Normal, 4, '0'}, StopCase{StitchCode::Stop, 0, '1'},
        StopCase{StitchCode::ChangeNeedle, 0, '0'}, StopCase{StitchCode::ChangeNeedle, 9, '9'}}) {
    HStitch s = stitch(c.flags, 0);
    s.setAutoColourChangeOffset(c.offset);
    EXPECT_EQ(needleBarStopCode(s), c.code) << int(c.flags) << ' ' << c.offset;
  }
  struct ChenilleCase {
    std::uint8_t flags;
    unsigned short data;
    const char* codes;
  };
  for (const ChenilleCase& c : {ChenilleCase{StitchCode::ChenilleChain, 4, "C4"},
                                ChenilleCase{StitchCode::ChenilleMoss, 10, "LH"},
                                ChenilleCase{StitchCode::LockChenilleTucking, 13, "A2"},
                                ChenilleCase{StitchCode::LockChenilleZigZag9, 0, "90"},
                                ChenilleCase{StitchCode::ChangeNeedle, 3, "  "},
                                ChenilleCase{StitchCode::Normal, 3, "  "}}) {
    HStitch s = stitch(c.flags, 0);
    s.setData(c.data);
    const auto codes = needleBarChenilleCodes(s);
    EXPECT_EQ(std::string(codes.data(), 2), c.codes) << int(c.flags);
  }
}

TEST(NeedleBarData, ColourChangeBeforeTheFirstStitchReplacesBlockZero) {
  HXArray<HStitch> design;
  for (const HStitch& s :
       {stitch(StitchCode::Jump, 0), stitch(StitchCode::ChangeNeedle, 3),
        stitch(StitchCode::Normal, 3), stitch(StitchCode::Stop, 3), stitch(StitchCode::Normal, 3),
        stitch(StitchCode::ChangeNeedle, 5), stitch(StitchCode::Normal, 5)})
    design.add(s);
  NeedleBarData needles;
  needles.setNeedleBarData(StitchArrayWrapper(design), StitchOptions(), nullptr, -1);
  EXPECT_EQ(needles.count, 2);
  EXPECT_EQ(needles.needles[0], 4);
  EXPECT_EQ(needles.needles[1], 6);
  EXPECT_EQ(std::string(needles.ns1[0].data(), 2), "14");
  EXPECT_EQ(std::string(needles.ns1[1].data(), 2), "16");
  EXPECT_EQ(std::string(needles.ns2.data(), 3), "00 ");
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

TEST(NeedleBarData, InitFromANeedleListCountsUpToTheFirstZero) {
  unsigned char list[256] = {3, 2, 5, 0, 7};
  NeedleBarData needles;
  needles.init(list);
  EXPECT_EQ(needles.count, 3);
  EXPECT_EQ(needles.needles[4], 7);
  EXPECT_EQ(std::string(needles.ns1[1].data(), 2), "12");
  EXPECT_EQ(needles.ns1[3][0], ' ');
}

}  // namespace
}  // namespace stitchkit
