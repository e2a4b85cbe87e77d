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

namespace stitchkit {
namespace {

using Bytes = std::vector<unsigned char>;

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

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

HStitch stitch(int x, int y, int code = StitchCode::Normal, int colour = 0, int data = 0) {
  HStitch s(static_cast<short>(x), static_cast<short>(y), static_cast<std::uint8_t>(code),
            static_cast<unsigned short>(colour));
  s.setData(static_cast<unsigned short>(data));
  return s;
}

// Write options without the empty start record, so that the output is the stitches' records.
StitchEncoderOptions noStartRecord() {
  StitchEncoderOptions o;
  o.setKorvanStartStitchType(kKorvanStartStitchNone);
  return o;
}

struct Encoded {
  Bytes bytes;
  std::vector<int> results;  // of each encodeStitch
  EncoderState state;        // as endDesign leaves it
};

// Writes `stitches` as one design starting at (0, 0).
Encoded encodeDst(const StitchOptions& o, std::vector<HStitch> stitches, bool separate = true) {
  Encoded out;
  VectorOutputBytestream stream(out.bytes);
  KorvanStitchEncoder encoder(o);
  encoder.setBytestream(stream);
  encoder.setSeparateCommands(separate ? 1 : 0);
  EXPECT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  for (HStitch& s : stitches)
    out.results.push_back(encoder.encodeStitch(s, 0, 0));
  EXPECT_EQ(encoder.endDesign(&out.state), kEncodeOk);
  return out;
}

// True when no weight has both its plus and its minus bit set.
bool isBalanced(const Bytes& r) {
  const auto pairsClash = [](unsigned plus, unsigned minus) { return (plus & (minus >> 1)) != 0; };
  return !pairsClash(r[0] & 0x55u, r[0] & 0xAAu) && !pairsClash(r[1] & 0x55u, r[1] & 0xAAu) &&
         !pairsClash(r[2] & 0x14u, r[2] & 0x28u);
}

// --- Moves -------------------------------------------------------------------------------

TEST(DstEncoderMoves, EveryMoveWithinOneRecordDecodesBack) {
  const StitchEncoderOptions o = noStartRecord();
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
    }
  }
}

TEST(DstEncoderMoves, DesignOfEveryMoveReadsBackThroughTheDecoder) {
  // Each x move from -121 to 121 once, paired with a permutation of the same range on y.
  StitchEncoderOptions o;  // with the start record, which the decoder skips
  std::vector<HStitch> stitches;
  std::vector<std::pair<int, int>> points;
  int x = 0;
  int y = 0;
  for (int v = -dst::kMaxMove; v <= dst::kMaxMove; ++v) {
    x += v;
    y += (v + dst::kMaxMove) * 37 % 243 - dst::kMaxMove;
    stitches.push_back(stitch(x, y));
    points.emplace_back(x, y);
  }
  const Encoded e = encodeDst(o, stitches);
  ASSERT_EQ(e.bytes.size(), 3u * (points.size() + 1));

  StitchDecoderOptions d;
  setDefaultDecoderOptions(d);
  d.setFileFormat(kFormatDst);
  MemoryInputBytestream in(e.bytes);
  KorvanStitchDecoder decoder(d);
  decoder.setBytestream(in);
  ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
  std::vector<std::pair<int, int>> decoded;
  HStitch s;
  while (decoded.size() <= points.size() && decoder.decodeStitch(s) == kDecodeOk) {
    EXPECT_TRUE(s.isNormal());
    decoded.emplace_back(s.xval(), s.yval());
  }
  EXPECT_EQ(decoded, points);
}

TEST(DstEncoderMoves, MoveBeyondOneRecordIsRefusedAndWritesNothing) {
  const std::pair<int, int> moves[] = {{122, 0}, {-122, 0}, {0, 122}, {0, -122}, {200, 5}};
  for (const auto& [dx, dy] : moves) {
    const Encoded e = encodeDst(noStartRecord(), {stitch(dx, dy)});
    EXPECT_EQ(e.results, std::vector<int>{kEncodeRefused}) << dx << ", " << dy;
    EXPECT_TRUE(e.bytes.empty()) << dx << ", " << dy;
  }
}

