#include "stitchkit/decode/dst_decoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "stitchkit/decode/dst_records.h"
#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)

using Points = std::vector<std::pair<int, int>>;

// Reads records straight from the format decoder, below the soft-stitch rules.
class RecordReader : public KorvanStitchDecoder {
 public:
  using KorvanStitchDecoder::KorvanStitchDecoder;
  int readRecord(HStitch& s) { return vGetHardStitch(s); }
};

// --- The record layout --------------------------------------------------------------------

TEST(DstRecordLayout, MoveBitsCarryTheMachineWeights) {
  std::set<std::tuple<int, int, int, int>> expected;
  for (const testing_support::DstBitWeight& b : testing_support::kDstBitWeights)
    expected.emplace(b.byte, b.mask, b.dx, b.dy);
  std::set<std::tuple<int, int, int, int>> actual;
  for (const dst::MoveBit& b : dst::kMoveBits)
    actual.emplace(b.byte, b.mask, b.dx, b.dy);
  EXPECT_EQ(actual, expected);

  for (const testing_support::DstBitWeight& b : testing_support::kDstBitWeights) {
    unsigned char bytes[3] = {0, 0, 0x03};
    bytes[b.byte] = static_cast<unsigned char>(bytes[b.byte] | b.mask);
    const dst::Move m = dst::decodeMove(bytes[0], bytes[1], bytes[2]);
    EXPECT_EQ(m.dx, b.dx) << "byte " << b.byte << " mask " << b.mask;
    EXPECT_EQ(m.dy, b.dy) << "byte " << b.byte << " mask " << b.mask;
  }
  // The sync and command bits of b2 do not move.
  EXPECT_EQ(dst::decodeMove(0, 0, 0xC3).dx, 0);
  EXPECT_EQ(dst::decodeMove(0, 0, 0xC3).dy, 0);
}

