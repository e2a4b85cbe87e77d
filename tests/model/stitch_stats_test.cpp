#include "stitchkit/model/stitch_stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "stitchkit/model/stitch.h"
#include "stitchkit/platform/h_array.h"
#include "tests/support/stitch_builders.h"

namespace stitchkit {
namespace {

namespace C = StitchCode;
using testing_support::design;
using testing_support::items;
using testing_support::stitch;

// Thread taken by one sewn move of `length`.
double sewn(double length, double allowance = 5.0) {
  return length * 5.0 / 3.0 + 2.0 * allowance;
}

constexpr double kEps = 1e-9;

// Every figure of `s`, the per-stitch array included, as one list to compare.
std::vector<double> figures(const StitchStats& s) {
  // clang-format off
  std::vector<double> out = {
      double(s.stitchCount), double(s.jumpCount), double(s.commandCount), double(s.trimCount),
      double(s.curX), double(s.curY), double(s.maxX), double(s.maxY), double(s.minX),
      double(s.minY), double(s.startX), double(s.startY), double(s.endX), double(s.endY),
      double(s.maxMove),
      double(s.needleCount), double(s.colourChangeCount), s.threadLength, double(s.maxNeedle),
      double(s.stitchesAtLastNeedle), s.threadAtLastNeedle, double(s.currentNeedle),
      double(s.firstNeedle), s.threadStitchAllowance, s.threadLengthScale,
      double(s.threadInFabric), double(s.stitchIndex), double(s.stitchThreadLengths == nullptr)};
  // clang-format on
  for (const short n : s.needles)
    out.push_back(n);
  for (const double t : s.colourThreadLengths)
    out.push_back(t);
  for (const int c : s.colourStitchCounts)
    out.push_back(c);
  for (const int c : s.colourJumpTrimCounts)
    out.push_back(c);
  for (int i = 0; i < s.stitchThreadLengths.size(); ++i)
    out.push_back(s.stitchThreadLengths[i]);
  return out;
}

// A three-colour design with jumps, a trim, a colour change and a jump-trim.
HXArray<HStitch> multiColourDesign() {
  return design({stitch(0, 0, C::Normal, 0), stitch(0, 30, C::Normal, 0),
                 stitch(0, 30, C::ChangeNeedle, 1), stitch(0, 90, C::Normal, 1),
                 stitch(0, 90, C::Trim, 1), stitch(0, 120, C::Jump, 2),
                 stitch(10, 120, C::Normal, 2), stitch(10, 210, C::Normal, 2),
                 stitch(10, 250, C::JumpTrim, 2)});
}

TEST(StitchStatsThread, EstimateFollowsTheThreadState) {
  const HStitch o = stitch(0, 0);
  // clang-format off
  const struct {
    const char* name;
    std::vector<HStitch> stitches;
    double thread;
    int inFabric;
  } cases[] = {
      {"sewn stitch", {o, stitch(30, 40)}, sewn(50), 1},
      {"zero-length sewn stitch", {o, o}, 10.0, 1},
      {"jump after a sewn stitch", {o, stitch(0, 30, C::Jump)}, sewn(30), 1},
      {"jump after a trim", {o, stitch(0, 0, C::Trim), stitch(0, 30, C::Jump)}, 0.0, 0},
      {"first stitch after a trim", {o, stitch(0, 0, C::Trim), stitch(0, 30), stitch(0, 90)}, sewn(60), 1},
      {"trim ends the thread", {o, stitch(0, 30), stitch(0, 80, C::Trim)}, sewn(30), 0},
      {"colour change", {o, stitch(0, 30, C::ChangeNeedle, 1), stitch(0, 60, C::Normal, 1)}, sewn(30), 1},
      {"colour change after a trim", {o, stitch(0, 0, C::Trim), stitch(0, 30, C::ChangeNeedle, 1), stitch(0, 60)}, 0.0, 1},
      {"starting with a trim", {stitch(0, 0, C::Trim), stitch(0, 30)}, 0.0, 1},
      {"starting with a jump", {stitch(0, 0, C::Jump), stitch(0, 30)}, 0.0, 1},
      {"needle-up", {o, stitch(0, 30, C::NeedleUp), stitch(0, 60)}, 0.0, 1},
      {"jump-trim", {o, stitch(0, 30, C::JumpTrim), stitch(0, 60)}, 0.0, 1},
      {"design end", {o, stitch(0, 30, C::DesignEnd)}, 0.0, 0},
      {"design start", {o, stitch(0, 30, C::DesignStart), stitch(0, 60)}, sewn(30), 1},
      {"upper trim sews through", {o, stitch(0, 30, C::UpperTrim), stitch(0, 60)}, 2 * sewn(30), 1},
      {"other commands sew their move", {o, stitch(0, 30, C::Stop), stitch(0, 60)}, 2 * sewn(30), 1},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StitchStats stats;
    stats.setupStitchStats(design(c.stitches), 0, 0, 0);
    EXPECT_NEAR(stats.threadLength, c.thread, kEps);
    EXPECT_EQ(stats.threadInFabric, c.inFabric);
  }
  StitchStats allowance;
  allowance.setThreadConsumpVars(2.0, 1.0);
  allowance.setupStitchStats(design({o, o, stitch(0, 9)}), 0, 0, 0);
  EXPECT_NEAR(allowance.threadLength, 4.0 + sewn(9, 2.0), kEps);
}

TEST(StitchStatsNeedleBlocks, BlocksSplitStitchesAndScaledThread) {
  StitchStats one;
  one.setupStitchStats(design({stitch(0, 0, C::Normal, 3), stitch(0, 30, C::Normal, 3)}), 0, 0, 0);
  EXPECT_EQ(one.getFirstNeedle(), 3);
  EXPECT_EQ(items(one.needles), (std::vector<short>{3}));
  EXPECT_EQ(items(one.colourStitchCounts), (std::vector<int>{2}));
  EXPECT_NEAR(one.colourThreadLengths[0], sewn(30) / 10.0, kEps);

  StitchStats stats;
  stats.setThreadConsumpVars(5.0, 2.0);
  stats.setupStitchStats(multiColourDesign(), 0, 0, 0);
  // Block 0: the first stitch and a move of 30. Block 1: the colour change, a move of 60 and
  // the trim. Block 2: the jump (no thread after the trim), a stitch and a move of 90.
  const double block[3] = {sewn(30), sewn(60), sewn(90)};
  EXPECT_EQ(items(stats.needles), (std::vector<short>{0, 1, 2}));
  EXPECT_EQ(items(stats.colourStitchCounts), (std::vector<int>{2, 3, 3}));
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(stats.colourThreadLengths[i], block[i] / 10.0 * 2.0, kEps) << i;
  EXPECT_NEAR(stats.threadLength, block[0] + block[1] + block[2], kEps);  // not scaled
  const std::vector<double> counts = {8, 1, 1, 2, 3, 1, 2, 2, 0, 8};
  EXPECT_EQ(counts,
            (std::vector<double>{double(stats.stitchCount), double(stats.jumpCount),
                                 double(stats.commandCount), double(stats.trimCount),
                                 double(stats.needleCount), double(stats.colourChangeCount),
                                 double(stats.maxNeedle), double(stats.currentNeedle),
                                 double(stats.firstNeedle), double(stats.stitchesAtLastNeedle)}));
  EXPECT_EQ(stats.threadAtLastNeedle, stats.threadLength);
}

TEST(StitchStatsNeedleBlocks, OpenBlockIsWrittenOnlyByTheNextBlockOrFinish) {
  StitchStats stats;
  stats.addNeedle(5);
  stats.update(stitch(0, 10, C::Normal, 5), 0, 0);
  stats.update(stitch(0, 20, C::Normal, 5), 0, 0);
  EXPECT_EQ(stats.colourStitchCounts.length(), 0);
  stats.addNeedle(5);  // a direct call opens a block even for the same needle
  stats.update(stitch(0, 20, C::Normal, 2), 0, 0);
  EXPECT_EQ(items(stats.colourStitchCounts), (std::vector<int>{2, 0}));
  stats.finish();
  EXPECT_EQ(items(stats.colourStitchCounts), (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(items(stats.needles), (std::vector<short>{5, 5, 2}));
  EXPECT_EQ(stats.firstNeedle, 5);
  EXPECT_EQ(stats.maxNeedle, 5);
  EXPECT_EQ(stats.currentNeedle, 2);
}

TEST(StitchStatsNeedleBlocks, JumpTrimCountsIntoTheOpenBlock) {
  StitchStats stats;
  stats.update(stitch(0, 0, C::JumpTrim, 4), 0, 0);  // before any block: entry 0
  EXPECT_EQ(items(stats.colourJumpTrimCounts), (std::vector<int>{1}));
  EXPECT_EQ(stats.stitchCount, 0);
  EXPECT_EQ(stats.currentNeedle, -1);
  EXPECT_EQ(stats.trimCount, 1);
  for (const int colour : {0, 1, 2})
    stats.update(stitch(0, 0, C::Normal, colour), 0, 0);
  stats.update(stitch(0, 0, C::JumpTrim, 7), 0, 0);
  stats.update(stitch(0, 0, C::JumpTrim, 7), 0, 0);
  EXPECT_EQ(items(stats.colourJumpTrimCounts), (std::vector<int>{1, 0, 2}));
  EXPECT_EQ(stats.needleCount, 3u);  // a jump-trim's colour opens no block
}

TEST(StitchStatsExtents, ExtentsStartPointEndPointAndLargestMove) {
  StitchStats empty;
  EXPECT_EQ((std::vector<int>{empty.maxX, empty.maxY, empty.minX, empty.minY}),
            (std::vector<int>{-32768, -32768, 32767, 32767}));
  empty.finish();
  EXPECT_EQ((std::vector<int>{empty.maxX, empty.maxY, empty.minX, empty.minY}),
            (std::vector<int>{0, 0, 0, 0}));

  // Moves without a counted stitch leave the extents at the start point after finish.
  StitchStats moved;
  moved.setStartPoint(5, -7);
  moved.addX(100);
  moved.addY(-200);
  EXPECT_EQ(moved.maxX, 100);
  EXPECT_EQ(moved.endX, 0);  // not before finish
  moved.finish();
  EXPECT_EQ(
      (std::vector<int>{moved.maxX, moved.minX, moved.maxY, moved.minY, moved.endX, moved.endY}),
      (std::vector<int>{5, 5, -7, -7, 100, -200}));

  StitchStats stats;
  stats.setupStitchStats(design({stitch(7, 3), stitch(-50, 20), stitch(300, -40, C::Jump),
                                 stitch(100, 10), stitch(100, 10, C::Trim)}),
                         0, 0, 0);
  EXPECT_EQ((std::vector<int>{stats.startX, stats.startY, stats.minX, stats.maxX, stats.minY,
                              stats.maxY, stats.endX, stats.endY, stats.maxMove}),
            (std::vector<int>{7, 3, -50, 300, -40, 20, 100, 10, 350}));

  // A start point set after stitches only widens the extents and does not move the needle.
  stats.setStartPoint(HCoord<short>(-5, 100));
  stats.setStartPoint(15, 0);
  EXPECT_EQ((std::vector<int>{stats.startX, stats.minX, stats.maxX, stats.minY, stats.maxY,
                              stats.curX, stats.curY}),
            (std::vector<int>{15, -50, 300, -40, 100, 100, 10}));
  StitchStats one;
  one.update(stitch(10, -10), 0, 0);
  one.setStartPoint(50, 40);
  EXPECT_EQ((std::vector<int>{one.curX, one.curY, one.minX, one.maxX, one.minY, one.maxY}),
            (std::vector<int>{10, -10, 10, 50, -10, 40}));
}

TEST(StitchStatsExtents, LargestMoveIsMeasuredIn16Bits) {
  const short cases[][3] = {{0, 100, 100},  {0, -100, 100},     {0, 32767, 32767},   {0, -32768, 0},
                            {-1, 32767, 0}, {-32768, 32767, 1}, {100, -32768, 32668}};
  for (const auto& c : cases) {
    StitchStats x;
    x.setStartPoint(c[0], 0);
    x.addX(c[1]);
    StitchStats y;
    y.setStartPoint(0, c[0]);
    y.addY(c[1]);
    EXPECT_EQ(x.maxMove, c[2]) << c[0] << " -> " << c[1];
    EXPECT_EQ(y.maxMove, c[2]) << c[0] << " -> " << c[1];
    EXPECT_EQ(y.curY, c[1]);
  }
  StitchStats both;
  both.addX(10);
  both.addY(-50);
  both.addX(30);
  EXPECT_EQ(both.maxMove, 50);
}

TEST(StitchStatsUpdate, CommandCodeTable) {
  // Which counter each code moves: n nothing, c commandCount, x colour change (colourChangeCount
  // and commandCount), t trimCount. Ten codes a group; 68 stands for every later code.
  const std::string table = std::string("nnxtcccccc") + "cctntccccc" + "ncccccnnnn" + "nccccccccc" +
                            "cccccccccc" + "cccncccccc" + "ccccccnn" + "c";
  for (int i = 0; i <= static_cast<int>(table.size()); ++i) {
    const int code = i < static_cast<int>(table.size()) ? i : 255;
    const char kind = table[std::min<std::size_t>(i, table.size() - 1)];
    StitchStats stats;
    stats.update(stitch(0, 0, code), 0, 0);
    EXPECT_EQ((std::vector<int>{stats.commandCount, stats.colourChangeCount, stats.trimCount,
                                stats.jumpCount, stats.stitchCount, stats.stitchIndex}),
              (std::vector<int>{kind == 'c' || kind == 'x', kind == 'x', kind == 't',
                                code == C::Jump || code == C::NeedleUp, code != C::JumpTrim, 1}))
        << "code " << code;
  }
}

TEST(StitchStatsUpdate, RealStitchesStandForTheirParent) {
  // Parent: a jump of 300 in colour 0; real stitches: three jumps of 100 in colour 1.
  const struct {
    int skipReal, countEmptyParent;
    bool withReals;
    int stitchCount, jumpCount;
    short maxMove;
    int firstNeedle;
    double thread;
  } cases[] = {
      {0, 0, true, 4, 3, 100, 1, 3 * sewn(100)}, {0, 1, true, 4, 3, 100, 1, 3 * sewn(100)},
      {1, 0, true, 2, 1, 300, 0, sewn(300)},     {1, 1, true, 2, 1, 300, 0, sewn(300)},
      {0, 0, false, 2, 1, 300, 0, sewn(300)},    {0, 1, false, 2, 1, 300, 0, sewn(300)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.skipReal << c.countEmptyParent << c.withReals);
    HStitch parent = stitch(0, 300, C::Jump, 0);
    if (c.withReals) {
      parent.setRealStitches(design(
          {stitch(0, 100, C::Jump, 1), stitch(0, 200, C::Jump, 1), stitch(0, 300, C::Jump, 1)}));
    } else {
      parent.setComment(HString("virtual"));
      parent.setRealStitches(HXArray<HStitch>());
    }
    StitchStats stats;
    stats.setupStitchStats(design({stitch(0, 0), parent}), c.countEmptyParent, 0, c.skipReal);
    EXPECT_EQ(stats.stitchCount, c.stitchCount);
    EXPECT_EQ(stats.jumpCount, c.jumpCount);
    EXPECT_EQ(stats.maxMove, c.maxMove);
    EXPECT_EQ(stats.firstNeedle, c.firstNeedle);
    EXPECT_NEAR(stats.threadLength, c.thread, kEps);
    EXPECT_EQ(stats.stitchIndex, 2);
  }
}

TEST(StitchStatsThreadLength, PerStitchMovesAndRangeBounds) {
  StitchStats stats;
  stats.setupStitchStats(
      design({stitch(0, 0), stitch(0, 10), stitch(0, 30), stitch(0, 60), stitch(0, 100)}), 0, 1, 0);
  ASSERT_EQ(stats.stitchThreadLengths.size(), 4);
  const double m[4] = {sewn(10), sewn(20), sewn(30), sewn(40)};
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(stats.stitchThreadLengths[i], m[i], kEps) << i;
  const struct {
    int from, to;
    double sum;
  } cases[] = {
      {0, 1000, m[0] + m[1] + m[2]},
      {1, 3, m[1] + m[2]},
      {-7, 2, m[0] + m[1]},
      {2, 2, 0.0},
      {3, 1, 0.0},
      {3, 1000, 0.0},
      {-3, -1, 0.0},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(stats.getThreadLength(c.from, c.to), c.sum, kEps) << c.from << ".." << c.to;

  StitchStats notKept;
  notKept.setupStitchStats(design({stitch(0, 0), stitch(0, 10)}), 0, 0, 0);
  EXPECT_EQ(notKept.stitchThreadLengths, nullptr);
  EXPECT_EQ(notKept.getThreadLength(0, 1000), 0.0);
  StitchStats single;
  single.setupStitchStats(design({stitch(4, 4)}), 0, 1, 0);
  EXPECT_EQ(single.stitchThreadLengths.size(), 0);
  EXPECT_EQ(single.getThreadLength(-1, 1), 0.0);

  // Real stitches count as stitches but share their parent's move, so stitchCount runs ahead
  // of the per-stitch array, and stitches fed after setup have no slot.
  HStitch parent = stitch(0, 300, C::Jump, 0);
  parent.setRealStitches(design({stitch(0, 100), stitch(0, 200), stitch(0, 300)}));
  StitchStats real;
  real.setupStitchStats(design({stitch(0, 0), parent, stitch(0, 330)}), 0, 1, 0);
  EXPECT_EQ(real.stitchCount, 5);
  ASSERT_EQ(real.stitchThreadLengths.size(), 2);
  EXPECT_NEAR(real.stitchThreadLengths[0], 3 * sewn(100), kEps);
  for (int i = 0; i < 5; ++i)
    real.update(stitch(0, 400 + i), 0, 0);
  EXPECT_NEAR(real.getThreadLength(0, 1000), 3 * sewn(100) + sewn(30), kEps);
}

TEST(StitchStatsOwnership, CopiesAreDeepAndResetKeepsTheConsumptionVars) {
  StitchStats source;
  source.setThreadConsumpVars(4.0, 1.5);
  source.setupStitchStats(multiColourDesign(), 0, 1, 0);
  const std::vector<double> before = figures(source);
  StitchStats copy(source);
  StitchStats assigned;
  assigned.setupStitchStats(design({stitch(0, 0), stitch(1, 1)}), 0, 1, 0);
  assigned = source;
  StitchStats& alias = source;
  source = alias;
  for (StitchStats* s : {&copy, &assigned}) {
    EXPECT_EQ(figures(*s), before);
    EXPECT_NE(s->stitchThreadLengths.get(), source.stitchThreadLengths.get());
    s->stitchThreadLengths[0] = 999.0;
    s->needles.set(0, 9);
  }
  EXPECT_EQ(figures(source), before);

  StitchStats withoutArray;
  withoutArray.setupStitchStats(multiColourDesign(), 0, 0, 0);
  assigned = withoutArray;  // the target's array is released
  EXPECT_EQ(assigned.stitchThreadLengths, nullptr);
  EXPECT_EQ(figures(assigned), figures(withoutArray));
  StitchStats oneStitch;  // a zero-length array stays one in copies
  oneStitch.setupStitchStats(design({stitch(0, 0)}), 0, 1, 0);
  EXPECT_NE(StitchStats(oneStitch).stitchThreadLengths, nullptr);

  StitchStats expected;
  expected.setThreadConsumpVars(4.0, 1.5);
  source.reset();
  EXPECT_EQ(figures(source), figures(expected));
  copy.setupStitchStats(HXArray<HStitch>(), 1, 1, 0);  // no finish: default extents
  EXPECT_EQ(figures(copy), figures(expected));
}

}  // namespace
}  // namespace stitchkit
