#include "stitchkit/encode/vrzn_encoder.h"

#include <gtest/gtest.h>

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
#include "tests/encode/encoder_test_support.h"
#include "tests/encode/format_encoder_support.h"

namespace stitchkit {
namespace {

using encode_test::Moves;
using encode_test::pieceMoves;
using encode_test::pointList;
using encode_test::Points;
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

TEST(VrznEncoderRecords, StartRecordFollowsTheStartTypeAndOnlyOpensTheDesign) {
  struct Case {
    KorvanStartStitchType type;
    int firstCode;
    Bytes expected;  // the first stitch and a normal stitch after it
  };
  const Case cases[] = {
      {kKorvanStartStitchNone, StitchCode::Normal, cat({kStitchMove, kStitchMove})},
      {kKorvanStartStitchFirst, StitchCode::Normal, cat({kStitchHere, kStitchMove, kStitchMove})},
      {kKorvanStartStitchFirst, StitchCode::Jump, cat({kJumpHere, kJumpMove, kStitchMove})},
      {kKorvanStartStitchSecond, StitchCode::Normal, cat({kJumpHere, kStitchMove, kStitchMove})},
  };
  for (const Case& c : cases) {
    StitchEncoderOptions o = noStartRecord();
    o.setKorvanStartStitchType(c.type);
    const Encoded e =
        encodeVrzn(o, {stitch(kMoveX, kMoveY, c.firstCode), stitch(2 * kMoveX, 2 * kMoveY)});
    EXPECT_EQ(e.bytes, c.expected) << "start type " << c.type << ", first code " << c.firstCode;
  }
}

TEST(VrznEncoderRecords, MoveBeyondOneRecordIsRefusedAndWritesNothing) {
  for (const auto& [dx, dy] : {std::pair{122, 0}, std::pair{0, -122}}) {
    StitchEncoderOptions o = noStartRecord();
    o.setKeepOriginalStitch(1);  // no splitting: the record writer sees the whole move
    const Encoded e = encodeVrzn(o, {stitch(dx, dy)});
    EXPECT_EQ(e.results, std::vector<int>{kEncodeRefused}) << dx << ", " << dy;
    EXPECT_TRUE(e.bytes.empty()) << dx << ", " << dy;
  }
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

TEST(VrznEncoderCommands, ColourChangeCannotBeRunWithoutAStream) {
  // Without a stream the colour change stays itself, and the machine has no such record.
  const StitchEncoderOptions o = noStartRecord();
  KorvanVRZNStitchEncoder encoder(o);
  encoder.setSeparateCommands(0);
  ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch change = stitch(kMoveX, kMoveY, StitchCode::ChangeNeedle, 1);
  EXPECT_EQ(encoder.encodeStitch(change, 0, 0), kEncodeRefused);
}

TEST(VrznEncoderCommands, StopInPlaceLeavesLaterCommandsWithTheirMove) {
  // A design start written with commands carrying their move is one jump record; after a stop
  // it still is.
  const Encoded e =
      encodeVrzn(noStartRecord(), {stitch(kMoveX, kMoveY, StitchCode::Stop),
                                   stitch(2 * kMoveX, 2 * kMoveY, StitchCode::DesignStart)});
  EXPECT_EQ(e.bytes, cat({kJumpMove, kStopHere, kJumpMove}));
}

TEST(VrznEncoderCommands, PadStopPutsABlankJumpBeforeTheStopsJump) {
  StitchEncoderOptions o = noStartRecord();
  o.setKorvanPadStop(1);
  for (const int code : {int{StitchCode::Stop}, int{StitchCode::ChangeNeedle}, 31}) {
    EXPECT_EQ(encodeVrzn(o, {stitch(kMoveX, kMoveY, code, 1)}).bytes,
              cat({kJumpHere, kJumpMove, kStopHere}))
        << "code " << code;
  }
  // Commands written as change overs are not padded.
  EXPECT_EQ(encodeVrzn(o, {stitch(kMoveX, kMoveY, StitchCode::LaserOn)}).bytes,
            cat({kJumpMove, kChangeoverHere}));
}

TEST(VrznEncoderCommands, RemoveDoubleStopsDropsAStopRightAfterAStop) {
  struct Case {
    int removeDoubles;
    std::vector<HStitch> stitches;
    Bytes expected;
  };
  const Case cases[] = {
      {1,
       {stitch(kMoveX, kMoveY), stitch(kMoveX, kMoveY, StitchCode::Stop),
        stitch(kMoveX, kMoveY, StitchCode::Stop)},
       cat({kStitchMove, kStopHere})},
      {0,
       {stitch(kMoveX, kMoveY), stitch(kMoveX, kMoveY, StitchCode::Stop),
        stitch(kMoveX, kMoveY, StitchCode::Stop)},
       cat({kStitchMove, kStopHere, kStopHere})},
      // A colour change is written as a stop, so it repeats a stop.
      {1,
       {stitch(kMoveX, kMoveY), stitch(kMoveX, kMoveY, StitchCode::Stop),
        stitch(kMoveX, kMoveY, StitchCode::ChangeNeedle, 1)},
       cat({kStitchMove, kStopHere})},
      // A stop elsewhere follows the jump to its point, so it is a new stop.
      {1,
       {stitch(kMoveX, kMoveY, StitchCode::Stop), stitch(2 * kMoveX, 2 * kMoveY, StitchCode::Stop)},
       cat({kJumpMove, kStopHere, kJumpMove, kStopHere})},
  };
  for (const Case& c : cases) {
    StitchEncoderOptions o = noStartRecord();
    o.setKorvanRemoveDoubleStops(c.removeDoubles);
    const Encoded e = encodeVrzn(o, c.stitches);
    EXPECT_EQ(e.bytes, c.expected) << "remove doubles " << c.removeDoubles;
    for (const int r : e.results)
      EXPECT_EQ(r, kEncodeOk);
  }
}

// --- Sequin drops ------------------------------------------------------------------------

TEST(VrznEncoderDrops, BlankAfterDropsAddsAnEmptyStitchInTheDstFileFormat) {
  // A drop five units along x: 5 = 9 - 3 - 1.
  const Bytes dropMove = {0x06, 0x02, 0x83};
  struct Case {
    int moveDrops;
    int blankAfter;
    HDiskFileFormat format;
    int code;
    Bytes expected;
  };
  const Case cases[] = {
      {0, 1, kFormatDst, StitchCode::DropSequin, cat({dropMove, kStitchHere})},
      {1, 1, kFormatDst, StitchCode::DropSequin, cat({dropMove, kStitchHere})},
      {0, 0, kFormatDst, StitchCode::DropSequin, dropMove},
      // Drops are never moved apart from their stitch on this machine.
      {1, 0, kFormatDst, StitchCode::DropSequin, dropMove},
      {0, 1, kFormatDstVariant6, StitchCode::DropSequin, dropMove},
      {0, 1, kFormatDst, StitchCode::DropBead, dropMove},
  };
  for (const Case& c : cases) {
    StitchEncoderOptions o = noStartRecord();
    o.setKorvanMoveDropSequins(c.moveDrops);
    o.setBlankAfterDrops(c.blankAfter);
    o.setFileFormat(c.format);
    EXPECT_EQ(encodeVrzn(o, {stitch(5, 0, c.code)}).bytes, c.expected)
        << "move drops " << c.moveDrops << ", blank after " << c.blankAfter << ", format "
        << c.format << ", code " << c.code;
  }
}

// --- Chenille ----------------------------------------------------------------------------

TEST(VrznEncoderChenille, ChenilleCommandsAreStopsInPlaceAndTheStateIsHandedOn) {
  struct Case {
    int oldChenille;
    Bytes expected;
  };
  const Bytes stopJumpStop = cat({kStopHere, kJumpHere, kStopHere});
  const Case cases[] = {
      {0, cat({kStitchMove, kJumpMove, kStopHere, kStopHere})},
      // Older machines read the mode from stops written in front of the command's own stop,
      // at the needle before the jump to the command's point: moss with no mode yet is one
      // stop; chain with a new colour after moss is stop, jump.
      {1, cat({kStitchMove, kStopHere, kJumpMove, kStopHere, stopJumpStop})},
  };
  for (const Case& c : cases) {
    StitchEncoderOptions o = noStartRecord();
    o.setKorvanOldChenille(c.oldChenille);
    const Encoded e = encodeVrzn(
        o, {stitch(kMoveX, kMoveY), stitch(2 * kMoveX, 2 * kMoveY, StitchCode::ChenilleMoss, 1, 2),
            stitch(2 * kMoveX, 2 * kMoveY, StitchCode::ChenilleChain, 2, 5)});
    EXPECT_EQ(e.bytes, c.expected) << "old chenille " << c.oldChenille;
    EXPECT_EQ(e.state.getChenilleMode(), kChenilleChain);
    EXPECT_EQ(e.state.getChenilleHeight(), 5);
  }
}

TEST(VrznEncoderChenille, SegmentStartsFromTheGivenChenilleState) {
  StitchEncoderOptions o = noStartRecord();
  o.setKorvanOldChenille(1);
  Bytes bytes;
  VectorOutputBytestream stream(bytes);
  KorvanVRZNStitchEncoder encoder(o);
  encoder.setBytestream(stream);
  encoder.setSeparateCommands(0);
  ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  EncoderState state;
  state.setChenilleMode(kChenilleChain);
  state.setChenilleHeight(5);
  ASSERT_EQ(encoder.beginSegment(state, {0, 0}, 0), kEncodeOk);
  HStitch chain = stitch(0, 0, StitchCode::ChenilleChain, 2, 5);
  EXPECT_EQ(encoder.encodeStitch(chain, 0, 0), kEncodeOk);
  // Already in chain at that height, a new colour repeats the stop: four stops, not two.
  EXPECT_EQ(bytes, cat({kStopHere, kStopHere, kStopHere, kStopHere}));
}

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
      {"thirds", 1, false, 0, 0, 3, 0, 4, east, stitch(150, 0),
       {{J, 50, 0}, {J, 100, 0}, {J, 150, 0}}},
      {"extra adds a piece", 1, false, 0, 1, 3, 0, 4, east, stitch(240, 0),
       {{J, 60, 0}, {J, 120, 0}, {J, 180, 0}, {J, 240, 0}}},
      {"the last piece lands on the stitch", 1, false, 0, 0, 3, 0, 4, east, stitch(250, -1),
       {{J, 83, 0}, {J, 166, 0}, {J, 250, -1}}},
      {"option off: split along the path", 0, false, 0, 0, 3, 0, 4, east, stitch(150, 0),
       {{J, 75, 0}, {J, 150, 0}}},
      {"setter turns cutting on", 0, true, 0, 0, 3, 0, 4, east, stitch(150, 0),
       {{J, 50, 0}, {J, 100, 0}, {J, 150, 0}}},
      {"a jump is split along the path", 1, false, 0, 0, 3, 0, 4, east,
       stitch(150, 0, StitchCode::Jump), {{J, 75, 0}, {J, 150, 0}}},
      {"a stitch within MaxLength is one piece", 1, false, 0, 0, 3, 0, 4, east, stitch(90, 0),
       {{J, 90, 0}}},
      {"trim: JumpsPerTrim pieces", 1, false, 1, 0, 5, 0, 4, east, stitch(240, 0),
       {{J, 48, 0}, {J, 96, 0}, {J, 144, 0}, {J, 192, 0}, {J, 240, 0}}},
      {"trim: at least three pieces", 1, false, 1, 0, 2, 0, 4, east, stitch(240, 0),
       {{J, 80, 0}, {J, 160, 0}, {J, 240, 0}}},
      {"trim: extra adds a jump", 1, false, 1, 1, 3, 0, 4, east, stitch(240, 0),
       {{J, 60, 0}, {J, 120, 0}, {J, 180, 0}, {J, 240, 0}}},
      {"trim: penetrations first", 1, false, 1, 0, 3, 1, 4, east, stitch(240, 0),
       {{J, 4, 0}, {J, 8, 0}, {J, 0, 0}, {J, 80, 0}, {J, 160, 0}, {J, 240, 0}}},
      {"trim: one jump per trim penetrates four times", 1, false, 1, 1, 1, 1, 4, east,
       stitch(240, 0),
       {{J, 4, 0}, {J, 8, 0}, {J, 4, 0}, {J, 0, 0},
        {J, 60, 0}, {J, 120, 0}, {J, 180, 0}, {J, 240, 0}}},
      {"trim: TrimJumpLength and the centre set the step", 1, false, 1, 0, 3, 1, 6, west,
       stitch(240, 0),
       {{J, -6, 0}, {J, -12, 0}, {J, 0, 0}, {J, 80, 0}, {J, 160, 0}, {J, 240, 0}}},
      {"trim: no jumps per trim, no penetrations", 1, false, 1, 0, 0, 1, 4, east, stitch(240, 0),
       {{J, 80, 0}, {J, 160, 0}, {J, 240, 0}}},
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

TEST(VrznEncoderSplit, CopyKeepsCuttingLongStitches) {
  StitchEncoderOptions o = noStartRecord();
  o.setMaxLength(100);
  KorvanVRZNStitchEncoder original(o);
  original.setSplitStitchToJumps();
  KorvanVRZNStitchEncoder copy(original);
  ASSERT_EQ(copy.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HXArray<HStitch> pieces;
  EXPECT_EQ(copy.splitIntoJumps(pieces, stitch(150, 0), 0, 0), 3);
}

TEST(VrznEncoderSplit, LongStitchIsWrittenAsJumpsEndingInTheStitch) {
  // 240 along x with MaxLength 100: jumps to 80 and 160, the stitch record to 240.
  EXPECT_EQ(encodeVrzn(cuttingLongStitches(), {stitch(240, 0)}).bytes,
            cat({alongX(kAlongX80, 0x83), alongX(kAlongX80, 0x83), alongX(kAlongX80, 0x03)}));
  // 150: three pieces of 50, where the path-following split would make two of 75.
  EXPECT_EQ(encodeVrzn(cuttingLongStitches(), {stitch(150, 0)}).bytes,
            cat({alongX(kAlongX50, 0x83), alongX(kAlongX50, 0x83), alongX(kAlongX50, 0x03)}));
  StitchEncoderOptions pathSplit = cuttingLongStitches();
  pathSplit.setSplitStitchToJumps(0);
  EXPECT_EQ(encodeVrzn(pathSplit, {stitch(150, 0)}).bytes,
            cat({alongX(kAlongX75, 0x83), alongX(kAlongX75, 0x03)}));
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
      // Far along +x.
      {1, 4, {100, 10}, {{10, 10}, {14, 10}, {10, 10}}},  // raised to 2
      {2, 4, {100, 10}, {{10, 10}, {14, 10}, {10, 10}}},
      {3, 4, {100, 10}, {{10, 10}, {14, 10}, {18, 10}, {10, 10}}},
      {4, 4, {100, 10}, {{10, 10}, {14, 10}, {18, 10}, {14, 10}, {10, 10}}},
      {5, 4, {100, 10}, {{10, 10}, {14, 10}, {18, 10}, {10, 10}, {14, 10}, {10, 10}}},
      {7, 4, {100, 10}, {{10, 10}, {14, 10}, {18, 10}, {10, 10},
                         {14, 10}, {18, 10}, {14, 10}, {10, 10}}},
      // Far along -x.
      {3, 4, {-100, 10}, {{10, 10}, {6, 10}, {2, 10}, {10, 10}}},
      // Near on x, far on y: along y.
      {3, 4, {12, 100}, {{10, 10}, {10, 14}, {10, 18}, {10, 10}}},
      {3, 4, {12, -100}, {{10, 10}, {10, 6}, {10, 2}, {10, 10}}},
      // Near on both axes: along -x.
      {3, 4, {15, 15}, {{10, 10}, {6, 10}, {2, 10}, {10, 10}}},
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

TEST(VrznEncoderRoundTrip, DstDecoderReadsBackTheNeedlePenetrations) {
  StitchEncoderOptions o = cuttingLongStitches();
  o.setKorvanStartStitchType(kKorvanStartStitchFirst);
  std::vector<HStitch> design = {
      stitch(10, 10),
      stitch(40, -20),
      stitch(280, -20),  // cut into jumps ending in the stitch
      stitch(250, 30, StitchCode::Stop),
      stitch(260, 40),
      stitch(200, 40, StitchCode::Trim),
      stitch(100, 100, StitchCode::Jump),
      stitch(90, 95),
      stitch(-50, 95),  // cut as well
      stitch(-50, 95, StitchCode::LaserOn),
      stitch(-40, 90),
      stitch(-40, 90, StitchCode::DesignEnd),
  };
  std::vector<std::pair<int, int>> penetrations;
  for (const HStitch& s : design)
    if (s.isNormal()) penetrations.emplace_back(s.xval(), s.yval());

  const Encoded e = encodeVrzn(o, design);
  for (const int r : e.results)
    ASSERT_EQ(r, kEncodeOk);

  StitchDecoderOptions d;
  setDefaultDecoderOptions(d);
  d.setFileFormat(kFormatDst);
  d.setReadChangeoverType(kReadChangeoverLaser);
  MemoryInputBytestream in(e.bytes);
  KorvanStitchDecoder decoder(d);
  decoder.setBytestream(in);
  ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
  std::vector<std::pair<int, int>> decoded;
  int stops = 0;
  int ends = 0;
  HStitch s;
  for (int guard = 0; guard < 100 && decoder.decodeStitch(s) == kDecodeOk; ++guard) {
    if (s.isNormal()) decoded.emplace_back(s.xval(), s.yval());
    if (s.isStop()) ++stops;
    if (s.isEndRewind()) ++ends;
  }
  EXPECT_EQ(decoded, penetrations);
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace stitchkit