TEST(DstRecordLayout, WellFormedNeedsSyncBitsOnlyInTheThirdByte) {
  struct Row {
    unsigned char b0, b1, b2;
    bool wellFormed;
  };
  const Row rows[] = {
      {0x00, 0x00, 0x03, true},  {0x55, 0x55, 0xF3, true},  {0xFE, 0xFE, 0xFF, true},
      {0x00, 0x00, 0x00, false}, {0x00, 0x00, 0x01, false}, {0x00, 0x00, 0x02, false},
      {0x00, 0x00, 0xFC, false}, {0x03, 0x00, 0x03, false}, {0x00, 0x03, 0x03, false},
      {0xFF, 0x00, 0x03, false}, {0x00, 0x07, 0x83, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(dst::isWellFormed(r.b0, r.b1, r.b2), r.wellFormed)
        << std::hex << int{r.b0} << " " << int{r.b1} << " " << int{r.b2};
  }
}

// --- Moves --------------------------------------------------------------------------------

TEST(DstDecoderMoves, EverySingleMoveBitDecodesToItsWeight) {
  for (const testing_support::DstBitWeight& b : testing_support::kDstBitWeights) {
    Bytes first = {0x00, 0x00, 0x03};
    first[b.byte] = static_cast<unsigned char>(first[b.byte] | b.mask);
    StitchDecoderOptions o = dstOptions();
    o.setKorvanStartStitchType(kKorvanStartStitchNone);
    const Decoded d = decodeDst(cat({first, endRecord()}), o, {100, -100});
    SCOPED_TRACE(testing::Message() << "byte " << b.byte << " mask " << b.mask);
    ASSERT_EQ(d.stitches.size(), 2u);
    EXPECT_EQ(d.codes()[0], StitchCode::Normal);
    EXPECT_EQ(d.points()[0], std::make_pair(100 + b.dx, -100 + b.dy));
  }
}

TEST(DstDecoderMoves, EveryMoveOfOneRecordDecodes) {
  // Every (dx, dy) pair a record can carry, each followed by its way back.
  Bytes bytes;
  Points moves;
  for (int dx = -dst::kMaxMove; dx <= dst::kMaxMove; ++dx) {
    for (int dy = -dst::kMaxMove; dy <= dst::kMaxMove; ++dy) {
      for (int sign : {1, -1}) {
        const Bytes r = normal(sign * dx, sign * dy);
        bytes.insert(bytes.end(), r.begin(), r.end());
        moves.emplace_back(sign * dx, sign * dy);
      }
    }
  }
  bytes.insert(bytes.end(), {0x00, 0x00, 0xF3});
  const Decoded d = decodeDst(bytes);
  ASSERT_EQ(d.result, kDecodeEnd);
  ASSERT_EQ(d.stitches.size(), moves.size() + 1);
  int wrong = 0;
  std::pair<int, int> previous = {0, 0};
  for (std::size_t i = 0; i < moves.size(); ++i) {
    const std::pair<int, int> p = {d.stitches[i].xval(), d.stitches[i].yval()};
    const std::pair<int, int> delta = {p.first - previous.first, p.second - previous.second};
    if (delta != moves[i] && ++wrong <= 5) {
      ADD_FAILURE() << "record " << i << " should move " << moves[i].first << "," << moves[i].second
                    << " but moved " << delta.first << "," << delta.second;
    }
    previous = p;
  }
  EXPECT_EQ(wrong, 0);
}

// --- Record kinds -------------------------------------------------------------------------

TEST(DstDecoderRecords, GoldenRecordsDecodeToTheirCommandAndMove) {
  struct Row {
    const char* what;
    Bytes bytes;
    int code;
    int dx;
    int dy;
  };
  const Row rows[] = {
      {"00 00 03 is a normal stitch in place", {0x00, 0x00, 0x03}, StitchCode::Normal, 0, 0},
      {"00 00 83 is a jump in place", {0x00, 0x00, 0x83}, StitchCode::Jump, 0, 0},
      {"00 00 C3 is a stop, not a needle change", {0x00, 0x00, 0xC3}, StitchCode::Stop, 0, 0},
      {"00 00 F3 is the end", {0x00, 0x00, 0xF3}, StitchCode::DesignEnd, 0, 0},
      {"F3 does not move whatever b0 and b1 hold", {0x55, 0x55, 0xF3}, StitchCode::DesignEnd, 0, 0},
      {"F3 does not move with the other bits either",
       {0xFE, 0xFE, 0xF3},
       StitchCode::DesignEnd,
       0,
       0},
      {"00 00 43 reads as sequin start by default",
       {0x00, 0x00, 0x43},
       StitchCode::SequinStart,
       0,
       0},
      {"01 01 07 moves x by 1 + 3 + 81", {0x01, 0x01, 0x07}, StitchCode::Normal, 85, 0},
      {"40 00 03 moves y by +1", {0x40, 0x00, 0x03}, StitchCode::Normal, 0, 1},
      {"80 00 03 moves y by -1", {0x80, 0x00, 0x03}, StitchCode::Normal, 0, -1},
      {"55 55 17 moves by +121 on both axes", {0x55, 0x55, 0x17}, StitchCode::Normal, 121, 121},
      {"AA AA 2B moves by -121 on both axes", {0xAA, 0xAA, 0x2B}, StitchCode::Normal, -121, -121},
      {"00 00 33 moves y by +81 and -81", {0x00, 0x00, 0x33}, StitchCode::Normal, 0, 0},
      {"01 01 87 jumps by 85", {0x01, 0x01, 0x87}, StitchCode::Jump, 85, 0},
      {"00 00 C7 is a stop moving x by 81", {0x00, 0x00, 0xC7}, StitchCode::Stop, 81, 0},
      {"00 00 D3 is a stop moving y by 81", {0x00, 0x00, 0xD3}, StitchCode::Stop, 0, 81},
      {"00 00 E3 is a stop moving y by -81", {0x00, 0x00, 0xE3}, StitchCode::Stop, 0, -81},
      {"55 00 43 is a change-over record that moves",
       {0x55, 0x00, 0x43},
       StitchCode::SequinStart,
       10,
       10},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    // A moving record first, so that the record under test is neither a start record nor
    // taken relative to the start point.
    StitchDecoderOptions o = dstOptions();
    const Decoded d = decodeDst(cat({normal(7, -4), r.bytes}), o, {100, 200});
    ASSERT_GE(d.stitches.size(), 2u);
    EXPECT_EQ(d.points()[0], std::make_pair(107, 196));
    EXPECT_EQ(d.codes()[1], r.code);
    EXPECT_EQ(d.points()[1], std::make_pair(107 + r.dx, 196 + r.dy));
    EXPECT_EQ(d.result, kDecodeEnd);
  }
}

TEST(DstDecoderRecords, ChangeoverRecordsFollowReadChangeoverType) {
  // normal, change-over, two jump records, change-over, jump, stop, normal, change-over, end:
  // the third change-over switches the device on again.
  const Bytes design =
      cat({normal(10, 0), changeover(1, 2), jump(5, 0), jump(0, 5), changeover(1, 0), jump(5, 0),
           stop(2, 0), normal(5, 0), changeover(0, 1), endRecord()});
  struct Row {
    int readChangeoverType;
    std::vector<int> codes;
  };
  using C = std::vector<int>;
  const Row rows[] = {
      {0, C{0, 18, 20, 20, 19, 1, 6, 0, 18, 7}},  // sequin start, drops, sequin end
      {1, C{0, 8, 1, 1, 9, 1, 6, 0, 8, 7}},       // borer in / out
      {2, C{0, 24, 1, 1, 25, 1, 6, 0, 24, 7}},    // laser on / off
      {3, C{0, 10, 1, 1, 10, 1, 6, 0, 10, 7}},    // plain change-over
      {4, C{0, 64, 66, 66, 65, 1, 6, 0, 64, 7}},  // bead start, drop beads, bead end
      {7, C{0, 10, 1, 1, 10, 1, 6, 0, 10, 7}},    // any other value: plain change-over
  };
  const Points points = {{10, 0}, {11, 2}, {16, 2}, {16, 7}, {17, 7},
                         {22, 7}, {24, 7}, {29, 7}, {29, 8}, {29, 8}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "ReadChangeoverType " << r.readChangeoverType);
    StitchDecoderOptions o = dstOptions();
    o.setReadChangeoverType(ReadChangeoverType(r.readChangeoverType));
    const Decoded d = decodeDst(design, o);
    EXPECT_EQ(d.codes(), r.codes);
    EXPECT_EQ(d.points(), points);
    EXPECT_EQ(d.result, kDecodeEnd);
  }
}

