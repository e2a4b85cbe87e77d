#include "stitchkit/decode/dst_decoder.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "stitchkit/decode/dst_records.h"
#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)
using Codes = std::vector<int>;
using Points = std::vector<std::pair<int, int>>;

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
  const Decoded d = decodeDst(cat({bytes, endRecord()}));
  ASSERT_EQ(d.result, kDecodeEnd);
  ASSERT_EQ(d.stitches.size(), moves.size() + 1);
  int wrong = 0;
  std::pair<int, int> previous = {0, 0};
  for (std::size_t i = 0; i < moves.size(); ++i) {
    const std::pair<int, int> p = {d.stitches[i].xval(), d.stitches[i].yval()};
    if (std::make_pair(p.first - previous.first, p.second - previous.second) != moves[i] &&
        ++wrong <= 5)
      ADD_FAILURE() << "record " << i << " should move " << moves[i].first << ","
                    << moves[i].second;
    previous = p;
  }
  EXPECT_EQ(wrong, 0);
}

TEST(DstDecoderRecords, GoldenRecordsDecodeToTheirCommandAndMove) {
  const struct {
    Bytes bytes;
    int code, dx, dy;
  } rows[] = {
      {{0x00, 0x00, 0x03}, StitchCode::Normal, 0, 0},
      {{0x00, 0x00, 0x83}, StitchCode::Jump, 0, 0},
      {{0x00, 0x00, 0xC3}, StitchCode::Stop, 0, 0},
      {{0x00, 0x00, 0xF3}, StitchCode::DesignEnd, 0, 0},
      {{0x55, 0x55, 0xF3}, StitchCode::DesignEnd, 0, 0},
      {{0xFE, 0xFE, 0xF3}, StitchCode::DesignEnd, 0, 0},
      {{0x00, 0x00, 0x43}, StitchCode::SequinStart, 0, 0},
      {{0x01, 0x01, 0x07}, StitchCode::Normal, 85, 0},
      {{0x40, 0x00, 0x03}, StitchCode::Normal, 0, 1},
      {{0x80, 0x00, 0x03}, StitchCode::Normal, 0, -1},
      {{0x55, 0x55, 0x17}, StitchCode::Normal, 121, 121},
      {{0xAA, 0xAA, 0x2B}, StitchCode::Normal, -121, -121},
      {{0x00, 0x00, 0x33}, StitchCode::Normal, 0, 0},
      {{0x01, 0x01, 0x87}, StitchCode::Jump, 85, 0},
      {{0x00, 0x00, 0xC7}, StitchCode::Stop, 81, 0},
      {{0x00, 0x00, 0xD3}, StitchCode::Stop, 0, 81},
      {{0x00, 0x00, 0xE3}, StitchCode::Stop, 0, -81},
      {{0x55, 0x00, 0x43}, StitchCode::SequinStart, 10, 10},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.bytes));
    // A moving record first, so that the record under test is not a start record.
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
  // The third change-over switches the device on again.
  const Bytes design =
      cat({normal(10, 0), changeover(1, 2), jump(5, 0), jump(0, 5), changeover(1, 0), jump(5, 0),
           stop(2, 0), normal(5, 0), changeover(0, 1), endRecord()});
  const std::pair<int, Codes> rows[] = {
      {0, {0, 18, 20, 20, 19, 1, 6, 0, 18, 7}},  // sequin start, drops, sequin end
      {1, {0, 8, 1, 1, 9, 1, 6, 0, 8, 7}},       // borer in / out
      {2, {0, 24, 1, 1, 25, 1, 6, 0, 24, 7}},    // laser on / off
      {3, {0, 10, 1, 1, 10, 1, 6, 0, 10, 7}},    // plain change-over
      {4, {0, 64, 66, 66, 65, 1, 6, 0, 64, 7}},  // bead start, drop beads, bead end
      {7, {0, 10, 1, 1, 10, 1, 6, 0, 10, 7}},    // any other value: plain change-over
  };
  for (const auto& [type, codes] : rows) {
    StitchDecoderOptions o = dstOptions();
    o.setReadChangeoverType(ReadChangeoverType(type));
    const Decoded d = decodeDst(design, o);
    EXPECT_EQ(d.codes(), codes) << "ReadChangeoverType " << type;
    EXPECT_EQ(d.points(), (Points{{10, 0},
                                  {11, 2},
                                  {16, 2},
                                  {16, 7},
                                  {17, 7},
                                  {22, 7},
                                  {24, 7},
                                  {29, 7},
                                  {29, 8},
                                  {29, 8}}));
  }
}

