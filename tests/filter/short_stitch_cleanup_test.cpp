#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_array.h"
#include "tests/filter/stitch_filter_test_peer.h"

namespace stitchkit {
namespace {

namespace C = StitchCode;
using Peer = StitchFilterTestPeer;
using testing_support::At;
using testing_support::CodedPoint;
using testing_support::designOf;
using testing_support::fillDesign;
using testing_support::J;
using testing_support::N;

// The clean-up options the cases vary.
struct Cleaning {
  int cleanLength = 5;
  int jumpsPerTrim = 0;
  int preserveBlanks = kPreserveBlanksNone;
  int filterBlankJumps = 1;
  int cleanShort = 1;
  int copyOriginal = 0;
};

StitchOptions cleaningOptions(const Cleaning& c) {
  StitchOptions options;
  setDefaultEncoderOptions(options);
  options.setCleanLength(static_cast<short>(c.cleanLength));
  options.setJumpsPerTrim(static_cast<short>(c.jumpsPerTrim));
  options.setPreserveBlanks(static_cast<PreserveBlanksType>(c.preserveBlanks));
  options.setFilterBlankJumps(c.filterBlankJumps);
  options.setCleanShort(c.cleanShort);
  options.setCopyOriginal(c.copyOriginal);
  return options;
}

// One run of the clean-up over a design, as the encoder drives it for one stretch.
struct CleanupRun {
  std::vector<CodedPoint> left;  // the design afterwards
  int removed = 0;               // what the clean-up reported
  int end = 0;                   // where its walk stopped
  int skipNext = 0;              // the skip flag afterwards
};

CleanupRun runCleanup(const std::vector<CodedPoint>& design, const Cleaning& cleaning,
                      int start = 0, int skipNext = 0, int previousIsCommand = 0) {
  HXArray<HStitch> array;
  fillDesign(array, design);
  StitchArrayWrapper stitches(array);
  StitchFilter filter(stitches);
  Peer::takeCleanParameters(filter, cleaningOptions(cleaning));
  Peer::setPreviousIsCommand(filter, previousIsCommand);
  CleanupRun run;
  run.end = -1;
  run.skipNext = skipNext;
  run.removed = Peer::cleanShortStitches(filter, start, run.end, 0, run.skipNext);
  run.left = designOf(stitches);
  EXPECT_EQ(filter.getStitchCount(), array.length()) << "the count follows every removal";
  return run;
}

// --- Short clusters ---------------------------------------------------------------------------

TEST(ShortStitchCleanup, ShortClustersAreCutSoTheNextKeptStitchIsFarEnough) {
  struct Case {
    std::string name;
    std::vector<CodedPoint> design;
    int start;
    std::vector<CodedPoint> expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"10 then 12, 14 and 19 keeps 10 and 19", {N(10), N(12), N(14), N(19)}, 0, {N(10), N(19)}},
      {"one short stitch between long ones", {N(10), N(12), N(30)}, 0, {N(10), N(30)}},
      {"long stitches stay", {N(10), N(20), N(30)}, 0, {N(10), N(20), N(30)}},
      // The cluster ends the stretch: the stitch at 22 is kept and the anchor moves back to a
      // stitch that is far enough from it.
      {"a cluster before a command falls back to an earlier anchor", {At(C::ChangeNeedle, 0), N(10), N(20), N(22), At(C::ChangeNeedle, 22)}, 1, {At(C::ChangeNeedle, 0), N(10), N(22), At(C::ChangeNeedle, 22)}},
      {"a diagonal move counts by its length", {N(10), N(13, 4), N(20, 4)}, 0, {N(10), N(13, 4), N(20, 4)}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CleanupRun run = runCleanup(c.design, Cleaning{}, c.start);
    EXPECT_EQ(run.left, c.expected);
    EXPECT_EQ(run.removed, static_cast<int>(c.design.size() - c.expected.size()));
  }
}

TEST(ShortStitchCleanup, JumpsBeforeAShortStitchLendTheirLengthButARunStandingForATrimLendsNone) {
  struct Case {
    std::string name;
    int jumpsPerTrim;
    std::vector<CodedPoint> design;
    bool shortStitchKept;  // the stitch before the last one
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"1 after three 1-unit jumps that stand for a trim", 3, {N(100), J(101), J(102), J(103), N(104), N(120)}, false},
      {"1 after two 2-unit jumps: 1 + 2 + 2 reaches 5", 3, {N(100), J(102), J(104), N(105), N(120)}, true},
      {"2 after three 1-unit jumps that stand for a trim", 3, {N(100), J(101), J(102), J(103), N(105), N(120)}, false},
      {"2 after three 1-unit jumps without trims as jumps: 2 + 3 reaches 5", 0, {N(100), J(101), J(102), J(103), N(105), N(120)}, true},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Cleaning cleaning;
    cleaning.jumpsPerTrim = c.jumpsPerTrim;
    const CleanupRun run = runCleanup(c.design, cleaning);
    std::vector<CodedPoint> expected = c.design;
    if (!c.shortStitchKept) expected.erase(expected.end() - 2);
    EXPECT_EQ(run.left, expected);
  }
}

// --- Blanks -----------------------------------------------------------------------------------

TEST(ShortStitchCleanup, BlankStitchesAreKeptAsPreserveBlanksSays) {
  // Each design holds one blank normal stitch; the table gives the stitches left for
  // PreserveBlanks 0 to 4.
  struct Case {
    std::string name;
    std::vector<CodedPoint> design;
    int start;
    int previousIsCommand;
    std::vector<int> lengthByPreserveBlanks;
  };
  const std::vector<Case> cases = {
      {"between two stitches", {N(10), N(10), N(20)}, 0, 0, {2, 3, 2, 2, 2}},
      {"after a command", {At(C::ChangeNeedle, 10), N(10), N(20)}, 1, 0, {2, 3, 2, 3, 3}},
      {"before a command", {N(10), N(10), At(C::Trim, 10)}, 0, 0, {2, 3, 3, 2, 3}},
      {"first of a segment that follows a command", {N(0), N(10)}, 0, 1, {1, 2, 1, 2, 2}},
      {"first of a segment that follows a stitch", {N(0), N(10)}, 0, 0, {1, 2, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    for (int preserveBlanks = 0; preserveBlanks <= 4; ++preserveBlanks) {
      SCOPED_TRACE(c.name + ", PreserveBlanks " + std::to_string(preserveBlanks));
      Cleaning cleaning;
      cleaning.preserveBlanks = preserveBlanks;
      const CleanupRun run = runCleanup(c.design, cleaning, c.start, 0, c.previousIsCommand);
      EXPECT_EQ(static_cast<int>(run.left.size()),
                c.lengthByPreserveBlanks[static_cast<std::size_t>(preserveBlanks)]);
    }
  }
}

TEST(ShortStitchCleanup, RunsOfBlankJumpsKeepTheirFirstTwoOnlyWhenBlankJumpsAreFiltered) {
  // Four jumps to one point: the first moves there, three are blank.
  const std::vector<CodedPoint> design = {N(10), J(50), J(50), J(50), J(50), N(60)};
  Cleaning filtering;
  filtering.filterBlankJumps = 1;
  EXPECT_EQ(runCleanup(design, filtering).left,
            (std::vector<CodedPoint>{N(10), J(50), J(50), N(60)}));

  Cleaning keeping;
  keeping.filterBlankJumps = 0;
  EXPECT_EQ(runCleanup(design, keeping).left, design);
}

// --- When nothing is cleaned ----------------------------------------------------------------

// --- Deltas -----------------------------------------------------------------------------------

// --- Moving trims in front of jumps ---------------------------------------------------------

TEST(StitchFilterMoveTrims, AVirtualStitchThatSewsEndsTheRun) {
  HXArray<HStitch> array;
  fillDesign(array, {J(10), J(20), At(C::Trim, 20)});
  HXArray<HStitch> real;
  real.add(HStitch(15, 0, C::Jump));
  real.add(HStitch(20, 0, C::Normal));
  array[1].setRealStitches(real);
  StitchArrayWrapper stitches(array);
  StitchFilter filter(stitches);
  Peer::moveTrimsBeforeJumps(filter);
  EXPECT_EQ(designOf(stitches), (std::vector<CodedPoint>{J(10), J(20), At(C::Trim, 20)}));

  // A virtual jump made of jumps only is part of the run.
  real[1].setFlags(C::Jump);
  array[1].setRealStitches(real);
  Peer::moveTrimsBeforeJumps(filter);
  EXPECT_EQ(designOf(stitches), (std::vector<CodedPoint>{At(C::Trim, 10), J(20), J(20)}));
}

// --- Tracing ----------------------------------------------------------------------------------

TEST(StitchFilterTrace, JumpsAroundTheExtentsAndStopsAtTheStart) {
  // Extents (-100, -50) to (200, 80), start (0, 0).
  HXArray<HStitch> array;
  fillDesign(array, {At(C::DesignStart, 0, 0), N(-100, -50), N(200, 80), At(C::DesignEnd, 200, 80)},
             2);
  StitchArrayWrapper stitches(array);
  StitchFilter filter(stitches);
  ASSERT_EQ(Peer::traceDesign(filter, 1), 0);

  EXPECT_EQ(designOf(stitches), (std::vector<CodedPoint>{
                                    At(C::DesignStart, 0, 0), J(-100, -50), J(-100, 80), J(200, 80),
                                    J(200, -50), J(-100, -50), J(0, 0), At(C::Stop, 0, 0),
                                    N(-100, -50), N(200, 80), At(C::DesignEnd, 200, 80)}));
  EXPECT_EQ(filter.getStitchCount(), 11);
  for (int i = 1; i <= 7; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(array[i].getColor(), 2) << "the colour of the stitch it precedes";
    EXPECT_EQ(array[i].isPreserved(), i < 7) << "the jumps are not to be merged";
  }
}

// --- Centre -----------------------------------------------------------------------------------

}  // namespace
}  // namespace stitchkit