// --- Alignment and broken data ------------------------------------------------------------

TEST(DstDecoderAlignment, LeadingBytesThatCannotEndARecordAreSkipped) {
  const std::vector<Bytes> junks = {
      {}, {0x00}, {0x10, 0x20, 0x44, 0xFC}, {0x01, 0x02, 0x01}, {0x41, 0x42, 0x80, 0x00, 0x00},
  };
  for (const Bytes& junk : junks) {
    SCOPED_TRACE(testing::Message() << junk.size() << " leading bytes");
    const Decoded d = decodeDst(cat({junk, normal(85, -40), normal(1, 1), endRecord()}));
    EXPECT_EQ(d.codes(), (std::vector<int>{0, 0, 7}));
    EXPECT_EQ(d.points(), (Points{{85, -40}, {86, -39}, {86, -39}}));
  }
}

TEST(DstDecoderAlignment, FirstByteWithBothLowBitsSetEndsTheFirstRecord) {
  // 0x07 is taken as b2 and the byte before it as b1: x +81, y +27.
  Decoded d = decodeDst(cat({{0x10, 0x07}, normal(5, 0), endRecord()}));
  EXPECT_EQ(d.points(), (Points{{81, 27}, {86, 27}, {86, 27}}));

  // Bytes missing before the first record end read as zero.
  d = decodeDst(Bytes{0x01, 0x03});
  EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Normal}));
  EXPECT_EQ(d.points(), (Points{{3, 0}}));
  EXPECT_EQ(d.result, kDecodeEnd);
}

