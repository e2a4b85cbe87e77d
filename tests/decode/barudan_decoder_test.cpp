#include "stitchkit/decode/barudan_decoder.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "stitchkit/decode/barudan_records.h"
#include "stitchkit/model/stop_info.h"
#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)
using Codes = std::vector<int>;
using Points = std::vector<std::pair<int, int>>;

constexpr int kPlain = 0;     // extendedVariant as the filter leaves it for .DSB (format 1)
constexpr int kExtended = 1;  // and for the other Barudan formats
const Bytes kEnd = {0xF8, 0x00, 0x00};

StitchDecoderOptions barudanOptions(int variant) {
  return readOptions(variant ? kFormatDsbVariant16 : kFormatDsb);
}

Decoded decodeBarudan(const Bytes& bytes, int variant = kExtended) {
  StitchDecoderOptions o = barudanOptions(variant);
  return decodeWith<BarudanStitchDecoder>(bytes, o, {0, 0}, 1, variant);
}

HXArray<StopInfo> stopTable(int code) {
  StopInfo entry;
  entry.commandCode = static_cast<std::uint8_t>(code);
  HXArray<StopInfo> stops;
  stops.add(entry);
  return stops;
}

TEST(BarudanDecoderRecords, EveryCommandDecodesToItsCodeColourAndMove) {
  // Each record moves (+3, +5) when its move is applied: 'b' in both variants, 'p' only in
  // the plain one, '-' in neither. Colour -1: the needle in use.
  constexpr int N = StitchCode::ChangeNeedle;
  constexpr int S = StitchCode::Stop;
  const struct {
    unsigned char b0;
    int code, colour;
    char moves;
  } rows[] = {
      // clang-format off
      {0xC0, StitchCode::Normal, -1, 'b'}, {0xC1, StitchCode::Jump, -1, 'b'},
      {0xC2, StitchCode::SlowDown, -1, 'p'}, {0xC3, StitchCode::SlowDown, -1, 'p'},
      {0xC4, StitchCode::SpeedUp, -1, 'p'}, {0xC5, StitchCode::SpeedUp, -1, 'p'},
      {0xC6, StitchCode::UpperTrim, -1, 'b'}, {0xC7, StitchCode::Trim, -1, 'b'}, {0xC8, S, -1, 'p'},
      {0xC9, N, 0, 'p'}, {0xCA, N, 1, 'p'}, {0xCB, N, 2, 'p'}, {0xCC, N, 3, 'p'}, {0xCD, N, 4, 'p'},
      {0xCE, N, 5, 'p'}, {0xCF, N, 6, 'p'}, {0xD0, N, 7, 'p'}, {0xD1, N, 8, 'p'}, {0xD2, N, 9, 'p'},
      {0xD3, S, -1, 'p'}, {0xD4, S, -1, 'p'}, {0xD5, S, -1, 'p'}, {0xD6, S, -1, 'p'},
      {0xD7, StitchCode::FrameOut, -1, 'p'}, {0xD8, StitchCode::DesignEnd, -1, '-'},
      {0xD9, S, -1, 'p'}, {0xDA, S, -1, 'p'}, {0xDB, S, -1, 'p'},
      {0xDC, StitchCode::BorerIn, -1, 'p'}, {0xDD, S, -1, 'p'},
      {0xDE, StitchCode::BorerOut, -1, 'p'}, {0xDF, S, -1, 'p'},
      // clang-format on
  };
  static_assert(std::size(rows) == barudan::kCommandCount);
  for (const auto& row : rows) {
    for (const int variant : {kPlain, kExtended}) {
      SCOPED_TRACE(testing::Message() << std::hex << int{row.b0} << " variant " << variant);
      Bytes bytes = {row.b0, 0x05, 0x03};
      if (row.b0 == 0xD2) bytes = cat({bytes, {0xE8, 0x00, 0x00}});  // the extension record
      StitchDecoderOptions o = barudanOptions(variant);
      const Decoded d = readHard<BarudanStitchDecoder>(bytes, o, {100, -100}, 4, variant);
      ASSERT_EQ(d.stitches.size(), 1u);
      EXPECT_EQ(d.codes()[0], row.code);
      EXPECT_EQ(d.colours()[0], row.colour < 0 ? 3 : row.colour);
      const bool moves = row.moves == 'b' || (row.moves == 'p' && variant == kPlain);
      EXPECT_EQ(d.points()[0], moves ? std::make_pair(103, -95) : std::make_pair(100, -100));
      EXPECT_EQ(d.result, kDecodeEnd);
    }
  }
}