TEST(DstEncoderMoves, FiftyMinusHundredTwentyOneSetsTheBalancedDigits) {
  // x = +81 - 27 - 3 - 1: x+81 in b2, x-27 and x-3 in b1, x-1 in b0.
  // y = -81 - 27 - 9 - 3 - 1: every y minus bit.
  const Encoded e = encodeDst(noStartRecord(), {stitch(50, -121)});
  EXPECT_EQ(e.bytes, (Bytes{0xA2, 0xAA, 0x27}));
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

TEST(DstEncoderCommands, DesignEndThirtyAwayJumpsThenEnds) {
  const Encoded e = encodeDst(noStartRecord(), {stitch(30, 0, StitchCode::DesignEnd)}, false);
  EXPECT_EQ(e.bytes, (Bytes{0x00, 0x05, 0x83, 0x00, 0x00, 0xF3}));
}

TEST(DstEncoderCommands, PadStopPutsABlankJumpBeforeEachStop) {
  StitchEncoderOptions o = noStartRecord();
  o.setKorvanPadStop(1);
  EXPECT_EQ(encodeDst(o, {stitch(kMoveX, kMoveY, StitchCode::Stop)}, false).bytes,
            cat({kJumpHere, kStopMove}));
  EXPECT_EQ(encodeDst(o, {stitch(kMoveX, kMoveY, StitchCode::Stop)}, true).bytes,
            cat({kJumpMove, kJumpHere, kStopHere}));
  EXPECT_EQ(encodeDst(o, {stitch(kMoveX, kMoveY, StitchCode::ChangeNeedle, 1)}, false).bytes,
            cat({kJumpHere, kStopMove}));
  // Commands written as stops by their own rule are not padded.
  EXPECT_EQ(encodeDst(o, {stitch(kMoveX, kMoveY, StitchCode::ATHProhibitedStart)}, false).bytes,
            kStopMove);
}

TEST(DstEncoderCommands, RemoveDoubleStopsDropsARepeatedStopOrColourChange) {
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
       {stitch(kMoveX, kMoveY), stitch(kMoveX, kMoveY, StitchCode::ChangeNeedle, 1),
        stitch(kMoveX, kMoveY, StitchCode::Stop, 1)},
       cat({kStitchMove, kStopHere})},
      // A stitch in between makes the second stop new again.
      {1,
       {stitch(kMoveX, kMoveY), stitch(kMoveX, kMoveY, StitchCode::Stop),
        stitch(0, 0, StitchCode::Normal), stitch(0, 0, StitchCode::Stop)},
       cat({kStitchMove, kStopHere, Bytes{0x9A, 0x82, 0x03}, kStopHere})},
  };
  for (const Case& c : cases) {
    StitchEncoderOptions o = noStartRecord();
    o.setKorvanRemoveDoubleStops(c.removeDoubles);
    const Encoded e = encodeDst(o, c.stitches);
    EXPECT_EQ(e.bytes, c.expected) << "remove doubles " << c.removeDoubles;
    for (const int r : e.results)
      EXPECT_EQ(r, kEncodeOk);
  }
}

TEST(DstEncoderCommands, ColourChangeStaysAColourChangeWithoutAStream) {
  const StitchEncoderOptions o = noStartRecord();
  for (const bool withStream : {false, true}) {
    Bytes bytes;
    VectorOutputBytestream stream(bytes);
    KorvanStitchEncoder encoder(o);
    if (withStream) encoder.setBytestream(stream);
    encoder.setSeparateCommands(0);
    ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
    HStitch change = stitch(kMoveX, kMoveY, StitchCode::ChangeNeedle, 2);
    EXPECT_EQ(encoder.encodeStitch(change, 0, 0), kEncodeOk);
    if (withStream) {
      ASSERT_EQ(change.getRealStitchCount(), 1);
      EXPECT_EQ(change.getRealStitches()[0].getFlags(), StitchCode::Stop);
    } else {
      EXPECT_EQ(change.getRealStitchCount(), 0);  // written as itself, a colour change
    }
    EXPECT_EQ(bytes, withStream ? kStopMove : Bytes{});
  }
}

