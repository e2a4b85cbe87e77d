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
