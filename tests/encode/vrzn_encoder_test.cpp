#include "stitchkit/encode/vrzn_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "stitchkit/decode/dst_decoder.h"
#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"
#include "tests/decode/decode_test_support.h"
#include "tests/encode/encoder_test_support.h"
#include "tests/encode/format_encoder_support.h"

namespace stitchkit {
namespace {

using encode_test::Moves;
using encode_test::pieceMoves;
using encode_test::pointList;
using encode_test::Points;
using format_test::allOk;
using format_test::Bytes;
using format_test::cat;
using format_test::Encoded;
using format_test::stitch;

// Records used as golden output. The common move is (+13, -5): x = 9 + 3 + 1, y = -9 + 3 + 1.
const Bytes kStitchMove = {0x65, 0x41, 0x03};
const Bytes kJumpMove = {0x65, 0x41, 0x83};
const Bytes kChangeoverMove = {0x65, 0x41, 0x43};
const Bytes kStitchHere = {0x00, 0x00, 0x03};
const Bytes kJumpHere = {0x00, 0x00, 0x83};
const Bytes kStopHere = {0x00, 0x00, 0xC3};
const Bytes kChangeoverHere = {0x00, 0x00, 0x43};
const Bytes kEndHere = {0x00, 0x00, 0xF3};
constexpr short kMoveX = 13;
constexpr short kMoveY = -5;

// Moves along x: 50 = 81 - 27 - 3 - 1, 75 = 81 - 9 + 3, 80 = 81 - 1, 83 = 81 + 3 - 1,
// 84 = 81 + 3.
constexpr std::uint8_t kAlongX50[2] = {0x02, 0x0A};
constexpr std::uint8_t kAlongX75[2] = {0x08, 0x01};
constexpr std::uint8_t kAlongX80[2] = {0x02, 0x00};
constexpr std::uint8_t kAlongX83[2] = {0x02, 0x01};
constexpr std::uint8_t kAlongX84[2] = {0x00, 0x01};
// A record moving 27 or more along x carries the x+81 bit in b2.
constexpr std::uint8_t kX81 = 0x04;

Bytes alongX(const std::uint8_t (&move)[2], std::uint8_t byte2) {
  return {move[0], move[1], static_cast<std::uint8_t>(byte2 | kX81)};
}

// Write options without the empty start record, so that the output is the stitches' records.
StitchEncoderOptions noStartRecord() {
  StitchEncoderOptions o;
  o.setKorvanStartStitchType(kKorvanStartStitchNone);
  o.setHardLength(121);
  return o;
}

// Options that cut normal stitches longer than 100 into straight jumps.
StitchEncoderOptions cuttingLongStitches() {
  StitchEncoderOptions o = noStartRecord();
  o.setMaxLength(100);
  o.setSplitStitchToJumps(1);
  return o;
}

// The encoder with its protected parts open to the tests.
class OpenVrznEncoder : public KorvanVRZNStitchEncoder {
 public:
  using KorvanVRZNStitchEncoder::KorvanVRZNStitchEncoder;
  using KorvanVRZNStitchEncoder::vSendHardStitch;
};

// Writes `stitches` as one design starting at (0, 0), with commands written with their move,
// as the filter sets it up for this format.
Encoded encodeVrzn(const StitchOptions& o, std::vector<HStitch> stitches) {
  return format_test::encodeWith<KorvanVRZNStitchEncoder>(o, std::move(stitches), 0);
}

// --- Records -----------------------------------------------------------------------------

TEST(VrznEncoderRecords, EveryRecordKindHasItsCommandByteAndOtherKindsAreRefused) {
  // Each code handed straight to the record writer, (+13, -5) from the needle, as the first
  // record of a design with the first form of the start record: a written record comes after
  // the start record (00 00 03 for a stitch, 00 00 83 otherwise); a refused one writes nothing,
  // not even the start record.
  struct Row {
    int first;
    int last;
    std::optional<std::uint8_t> byte2;  // none: refused
  };
  // clang-format off
  const Row rows[] = {
      {0,  0,   0x03},
      {1,  1,   0x83},
      {2,  5,   std::nullopt},
      {6,  6,   0xC3},
      {7,  7,   0xF3},
      {8,  9,   std::nullopt},
      {10, 10,  0x43},
      {11, 19,  std::nullopt},
      {20, 20,  0x83},
      {21, 23,  std::nullopt},
      {24, 25,  0xC3},
      {26, 48,  std::nullopt},  // also the stitch variants: they are written as stitches earlier
      {49, 49,  0xC3},
      {50, 65,  std::nullopt},
      {66, 66,  0x83},
      {67, 255, std::nullopt},  // also the W drop: written as a change over earlier
  };
  // clang-format on
  StitchEncoderOptions o = noStartRecord();
  o.setKorvanStartStitchType(kKorvanStartStitchFirst);
  int next = 0;
  for (const Row& row : rows) {
    ASSERT_EQ(row.first, next) << "rows must cover every code";
    next = row.last + 1;
    for (int code = row.first; code <= row.last; ++code) {
      Bytes bytes;
      VectorOutputBytestream stream(bytes);
      OpenVrznEncoder encoder(o);
      encoder.setBytestream(stream);
      ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
      const int r = encoder.vSendHardStitch(stitch(kMoveX, kMoveY, code));
      if (row.byte2) {
        EXPECT_EQ(r, kEncodeOk) << "code " << code;
        const Bytes start = code == StitchCode::Normal ? kStitchHere : kJumpHere;
        EXPECT_EQ(bytes, cat({start, Bytes{0x65, 0x41, *row.byte2}})) << "code " << code;
      } else {
        EXPECT_EQ(r, kEncodeRefused) << "code " << code;
        EXPECT_TRUE(bytes.empty()) << "code " << code;
      }
    }
  }
  EXPECT_EQ(next, 256);
}

// --- Commands ----------------------------------------------------------------------------

// The records each command code is written as, for a command (+13, -5) away from the needle,
// with commands written with their move as the filter sets it up for this format. A command
// that is not a movement or a stitch is written in place after a jump to its point; trims and
// the design end are placed by the framework, a trim in place before the jump.
struct CommandRow {
  int first;
  int last;
  Bytes expected;
};

TEST(VrznEncoderCommands, EveryCommandCodeWritesItsRecords) {
  const Bytes jumpThenStop = cat({kJumpMove, kStopHere});
  const Bytes jumpThenChangeover = cat({kJumpMove, kChangeoverHere});
  const Bytes jumpInPlaceThenJump = cat({kJumpHere, kJumpMove});
  // clang-format off
  const CommandRow rows[] = {
      {0,   0,   kStitchMove},
      {1,   1,   kJumpMove},
      {2,   2,   jumpThenStop},         // colour change
      {3,   3,   jumpInPlaceThenJump},  // trim
      {4,   6,   jumpThenStop},         // slow down, speed up, stop
      {7,   7,   cat({kJumpMove, kEndHere})},
      {8,   9,   jumpThenStop},         // borer in, out
      {10,  10,  kChangeoverMove},
      {11,  11,  kJumpMove},            // design start
      {12,  12,  jumpInPlaceThenJump},  // upper trim
      {13,  13,  kJumpMove},            // needle up
      {14,  14,  jumpInPlaceThenJump},  // jump trim
      {15,  16,  jumpThenStop},         // chain, moss
      {17,  17,  kJumpMove},            // chenille height
      {18,  19,  jumpThenChangeover},   // sequin start, end
      {20,  20,  kJumpMove},            // drop sequin
      {21,  21,  jumpThenStop},         // frame out
      {22,  22,  cat({kJumpMove, kStopHere, kJumpHere, kStopHere})},  // two stop
      {23,  23,  cat({kJumpMove, kStopHere, kStopHere, kStopHere})},  // three stop
      {24,  25,  jumpThenChangeover},   // laser on, off
      {26,  30,  kStitchMove},          // stitch variants
      {31,  48,  jumpThenStop},
      {49,  49,  jumpThenChangeover},   // laser pause
      {50,  63,  jumpThenStop},         // also tension, cut and the ATH and arbitrary commands
      {64,  65,  jumpThenChangeover},   // bead start, end
      {66,  66,  kJumpMove},            // drop bead
      {67,  67,  jumpThenChangeover},   // drop sequin W
      {68,  255, jumpThenStop},
  };
  // clang-format on
  const StitchEncoderOptions o = noStartRecord();
  int next = 0;
  for (const CommandRow& row : rows) {
    ASSERT_EQ(row.first, next) << "rows must cover every code";
    next = row.last + 1;
    for (int code = row.first; code <= row.last; ++code) {
      const Encoded e = encodeVrzn(o, {stitch(kMoveX, kMoveY, code)});
      EXPECT_EQ(e.bytes, row.expected) << "code " << code;
      EXPECT_EQ(e.results, std::vector<int>{kEncodeOk}) << "code " << code;
    }
  }
  EXPECT_EQ(next, 256);
}

TEST(VrznEncoderCommands, DesignsGiveTheirGoldenBytes) {
  // Each design from (0, 0) with the options given, commands written with their move; every
  // stitch is written.
  const HStitch here = stitch(kMoveX, kMoveY);
  const HStitch stopHere = stitch(kMoveX, kMoveY, StitchCode::Stop);
  const HStitch twice = stitch(2 * kMoveX, 2 * kMoveY);
  // A drop five units along x: 5 = 9 - 3 - 1.
  const Bytes dropMove = {0x06, 0x02, 0x83};
  const HStitch drop = stitch(5, 0, StitchCode::DropSequin);
  // clang-format off
  const struct {
    const char* name;
    const char* configure;
    std::vector<HStitch> stitches;
    Bytes expected;
  } cases[] = {
      // The start record only opens the design.
      {"no start record", "", {here, twice}, cat({kStitchMove, kStitchMove})},
      {"first start record before a stitch", "KorvanStartStitchType=1", {here, twice}, cat({kStitchHere, kStitchMove, kStitchMove})},
      {"first start record before a jump", "KorvanStartStitchType=1", {stitch(kMoveX, kMoveY, StitchCode::Jump), twice}, cat({kJumpHere, kJumpMove, kStitchMove})},
      {"second start record", "KorvanStartStitchType=2", {here, twice}, cat({kJumpHere, kStitchMove, kStitchMove})},
      // A design start written with its move is one jump record; after a stop it still is.
      {"stop in place, then a design start", "", {stopHere, stitch(2 * kMoveX, 2 * kMoveY, StitchCode::DesignStart)}, cat({kJumpMove, kStopHere, kJumpMove})},
      {"padded stop", "KorvanPadStop=1", {stopHere}, cat({kJumpHere, kJumpMove, kStopHere})},
      {"padded colour change", "KorvanPadStop=1", {stitch(kMoveX, kMoveY, StitchCode::ChangeNeedle, 1)}, cat({kJumpHere, kJumpMove, kStopHere})},
      {"padded command written as a stop", "KorvanPadStop=1", {stitch(kMoveX, kMoveY, 31)}, cat({kJumpHere, kJumpMove, kStopHere})},
      {"change overs are not padded", "KorvanPadStop=1", {stitch(kMoveX, kMoveY, StitchCode::LaserOn)}, cat({kJumpMove, kChangeoverHere})},
      {"double stop removed", "KorvanRemoveDoubleStops=1", {here, stopHere, stopHere}, cat({kStitchMove, kStopHere})},
      {"double stop kept", "KorvanRemoveDoubleStops=0", {here, stopHere, stopHere}, cat({kStitchMove, kStopHere, kStopHere})},
      // A colour change is written as a stop, so it repeats a stop.
      {"colour change after a stop removed", "KorvanRemoveDoubleStops=1", {here, stopHere, stitch(kMoveX, kMoveY, StitchCode::ChangeNeedle, 1)}, cat({kStitchMove, kStopHere})},
      // A stop elsewhere follows the jump to its point, so it is a new stop.
      {"a stop elsewhere is kept", "KorvanRemoveDoubleStops=1", {stopHere, stitch(2 * kMoveX, 2 * kMoveY, StitchCode::Stop)}, cat({kJumpMove, kStopHere, kJumpMove, kStopHere})},
      // A blank stitch after drops in the DST file format; drops are never moved apart from
      // their stitch on this machine.
      {"blank after a drop", "BlankAfterDrops=1 FileFormat=0", {drop}, cat({dropMove, kStitchHere})},
      {"blank after a drop that may move", "BlankAfterDrops=1 KorvanMoveDropSequins=1 FileFormat=0", {drop}, cat({dropMove, kStitchHere})},
      {"no blank", "BlankAfterDrops=0 FileFormat=0", {drop}, dropMove},
      {"no blank, drops may move", "BlankAfterDrops=0 KorvanMoveDropSequins=1 FileFormat=0", {drop}, dropMove},
      {"no blank in another format", "BlankAfterDrops=1 FileFormat=6", {drop}, dropMove},
      {"no blank after a bead", "BlankAfterDrops=1 FileFormat=0", {stitch(5, 0, StitchCode::DropBead)}, dropMove},
      // Cut into jumps ending in the stitch: three pieces of 50, where the path-following split
      // makes two of 75.
      {"long stitch cut into jumps", "MaxLength=100 SplitStitchToJumps=1", {stitch(150, 0)}, cat({alongX(kAlongX50, 0x83), alongX(kAlongX50, 0x83), alongX(kAlongX50, 0x03)})},
      {"long stitch split along its path", "MaxLength=100 SplitStitchToJumps=0", {stitch(150, 0)}, cat({alongX(kAlongX75, 0x83), alongX(kAlongX75, 0x03)})},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = noStartRecord();
    testing_support::setOptions(o, c.configure);
    const Encoded e = encodeVrzn(o, c.stitches);
    EXPECT_EQ(e.bytes, c.expected) << c.name;
    EXPECT_TRUE(allOk(e.results)) << c.name;
  }
}

// --- Chenille ----------------------------------------------------------------------------

// --- Splitting ---------------------------------------------------------------------------

TEST(VrznEncoderSplit, LongNormalStitchesAreCutIntoStraightEqualJumps) {
  // The needle is at (0, 0) and the design centre at (500, 0), so trim penetrations step
  // along +x. HardLength is 121 and MaxLength 100; TrimJumpLength is 4 unless given.
  struct Case {
    const char* what;
    int option;   // SplitStitchToJumps
    bool setter;  // setSplitStitchToJumps() called
    int trim;
    int extra;
    int jumpsPerTrim;
    int penetrate;  // PenetrateAtTrims
    int trimJumpLength;
    HCoord<short> centre;
    HStitch s;
    Moves expected;
  };
  const int J = StitchCode::Jump;
  const HCoord<short> east(500, 0);
  const HCoord<short> west(-500, 0);
  // clang-format off
  const Case cases[] = {
      {"thirds", 1, false, 0, 0, 3, 0, 4, east, stitch(150, 0), {{J, 50, 0}, {J, 100, 0}, {J, 150, 0}}},
      {"extra adds a piece", 1, false, 0, 1, 3, 0, 4, east, stitch(240, 0), {{J, 60, 0}, {J, 120, 0}, {J, 180, 0}, {J, 240, 0}}},
      {"the last piece lands on the stitch", 1, false, 0, 0, 3, 0, 4, east, stitch(250, -1), {{J, 83, 0}, {J, 166, 0}, {J, 250, -1}}},
      {"option off: split along the path", 0, false, 0, 0, 3, 0, 4, east, stitch(150, 0), {{J, 75, 0}, {J, 150, 0}}},
      {"setter turns cutting on", 0, true, 0, 0, 3, 0, 4, east, stitch(150, 0), {{J, 50, 0}, {J, 100, 0}, {J, 150, 0}}},
      {"a jump is split along the path", 1, false, 0, 0, 3, 0, 4, east, stitch(150, 0, StitchCode::Jump), {{J, 75, 0}, {J, 150, 0}}},
      {"a stitch within MaxLength is one piece", 1, false, 0, 0, 3, 0, 4, east, stitch(90, 0), {{J, 90, 0}}},
      {"trim: JumpsPerTrim pieces", 1, false, 1, 0, 5, 0, 4, east, stitch(240, 0), {{J, 48, 0}, {J, 96, 0}, {J, 144, 0}, {J, 192, 0}, {J, 240, 0}}},
      {"trim: at least three pieces", 1, false, 1, 0, 2, 0, 4, east, stitch(240, 0), {{J, 80, 0}, {J, 160, 0}, {J, 240, 0}}},
      {"trim: extra adds a jump", 1, false, 1, 1, 3, 0, 4, east, stitch(240, 0), {{J, 60, 0}, {J, 120, 0}, {J, 180, 0}, {J, 240, 0}}},
      {"trim: penetrations first", 1, false, 1, 0, 3, 1, 4, east, stitch(240, 0), {{J, 4, 0}, {J, 8, 0}, {J, 0, 0}, {J, 80, 0}, {J, 160, 0}, {J, 240, 0}}},
      {"trim: one jump per trim penetrates four times", 1, false, 1, 1, 1, 1, 4, east, stitch(240, 0), {{J, 4, 0}, {J, 8, 0}, {J, 4, 0}, {J, 0, 0}, {J, 60, 0}, {J, 120, 0}, {J, 180, 0}, {J, 240, 0}}},
      {"trim: TrimJumpLength and the centre set the step", 1, false, 1, 0, 3, 1, 6, west, stitch(240, 0), {{J, -6, 0}, {J, -12, 0}, {J, 0, 0}, {J, 80, 0}, {J, 160, 0}, {J, 240, 0}}},
      {"trim: no jumps per trim, no penetrations", 1, false, 1, 0, 0, 1, 4, east, stitch(240, 0), {{J, 80, 0}, {J, 160, 0}, {J, 240, 0}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    StitchEncoderOptions o = noStartRecord();
    o.setMaxLength(100);
    o.setSplitStitchToJumps(c.option);
    o.setJumpsPerTrim(static_cast<short>(c.jumpsPerTrim));
    o.setPenetrateAtTrims(c.penetrate);
    o.setTrimJumpLength(static_cast<short>(c.trimJumpLength));
    KorvanVRZNStitchEncoder encoder(o);
    if (c.setter) encoder.setSplitStitchToJumps();
    ASSERT_EQ(encoder.beginDesign({0, 0}, c.centre, 0), kEncodeOk);
    HXArray<HStitch> pieces;
    const int n = encoder.splitIntoJumps(pieces, c.s, c.trim, c.extra);
    EXPECT_EQ(pieceMoves(pieces), c.expected) << c.what;
    EXPECT_EQ(n, pieces.length()) << c.what;
  }
}

TEST(VrznEncoderSplit, SplitStitchToJumpsWritesThirdsThenTheStitch) {
  struct Case {
    const char* what;
    int option;
    HStitch s;
    Bytes expected;
  };
  // clang-format off
  const Case cases[] = {
      {"thirds", 1, stitch(240, 0), cat({alongX(kAlongX80, 0x83), alongX(kAlongX80, 0x83), alongX(kAlongX80, 0x03)})},
      {"the stitch at its own point", 1, stitch(250, 0), cat({alongX(kAlongX83, 0x83), alongX(kAlongX83, 0x83), alongX(kAlongX84, 0x03)})},
      {"within MaxLength", 1, stitch(90, 0), {}},
      {"not a normal stitch", 1, stitch(240, 0, StitchCode::Jump), {}},
      {"not cutting", 0, stitch(240, 0), {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    StitchEncoderOptions o = cuttingLongStitches();
    o.setSplitStitchToJumps(c.option);
    Bytes bytes;
    VectorOutputBytestream stream(bytes);
    KorvanVRZNStitchEncoder encoder(o);
    encoder.setBytestream(stream);
    ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
    HStitch s = c.s;
    EXPECT_EQ(encoder.splitStitchToJumps(s), kEncodeOk) << c.what;
    EXPECT_EQ(bytes, c.expected) << c.what;
  }
}

TEST(VrznEncoderSplit, SplitStitchToJumpsStopsAtTheFirstRefusedWrite) {
  unsigned char buffer[4] = {};
  MemoryOutputBytestream stream(buffer, 4);
  const StitchEncoderOptions o = cuttingLongStitches();
  KorvanVRZNStitchEncoder encoder(o);
  encoder.setBytestream(stream);
  ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch s = stitch(240, 0);
  EXPECT_EQ(encoder.splitStitchToJumps(s), kEncodeRefused);
  EXPECT_EQ(stream.length(), 4);  // the first jump, and the first byte of the second
}

// --- Zig-zag -----------------------------------------------------------------------------

TEST(VrznEncoderZigZag, AddZigZagAppendsThePenetrationPatternAfterTheFirstPoint) {
  struct Case {
    int count;
    int step;
    HCoord<short> toward;
    Points expected;  // including the first point (10, 10)
  };
  // clang-format off
  const Case cases[] = {
      {1, 4, {100, 10}, {{10, 10}, {14, 10}, {10, 10}}},  // raised to 2
      {4, 4, {100, 10}, {{10, 10}, {14, 10}, {18, 10}, {14, 10}, {10, 10}}},
      {3, 4, {12, -100}, {{10, 10}, {10, 6}, {10, 2}, {10, 10}}},  // near on x, far on y
      {3, 4, {15, 15}, {{10, 10}, {6, 10}, {2, 10}, {10, 10}}},    // near on both axes: along -x
  };
  // clang-format on
  for (const Case& c : cases) {
    HXArray<HCoord<short>> points;
    points.add({10, 10});
    KorvanVRZNStitchEncoder::addZigZag(points, c.count, c.step, c.toward);
    EXPECT_EQ(pointList(points), c.expected)
        << "count " << c.count << " toward " << c.toward.x << ", " << c.toward.y;
  }
  HXArray<HCoord<short>> empty;
  KorvanVRZNStitchEncoder::addZigZag(empty, 3, 4, {100, 0});
  EXPECT_TRUE(empty.isEmpty());
}

// --- Round trip --------------------------------------------------------------------------

}  // namespace
}  // namespace stitchkit
