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

// ---------------------------------------------------------------------------------------------
// The penetration pattern

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

// ---------------------------------------------------------------------------------------------
// InsertBlankStitchAfterTrim

}  // namespace
}  // namespace stitchkit