TEST(BarudanDecoderRecords, SignBitsGiveTheDirectionOfEachAxis) {
  const std::pair<Bytes, std::pair<int, int>> rows[] = {
      {{0x80, 0x05, 0x03}, {3, -5}},     {{0xE0, 0x05, 0x03}, {-3, 5}},
      {{0xA0, 0x05, 0x03}, {-3, -5}},    {{0xC0, 0x05, 0x03}, {3, 5}},
      {{0xE0, 0x7F, 0x7F}, {-127, 127}}, {{0x80, 0x7F, 0x7F}, {127, -127}},
      {{0xE0, 0x00, 0x00}, {0, 0}},      {{0x81, 0x00, 0x40}, {64, 0}},
  };
  for (const auto& [record, point] : rows) {
    const Decoded d = decodeBarudan(cat({record, kEnd}));
    ASSERT_EQ(d.stitches.size(), 2u);
    EXPECT_EQ(d.points()[0], point) << testing::PrintToString(record);
    EXPECT_EQ(d.codes()[1], StitchCode::DesignEnd);
  }
  // 8B 00 00: needle 3.
  EXPECT_EQ(decodeBarudan(cat({{0x80, 0x00, 0x02}, {0x8B, 0x00, 0x00}, kEnd})).colours(),
            (Codes{0, 2, 2}));
}

TEST(BarudanDecoderRecords, StopMovesInEveryVariantWhileTheStopTableHasAnEntry) {
  // Two stops and a stop-table entry for the first only: the first stop moves, the second
  // moves only without extended records.
  const Bytes bytes = cat({{0xC8, 0x05, 0x03}, {0xC8, 0x05, 0x03}, kEnd});
  for (const int variant : {kPlain, kExtended}) {
    MemoryInputBytestream stream(bytes);
    StitchDecoderOptions o = barudanOptions(variant);
    BarudanStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    decoder.setExtendedVariant(variant);
    decoder.setStopTable(stopTable(StitchCode::Stop), {});
    Points stops;
    for (const HStitch& s : runDecoder(decoder).stitches)
      if (s.isStop()) stops.emplace_back(s.xval(), s.yval());
    EXPECT_EQ(stops, variant == kPlain ? (Points{{3, 5}, {6, 10}}) : (Points{{3, 5}, {3, 5}}));
  }
}

TEST(BarudanDecoderExtension, ExtensionRecordNamesNeedlesTenToNineteen) {
  // First byte of the extension record and the needle (colour) it names; commands outside 8
  // to 17 name needle 10.
  const std::pair<unsigned char, int> rows[] = {
      {0xE8, 9},  {0xE9, 10}, {0xEA, 11}, {0xEB, 12}, {0xEC, 13}, {0xED, 14}, {0xEE, 15},
      {0xEF, 16}, {0xF0, 17}, {0xF1, 18}, {0x88, 9},  {0x8F, 16}, {0x90, 17}, {0xB1, 18},
      {0x80, 9},  {0xE1, 9},  {0xC7, 9},  {0xF2, 9},  {0xF8, 9},  {0xFF, 9},
  };
  for (const auto& [c, colour] : rows) {
    const Decoded d = decodeBarudan(cat({{0x92, 0x00, 0x00}, {c, 0x00, 0x00}, kEnd}));
    ASSERT_EQ(d.codes(), (Codes{StitchCode::ChangeNeedle, StitchCode::DesignEnd})) << int{c};
    EXPECT_EQ(d.colours()[0], colour) << int{c};
  }
  // The move is that of the needle change record.
  const Bytes moving = cat({{0x92, 0x05, 0x03}, {0xE9, 0x7F, 0x7F}, kEnd});
  EXPECT_EQ(decodeBarudan(moving, kPlain).points()[0], std::make_pair(3, -5));
  EXPECT_EQ(decodeBarudan(moving, kExtended).points()[0], std::make_pair(0, 0));
}