TEST(DstDecoderAlignment, DataWithoutARecordEndIsTheEndOfData) {
  for (const Bytes& bytes : {Bytes{}, Bytes{0x00, 0x10, 0x20}, Bytes{0x80, 0x40}}) {
    const Decoded d = decodeDst(bytes);
    EXPECT_TRUE(d.stitches.empty());
    EXPECT_EQ(d.result, kDecodeEnd);
    EXPECT_EQ(d.endResult, kDecodeOk);
  }
}

TEST(DstDecoderAlignment, MalformedRecordAfterAlignmentIsReportedAndStaysReported) {
  const std::vector<Bytes> bad = {
      {0x00, 0x00, 0x00}, {0x00, 0x00, 0x01}, {0x00, 0x00, 0x02}, {0x00, 0x00, 0x80},
      {0x03, 0x00, 0x03}, {0x00, 0x03, 0x03}, {0xFF, 0x00, 0x83},
  };
  for (const Bytes& broken : bad) {
    for (int firstBits : {kNormalBits, kJumpBits}) {
      SCOPED_TRACE(testing::Message() << std::hex << int{broken[0]} << " " << int{broken[1]} << " "
                                      << int{broken[2]} << " after " << firstBits);
      const Bytes bytes = cat({record(10, 0, firstBits), broken, normal(10, 0), endRecord()});
      MemoryInputBytestream stream(bytes);
      StitchDecoderOptions o = dstOptions();
      KorvanStitchDecoder decoder(o);
      decoder.setBytestream(stream);
      ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
      HStitch s;
      // The stitch before the bad record is delivered, even when the jump-run look-ahead is
      // what met the bad record.
      ASSERT_EQ(decoder.decodeStitch(s), kDecodeOk);
      EXPECT_EQ(s.getPoint(), (HCoord<short>{10, 0}));
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(decoder.decodeStitch(s), kDecodeMalformed);
    }
  }
}

TEST(DstDecoderAlignment, DecoderStaysAlignedAfterAMalformedRecord) {
  // good, bad, bad, good. Staying aligned, the second bad record is bad too; realigning would
  // skip its zero bytes and take the good record that follows.
  const Bytes bytes = cat({normal(1, 0), {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, normal(9, 0)});
  MemoryInputBytestream stream(bytes);
  StitchDecoderOptions o = dstOptions();
  RecordReader reader(o);
  reader.setBytestream(stream);
  ASSERT_EQ(reader.beginDesign({0, 0}, 1), kDecodeOk);
  HStitch s;
  EXPECT_EQ(reader.readRecord(s), kDecodeOk);
  EXPECT_EQ(reader.readRecord(s), kDecodeMalformed);
  EXPECT_EQ(reader.readRecord(s), kDecodeMalformed);
  s.reset();
  EXPECT_EQ(reader.readRecord(s), kDecodeOk);
  EXPECT_EQ(s.xval(), 9);
  EXPECT_EQ(reader.readRecord(s), kDecodeEnd);
}

TEST(DstDecoderAlignment, EndOfDataInsideARecordIsTheEndOfData) {
  for (const Bytes& tail : {Bytes{0x01}, Bytes{0x01, 0x00}, Bytes{0x00, 0x00}}) {
    const Decoded d = decodeDst(cat({normal(10, 0), tail}));
    EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Normal}));
    EXPECT_EQ(d.result, kDecodeEnd);
    EXPECT_EQ(d.endResult, kDecodeOk);
  }
}