TEST(DstEncoderCommands, WithoutAStreamNothingIsWrittenButMovesAreStillChecked) {
  const StitchEncoderOptions o = noStartRecord();
  KorvanStitchEncoder encoder(o);
  ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch near = stitch(kMoveX, kMoveY, StitchCode::Stop);
  EXPECT_EQ(encoder.encodeStitch(near, 0, 0), kEncodeOk);
  HStitch far = stitch(kMoveX + 122, kMoveY);
  EXPECT_EQ(encoder.encodeStitch(far, 0, 0), kEncodeRefused);
}

TEST(DstEncoderCommands, RefusedByteEndsTheWrite) {
  unsigned char buffer[4] = {};
  MemoryOutputBytestream stream(buffer, 4);
  const StitchEncoderOptions o = noStartRecord();
  KorvanStitchEncoder encoder(o);
  encoder.setBytestream(stream);
  ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch first = stitch(kMoveX, kMoveY);
  EXPECT_EQ(encoder.encodeStitch(first, 0, 0), kEncodeOk);
  HStitch second = stitch(2 * kMoveX, 2 * kMoveY);
  EXPECT_EQ(encoder.encodeStitch(second, 0, 0), kEncodeRefused);
  EXPECT_EQ(stream.length(), 4);
}

// --- Start record ------------------------------------------------------------------------

TEST(DstEncoderStart, StartRecordFollowsTheStartTypeAndTheFirstRecord) {
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
      {kKorvanStartStitchSecond, StitchCode::Jump, cat({kJumpHere, kJumpMove, kStitchMove})},
      // Any other value writes the second form.
      {static_cast<KorvanStartStitchType>(5), StitchCode::Normal,
       cat({kJumpHere, kStitchMove, kStitchMove})},
  };
  for (const Case& c : cases) {
    StitchEncoderOptions o;
    o.setKorvanStartStitchType(c.type);
    const Encoded e =
        encodeDst(o, {stitch(kMoveX, kMoveY, c.firstCode), stitch(2 * kMoveX, 2 * kMoveY)});
    EXPECT_EQ(e.bytes, c.expected) << "start type " << c.type << ", first code " << c.firstCode;
  }
}

TEST(DstEncoderStart, StartRecordOnlyOpensADesignNotALaterSegment) {
  StitchEncoderOptions o;
  o.setKorvanStartStitchType(kKorvanStartStitchFirst);
  Bytes bytes;
  VectorOutputBytestream stream(bytes);
  KorvanStitchEncoder encoder(o);
  encoder.setBytestream(stream);

  ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch a = stitch(kMoveX, kMoveY);
  EXPECT_EQ(encoder.encodeStitch(a, 0, 0), kEncodeOk);
  EncoderState state;
  ASSERT_EQ(encoder.endSegment(&state), kEncodeOk);
  ASSERT_EQ(encoder.beginSegment(state, {0, 0}, 0), kEncodeOk);
  HStitch b = stitch(2 * kMoveX, 2 * kMoveY);
  EXPECT_EQ(encoder.encodeStitch(b, 0, 0), kEncodeOk);
  ASSERT_EQ(encoder.endDesign(nullptr), kEncodeOk);
  EXPECT_EQ(bytes, cat({kStitchHere, kStitchMove, kStitchMove}));

  // A new design on the same encoder starts with the record again.
  bytes.clear();
  ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch c = stitch(kMoveX, kMoveY);
  EXPECT_EQ(encoder.encodeStitch(c, 0, 0), kEncodeOk);
  EXPECT_EQ(bytes, cat({kStitchHere, kStitchMove}));
}

// --- Sequin drops ------------------------------------------------------------------------

