#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "stitchkit/encode/stitch_encoder.h"
#include "tests/encode/encoder_test_support.h"

// Stitch splitting and jump insertion, observed through the recording encoder.
namespace stitchkit {
namespace {

using namespace encode_test;  // NOLINT(google-build-using-namespace)

// Trims are written as JumpsPerTrim jumps of TrimJumpLength.
const char* const trimsAsJumps = "HasTrimCode=0 TrimsAsJumps=1 JumpsPerTrim=3 TrimJumpLength=4";
// The same, with a penetration pattern at every trim; with one jump per trim.
const char* const penetrating =
    "HasTrimCode=0 TrimsAsJumps=1 JumpsPerTrim=3 TrimJumpLength=4 PenetrateAtTrims=1";
const char* const oneJump = "HasTrimCode=0 TrimsAsJumps=1 TrimJumpLength=4 JumpsPerTrim=1";

// ---------------------------------------------------------------------------------------------
// needResplit, countSplits, the path

TEST(SplitNeedResplit, StitchesAndTheirRealStitches) {
  const HStitch trim = virtualStitch(30, 0, 3, {at(10, 0, 1), at(20, 0, 1), at(30, 0, 1)});
  // SplitStitchToJumps looks at the whole move, not at its real stitches.
  const HStitch halves = virtualStitch(150, 0, StitchCode::Normal, {at(75, 0), at(150, 0)});
  // clang-format off
  const struct {
    const char* name;
    const char* configure;
    HStitch stitch;
    int trim;
    int atGroupEnd;
    int forceResplit;
    int expected;
  } cases[] = {
      {"normal within HardLength", "", at(100, 0), 0, 0, 0, 0},
      {"normal beyond HardLength", "", at(128, 0), 0, 0, 0, 1},
      {"diagonal beyond HardLength", "", at(90, 90), 0, 0, 0, 1},
      {"MaxLength lowers the limit", "MaxLength=50", at(60, 0), 0, 0, 0, 1},
      {"MaxLength above HardLength is ignored", "MaxLength=500", at(128, 0), 0, 0, 0, 1},
      {"SplitJumpLength limits jumps", "SplitJumpLength=50", at(100, 0, StitchCode::Jump), 0, 0, 0, 1},
      {"SplitJumpLength does not limit normals", "SplitJumpLength=50", at(100, 0), 0, 0, 0, 0},
      {"preserved jumps keep the hard limit", "SplitJumpLength=50 PreserveJumps=1", at(100, 0, StitchCode::Jump), 0, 0, 0, 0},
      {"chenille real length", "HasChenilleSupport=1 MaxRealLength=30", at(40, 0), 0, 0, 0, 1},
      {"real length without chenille support", "MaxRealLength=30", at(40, 0), 0, 0, 0, 0},
      {"HardLength 0 never cuts", "HardLength=0", at(3000, 0), 0, 0, 0, 0},
      {"KeepOriginalStitch never cuts", "KeepOriginalStitch=1", at(3000, 0), 0, 0, 0, 0},
      {"KeepOriginalStitch never cuts a trim", "HasTrimCode=0 TrimsAsJumps=1 JumpsPerTrim=3 TrimJumpLength=4 KeepOriginalStitch=1", at(3000, 0, StitchCode::Trim), 1, 0, 0, 0},
      {"trim as jumps always needs its jumps", trimsAsJumps, at(2, 0, StitchCode::Trim), 1, 0, 0, 1},
      {"trim without the trim flag", trimsAsJumps, at(2, 0, StitchCode::Trim), 0, 0, 0, 0},
      {"trim flag cleared while jumps are preserved", "HasTrimCode=0 TrimsAsJumps=1 JumpsPerTrim=3 TrimJumpLength=4 PreserveJumps=1", at(2, 0, StitchCode::Trim), 1, 0, 0, 0},
      {"penetrating trims always need their pattern", penetrating, at(2, 0, StitchCode::Trim), 1, 0, 0, 1},
      {"one jump per trim, long enough", oneJump, at(20, 0, StitchCode::Jump), 1, 0, 0, 0},
      {"one jump per trim, too short", oneJump, at(2, 0, StitchCode::Jump), 1, 0, 0, 1},
      {"SplitStitchToJumps cuts the whole move", "MaxLength=100 SplitStitchToJumps=1", halves, 0, 0, 0, 1},
      {"without SplitStitchToJumps the real stitches are short enough", "MaxLength=100 SplitStitchToJumps=0", halves, 0, 0, 0, 0},
      {"short jumps pass", "", virtualStitch(200, 0, 1, {at(100, 0, 1), at(200, 0, 1)}), 0, 0, 0, 0},
      {"one long jump", "", virtualStitch(200, 0, 1, {at(50, 0, 1), at(200, 0, 1)}), 0, 0, 0, 1},
      {"jumps against SplitJumpLength", "SplitJumpLength=60", virtualStitch(200, 0, 1, {at(100, 0, 1), at(200, 0, 1)}), 0, 0, 0, 1},
      {"normals are not held to SplitJumpLength", "SplitJumpLength=60", virtualStitch(200, 0, 0, {at(100, 0), at(200, 0)}), 0, 0, 0, 0},
      {"forced resplit of a group", "", virtualStitch(20, 0, 1, {at(10, 0, 1), at(20, 0, 1)}), 0, 0, 1, 1},
      {"forced resplit of a single stitch", "", virtualStitch(20, 0, 1, {at(20, 0, 1)}), 0, 0, 1, 0},
      {"trim with enough jumps", trimsAsJumps, trim, 1, 0, 0, 0},
      {"trim with enough jumps at the group end", trimsAsJumps, trim, 1, 1, 0, 1},
      {"trim with too few long jumps", trimsAsJumps, virtualStitch(30, 0, 3, {at(10, 0, 1), at(12, 0, 1), at(30, 0, 1)}), 1, 0, 0, 1},
      {"penetration pattern that returns", penetrating, virtualStitch(20, 0, 3, {at(4, 0, 1), at(8, 0, 1), at(0, 0, 1), at(20, 0, 1)}), 1, 0, 0, 0},
      {"penetration pattern that does not return", penetrating, virtualStitch(20, 0, 3, {at(4, 0, 1), at(8, 0, 1), at(12, 0, 1), at(20, 0, 1)}), 1, 0, 0, 1},
      {"forced resplit of a trim", trimsAsJumps, trim, 1, 0, 1, 1},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    testing_support::setOptions(o, c.configure);
    RecordingEncoder e(o);
    begin(e, HCoord<short>(), c.forceResplit);
    EXPECT_EQ(e.needResplit(c.stitch, c.trim, c.atGroupEnd), c.expected) << c.name;
  }
}

TEST(SplitCountSplits, PiecesNeeded) {
  // clang-format off
  const struct {
    const char* name;
    const char* configure;
    HStitch stitch;
    int expected;
  } cases[] = {
      {"300 with HardLength 121", "HardLength=121", at(300, 0, StitchCode::Jump), 3},
      {"no move", "", at(0, 0, StitchCode::Jump), 0},
      {"no move, normal", "", at(0, 0), 0},
      {"within the limit", "", at(100, 0, StitchCode::Jump), 1},
      {"SplitJumpLength sets the piece length", "SplitJumpLength=50", at(300, 0, StitchCode::Jump), 6},
      {"MaxLength sets limit and piece length", "MaxLength=100", at(250, 0), 3},
      {"MaxLength ignored while jumps are preserved", "MaxLength=100 PreserveJumps=1", at(250, 0), 2},
      {"chenille real length", "HasChenilleSupport=1 MaxRealLength=30", at(100, 0), 4},
      {"KeepOriginalStitch does not change the count", "HardLength=121 KeepOriginalStitch=1", at(300, 0, StitchCode::Jump), 3},
      {"bent virtual path: every leg by the whole distance", "HardLength=121", virtualStitch(200, 200, 1, {at(0, 200, 1), at(200, 200, 1)}), 6},
      {"virtual loop back to the needle", "", virtualStitch(0, 0, 1, {at(0, 100, 1), at(100, 100, 1), at(0, 0, 1)}), 3},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    testing_support::setOptions(o, c.configure);
    RecordingEncoder e(o);
    begin(e);
    EXPECT_EQ(e.countSplits(c.stitch), c.expected) << c.name;
  }
}

TEST(SplitPath, PathOfAStitch) {
  // clang-format off
  const struct {
    const char* name;
    HStitch stitch;
    Points path;
  } cases[] = {
      {"plain stitch", at(30, 40), {{0, 0}, {30, 40}}},
      {"straight run within 10 units collapses", virtualStitch(300, 0, 1, {at(100, 5, 1), at(200, -3, 1), at(300, 0, 1)}), {{0, 0}, {300, 0}}},
      {"bend is kept", virtualStitch(200, 200, 1, {at(0, 200, 1), at(200, 200, 1)}), {{0, 0}, {0, 200}, {200, 200}}},
      {"point in line with the previous leg replaces it", virtualStitch(200, 200, 1, {at(0, 100, 1), at(0, 200, 1), at(200, 200, 1)}), {{0, 0}, {0, 200}, {200, 200}}},
      {"two bends", virtualStitch(100, 200, 1, {at(0, 100, 1), at(100, 100, 1), at(100, 200, 1)}), {{0, 0}, {0, 100}, {100, 100}, {100, 200}}},
      {"ends at the last real stitch", virtualStitch(50, 50, 1, {at(60, 0, 1)}), {{0, 0}, {60, 0}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    RecordingEncoder e(o);
    begin(e);
    HXArray<HCoord<short>> path;
    path.add(HCoord<short>(9, 9));  // replaced
    e.buildPath(c.stitch, path);
    EXPECT_EQ(pointList(path), c.path) << c.name;
  }
}

// ---------------------------------------------------------------------------------------------
// The penetration pattern

TEST(PenetrationPattern, PointsGoTowardsTheDesignCentreAndBack) {
  // From (10, 10) in steps of 4, appended after what the list holds.
  // clang-format off
  const struct {
    const char* name;
    int count;
    HCoord<short> centre;
    Points points;
  } cases[] = {
      {"one point is raised to two", 1, {100, 10}, {{14, 10}, {10, 10}}},
      {"two", 2, {100, 10}, {{14, 10}, {10, 10}}},
      {"three", 3, {100, 10}, {{14, 10}, {18, 10}, {10, 10}}},
      {"four", 4, {100, 10}, {{14, 10}, {18, 10}, {14, 10}, {10, 10}}},
      {"five = 3 + 2", 5, {100, 10}, {{14, 10}, {18, 10}, {10, 10}, {14, 10}, {10, 10}}},
      {"six = 3 + 3", 6, {100, 10}, {{14, 10}, {18, 10}, {10, 10}, {14, 10}, {18, 10}, {10, 10}}},
      {"seven = 3 + 4", 7, {100, 10}, {{14, 10}, {18, 10}, {10, 10}, {14, 10}, {18, 10}, {14, 10}, {10, 10}}},
      {"centre to the left", 3, {-100, 10}, {{6, 10}, {2, 10}, {10, 10}}},
      {"centre above", 3, {10, 100}, {{10, 14}, {10, 18}, {10, 10}}},
      {"centre below", 3, {10, -100}, {{10, 6}, {10, 2}, {10, 10}}},
      {"centre at the point: left", 3, {10, 10}, {{6, 10}, {2, 10}, {10, 10}}},
      {"centre close by: left", 3, {15, 17}, {{6, 10}, {2, 10}, {10, 10}}},
      {"exactly two steps right", 3, {18, 10}, {{14, 10}, {18, 10}, {10, 10}}},
      {"x close, y far", 3, {17, 50}, {{10, 14}, {10, 18}, {10, 10}}},
      {"x far wins over y", 3, {30, 100}, {{14, 10}, {18, 10}, {10, 10}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    HXArray<HCoord<short>> out;
    out.add(HCoord<short>(1, 1));
    RecordingEncoder::addPenetrationPattern(out, c.count, HCoord<short>(10, 10), 4, c.centre);
    Points want = {{1, 1}};
    want.insert(want.end(), c.points.begin(), c.points.end());
    EXPECT_EQ(pointList(out), want) << c.name;
  }
}

// ---------------------------------------------------------------------------------------------
// The leg algorithm

TEST(SplitLegs, ResplitPath) {
  // clang-format off
  const struct {
    const char* name;
    Points path;
    int n;
    int minStep;
    int maxAxis;
    int maxLength;
    int granularity;
    Points expected;
  } cases[] = {
      {"even thirds", {{0, 0}, {300, 0}}, 3, 0, 121, 0, 1, {{0, 0}, {100, 0}, {200, 0}, {300, 0}}},
      {"truncated towards zero", {{0, 0}, {-100, 50}}, 3, 0, 127, 0, 1, {{0, 0}, {-33, 16}, {-66, 33}, {-100, 50}}},
      {"axis limit adds pieces", {{0, 0}, {300, 0}}, 1, 0, 121, 0, 1, {{0, 0}, {100, 0}, {200, 0}, {300, 0}}},
      {"length limit adds pieces", {{0, 0}, {90, 90}}, 1, 0, 127, 100, 1, {{0, 0}, {45, 45}, {90, 90}}},
      {"granularity snaps the offsets", {{0, 0}, {100, 0}}, 3, 0, 127, 0, 5, {{0, 0}, {35, 0}, {65, 0}, {100, 0}}},
      {"short leg: penetration pattern then target", {{0, 0}, {2, 0}}, 3, 4, 127, 0, 1, {{0, 0}, {4, 0}, {8, 0}, {0, 0}, {2, 0}}},
      {"minimum step lowers the count, one extra becomes two", {{0, 0}, {10, 0}}, 3, 4, 127, 0, 1, {{0, 0}, {4, 0}, {0, 0}, {5, 0}, {10, 0}}},
      {"short leg among long ones", {{0, 0}, {2, 0}, {102, 0}}, 3, 4, 127, 0, 1, {{0, 0}, {2, 0}, {35, 0}, {68, 0}, {102, 0}}},
      {"single zero leg with extra: pattern only", {{0, 0}, {0, 0}}, 3, 4, 127, 0, 1, {{0, 0}, {4, 0}, {8, 0}, {0, 0}}},
      {"zero leg without minimum step", {{0, 0}, {0, 0}}, 1, 0, 127, 0, 1, {{0, 0}, {0, 0}}},
      {"legs share the count by length", {{0, 0}, {0, 200}, {200, 200}}, 6, 0, 121, 0, 1, {{0, 0}, {0, 66}, {0, 133}, {0, 200}, {66, 200}, {133, 200}, {200, 200}}},
      {"no leg, no points", {{5, 5}}, 3, 0, 127, 0, 1, {}},
      {"a limit below a diagonal unit step stops at unit steps", {{0, 0}, {3, 2}}, 1, 0, 127, 1, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 2}}},
      {"a granularity rounding steps past the limit stops too", {{0, 0}, {4, 4}}, 1, 0, 127, 2, 2, {{0, 0}, {2, 2}, {2, 2}, {4, 4}, {4, 4}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    RecordingEncoder e(o);
    HXArray<HCoord<short>> path;
    for (const auto& p : c.path)
      path.add(HCoord<short>(static_cast<short>(p.first), static_cast<short>(p.second)));
    e.resplitPath(path, c.n, c.minStep, c.maxAxis, c.maxLength, c.granularity,
                  HCoord<short>(1000, 0), true);
    EXPECT_EQ(pointList(path), c.expected) << c.name;
  }
  // A move that is not a trim gets no pieces of no length for a count its legs do not need.
  StitchEncoderOptions o = plainOptions();
  RecordingEncoder e(o);
  HXArray<HCoord<short>> path;
  const std::vector<std::pair<int, int>> legs = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
  for (const auto& [x, y] : legs)
    path.add(HCoord<short>(static_cast<short>(x), static_cast<short>(y)));
  e.resplitPath(path, 4, 0, 121, 0, 1, HCoord<short>(1000, 0), false);
  EXPECT_EQ(pointList(path), legs);
}

// ---------------------------------------------------------------------------------------------
// splitIntoJumps

TEST(SplitIntoJumps, Pieces) {
  const HCoord<short> east(1000, 0);
  // clang-format off
  const struct {
    const char* name;
    const char* configure;
    HStitch stitch;
    int trim;
    int extra;
    HCoord<short> centre;
    Moves pieces;
  } cases[] = {
      {"300 with HardLength 121", "HardLength=121", at(300, 0, StitchCode::Jump), 0, 0, {}, {{1, 100, 0}, {1, 200, 0}, {1, 300, 0}}},
      {"one more piece with extra", "HardLength=121", at(300, 0, StitchCode::Jump), 0, 1, {}, {{1, 75, 0}, {1, 150, 0}, {1, 225, 0}, {1, 300, 0}}},
      {"no move still gives one piece", "", at(0, 0), 0, 0, {}, {{1, 0, 0}}},
      {"short trim: three pattern points then the target", trimsAsJumps, at(2, 0, StitchCode::Trim), 1, 0, east, {{1, 4, 0}, {1, 8, 0}, {1, 0, 0}, {1, 2, 0}}},
      {"short trim with the centre at the needle", trimsAsJumps, at(2, 0, StitchCode::Trim), 1, 0, {0, 0}, {{1, -4, 0}, {1, -8, 0}, {1, 0, 0}, {1, 2, 0}}},
      {"trim in place: pattern only", trimsAsJumps, at(0, 0, StitchCode::Trim), 1, 0, east, {{1, 4, 0}, {1, 8, 0}, {1, 0, 0}}},
      {"long trim: the jumps themselves", "HasTrimCode=0 TrimsAsJumps=1 JumpsPerTrim=3 TrimJumpLength=4 HardLength=121", at(300, 0, StitchCode::Trim), 1, 0, {}, {{1, 100, 0}, {1, 200, 0}, {1, 300, 0}}},
      {"trim placed by the filter takes one jump more", trimsAsJumps, at(100, 0, StitchCode::Trim), 1, 1, {}, {{1, 25, 0}, {1, 50, 0}, {1, 75, 0}, {1, 100, 0}}},
      {"penetrating trim: pattern in place then the move", penetrating, at(20, 0, StitchCode::Trim), 1, 0, east, {{1, 4, 0}, {1, 8, 0}, {1, 0, 0}, {1, 20, 0}}},
      {"one jump per trim penetrates twice", "HasTrimCode=0 TrimsAsJumps=1 TrimJumpLength=4 PenetrateAtTrims=1 JumpsPerTrim=1", at(20, 0, StitchCode::Trim), 1, 0, east, {{1, 4, 0}, {1, 0, 0}, {1, 20, 0}}},
      {"bent virtual jump follows its path", "HardLength=121", virtualStitch(200, 200, 1, {at(0, 200, 1), at(200, 200, 1)}), 0, 0, {}, {{1, 0, 66}, {1, 0, 133}, {1, 0, 200}, {1, 66, 200}, {1, 133, 200}, {1, 200, 200}}},
      {"straight virtual jump collapses to one leg", "HardLength=121", virtualStitch(300, 0, 1, {at(100, 5, 1), at(200, -3, 1), at(300, 0, 1)}), 0, 0, {}, {{1, 100, 0}, {1, 200, 0}, {1, 300, 0}}},
      {"straight virtual jump within the limit is one piece", "", virtualStitch(100, 0, 1, {at(30, 4, 1), at(60, -4, 1), at(100, 0, 1)}), 0, 0, {}, {{1, 100, 0}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    testing_support::setOptions(o, c.configure);
    RecordingEncoder e(o);
    begin(e, c.centre);
    HXArray<HStitch> out;
    out.add(at(7, 7));  // replaced
    const int n = e.splitIntoJumps(out, c.stitch, c.trim, c.extra);
    EXPECT_EQ(n, out.length()) << c.name;
    EXPECT_EQ(pieceMoves(out), c.pieces) << c.name;
  }
}

// ---------------------------------------------------------------------------------------------
// Where the command goes

TEST(SplitPlacement, CommandsAndTheirMoves) {
  // clang-format off
  const struct {
    const char* name;
    const char* configure;
    int separateCommands;
    bool inSequinMode;
    HStitch stitch;
    Moves written;
  } cases[] = {
      {"long jump", "HardLength=121", 1, false, at(300, 0, StitchCode::Jump), {{1, 100, 0}, {1, 200, 0}, {1, 300, 0}}},
      {"colour change, commands not separate", "HardLength=121", 0, false, at(300, 0, StitchCode::ChangeNeedle, 2), {{1, 100, 0}, {1, 200, 0}, {2, 300, 0}}},
      {"colour change, commands separate", "HardLength=121", 1, false, at(300, 0, StitchCode::ChangeNeedle, 2), {{1, 100, 0}, {1, 200, 0}, {1, 300, 0}, {2, 300, 0}}},
      {"trim with trim code: in place, then the jumps", "HardLength=121", 1, false, at(300, 0, StitchCode::Trim), {{3, 0, 0}, {1, 100, 0}, {1, 200, 0}, {1, 300, 0}}},
      {"trim stays separate when other commands are not", "HardLength=121", 0, false, at(300, 0, StitchCode::Trim), {{3, 0, 0}, {1, 100, 0}, {1, 200, 0}, {1, 300, 0}}},
      {"copy original: the first piece is the trim", "HardLength=121 CopyOriginal=1", 1, false, at(300, 0, StitchCode::Trim), {{3, 100, 0}, {1, 200, 0}, {1, 300, 0}}},
      {"short trim with trim code: in place, then one jump", "", 0, false, at(50, 0, StitchCode::Trim), {{3, 0, 0}, {1, 50, 0}}},
      {"short trim, copy original: at its point", "CopyOriginal=1", 1, false, at(50, 0, StitchCode::Trim), {{3, 50, 0}}},
      {"short stop: jump first, stop at the end", "", 1, false, at(50, 0, StitchCode::Stop), {{1, 50, 0}, {6, 50, 0}}},
      {"short stop, commands not separate", "", 0, false, at(50, 0, StitchCode::Stop), {{6, 50, 0}}},
      {"copy original keeps commands together", "CopyOriginal=1", 1, false, at(50, 0, StitchCode::Stop), {{6, 50, 0}}},
      {"trim as jumps to a point 2 away", trimsAsJumps, 1, false, at(2, 0, StitchCode::Trim), {{1, 4, 0}, {1, 8, 0}, {1, 0, 0}, {1, 2, 0}}},
      {"trim as jumps is passed through while the sequin mode is on", trimsAsJumps, 1, true, at(2, 0, StitchCode::Trim), {{3, 2, 0}}},
      {"normal beyond the limit: jumps then the stitch", "HardLength=121", 1, false, at(300, 0), {{1, 100, 0}, {1, 200, 0}, {0, 300, 0}}},
      {"KeepOriginalStitch writes one record", "HardLength=121 KeepOriginalStitch=1", 1, false, at(300, 0, StitchCode::Jump), {{1, 300, 0}}},
      {"stitch at the needle needs no jump", "HardLength=121", 1, false, at(0, 0, StitchCode::Stop), {{6, 0, 0}}},
      // Real stitches around the command: leading and trailing movements are kept.
      {"leading and trailing movements", "", 0, false, virtualStitch(30, 0, StitchCode::ChangeNeedle, {at(10, 0, 1), at(20, 0, 1), at(20, 0, 2), at(30, 0, 1)}), {{1, 10, 0}, {1, 20, 0}, {2, 20, 0}, {1, 30, 0}}},
      {"separate command after leading movements", "", 1, false, virtualStitch(30, 0, StitchCode::ChangeNeedle, {at(10, 0, 1), at(30, 0, 2)}), {{1, 10, 0}, {1, 30, 0}, {2, 30, 0}}},
      {"needle-ups count as movements", "", 0, false, virtualStitch(30, 0, StitchCode::Stop, {at(10, 0, 13), at(30, 0, 6)}), {{13, 10, 0}, {6, 30, 0}}},
      {"a jump group written as it came", "", 1, false, virtualStitch(30, 0, StitchCode::Jump, {at(10, 0, 1), at(20, 0, 1), at(30, 0, 1)}), {{1, 10, 0}, {1, 20, 0}, {1, 30, 0}, {1, 30, 0}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    testing_support::setOptions(o, c.configure);
    RecordingEncoder e(o);
    begin(e, HCoord<short>(1000, 0));
    e.setSeparateCommands(c.separateCommands);
    HStitch first = at(0, 0, StitchCode::Jump);
    ASSERT_EQ(e.encodeStitch(first, 0, 0), kEncodeOk);
    if (c.inSequinMode) {
      HStitch sequinOn = at(0, 0, StitchCode::SequinStart);
      ASSERT_EQ(e.encodeStitch(sequinOn, 0, 0), kEncodeOk);
    }
    e.records.clear();
    HStitch s = c.stitch;
    const int realCount = s.getRealStitchCount();
    ASSERT_EQ(e.encodeStitch(s, 0, 0), kEncodeOk) << c.name;
    EXPECT_EQ(e.moves(), c.written) << c.name;
    EXPECT_EQ(e.records.back().colour, s.getColor()) << c.name;
    // What was written is what the stitch reports; one record of the stitch itself is not
    // attached.
    if (realCount > 0) continue;
    const Move itself{s.getFlags(), s.xval(), s.yval()};
    const bool writtenAsItself = c.written.size() == 1 && c.written[0] == itself;
    EXPECT_EQ(s.getRealStitchCount(), writtenAsItself ? 0 : static_cast<int>(c.written.size()))
        << c.name;
  }
}

TEST(SplitPlacement, CommandAwayFromTheNeedleCarriesColours) {
  // Without atDestination (a trim), the jump after the command takes the command's colour;
  // with it (a stop), the jump before the command keeps the needle's colour.
  StitchEncoderOptions o = plainOptions();
  RecordingEncoder e(o);
  begin(e);
  HStitch first = at(0, 0, StitchCode::Normal, 1);
  ASSERT_EQ(e.encodeStitch(first, 0, 0), kEncodeOk);
  e.records.clear();
  HStitch trim = at(50, 0, StitchCode::Trim, 5);
  ASSERT_EQ(e.encodeStitch(trim, 0, 0), kEncodeOk);
  EXPECT_EQ(e.records, (std::vector<Rec>{{3, 0, 0, 5, 0}, {1, 50, 0, 5, 0}}));
  e.records.clear();
  HStitch stop = at(90, 0, StitchCode::Stop, 6);
  ASSERT_EQ(e.encodeStitch(stop, 0, 0), kEncodeOk);
  EXPECT_EQ(e.records, (std::vector<Rec>{{1, 90, 0, 5, 0}, {6, 90, 0, 6, 0}}));
}

TEST(SplitPlacement, PiecesCarryTheNeedlesEffectColour) {
  StitchEncoderOptions o = plainOptions();
  o.setHardLength(121);
  RecordingEncoder e(o);
  begin(e);
  HStitch first = at(0, 0, StitchCode::Normal, 3);
  first.setEffectInfo(1, 0xAA00AA, HString("fx"));
  first.setNewEffect(true);
  ASSERT_EQ(e.encodeStitch(first, 0, 0), kEncodeOk);

  // A long stitch of another colour without effect: the jumps keep the needle's colour and
  // effect (new only on the first), the stitch itself rides on the last piece as it is.
  HStitch s = at(300, 0, StitchCode::Normal, 5);
  ASSERT_EQ(e.encodeStitch(s, 0, 0), kEncodeOk);
  const HXArray<HStitch>& real = s.getRealStitches();
  ASSERT_EQ(real.length(), 3);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(real[i].getFlags(), StitchCode::Jump);
    EXPECT_EQ(real[i].getColor(), 3);
    EXPECT_TRUE(real[i].hasEffectColour());
    EXPECT_EQ(real[i].isNewEffect(), i == 0) << i;
  }
  EXPECT_EQ(real[2].getFlags(), StitchCode::Normal);
  EXPECT_EQ(real[2].getColor(), 5);
  EXPECT_FALSE(real[2].hasEffectColour());

  // A long jump takes its own colour: the first piece is the jump itself, the others follow it.
  HStitch jump = at(0, 0, StitchCode::Jump, 5);
  ASSERT_EQ(e.encodeStitch(jump, 0, 0), kEncodeOk);
  for (const HStitch& r : jump.getRealStitches()) {
    EXPECT_EQ(r.getColor(), 5);
    EXPECT_FALSE(r.hasEffectColour());
  }
}

// ---------------------------------------------------------------------------------------------
// InsertBlankStitchAfterTrim

TEST(SplitBlankAfterTrim, ZeroLengthStitchAfterTheJumps) {
  // clang-format off
  const struct {
    const char* name;
    int insertBlank;
    int afterTrim;
    int x;
    Moves written;
  } cases[] = {
      {"short move after a trim: jump then stitch", 1, 1, 50, {{1, 50, 0}, {0, 50, 0}}},
      {"short move, not after a trim", 1, 0, 50, {{0, 50, 0}}},
      {"option off", 0, 1, 50, {{0, 50, 0}}},
      {"long move after a trim: jumps then blank stitch", 1, 1, 300, {{1, 100, 0}, {1, 200, 0}, {1, 300, 0}, {0, 300, 0}}},
      {"long move without the option: the last piece is the stitch", 0, 1, 300, {{1, 100, 0}, {1, 200, 0}, {0, 300, 0}}},
      {"more pieces than jumps per trim", 1, 0, 500, {{1, 100, 0}, {1, 200, 0}, {1, 300, 0}, {1, 400, 0}, {1, 500, 0}, {0, 500, 0}}},
      {"as many pieces as jumps per trim, not after a trim", 1, 0, 300, {{1, 100, 0}, {1, 200, 0}, {0, 300, 0}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    o.setHardLength(121);
    o.setJumpsPerTrim(3);
    o.setInsertBlankStitchAfterTrim(c.insertBlank);
    RecordingEncoder e(o);
    begin(e);
    HStitch first = at(0, 0, StitchCode::Trim);
    ASSERT_EQ(e.encodeStitch(first, 0, 0), kEncodeOk);
    e.records.clear();
    HStitch s = at(c.x, 0);
    ASSERT_EQ(e.encodeStitch(s, c.afterTrim, 0), kEncodeOk) << c.name;
    EXPECT_EQ(e.moves(), c.written) << c.name;
  }
}

}  // namespace
}  // namespace stitchkit