TEST(DstDecoderAlignment, FileWithoutAnEndRecordEndsWithEndOfData) {
  Decoded d = decodeDst(cat({normal(10, 0), normal(0, 10)}));
  EXPECT_EQ(d.codes(), (std::vector<int>{0, 0}));
  EXPECT_EQ(d.result, kDecodeEnd);

  // Ending in a run of jumps: the run gathered up to the end is delivered whole.
  d = decodeDst(cat({normal(10, 0), jump(50, 0), jump(0, 50)}));
  EXPECT_EQ(d.codes(), (std::vector<int>{0, 1, 1}));
  EXPECT_EQ(d.points(), (Points{{10, 0}, {60, 0}, {60, 50}}));
  EXPECT_EQ(d.result, kDecodeEnd);
  EXPECT_EQ(d.endResult, kDecodeOk);
}

TEST(DstDecoderAlignment, NoStreamAttachedIsAFailure) {
  StitchDecoderOptions o = dstOptions();
  KorvanStitchDecoder decoder(o);
  ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
  HStitch s;
  EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
  EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
}

// --- Start record -------------------------------------------------------------------------

TEST(DstDecoderStartRecord, EmptyFirstRecordIsSkippedByKorvanStartStitchType) {
  struct Row {
    int startType;
    Bytes first;
    bool skipped;
  };
  const Row rows[] = {
      {0, {0x00, 0x00, 0x03}, false},
      {0, {0x00, 0x00, 0x83}, false},
      {1, {0x00, 0x00, 0x03}, true},
      {1, {0x00, 0x00, 0x83}, true},
      {2, {0x00, 0x00, 0x03}, false},
      {2, {0x00, 0x00, 0x83}, true},
      {5, {0x00, 0x00, 0x03}, true},
      {5, {0x00, 0x00, 0x83}, true},
      // Only empty normal or jump records are start records.
      {1, {0x01, 0x00, 0x83}, false},
      {1, {0x00, 0x40, 0x03}, false},
      {1, {0x00, 0x00, 0x07}, false},
      {1, {0x00, 0x00, 0xC3}, false},
      {1, {0x00, 0x00, 0x43}, false},
      {2, {0x00, 0x00, 0xC3}, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message()
                 << "type " << r.startType << " first " << std::hex << int{r.first[0]} << " "
                 << int{r.first[1]} << " " << int{r.first[2]});
    StitchDecoderOptions o = dstOptions();
    o.setKorvanStartStitchType(KorvanStartStitchType(r.startType));
    const Decoded d = decodeDst(cat({r.first, normal(10, 20), endRecord()}), o, {5, 5});
    ASSERT_EQ(d.result, kDecodeEnd);
    if (r.skipped) {
      EXPECT_EQ(d.codes(), (std::vector<int>{0, 7}));
      EXPECT_EQ(d.points()[0], std::make_pair(15, 25));
    } else {
      ASSERT_EQ(d.stitches.size(), 3u);
      EXPECT_EQ(d.points()[1].first - d.points()[0].first, 10);
      EXPECT_EQ(d.points()[1].second - d.points()[0].second, 20);
    }
  }
}

TEST(DstDecoderStartRecord, OnlyTheFirstRecordCanBeAStartRecord) {
  StitchDecoderOptions o = dstOptions();
  o.setKorvanStartStitchType(kKorvanStartStitchFirst);
  // Leading junk does not hide the start record; later empty records are stitches.
  const Decoded d = decodeDst(cat({{0x00, 0x10},
                                   {0x00, 0x00, 0x83},
                                   normal(10, 0),
                                   {0x00, 0x00, 0x83},
                                   {0x00, 0x00, 0x03},
                                   normal(10, 0),
                                   endRecord()}),
                              o);
  EXPECT_EQ(d.codes(), (std::vector<int>{0, 1, 0, 0, 7}));
  EXPECT_EQ(d.points(), (Points{{10, 0}, {10, 0}, {10, 0}, {20, 0}, {20, 0}}));
}