TEST(BarudanDecoderAlignment, JunkBrokenAndTruncatedData) {
  for (const Bytes& junk :
       {Bytes{}, Bytes{0x00}, Bytes{0x7F, 0x05, 0x03}, Bytes{0x01, 0x40, 0x20}}) {
    const Decoded d = decodeBarudan(cat({junk, {0x80, 0x05, 0x03}, {0xC0, 0x01, 0x01}, kEnd}));
    EXPECT_EQ(d.points(), (Points{{3, -5}, {4, -4}, {4, -4}})) << junk.size();
  }
  // A malformed first record is malformed; a later one, or a broken or missing extension
  // record, ends the data.
  for (const Bytes& first :
       {Bytes{0x80, 0x85, 0x03}, Bytes{0x80, 0x05, 0x83}, Bytes{0x00, 0xC0, 0xFF, 0x00}})
    EXPECT_EQ(decodeBarudan(cat({first, {0xC0, 0x01, 0x01}, kEnd})).result, kDecodeMalformed);
  const std::pair<Bytes, Codes> rows[] = {
      {{0x80, 0x00, 0x0A, 0x80, 0x85, 0x03, 0xC0, 0x01, 0x01}, {0}},
      {{0x81, 0x00, 0x0A, 0x80, 0x05, 0x83, 0xC0, 0x01, 0x01}, {1}},
      {{0x80, 0x00, 0x0A, 0x00, 0x00, 0x00}, {0}},
      {{0x81, 0x00, 0x0A, 0x7F, 0x00, 0x00}, {1}},
      {{0xC0, 0x01, 0x01, 0x92, 0x00, 0x00}, {0}},
      {{0xC0, 0x01, 0x01, 0x92, 0x00, 0x00, 0xE9, 0x00}, {0}},
      {{0xC0, 0x01, 0x01, 0x92, 0x00, 0x00, 0x69, 0x00, 0x00}, {0}},
      {{0xC0, 0x01, 0x01, 0x92, 0x00, 0x00, 0xE9, 0x80, 0x00}, {0}},
      {{0xC0, 0x01, 0x01, 0x92, 0x00, 0x00, 0xE9, 0x00, 0x80}, {0}},
      {{0x00, 0x10, 0x7F}, {}},
      {{0x80, 0x05}, {}},
      {{0x80, 0x05, 0x03, 0x80, 0x05}, {0}},
      {{0x80, 0x05, 0x03, 0xC0, 0x01, 0x01}, {0, 0}},
  };
  for (const auto& [bytes, codes] : rows) {
    const Decoded d = decodeBarudan(bytes);
    EXPECT_EQ(d.codes(), codes) << testing::PrintToString(bytes);
    EXPECT_EQ(d.result, kDecodeEnd);
    EXPECT_EQ(d.endResult, kDecodeOk);
  }
}

TEST(BarudanDecoderChangeover, BlankJumpAfterAJumpInChangeoverModeIsSkippedWhenFiltering) {
  // The stop table turns the first stop into a change over, which switches change-over mode
  // on; the jump away is then followed by a blank jump.
  const Bytes bytes =
      cat({{0xE8, 0x00, 0x00}, {0xE1, 0x05, 0x05}, {0xE1, 0x00, 0x00}, {0xE0, 0x01, 0x01}, kEnd});
  for (const int filtering : {0, 1}) {
    for (const bool changeover : {false, true}) {
      MemoryInputBytestream stream(bytes);
      StitchDecoderOptions o = barudanOptions(kExtended);
      o.setFilterChangeoverBlankJumps(filtering);
      o.setPreserveJumps(1);
      BarudanStitchDecoder decoder(o);
      decoder.setBytestream(stream);
      if (changeover) decoder.setStopTable(stopTable(StitchCode::ChangeOver), {});
      const Decoded d = runDecoder(decoder);
      const int first = changeover ? StitchCode::ChangeOver : StitchCode::Stop;
      EXPECT_EQ(d.codes(),
                filtering && changeover ? (Codes{first, 1, 0, 7}) : (Codes{first, 1, 1, 0, 7}))
          << filtering << changeover;
      EXPECT_EQ(d.points().back(), std::make_pair(-6, 6));
    }
  }
}

}  // namespace
}  // namespace stitchkit