TEST(DstEncoderDrops, DropSequinPlacementFollowsTheDropOptions) {
  // A drop five units along x: 5 = 9 - 3 - 1.
  const Bytes dropMove = {0x06, 0x02, 0x83};
  const Bytes stitchMove = {0x06, 0x02, 0x03};
  struct Case {
    int moveDrops;
    int blankAfter;
    HDiskFileFormat format;
    int code;
    Bytes expected;
  };
  const Case cases[] = {
      {1, 0, kFormatDst, StitchCode::DropSequin, cat({kJumpHere, stitchMove})},
      {1, 1, kFormatDst, StitchCode::DropSequin, cat({kJumpHere, stitchMove})},
      {0, 1, kFormatDst, StitchCode::DropSequin, cat({dropMove, kStitchHere})},
      {0, 0, kFormatDst, StitchCode::DropSequin, dropMove},
      // Only the plain DST file format places drops.
      {1, 1, kFormatDstVariant6, StitchCode::DropSequin, dropMove},
      // Only sequin drops are placed.
      {1, 1, kFormatDst, StitchCode::DropBead, dropMove},
      {1, 1, kFormatDst, StitchCode::DropSequinW, dropMove},
  };
  for (const Case& c : cases) {
    StitchEncoderOptions o = noStartRecord();
    o.setKorvanMoveDropSequins(c.moveDrops);
    o.setBlankAfterDrops(c.blankAfter);
    o.setFileFormat(c.format);
    EXPECT_EQ(encodeDst(o, {stitch(5, 0, c.code)}).bytes, c.expected)
        << "move drops " << c.moveDrops << ", blank after " << c.blankAfter << ", format "
        << c.format << ", code " << c.code;
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

TEST(DstEncoderChenille, SegmentHandsOnTheMachinesChenilleState) {
  // Without the old form, a chenille command is one stop, but the encoder still records what
  // the machine was told; the height command (a jump for DST) does not count.
  const Encoded e = encodeDst(noStartRecord(),
                              {stitch(0, 0, StitchCode::ChenilleChain, 0, 7),
                               stitch(0, 0, StitchCode::ChenilleHeight, 0, 4)},
                              false);
  EXPECT_EQ(e.bytes, cat({kStopHere, kJumpHere}));
  EXPECT_EQ(e.state.getChenilleMode(), kChenilleChain);
  EXPECT_EQ(e.state.getChenilleHeight(), 7);
}

TEST(DstEncoderChenille, SegmentStartsFromTheGivenChenilleState) {
  StitchEncoderOptions o = noStartRecord();
  o.setKorvanOldChenille(1);
  for (const bool inChain : {false, true}) {
    Bytes bytes;
    VectorOutputBytestream stream(bytes);
    KorvanStitchEncoder encoder(o);
    encoder.setBytestream(stream);
    encoder.setSeparateCommands(0);
    ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
    EncoderState state;
    if (inChain) {
      state.setChenilleMode(kChenilleChain);
      state.setChenilleHeight(5);
    }
    ASSERT_EQ(encoder.beginSegment(state, {0, 0}, 0), kEncodeOk);
    HStitch chain = stitch(0, 0, StitchCode::ChenilleChain, 2, 5);
    EXPECT_EQ(encoder.encodeStitch(chain, 0, 0), kEncodeOk);
    // Already in chain at that height, a new colour repeats the stop: four stops, not two.
    EXPECT_EQ(bytes, inChain ? cat({kStopHere, kStopHere, kStopHere, kStopHere})
                             : cat({kStopHere, kStopHere}));

    // A new design forgets what the machine was told (chain at 5 by now).
    bytes.clear();
    ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
    HStitch first = stitch(0, 0, StitchCode::Normal, 0);
    EXPECT_EQ(encoder.encodeStitch(first, 0, 0), kEncodeOk);
    HStitch again = stitch(0, 0, StitchCode::ChenilleChain, 2, 5);
    EXPECT_EQ(encoder.encodeStitch(again, 0, 0), kEncodeOk);
    EXPECT_EQ(bytes, cat({kStitchHere, kStopHere, kStopHere}));
  }
}

// --- Factory -----------------------------------------------------------------------------

TEST(DstEncoderFactory, CreatesADstEncoderForTheOptions) {
  StitchEncoderOptions o = noStartRecord();
  KorvanStitchEncoderFactory factory;
  std::unique_ptr<StitchEncoder> encoder(factory.createEncoder(o));
  auto* dstEncoder = dynamic_cast<KorvanStitchEncoder*>(encoder.get());
  ASSERT_NE(dstEncoder, nullptr);
  Bytes bytes;
  VectorOutputBytestream stream(bytes);
  dstEncoder->setBytestream(stream);
  ASSERT_EQ(dstEncoder->beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch s = stitch(kMoveX, kMoveY);
  EXPECT_EQ(dstEncoder->encodeStitch(s, 0, 0), kEncodeOk);
  EXPECT_EQ(bytes, kStitchMove);
}

}  // namespace
}  // namespace stitchkit