TEST(DstDecoderStartRecord, RecordAfterASkippedStartRecordIsReadAsUsual) {
  StitchDecoderOptions o = dstOptions();
  Decoded d = decodeDst(Bytes{0x00, 0x00, 0x03}, o);
  EXPECT_TRUE(d.stitches.empty());
  EXPECT_EQ(d.result, kDecodeEnd);

  d = decodeDst(Bytes{0x00, 0x00, 0x83, 0x00, 0x00}, o);
  EXPECT_TRUE(d.stitches.empty());
  EXPECT_EQ(d.result, kDecodeEnd);

  d = decodeDst(Bytes{0x00, 0x00, 0x83, 0x00, 0x00, 0x00}, o);
  EXPECT_TRUE(d.stitches.empty());
  EXPECT_EQ(d.result, kDecodeMalformed);
}

// --- Blank records after drops ------------------------------------------------------------

TEST(DstDecoderBlankAfterDrops, EmptyNormalRecordAfterADropIsSkippedForDstFiles) {
  // normal, sequin start, drop, blank, drop, blank, sequin end, normal, end.
  const Bytes design = cat({normal(10, 0),
                            changeover(),
                            jump(10, 0),
                            {0x00, 0x00, 0x03},
                            jump(10, 0),
                            {0x00, 0x00, 0x03},
                            changeover(),
                            normal(10, 0),
                            endRecord()});
  struct Row {
    int blankAfterDrops;
    HDiskFileFormat format;
    bool skipped;
  };
  const Row rows[] = {
      {1, kFormatDst, true},
      {0, kFormatDst, false},
      {1, kFormatDstVariant6, false},
      {1, kFormatNone, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message()
                 << "BlankAfterDrops " << r.blankAfterDrops << " format " << r.format);
    StitchDecoderOptions o = dstOptions();
    o.setBlankAfterDrops(r.blankAfterDrops);
    o.setFileFormat(r.format);
    const Decoded d = decodeDst(design, o);
    if (r.skipped) {
      EXPECT_EQ(d.codes(), (std::vector<int>{0, 18, 20, 20, 19, 0, 7}));
      EXPECT_EQ(d.points(),
                (Points{{10, 0}, {10, 0}, {20, 0}, {30, 0}, {30, 0}, {40, 0}, {40, 0}}));
    } else {
      EXPECT_EQ(d.codes(), (std::vector<int>{0, 18, 20, 0, 20, 0, 19, 0, 7}));
    }
  }
}

TEST(DstDecoderBlankAfterDrops, OnlyAnEmptyNormalRecordRightAfterADropIsSkipped) {
  StitchDecoderOptions o = dstOptions();
  o.setBlankAfterDrops(1);
  // A moving normal after a drop, and an empty normal after a normal, are stitches.
  const Decoded d = decodeDst(cat({normal(10, 0),
                                   changeover(),
                                   jump(10, 0),
                                   normal(1, 0),
                                   {0x00, 0x00, 0x03},
                                   changeover(),
                                   endRecord()}),
                              o);
  EXPECT_EQ(d.codes(), (std::vector<int>{0, 18, 20, 0, 0, 19, 7}));
  EXPECT_EQ(d.points(), (Points{{10, 0}, {10, 0}, {20, 0}, {21, 0}, {21, 0}, {21, 0}, {21, 0}}));
}

// --- Factory ------------------------------------------------------------------------------

TEST(DstDecoderFactory, CreatesADstDecoderWorkingOnTheGivenOptions) {
  StitchDecoderOptions o = dstOptions();
  KorvanStitchDecoderFactory factory;
  std::unique_ptr<StitchDecoder> decoder(factory.createDecoder(o));
  ASSERT_NE(dynamic_cast<KorvanStitchDecoder*>(decoder.get()), nullptr);
  const Bytes bytes = cat({normal(40, 0), endRecord()});
  MemoryInputBytestream stream(bytes);
  static_cast<KorvanStitchDecoder&>(*decoder).setBytestream(stream);
  const Decoded d = runDecoder(*decoder);
  EXPECT_EQ(d.codes(), (std::vector<int>{0, 7}));
  EXPECT_EQ(o.getMaxLength(), 40);
}

}  // namespace
}  // namespace stitchkit
