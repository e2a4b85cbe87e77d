#include "stitchkit/encode/dst_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "stitchkit/decode/dst_decoder.h"
#include "stitchkit/decode/dst_records.h"
#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"
#include "tests/encode/format_encoder_support.h"

namespace stitchkit {
namespace {

using namespace format_test;  // NOLINT(google-build-using-namespace)

// Records used as golden output. The common move is (+13, -5): x = 9 + 3 + 1, y = -9 + 3 + 1.
const Bytes kStitchMove = {0x65, 0x41, 0x03};
const Bytes kJumpMove = {0x65, 0x41, 0x83};
const Bytes kStopMove = {0x65, 0x41, 0xC3};
const Bytes kChangeoverMove = {0x65, 0x41, 0x43};
const Bytes kStitchHere = {0x00, 0x00, 0x03};
const Bytes kJumpHere = {0x00, 0x00, 0x83};
const Bytes kStopHere = {0x00, 0x00, 0xC3};
const Bytes kChangeoverHere = {0x00, 0x00, 0x43};
const Bytes kEndHere = {0x00, 0x00, 0xF3};
constexpr short kMoveX = 13;
constexpr short kMoveY = -5;

// Write options without the empty start record, so that the output is the stitches' records.
StitchEncoderOptions noStartRecord() {
  StitchEncoderOptions o;
  o.setKorvanStartStitchType(kKorvanStartStitchNone);
  return o;
}

Encoded encodeDst(const StitchOptions& o, std::vector<HStitch> stitches, bool separate = true) {
  return encodeWith<KorvanStitchEncoder>(o, std::move(stitches), separate ? 1 : 0);
}

// True when no weight has both its plus and its minus bit set.
bool isBalanced(const Bytes& r) {
  const auto pairsClash = [](unsigned plus, unsigned minus) { return (plus & (minus >> 1)) != 0; };
  return !pairsClash(r[0] & 0x55u, r[0] & 0xAAu) && !pairsClash(r[1] & 0x55u, r[1] & 0xAAu) &&
         !pairsClash(r[2] & 0x14u, r[2] & 0x28u);
}

// --- Moves -------------------------------------------------------------------------------

// Each move alone, and all of them as one run written in bulk: the same records. The bulk
// path stops before a move one record cannot carry.
TEST(DstEncoderMoves, EveryMoveWithinOneRecordDecodesBack) {
  StitchEncoderOptions o = noStartRecord();
  o.setKeepOriginalStitch(1);
  Bytes oneByOne;
  std::vector<HStitch> run;
  int x = 0;
  int y = 0;
  for (int v = -dst::kMaxMove; v <= dst::kMaxMove; ++v) {
    for (const bool xAxis : {true, false}) {
      const int dx = xAxis ? v : 0;
      const int dy = xAxis ? 0 : v;
      const Encoded e = encodeDst(o, {stitch(dx, dy)});
      ASSERT_EQ(e.bytes.size(), 3u) << "move " << dx << ", " << dy;
      EXPECT_TRUE(dst::isWellFormed(e.bytes[0], e.bytes[1], e.bytes[2]));
      EXPECT_TRUE(isBalanced(e.bytes)) << "move " << dx << ", " << dy;
      EXPECT_EQ(e.bytes[2] & dst::kCommandMask, dst::kCommandNormal);
      const dst::Move m = dst::decodeMove(e.bytes[0], e.bytes[1], e.bytes[2]);
      EXPECT_EQ(m.dx, dx);
      EXPECT_EQ(m.dy, dy);
      oneByOne.insert(oneByOne.end(), e.bytes.begin(), e.bytes.end());
      x += dx;
      y += dy;
      run.push_back(stitch(x, y));
    }
  }
  run.push_back(stitch(x, y + dst::kMaxMove + 1));
  run.push_back(stitch(x, y));
  const PlainWritten bulk = writePlain<KorvanStitchEncoder>(o, run);
  EXPECT_EQ(bulk.result, kEncodeOk);
  EXPECT_EQ(bulk.written, static_cast<int>(run.size()) - 2);
  EXPECT_EQ(bulk.bytes, oneByOne);
}

// --- Commands ----------------------------------------------------------------------------

// The records each command code is written as, for a command (+13, -5) away from the needle,
// with commands written separately (the framework's default) and with their move. Written
// separately, a command goes in place after a jump to its point, or in place before the jump
// for those that act where the needle stands (trims, design start, sequin and bead ends,
// unknown codes).
// Every code from 0 to 255 is covered by one row.
struct CommandRow {
  int first;
  int last;
  Bytes separate;
  Bytes together;
};

TEST(DstEncoderCommands, EveryCommandCodeWritesItsRecords) {
  const Bytes jumpThenStop = cat({kJumpMove, kStopHere});
  const Bytes stopThenJump = cat({kStopHere, kJumpMove});
  const Bytes jumpThenChangeover = cat({kJumpMove, kChangeoverHere});
  const Bytes changeoverThenJump = cat({kChangeoverHere, kJumpMove});
  const Bytes jumpInPlaceThenJump = cat({kJumpHere, kJumpMove});
  const Bytes jumpThenJumpInPlace = cat({kJumpMove, kJumpHere});
  const Bytes jumpThenEnd = cat({kJumpMove, kEndHere});
  // clang-format off
  const CommandRow rows[] = {
      {0,   0,   kStitchMove,         kStitchMove},
      {1,   1,   kJumpMove,           kJumpMove},
      {2,   2,   jumpThenStop,        kStopMove},            // colour change
      {3,   3,   jumpInPlaceThenJump, jumpInPlaceThenJump},  // trim
      {4,   6,   jumpThenStop,        kStopMove},            // slow down, speed up, stop
      {7,   7,   jumpThenEnd,         jumpThenEnd},          // design end
      {8,   9,   jumpThenStop,        kStopMove},            // borer in, out
      {10,  10,  kChangeoverMove,     kChangeoverMove},
      {11,  11,  jumpInPlaceThenJump, kJumpMove},            // design start
      {12,  12,  jumpInPlaceThenJump, jumpInPlaceThenJump},  // upper trim
      {13,  13,  kJumpMove,           kJumpMove},            // needle up
      {14,  14,  jumpInPlaceThenJump, jumpInPlaceThenJump},  // jump trim
      {15,  16,  jumpThenStop,        kStopMove},            // chain, moss
      {17,  17,  jumpInPlaceThenJump, kJumpMove},            // chenille height
      {18,  18,  jumpThenChangeover,  jumpThenChangeover},   // sequin start
      {19,  19,  changeoverThenJump,  jumpThenChangeover},   // sequin end
      {20,  20,  kJumpMove,           kJumpMove},            // drop sequin
      {21,  21,  jumpThenStop,        kStopMove},            // frame out
      {22,  22,  cat({kJumpMove, kStopHere, kJumpHere, kStopHere}),
                 cat({kStopMove, kJumpHere, kStopHere})},    // two stop
      {23,  23,  cat({kJumpMove, kStopHere, kStopHere, kStopHere}),
                 cat({kStopMove, kStopHere, kStopHere})},    // three stop
      {24,  25,  jumpThenChangeover,  kChangeoverMove},      // laser on, off
      {26,  30,  kStitchMove,         kStitchMove},          // stitch variants
      {31,  36,  stopThenJump,        kStopMove},            // transport functions
      {37,  37,  jumpThenStop,        kStopMove},
      {38,  39,  stopThenJump,        kStopMove},            // chenille coiling, taping
      {40,  48,  jumpThenStop,        kStopMove},            // lock-stitch chenille
      {49,  49,  jumpThenChangeover,  kChangeoverMove},      // laser pause
      {50,  52,  jumpThenStop,        kStopMove},
      {53,  53,  jumpThenJumpInPlace, kJumpMove},
      {54,  54,  kStitchMove,         kStitchMove},          // tension
      {55,  55,  kJumpMove,           kJumpMove},            // tension jump
      {56,  56,  kStopMove,           kStopMove},            // cut
      {57,  58,  kStopMove,           kStopMove},            // ATH prohibited start, end
      {59,  60,  jumpThenStop,        kStopMove},            // arbitrary on, off
      {61,  62,  stopThenJump,        kStopMove},            // lock-stitch chenille
      {63,  63,  kStopMove,           kStopMove},            // cut jump
      {64,  64,  jumpThenChangeover,  jumpThenChangeover},   // bead start
      {65,  65,  changeoverThenJump,  jumpThenChangeover},   // bead end
      {66,  67,  kJumpMove,           kJumpMove},            // drop bead, drop sequin W
      {68,  255, stopThenJump,        kStopMove},
  };
  // clang-format on
  const StitchEncoderOptions o = noStartRecord();
  int next = 0;
  for (const CommandRow& row : rows) {
    ASSERT_EQ(row.first, next) << "rows must cover every code";
    next = row.last + 1;
    for (int code = row.first; code <= row.last; ++code) {
      const Encoded withSeparate = encodeDst(o, {stitch(kMoveX, kMoveY, code)}, true);
      EXPECT_EQ(withSeparate.bytes, row.separate) << "code " << code << " written separately";
      const Encoded together = encodeDst(o, {stitch(kMoveX, kMoveY, code)}, false);
      EXPECT_EQ(together.bytes, row.together) << "code " << code << " with its move";
    }
  }
  EXPECT_EQ(next, 256);
}

TEST(DstEncoderCommands, DesignsGiveTheirGoldenBytes) {
  const HStitch at = stitch(kMoveX, kMoveY);
  const HStitch twice = stitch(2 * kMoveX, 2 * kMoveY);
  const HStitch stop = stitch(kMoveX, kMoveY, StitchCode::Stop);
  const HStitch change = stitch(kMoveX, kMoveY, StitchCode::ChangeNeedle, 1);
  // A drop five units along x: 5 = 9 - 3 - 1.
  const Bytes dropMove = {0x06, 0x02, 0x83};
  const Bytes stitchMove = {0x06, 0x02, 0x03};
  const HStitch drop = stitch(5, 0, StitchCode::DropSequin);
  const struct {
    const char* name;
    const char* configure;
    bool separate;
    std::vector<HStitch> stitches;
    Bytes expected;
  } cases[] = {
      // clang-format off
      // x = +81 - 27 - 3 - 1: x+81 in b2, x-27 and x-3 in b1, x-1 in b0; every y minus bit.
      {"balanced digits of (50, -121)", "", true, {stitch(50, -121)}, {0xA2, 0xAA, 0x27}},
      {"design end thirty away", "", false, {stitch(30, 0, StitchCode::DesignEnd)}, {0x00, 0x05, 0x83, 0x00, 0x00, 0xF3}},
      // A blank jump before each stop; commands written as stops by their own rule are not
      // padded.
      {"padded stop with its move", "KorvanPadStop=1", false, {stop}, cat({kJumpHere, kStopMove})},
      {"padded stop in place", "KorvanPadStop=1", true, {stop}, cat({kJumpMove, kJumpHere, kStopHere})},
      {"padded colour change", "KorvanPadStop=1", false, {change}, cat({kJumpHere, kStopMove})},
      {"no pad for a command's own stop", "KorvanPadStop=1", false, {stitch(kMoveX, kMoveY, StitchCode::ATHProhibitedStart)}, kStopMove},
      {"double stop removed", "KorvanRemoveDoubleStops=1", true, {at, stop, stop}, cat({kStitchMove, kStopHere})},
      {"double stop kept", "KorvanRemoveDoubleStops=0", true, {at, stop, stop}, cat({kStitchMove, kStopHere, kStopHere})},
      {"a colour change is a stop", "KorvanRemoveDoubleStops=1", true, {at, change, stop}, cat({kStitchMove, kStopHere})},
      {"a stitch between stops", "KorvanRemoveDoubleStops=1", true, {at, stop, stitch(0, 0), stitch(0, 0, StitchCode::Stop)}, cat({kStitchMove, kStopHere, Bytes{0x9A, 0x82, 0x03}, kStopHere})},
      // The start record follows the start type and the first record; any other type writes
      // the second form.
      {"no start record", "KorvanStartStitchType=0", true, {at, twice}, cat({kStitchMove, kStitchMove})},
      {"first start record before a stitch", "KorvanStartStitchType=1", true, {at, twice}, cat({kStitchHere, kStitchMove, kStitchMove})},
      {"first start record before a jump", "KorvanStartStitchType=1", true, {stitch(kMoveX, kMoveY, StitchCode::Jump), twice}, cat({kJumpHere, kJumpMove, kStitchMove})},
      {"second start record before a stitch", "KorvanStartStitchType=2", true, {at, twice}, cat({kJumpHere, kStitchMove, kStitchMove})},
      {"second start record before a jump", "KorvanStartStitchType=2", true, {stitch(kMoveX, kMoveY, StitchCode::Jump), twice}, cat({kJumpHere, kJumpMove, kStitchMove})},
      {"start type 5", "KorvanStartStitchType=5", true, {at, twice}, cat({kJumpHere, kStitchMove, kStitchMove})},
      // Only sequin drops in the plain DST file format are placed.
      {"drop moved", "KorvanMoveDropSequins=1 BlankAfterDrops=0 FileFormat=0", true, {drop}, cat({kJumpHere, stitchMove})},
      {"drop moved, blank after", "KorvanMoveDropSequins=1 BlankAfterDrops=1 FileFormat=0", true, {drop}, cat({kJumpHere, stitchMove})},
      {"drop with a blank after", "KorvanMoveDropSequins=0 BlankAfterDrops=1 FileFormat=0", true, {drop}, cat({dropMove, kStitchHere})},
      {"drop alone", "KorvanMoveDropSequins=0 BlankAfterDrops=0 FileFormat=0", true, {drop}, dropMove},
      {"drop in another format", "KorvanMoveDropSequins=1 BlankAfterDrops=1 FileFormat=6", true, {drop}, dropMove},
      {"bead drop", "KorvanMoveDropSequins=1 BlankAfterDrops=1 FileFormat=0", true, {stitch(5, 0, StitchCode::DropBead)}, dropMove},
      {"W drop", "KorvanMoveDropSequins=1 BlankAfterDrops=1 FileFormat=0", true, {stitch(5, 0, StitchCode::DropSequinW)}, dropMove},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    StitchEncoderOptions o = noStartRecord();
    testing_support::setOptions(o, c.configure);
    const Encoded e = encodeDst(o, c.stitches, c.separate);
    EXPECT_EQ(e.bytes, c.expected);
    EXPECT_TRUE(allOk(e.results));
  }
  // Without a stream a colour change is written as itself; with one, as a stop.
  for (const bool withStream : {false, true}) {
    const Encoded e = encodeWith<KorvanStitchEncoder>(noStartRecord(), {change}, 0, withStream);
    ASSERT_EQ(e.sent[0].getRealStitchCount(), withStream ? 1 : 0);
    if (withStream) {
      EXPECT_EQ(e.sent[0].getRealStitches()[0].getFlags(), StitchCode::Stop);
    }
    EXPECT_EQ(e.bytes, withStream ? kStopMove : Bytes{});
  }
}

// --- Chenille ----------------------------------------------------------------------------

TEST(DstEncoderChenille, OldChenilleWritesTheStopPattern) {
  StitchEncoderOptions o = noStartRecord();
  o.setKorvanOldChenille(1);
  const int chain = StitchCode::ChenilleChain;
  const int moss = StitchCode::ChenilleMoss;
  const short x = kMoveX;
  const short y = kMoveY;
  // Every command sits at the needle; the machine's chenille record starts with no mode.
  const Encoded e = encodeDst(
      o,
      {
          stitch(x, y, StitchCode::Normal, 0), stitch(x, y, moss, 1, 2),  // no mode yet: 2 stops
          stitch(x, y, chain, 2, 5),  // after moss: stop, jump, stop
          stitch(x, y, chain, 3, 5),  // chain, same height: 4 stops
          stitch(x, y, moss, 3, 1),   // same colour: 2 stops
          stitch(x, y, moss, 4, 3),   // moss, other height: 4 stops
          stitch(x, y, chain, 5, 3),  // after moss: stop, jump, stop
          stitch(x, y, chain, 6, 7),  // other height: stop, jump, stop
          stitch(x, y, chain, 6, 1),  // same colour: 2 stops
      },
      false);
  const Bytes stopJumpStop = cat({kStopHere, kJumpHere, kStopHere});
  EXPECT_EQ(e.bytes, cat({kStitchMove, kStopHere, kStopHere, stopJumpStop, kStopHere, kStopHere,
                          kStopHere, kStopHere, kStopHere, kStopHere, kStopHere, kStopHere,
                          kStopHere, kStopHere, stopJumpStop, stopJumpStop, kStopHere, kStopHere}));
  EXPECT_EQ(e.state.getChenilleMode(), kChenilleChain);
  EXPECT_EQ(e.state.getChenilleHeight(), 1);
}

}  // namespace
}  // namespace stitchkit