TEST(DstDecoderAlignment, MalformedRecordAfterAlignmentIsReportedAndStaysReported) {
  const Bytes bad[] = {{0x00, 0x00, 0x00}, {0x00, 0x00, 0x01}, {0x00, 0x00, 0x80},
                       {0x03, 0x00, 0x03}, {0x00, 0x03, 0x03}, {0xFF, 0x00, 0x83}};
  for (const Bytes& broken : bad) {
    for (int firstBits : {kNormalBits, kJumpBits}) {
      SCOPED_TRACE(testing::Message() << testing::PrintToString(broken) << " after " << firstBits);
      const Bytes bytes = cat({record(10, 0, firstBits), broken, normal(10, 0), endRecord()});
      MemoryInputBytestream stream(bytes);
      StitchDecoderOptions o = dstOptions();
      KorvanStitchDecoder decoder(o);
      decoder.setBytestream(stream);
      ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
      HStitch s;
      // The stitch before the bad record is delivered, even when the jump-run look-ahead met
      // the bad record.
      ASSERT_EQ(decoder.decodeStitch(s), kDecodeOk);
      EXPECT_EQ(s.getPoint(), (HCoord<short>{10, 0}));
      for (int i = 0; i < 3; ++i)
        EXPECT_EQ(decoder.decodeStitch(s), kDecodeMalformed);
    }
  }
  // Staying aligned, a second bad record is bad too; realigning would skip its zero bytes.
  StitchDecoderOptions o = dstOptions();
  const Bytes bytes = cat({normal(1, 0), {0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, normal(9, 0)});
  MemoryInputBytestream stream(bytes);
  RecordReader<KorvanStitchDecoder> reader(o);
  reader.setBytestream(stream);
  ASSERT_EQ(reader.beginDesign({0, 0}, 1), kDecodeOk);
  HStitch s;
  EXPECT_EQ(reader.rawRecord(s), kDecodeOk);
  EXPECT_EQ(reader.rawRecord(s), kDecodeMalformed);
  EXPECT_EQ(reader.rawRecord(s), kDecodeMalformed);
  s.reset();
  EXPECT_EQ(reader.rawRecord(s), kDecodeOk);
  EXPECT_EQ(s.xval(), 9);
  EXPECT_EQ(reader.rawRecord(s), kDecodeEnd);
}

TEST(DstDecoderBlankAfterDrops, EmptyNormalRecordRightAfterADropIsSkippedForDstFiles) {
  const Bytes blank = {0x00, 0x00, 0x03};
  const Bytes design = cat({normal(10, 0), changeover(), jump(10, 0), blank, jump(10, 0), blank,
                            changeover(), normal(10, 0), endRecord()});
  const struct {
    int blankAfterDrops;
    HDiskFileFormat format;
    Codes codes;
  } rows[] = {
      {1, kFormatDst, {0, 18, 20, 20, 19, 0, 7}},
      {0, kFormatDst, {0, 18, 20, 0, 20, 0, 19, 0, 7}},
      {1, kFormatDstVariant6, {0, 18, 20, 0, 20, 0, 19, 0, 7}},
      {1, kFormatNone, {0, 18, 20, 0, 20, 0, 19, 0, 7}},
  };
  for (const auto& r : rows) {
    StitchDecoderOptions o = dstOptions();
    o.setBlankAfterDrops(r.blankAfterDrops);
    o.setFileFormat(r.format);
    EXPECT_EQ(decodeDst(design, o).codes(), r.codes) << r.blankAfterDrops << " " << r.format;
  }
  // A moving normal after a drop, and an empty normal after a normal, are stitches.
  StitchDecoderOptions o = dstOptions();
  o.setBlankAfterDrops(1);
  const Decoded d = decodeDst(cat({normal(10, 0), changeover(), jump(10, 0), normal(1, 0), blank,
                                   changeover(), endRecord()}),
                              o);
  EXPECT_EQ(d.codes(), (Codes{0, 18, 20, 0, 0, 19, 7}));
  EXPECT_EQ(d.points(), (Points{{10, 0}, {10, 0}, {20, 0}, {21, 0}, {21, 0}, {21, 0}, {21, 0}}));
}

}  // namespace
}  // namespace stitchkit
