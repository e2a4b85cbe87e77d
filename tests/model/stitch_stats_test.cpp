#include "stitchkit/model/stitch_stats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include "stitchkit/model/stitch.h"
#include "stitchkit/platform/h_array.h"
#include "tests/support/allocation_counter.h"

namespace stitchkit {
namespace {

namespace C = StitchCode;

HStitch st(short x, short y, std::uint8_t code = C::Normal, unsigned short colour = 0) {
  return HStitch(x, y, code, colour);
}

HXArray<HStitch> design(std::initializer_list<HStitch> stitches) {
  HXArray<HStitch> a;
  for (const HStitch& s : stitches)
    a.add(s);
  return a;
}

// Thread taken by one sewn move of `length`.
double sewn(double length, double allowance = 5.0) {
  return length * 5.0 / 3.0 + 2.0 * allowance;
}

constexpr double kEps = 1e-9;

// Every figure of `a` equals that of `b`, including the contents of the per-stitch array.
void expectSameFigures(const StitchStats& a, const StitchStats& b) {
  EXPECT_EQ(a.stitchCount, b.stitchCount);
  EXPECT_EQ(a.jumpCount, b.jumpCount);
  EXPECT_EQ(a.commandCount, b.commandCount);
  EXPECT_EQ(a.trimCount, b.trimCount);
  EXPECT_EQ(a.curX, b.curX);
  EXPECT_EQ(a.curY, b.curY);
  EXPECT_EQ(a.maxX, b.maxX);
  EXPECT_EQ(a.maxY, b.maxY);
  EXPECT_EQ(a.minX, b.minX);
  EXPECT_EQ(a.minY, b.minY);
  EXPECT_EQ(a.startX, b.startX);
  EXPECT_EQ(a.startY, b.startY);
  EXPECT_EQ(a.endX, b.endX);
  EXPECT_EQ(a.endY, b.endY);
  EXPECT_EQ(a.maxMove, b.maxMove);
  EXPECT_EQ(a.needleCount, b.needleCount);
  EXPECT_EQ(a.colourChangeCount, b.colourChangeCount);
  EXPECT_EQ(a.threadLength, b.threadLength);
  EXPECT_EQ(a.needles, b.needles);
  EXPECT_EQ(a.colourThreadLengths, b.colourThreadLengths);
  EXPECT_EQ(a.colourStitchCounts, b.colourStitchCounts);
  EXPECT_EQ(a.maxNeedle, b.maxNeedle);
  EXPECT_EQ(a.colourJumpTrimCounts, b.colourJumpTrimCounts);
  EXPECT_EQ(a.stitchesAtLastNeedle, b.stitchesAtLastNeedle);
  EXPECT_EQ(a.threadAtLastNeedle, b.threadAtLastNeedle);
  EXPECT_EQ(a.currentNeedle, b.currentNeedle);
  EXPECT_EQ(a.firstNeedle, b.firstNeedle);
  EXPECT_EQ(a.threadStitchAllowance, b.threadStitchAllowance);
  EXPECT_EQ(a.threadLengthScale, b.threadLengthScale);
  EXPECT_EQ(a.threadInFabric, b.threadInFabric);
  EXPECT_EQ(a.stitchIndex, b.stitchIndex);
  ASSERT_EQ(a.stitchThreadLengths == nullptr, b.stitchThreadLengths == nullptr);
  ASSERT_EQ(a.stitchThreadLengths.size(), b.stitchThreadLengths.size());
  for (int i = 0; i < a.stitchThreadLengths.size(); ++i) {
    EXPECT_EQ(a.stitchThreadLengths[i], b.stitchThreadLengths[i]) << "move " << i;
  }
}

// A three-colour design with jumps, a trim, a colour change and a jump-trim.
HXArray<HStitch> multiColourDesign() {
  return design({st(0, 0, C::Normal, 0), st(0, 30, C::Normal, 0), st(0, 30, C::ChangeNeedle, 1),
                 st(0, 90, C::Normal, 1), st(0, 90, C::Trim, 1), st(0, 120, C::Jump, 2),
                 st(10, 120, C::Normal, 2), st(10, 210, C::Normal, 2),
                 st(10, 250, C::JumpTrim, 2)});
}

// ---------------------------------------------------------------------------------------------

TEST(StitchStatsInterface, MembersKeepTheirTypesAndDeclarationOrder) {
  static_assert(std::has_virtual_destructor_v<StitchStats>);
  static_assert(std::is_same_v<decltype(StitchStats::stitchCount), int>);
  static_assert(std::is_same_v<decltype(StitchStats::curX), short>);
  static_assert(std::is_same_v<decltype(StitchStats::maxMove), short>);
  static_assert(std::is_same_v<decltype(StitchStats::needleCount), std::uint64_t>);
  static_assert(std::is_same_v<decltype(StitchStats::colourChangeCount), short>);
  static_assert(std::is_same_v<decltype(StitchStats::threadLength), double>);
  static_assert(std::is_same_v<decltype(StitchStats::needles), HXArray<short>>);
  static_assert(std::is_same_v<decltype(StitchStats::colourThreadLengths), HXArray<double>>);
  static_assert(std::is_same_v<decltype(StitchStats::colourStitchCounts), HXArray<int>>);
  static_assert(std::is_same_v<decltype(StitchStats::colourJumpTrimCounts), HXArray<int>>);
  static_assert(std::is_same_v<decltype(StitchStats::threadInFabric), int>);

  const StitchStats s;
  const std::vector<const void*> order = {&s.stitchCount,
                                          &s.jumpCount,
                                          &s.commandCount,
                                          &s.trimCount,
                                          &s.curX,
                                          &s.curY,
                                          &s.maxX,
                                          &s.maxY,
                                          &s.minX,
                                          &s.minY,
                                          &s.startX,
                                          &s.startY,
                                          &s.endX,
                                          &s.endY,
                                          &s.maxMove,
                                          &s.needleCount,
                                          &s.colourChangeCount,
                                          &s.threadLength,
                                          &s.needles,
                                          &s.colourThreadLengths,
                                          &s.colourStitchCounts,
                                          &s.maxNeedle,
                                          &s.colourJumpTrimCounts,
                                          &s.stitchesAtLastNeedle,
                                          &s.threadAtLastNeedle,
                                          &s.currentNeedle,
                                          &s.firstNeedle,
                                          &s.threadStitchAllowance,
                                          &s.threadLengthScale,
                                          &s.threadInFabric,
                                          &s.stitchIndex,
                                          &s.stitchThreadLengths};
  for (std::size_t i = 1; i < order.size(); ++i) {
    EXPECT_TRUE(std::less<const void*>()(order[i - 1], order[i])) << "member " << i;
  }
}

// ---------------------------------------------------------------------------------------------

struct ThreadCase {
  std::string name;
  double allowance;
  std::vector<HStitch> stitches;
  double thread;
  int threadInFabric;
};

TEST(StitchStatsThread, EstimateFollowsTheThreadState) {
  const std::vector<ThreadCase> cases = {
      {"sewn stitch adds 5/3 length plus two allowances", 5.0, {st(0, 0), st(30, 40)}, sewn(50), 1},
      {"zero-length sewn stitch adds two allowances", 5.0, {st(0, 0), st(0, 0)}, 10.0, 1},
      {"allowance from setThreadConsumpVars",
       2.0,
       {st(0, 0), st(0, 0), st(0, 9)},
       4.0 + sewn(9, 2.0),
       1},
      {"jump after a sewn stitch adds thread", 5.0, {st(0, 0), st(0, 30, C::Jump)}, sewn(30), 1},
      {"jump after a trim adds none",
       5.0,
       {st(0, 0), st(0, 0, C::Trim), st(0, 30, C::Jump), st(0, 60, C::Jump)},
       0.0,
       0},
      {"first stitch after a trim adds none",
       5.0,
       {st(0, 0), st(0, 0, C::Trim), st(0, 30), st(0, 90)},
       sewn(60),
       1},
      {"trim adds none and ends the thread",
       5.0,
       {st(0, 0), st(0, 30), st(0, 80, C::Trim)},
       sewn(30),
       0},
      {"colour change adds none and keeps thread in the fabric",
       5.0,
       {st(0, 0), st(0, 30, C::ChangeNeedle, 1), st(0, 60, C::Normal, 1)},
       sewn(30),
       1},
      {"colour change keeps thread out of the fabric",
       5.0,
       {st(0, 0), st(0, 0, C::Trim), st(0, 30, C::ChangeNeedle, 1), st(0, 60, C::Normal, 1)},
       0.0,
       1},
      {"design starting with a trim", 5.0, {st(0, 0, C::Trim), st(0, 30)}, 0.0, 1},
      {"design starting with a jump has no thread", 5.0, {st(0, 0, C::Jump), st(0, 30)}, 0.0, 1},
      {"needle-up adds none and ends the thread",
       5.0,
       {st(0, 0), st(0, 30, C::NeedleUp), st(0, 60)},
       0.0,
       1},
      {"jump-trim adds none and ends the thread",
       5.0,
       {st(0, 0), st(0, 30, C::JumpTrim), st(0, 60)},
       0.0,
       1},
      {"design end adds none", 5.0, {st(0, 0), st(0, 30, C::DesignEnd)}, 0.0, 0},
      {"design start adds its move, then ends the thread",
       5.0,
       {st(0, 0), st(0, 30, C::DesignStart), st(0, 60)},
       sewn(30),
       1},
      {"upper trim sews through",
       5.0,
       {st(0, 0), st(0, 30, C::UpperTrim), st(0, 60)},
       2 * sewn(30),
       1},
      {"other commands sew their move",
       5.0,
       {st(0, 0), st(0, 30, C::Stop), st(0, 60)},
       2 * sewn(30),
       1},
  };
  for (const ThreadCase& c : cases) {
    SCOPED_TRACE(c.name);
    HXArray<HStitch> stitches;
    for (const HStitch& s : c.stitches)
      stitches.add(s);
    StitchStats stats;
    stats.setThreadConsumpVars(c.allowance, 1.0);
    stats.setupStitchStats(stitches, 0, 0, 0);
    EXPECT_NEAR(stats.threadLength, c.thread, kEps);
    EXPECT_EQ(stats.threadInFabric, c.threadInFabric);
  }
}

// ---------------------------------------------------------------------------------------------

TEST(StitchStatsNeedleBlocks, OneColourDesignIsOneBlockClosedByFinish) {
  StitchStats stats;
  stats.setupStitchStats(design({st(0, 0, C::Normal, 3), st(0, 30, C::Normal, 3),
                                 st(0, 60, C::Normal, 3), st(0, 100, C::Normal, 3)}),
                         0, 0, 0);
  EXPECT_EQ(stats.stitchCount, 4);
  EXPECT_EQ(stats.needleCount, 1u);
  EXPECT_EQ(stats.firstNeedle, 3);
  EXPECT_EQ(stats.getFirstNeedle(), 3);
  EXPECT_EQ(stats.currentNeedle, 3);
  EXPECT_EQ(stats.maxNeedle, 3);
  ASSERT_EQ(stats.needles.length(), 1);
  EXPECT_EQ(stats.needles[0], 3);
  ASSERT_EQ(stats.colourStitchCounts.length(), 1);
  EXPECT_EQ(stats.colourStitchCounts[0], stats.stitchCount);
  ASSERT_EQ(stats.colourThreadLengths.length(), 1);
  EXPECT_NEAR(stats.colourThreadLengths[0], stats.threadLength / 10.0, kEps);
  EXPECT_NEAR(stats.threadLength, sewn(30) + sewn(30) + sewn(40), kEps);
}

TEST(StitchStatsNeedleBlocks, BlocksSplitStitchesAndScaledThread) {
  StitchStats stats;
  stats.setThreadConsumpVars(5.0, 2.0);
  stats.setupStitchStats(multiColourDesign(), 0, 0, 0);

  // Block 0: the first stitch and one sewn move of 30. Block 1: the colour change, a move of
  // 60 and the trim. Block 2: the jump (no thread after the trim), a stitch that ends the
  // thread-less state, and a move of 90; the jump-trim is no stitch.
  const double block[3] = {sewn(30), sewn(60), sewn(90)};
  EXPECT_EQ(stats.stitchCount, 8);
  EXPECT_EQ(stats.needleCount, 3u);
  EXPECT_EQ(stats.firstNeedle, 0);
  EXPECT_EQ(stats.maxNeedle, 2);
  EXPECT_EQ(stats.currentNeedle, 2);
  ASSERT_EQ(stats.needles.length(), 3);
  ASSERT_EQ(stats.colourStitchCounts.length(), 3);
  ASSERT_EQ(stats.colourThreadLengths.length(), 3);
  const int counts[3] = {2, 3, 3};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(stats.needles[i], i);
    EXPECT_EQ(stats.colourStitchCounts[i], counts[i]);
    EXPECT_NEAR(stats.colourThreadLengths[i], block[i] / 10.0 * 2.0, kEps);
  }
  // The total is neither divided nor scaled.
  EXPECT_NEAR(stats.threadLength, block[0] + block[1] + block[2], kEps);
  EXPECT_EQ(stats.stitchesAtLastNeedle, stats.stitchCount);
  EXPECT_EQ(stats.threadAtLastNeedle, stats.threadLength);
  EXPECT_EQ(stats.jumpCount, 1);
  EXPECT_EQ(stats.trimCount, 2);
  EXPECT_EQ(stats.commandCount, 1);
  EXPECT_EQ(stats.colourChangeCount, 1);
}

TEST(StitchStatsNeedleBlocks, OpenBlockIsWrittenOnlyByTheNextBlockOrFinish) {
  StitchStats stats;
  stats.addNeedle(5);
  stats.update(st(0, 10, C::Normal, 5), 0, 0);
  stats.update(st(0, 20, C::Normal, 5), 0, 0);
  EXPECT_EQ(stats.needleCount, 1u);
  EXPECT_EQ(stats.colourStitchCounts.length(), 0);

  stats.addNeedle(5);  // a direct call opens a block even for the same needle
  stats.update(st(0, 20, C::Normal, 2), 0, 0);
  EXPECT_EQ(stats.needleCount, 3u);
  ASSERT_EQ(stats.colourStitchCounts.length(), 2);
  EXPECT_EQ(stats.colourStitchCounts[0], 2);
  EXPECT_EQ(stats.colourStitchCounts[1], 0);

  stats.finish();
  ASSERT_EQ(stats.colourStitchCounts.length(), 3);
  EXPECT_EQ(stats.colourStitchCounts[2], 1);
  ASSERT_EQ(stats.needles.length(), 3);
  EXPECT_EQ(stats.needles[0], 5);
  EXPECT_EQ(stats.needles[1], 5);
  EXPECT_EQ(stats.needles[2], 2);
  EXPECT_EQ(stats.firstNeedle, 5);
  EXPECT_EQ(stats.maxNeedle, 5);
  EXPECT_EQ(stats.currentNeedle, 2);
}

TEST(StitchStatsNeedleBlocks, JumpTrimCountsIntoTheOpenBlock) {
  StitchStats stats;
  stats.update(st(0, 0, C::JumpTrim, 4), 0, 0);  // before any block: entry 0
  ASSERT_EQ(stats.colourJumpTrimCounts.length(), 1);
  EXPECT_EQ(stats.colourJumpTrimCounts[0], 1);
  EXPECT_EQ(stats.stitchCount, 0);
  EXPECT_EQ(stats.needleCount, 0u);
  EXPECT_EQ(stats.currentNeedle, -1);
  EXPECT_EQ(stats.trimCount, 1);

  stats.update(st(0, 0, C::Normal, 0), 0, 0);
  stats.update(st(0, 0, C::Normal, 1), 0, 0);
  stats.update(st(0, 0, C::Normal, 2), 0, 0);
  stats.update(st(0, 0, C::JumpTrim, 7), 0, 0);
  stats.update(st(0, 0, C::JumpTrim, 7), 0, 0);
  ASSERT_EQ(stats.colourJumpTrimCounts.length(), 3);
  EXPECT_EQ(stats.colourJumpTrimCounts[0], 1);
  EXPECT_EQ(stats.colourJumpTrimCounts[1], 0);
  EXPECT_EQ(stats.colourJumpTrimCounts[2], 2);
  EXPECT_EQ(stats.needleCount, 3u);  // a jump-trim's colour opens no block
  EXPECT_EQ(stats.stitchCount, 3);
}

// ---------------------------------------------------------------------------------------------

TEST(StitchStatsExtents, DefaultExtentsAndFinishWithoutStitches) {
  StitchStats stats;
  EXPECT_EQ(stats.maxX, -32768);
  EXPECT_EQ(stats.maxY, -32768);
  EXPECT_EQ(stats.minX, 32767);
  EXPECT_EQ(stats.minY, 32767);
  stats.finish();
  EXPECT_EQ(stats.maxX, 0);
  EXPECT_EQ(stats.maxY, 0);
  EXPECT_EQ(stats.minX, 0);
  EXPECT_EQ(stats.minY, 0);

  // Moves without a counted stitch leave the extents at the start point after finish.
  StitchStats moved;
  moved.setStartPoint(5, -7);
  EXPECT_EQ(moved.curX, 5);
  EXPECT_EQ(moved.curY, -7);
  moved.addX(100);
  moved.addY(-200);
  EXPECT_EQ(moved.maxX, 100);
  EXPECT_EQ(moved.minY, -200);
  EXPECT_EQ(moved.endX, 0);  // not before finish
  moved.finish();
  EXPECT_EQ(moved.maxX, 5);
  EXPECT_EQ(moved.minX, 5);
  EXPECT_EQ(moved.maxY, -7);
  EXPECT_EQ(moved.minY, -7);
  EXPECT_EQ(moved.endX, 100);
  EXPECT_EQ(moved.endY, -200);
}

TEST(StitchStatsExtents, DesignExtentsEndPointAndLargestMove) {
  StitchStats stats;
  stats.setupStitchStats(
      design({st(7, 3), st(-50, 20), st(300, -40, C::Jump), st(100, 10), st(100, 10, C::Trim)}), 0,
      0, 0);
  EXPECT_EQ(stats.startX, 7);
  EXPECT_EQ(stats.startY, 3);
  EXPECT_EQ(stats.minX, -50);
  EXPECT_EQ(stats.maxX, 300);
  EXPECT_EQ(stats.minY, -40);
  EXPECT_EQ(stats.maxY, 20);
  EXPECT_EQ(stats.endX, 100);
  EXPECT_EQ(stats.endY, 10);
  EXPECT_EQ(stats.maxMove, 350);
}

TEST(StitchStatsExtents, SetStartPointAfterStitchesOnlyWidens) {
  StitchStats stats;
  stats.setupStitchStats(design({st(10, 10), st(20, 30)}), 0, 0, 0);
  stats.setStartPoint(HCoord<short>(-5, 100));
  EXPECT_EQ(stats.startX, -5);
  EXPECT_EQ(stats.startY, 100);
  EXPECT_EQ(stats.minX, -5);
  EXPECT_EQ(stats.maxX, 20);
  EXPECT_EQ(stats.minY, 10);
  EXPECT_EQ(stats.maxY, 100);
  EXPECT_EQ(stats.curX, 20);
  EXPECT_EQ(stats.curY, 30);

  stats.setStartPoint(15, 20);  // inside: nothing shrinks
  EXPECT_EQ(stats.minX, -5);
  EXPECT_EQ(stats.maxX, 20);
  EXPECT_EQ(stats.minY, 10);
  EXPECT_EQ(stats.maxY, 100);

  // One counted stitch is enough for the start point to stop moving the position.
  StitchStats one;
  one.update(st(10, -10), 0, 0);
  one.setStartPoint(50, 40);
  EXPECT_EQ(one.curX, 10);
  EXPECT_EQ(one.curY, -10);
  EXPECT_EQ(one.minX, 10);
  EXPECT_EQ(one.maxX, 50);
  EXPECT_EQ(one.minY, -10);
  EXPECT_EQ(one.maxY, 40);
}

TEST(StitchStatsExtents, LargestMoveIsMeasuredIn16Bits) {
  struct Case {
    short from;
    short to;
    short maxMove;
  };
  const Case cases[] = {
      {0, 100, 100},        {0, -100, 100}, {0, 32767, 32767},
      {0, -32767, 32767},   {0, -32768, 0},  // |-32768| in 16 bits is -32768: no larger move
      {-1, 32767, 0},                        // 32768 wraps to -32768
      {-32768, 32767, 1},                    // 65535 wraps to -1
      {100, -32768, 32668},                  // -32868 wraps to 32668
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
    StitchStats x;
    x.setStartPoint(c.from, 0);
    x.addX(c.to);
    EXPECT_EQ(x.maxMove, c.maxMove);
    EXPECT_EQ(x.curX, c.to);

    StitchStats y;
    y.setStartPoint(0, c.from);
    y.addY(c.to);
    EXPECT_EQ(y.maxMove, c.maxMove);
    EXPECT_EQ(y.curY, c.to);
  }

  StitchStats both;  // both axes feed one maxMove
  both.addX(10);
  both.addY(-50);
  both.addX(30);
  EXPECT_EQ(both.maxMove, 50);
}

// ---------------------------------------------------------------------------------------------

TEST(StitchStatsUpdate, CommandCodeTable) {
  // Which counter each code moves: n nothing, c commandCount, x colour change (colourChangeCount
  // and commandCount), t trimCount. One string per ten codes.
  const std::string table = std::string("nnxtcccccc")  // 0-9
                            + "cctntccccc"             // 10-19
                            + "ncccccnnnn"             // 20-29
                            + "nccccccccc"             // 30-39
                            + "cccccccccc"             // 40-49
                            + "cccncccccc"             // 50-59
                            + "ccccccnn"               // 60-67
                            + "c";                     // 68: beyond the named codes
  ASSERT_EQ(table.size(), 69u);
  auto check = [](int code, char kind) {
    SCOPED_TRACE(testing::Message() << "code " << code);
    StitchStats stats;
    stats.update(st(0, 0, static_cast<std::uint8_t>(code)), 0, 0);
    EXPECT_EQ(stats.commandCount, kind == 'c' || kind == 'x' ? 1 : 0);
    EXPECT_EQ(stats.colourChangeCount, kind == 'x' ? 1 : 0);
    EXPECT_EQ(stats.trimCount, kind == 't' ? 1 : 0);
    EXPECT_EQ(stats.jumpCount, code == C::Jump || code == C::NeedleUp ? 1 : 0);
    EXPECT_EQ(stats.stitchCount, code == C::JumpTrim ? 0 : 1);
    EXPECT_EQ(stats.stitchIndex, 1);
  };
  for (int code = 0; code < static_cast<int>(table.size()); ++code)
    check(code, table[code]);
  check(255, 'c');
}

TEST(StitchStatsUpdate, RealStitchesStandForTheirParent) {
  struct Case {
    const char* name;
    int skipRealStitches;
    int countEmptyParent;
    bool withReals;
    int stitchCount;
    int jumpCount;
    short maxMove;
    int firstNeedle;
    double thread;
  };
  // Parent: a jump of 300 in colour 0; real stitches: three jumps of 100 in colour 1.
  const Case cases[] = {
      {"reals fed", 0, 0, true, 4, 3, 100, 1, 3 * sewn(100)},
      {"reals fed, parent with reals never counted", 0, 1, true, 4, 3, 100, 1, 3 * sewn(100)},
      {"reals skipped", 1, 0, true, 2, 1, 300, 0, sewn(300)},
      {"reals skipped, countEmptyParent", 1, 1, true, 2, 1, 300, 0, sewn(300)},
      {"empty real list", 0, 0, false, 2, 1, 300, 0, sewn(300)},
      {"empty real list, countEmptyParent", 0, 1, false, 2, 1, 300, 0, sewn(300)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HStitch parent = st(0, 300, C::Jump, 0);
    if (c.withReals) {
      parent.setRealStitches(
          design({st(0, 100, C::Jump, 1), st(0, 200, C::Jump, 1), st(0, 300, C::Jump, 1)}));
    } else {
      parent.setComment(HString("virtual"));
      parent.setRealStitches(HXArray<HStitch>());
    }
    StitchStats stats;
    stats.setupStitchStats(design({st(0, 0, C::Normal, 0), parent}), c.countEmptyParent, 0,
                           c.skipRealStitches);
    EXPECT_EQ(stats.stitchCount, c.stitchCount);
    EXPECT_EQ(stats.jumpCount, c.jumpCount);
    EXPECT_EQ(stats.maxMove, c.maxMove);
    EXPECT_EQ(stats.firstNeedle, c.firstNeedle);
    EXPECT_EQ(stats.needleCount, 1u);
    EXPECT_NEAR(stats.threadLength, c.thread, kEps);
    EXPECT_EQ(stats.stitchIndex, 2);
    EXPECT_EQ(stats.commandCount, 0);
  }
}

TEST(StitchStatsUpdate, FeedingStitchesDoesNotAllocatePerStitch) {
  StitchStats stats;
  stats.update(st(0, 0, C::Normal, 0), 0, 0);
  testing_support::AllocationCounter counter;
  for (int i = 0; i < 10000; ++i) {
    const std::uint8_t code = i % 10 == 0 ? C::Jump : i % 25 == 0 ? C::Trim : C::Normal;
    stats.update(st(static_cast<short>(i % 300), static_cast<short>(i % 7), code, 0), 0, 0);
  }
  stats.update(st(0, 0, C::Normal, 1), 0, 0);
  stats.finish();
  // Only the block arrays may grow, a handful of times.
  EXPECT_LE(counter.count(), 8u);
  EXPECT_EQ(stats.stitchCount, 10002);
}

// ---------------------------------------------------------------------------------------------

TEST(StitchStatsThreadLength, PerStitchMovesAndRangeBounds) {
  StitchStats stats;
  stats.setupStitchStats(design({st(0, 0), st(0, 10), st(0, 30), st(0, 60), st(0, 100)}), 0, 1, 0);
  ASSERT_NE(stats.stitchThreadLengths, nullptr);
  ASSERT_EQ(stats.stitchThreadLengths.size(), 4);
  const double move[4] = {sewn(10), sewn(20), sewn(30), sewn(40)};
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(stats.stitchThreadLengths[i], move[i], kEps) << i;

  struct Case {
    int from;
    int to;
    double sum;
  };
  const Case cases[] = {
      {0, 1000, move[0] + move[1] + move[2]},  // `to` lowered to stitchCount - 2
      {0, 4, move[0] + move[1] + move[2]},
      {1, 3, move[1] + move[2]},
      {-7, 2, move[0] + move[1]},
      {2, 2, 0.0},
      {3, 1, 0.0},
      {3, 1000, 0.0},
      {-3, -1, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(stats.getThreadLength(c.from, c.to), c.sum, kEps) << c.from << ".." << c.to;
  }
}

TEST(StitchStatsThreadLength, ZeroWithoutPerStitchArrayOrWithOneStitch) {
  StitchStats notKept;
  notKept.setupStitchStats(design({st(0, 0), st(0, 10), st(0, 30)}), 0, 0, 0);
  EXPECT_EQ(notKept.stitchThreadLengths, nullptr);
  EXPECT_GT(notKept.threadLength, 0.0);
  EXPECT_EQ(notKept.getThreadLength(0, 1000), 0.0);

  StitchStats single;
  single.setupStitchStats(design({st(4, 4)}), 0, 1, 0);
  EXPECT_NE(single.stitchThreadLengths, nullptr);
  EXPECT_EQ(single.stitchThreadLengths.size(), 0);
  EXPECT_EQ(single.getThreadLength(0, 1000), 0.0);
  EXPECT_EQ(single.getThreadLength(-1, 1), 0.0);
}

TEST(StitchStatsThreadLength, NeverReachesPastTheArray) {
  // Real stitches count as stitches but share their parent's move, so stitchCount runs ahead of
  // the per-stitch array.
  HStitch parent = st(0, 300, C::Jump, 0);
  parent.setRealStitches(design({st(0, 100), st(0, 200), st(0, 300)}));
  StitchStats stats;
  stats.setupStitchStats(design({st(0, 0), parent, st(0, 330)}), 0, 1, 0);
  EXPECT_EQ(stats.stitchCount, 5);
  ASSERT_EQ(stats.stitchThreadLengths.size(), 2);
  EXPECT_NEAR(stats.stitchThreadLengths[0], 3 * sewn(100), kEps);
  EXPECT_NEAR(stats.stitchThreadLengths[1], sewn(30), kEps);
  const double all = stats.stitchThreadLengths[0] + stats.stitchThreadLengths[1];
  EXPECT_NEAR(stats.getThreadLength(0, 1000), all, kEps);

  // Stitches fed after setup have no slot; the total still grows.
  const double before = stats.threadLength;
  for (int i = 0; i < 5; ++i)
    stats.update(st(0, static_cast<short>(400 + i)), 0, 0);
  EXPECT_GT(stats.threadLength, before);
  EXPECT_NEAR(stats.getThreadLength(0, 1000), all, kEps);
}

// ---------------------------------------------------------------------------------------------

TEST(StitchStatsOwnership, CopyIsDeepAndIndependent) {
  StitchStats source;
  source.setThreadConsumpVars(4.0, 1.5);
  source.setupStitchStats(multiColourDesign(), 0, 1, 0);
  ASSERT_NE(source.stitchThreadLengths, nullptr);
  const double firstMove = source.stitchThreadLengths[0];

  StitchStats copy(source);
  expectSameFigures(copy, source);
  EXPECT_NE(copy.stitchThreadLengths.get(), source.stitchThreadLengths.get());
  copy.stitchThreadLengths[0] = 999.0;
  copy.needles.set(0, 9);
  EXPECT_EQ(source.stitchThreadLengths[0], firstMove);
  EXPECT_EQ(source.needles[0], 0);

  StitchStats assigned;
  assigned.setupStitchStats(design({st(0, 0), st(1, 1)}), 0, 1, 0);
  assigned = source;
  expectSameFigures(assigned, source);
  EXPECT_NE(assigned.stitchThreadLengths.get(), source.stitchThreadLengths.get());
  source.stitchThreadLengths[1] = -1.0;
  EXPECT_NE(assigned.stitchThreadLengths[1], -1.0);
}

TEST(StitchStatsOwnership, NullAndEmptyArraysCopyAsTheyAre) {
  StitchStats withoutArray;
  withoutArray.setupStitchStats(multiColourDesign(), 0, 0, 0);

  StitchStats copied(withoutArray);
  EXPECT_EQ(copied.stitchThreadLengths, nullptr);

  StitchStats target;
  target.setupStitchStats(multiColourDesign(), 0, 1, 0);
  ASSERT_NE(target.stitchThreadLengths, nullptr);
  target = withoutArray;  // the target's array is released
  EXPECT_EQ(target.stitchThreadLengths, nullptr);
  expectSameFigures(target, withoutArray);

  StitchStats oneStitch;  // a zero-length array exists and stays so in copies
  oneStitch.setupStitchStats(design({st(0, 0)}), 0, 1, 0);
  const StitchStats oneCopy(oneStitch);
  EXPECT_NE(oneCopy.stitchThreadLengths, nullptr);
  EXPECT_EQ(oneCopy.stitchThreadLengths.size(), 0);
}

TEST(StitchStatsOwnership, SelfAssignmentChangesNothing) {
  StitchStats stats;
  stats.setupStitchStats(multiColourDesign(), 0, 1, 0);
  const StitchStats before(stats);
  const double* array = stats.stitchThreadLengths.get();
  StitchStats& alias = stats;
  stats = alias;
  EXPECT_EQ(stats.stitchThreadLengths.get(), array);
  expectSameFigures(stats, before);
}

// ---------------------------------------------------------------------------------------------

TEST(StitchStatsReset, KeepsConsumptionVarsAndFreesTheArray) {
  StitchStats stats;
  stats.setThreadConsumpVars(3.0, 0.5);
  stats.setupStitchStats(multiColourDesign(), 0, 1, 0);
  // setupStitchStats resets too, so the figures were computed with the kept values.
  EXPECT_NEAR(stats.colourThreadLengths[0], sewn(30, 3.0) / 10.0 * 0.5, kEps);

  stats.reset();
  StitchStats expected;
  expected.setThreadConsumpVars(3.0, 0.5);
  expectSameFigures(stats, expected);
  EXPECT_EQ(stats.stitchThreadLengths, nullptr);
}

TEST(StitchStatsReset, SetupOnAnEmptyArrayLeavesAFreshlyResetObject) {
  StitchStats stats;
  stats.setThreadConsumpVars(6.0, 2.0);
  stats.setupStitchStats(multiColourDesign(), 0, 1, 0);
  stats.setupStitchStats(HXArray<HStitch>(), 1, 1, 0);

  StitchStats expected;
  expected.setThreadConsumpVars(6.0, 2.0);
  expectSameFigures(stats, expected);
  // finish was not called: the extents keep their defaults rather than the start point.
  EXPECT_EQ(stats.maxX, -32768);
  EXPECT_EQ(stats.minX, 32767);
  EXPECT_EQ(stats.stitchThreadLengths, nullptr);
}

}  // namespace
}  // namespace stitchkit
