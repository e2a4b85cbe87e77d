#include "stitchkit/decode/barudan_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "stitchkit/decode/barudan_records.h"
#include "stitchkit/model/stop_info.h"
#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)

using Points = std::vector<std::pair<int, int>>;

// Reads records straight from the format decoder, below the soft-stitch rules.
class RecordReader : public BarudanStitchDecoder {
 public:
  using BarudanStitchDecoder::BarudanStitchDecoder;
  int readRecord(HStitch& s) { return vGetHardStitch(s); }
};

constexpr int kPlain = 0;     // extendedVariant as the filter leaves it for .DSB (format 1)
constexpr int kExtended = 1;  // and for the other Barudan formats

StitchDecoderOptions barudanOptions(int extendedVariant) {
  StitchDecoderOptions o;
  setDefaultDecoderOptions(o);
  o.setFileFormat(extendedVariant ? kFormatDsbVariant16 : kFormatDsb);
  return o;
}

Decoded decodeBarudan(const Bytes& bytes, int extendedVariant, StitchOptions& o,
                      HCoord<short> start = {0, 0}, int needle = 1) {
  MemoryInputBytestream stream(bytes);
  BarudanStitchDecoder decoder(o);
  decoder.setBytestream(stream);
  decoder.setExtendedVariant(extendedVariant);
  return runDecoder(decoder, start, needle);
}

Decoded decodeBarudan(const Bytes& bytes, int extendedVariant = kExtended) {
  StitchDecoderOptions o = barudanOptions(extendedVariant);
  return decodeBarudan(bytes, extendedVariant, o);
}

const Bytes kEnd = {0xF8, 0x00, 0x00};

// --- Record kinds -------------------------------------------------------------------------

TEST(BarudanDecoderRecords, EveryCommandDecodesToItsCodeColourAndMove) {
  // Each record moves x +3 and y +5 when its move is applied. Colour -1: the needle in use.
  struct Row {
    unsigned char b0;
    int code;
    int colour;
    bool movesPlain;
    bool movesExtended;
  };
  constexpr int N = StitchCode::ChangeNeedle;
  constexpr int S = StitchCode::Stop;
  const Row rows[] = {
      {0xC0, StitchCode::Normal, -1, true, true},
      {0xC1, StitchCode::Jump, -1, true, true},
      {0xC2, StitchCode::SlowDown, -1, true, false},
      {0xC3, StitchCode::SlowDown, -1, true, false},
      {0xC4, StitchCode::SpeedUp, -1, true, false},
      {0xC5, StitchCode::SpeedUp, -1, true, false},
      {0xC6, StitchCode::UpperTrim, -1, true, true},
      {0xC7, StitchCode::Trim, -1, true, true},
      {0xC8, S, -1, true, false},
      {0xC9, N, 0, true, false},
      {0xCA, N, 1, true, false},
      {0xCB, N, 2, true, false},
      {0xCC, N, 3, true, false},
      {0xCD, N, 4, true, false},
      {0xCE, N, 5, true, false},
      {0xCF, N, 6, true, false},
      {0xD0, N, 7, true, false},
      {0xD1, N, 8, true, false},
      {0xD2, N, 9, true, false},  // followed by the extension record E8 00 00
      {0xD3, S, -1, true, false},
      {0xD4, S, -1, true, false},
      {0xD5, S, -1, true, false},
      {0xD6, S, -1, true, false},
      {0xD7, StitchCode::FrameOut, -1, true, false},
      {0xD8, StitchCode::DesignEnd, -1, false, false},
      {0xD9, S, -1, true, false},
      {0xDA, S, -1, true, false},
      {0xDB, S, -1, true, false},
      {0xDC, StitchCode::BorerIn, -1, true, false},
      {0xDD, S, -1, true, false},
      {0xDE, StitchCode::BorerOut, -1, true, false},
      {0xDF, S, -1, true, false},
  };
  static_assert(std::size(rows) == barudan::kCommandCount);
  for (const Row& row : rows) {
    for (const int variant : {kPlain, kExtended}) {
      SCOPED_TRACE(testing::Message() << std::hex << int{row.b0} << " variant " << variant);
      Bytes bytes = {row.b0, 0x05, 0x03};
      if (row.b0 == 0xD2) bytes = cat({bytes, {0xE8, 0x00, 0x00}});
      MemoryInputBytestream stream(bytes);
      StitchDecoderOptions o = barudanOptions(variant);
      RecordReader reader(o);
      reader.setBytestream(stream);
      reader.setExtendedVariant(variant);
      ASSERT_EQ(reader.beginDesign({100, -100}, 4), kDecodeOk);
      HStitch s;
      ASSERT_EQ(reader.readRecord(s), kDecodeOk);
      EXPECT_EQ(s.getFlags(), row.code);
      EXPECT_EQ(s.getColor(), row.colour < 0 ? 3 : row.colour);
      const bool moves = variant == kPlain ? row.movesPlain : row.movesExtended;
      EXPECT_EQ(s.getPoint(), (moves ? HCoord<short>{103, -95} : HCoord<short>{100, -100}));
      EXPECT_EQ(reader.readRecord(s), kDecodeEnd);
    }
  }
}

TEST(BarudanDecoderRecords, SignBitsGiveTheDirectionOfEachAxis) {
  struct Row {
    Bytes record;
    int dx;
    int dy;
  };
  const Row rows[] = {
      {{0x80, 0x05, 0x03}, 3, -5}, {{0xE0, 0x05, 0x03}, -3, 5},     {{0xA0, 0x05, 0x03}, -3, -5},
      {{0xC0, 0x05, 0x03}, 3, 5},  {{0xE0, 0x7F, 0x7F}, -127, 127}, {{0x80, 0x7F, 0x7F}, 127, -127},
      {{0xE0, 0x00, 0x00}, 0, 0},  {{0x81, 0x00, 0x40}, 64, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << int{row.record[0]} << " " << int{row.record[1]}
                                    << " " << int{row.record[2]});
    const Decoded d = decodeBarudan(cat({row.record, kEnd}));
    ASSERT_EQ(d.stitches.size(), 2u);
    EXPECT_EQ(d.points()[0], std::make_pair(row.dx, row.dy));
    EXPECT_EQ(d.codes()[1], StitchCode::DesignEnd);
  }
}

TEST(BarudanDecoderRecords, NeedleChangeRecordSelectsItsNeedle) {
  // 8B 00 00: needle 3.
  const Decoded d = decodeBarudan(cat({{0x80, 0x00, 0x02}, {0x8B, 0x00, 0x00}, kEnd}));
  EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Normal, StitchCode::ChangeNeedle,
                                         StitchCode::DesignEnd}));
  EXPECT_EQ(d.colours()[1], 2);
  EXPECT_EQ(d.result, kDecodeEnd);
  EXPECT_EQ(d.endResult, kDecodeOk);
}

TEST(BarudanDecoderRecords, SpeedUpMovesOnlyWithoutExtendedRecords) {
  const Bytes bytes = cat({{0xE4, 0x04, 0x00}, {0xC0, 0x00, 0x01}, kEnd});
  Decoded d = decodeBarudan(bytes, kPlain);
  EXPECT_EQ(d.codes()[0], StitchCode::SpeedUp);
  EXPECT_EQ(d.points(), (Points{{0, 4}, {1, 4}, {1, 4}}));
  d = decodeBarudan(bytes, kExtended);
  EXPECT_EQ(d.codes()[0], StitchCode::SpeedUp);
  EXPECT_EQ(d.points(), (Points{{0, 0}, {1, 0}, {1, 0}}));
}

TEST(BarudanDecoderRecords, StopMovesInEveryFormatWhileTheStopTableHasAnEntry) {
  // Two stops and a stop-table entry for the first only: the first stop moves, the second
  // moves only without extended records.
  const Bytes bytes = cat({{0xC8, 0x05, 0x03}, {0xC8, 0x05, 0x03}, kEnd});
  HXArray<StopInfo> stops;
  StopInfo entry;
  entry.commandCode = StitchCode::Stop;
  stops.add(entry);
  for (const int variant : {kPlain, kExtended}) {
    SCOPED_TRACE(testing::Message() << "variant " << variant);
    MemoryInputBytestream stream(bytes);
    StitchDecoderOptions o = barudanOptions(variant);
    RecordReader reader(o);
    reader.setBytestream(stream);
    reader.setExtendedVariant(variant);
    reader.setStopTable(stops, {});
    ASSERT_EQ(reader.beginDesign({0, 0}, 1), kDecodeOk);
    const Decoded d = drainDecoder(reader);
    std::vector<std::pair<int, int>> stopPoints;
    for (const HStitch& s : d.stitches) {
      if (s.isStop()) stopPoints.emplace_back(s.xval(), s.yval());
    }
    EXPECT_EQ(stopPoints, variant == kPlain ? (Points{{3, 5}, {6, 10}}) : (Points{{3, 5}, {3, 5}}));
  }
}

// --- Extension records --------------------------------------------------------------------

TEST(BarudanDecoderExtension, ExtensionRecordNamesNeedlesTenToNineteen) {
  struct Row {
    unsigned char c;  // first byte of the extension record
    int colour;
  };
  const Row rows[] = {
      {0xE8, 9},
      {0xE9, 10},
      {0xEA, 11},
      {0xEB, 12},
      {0xEC, 13},
      {0xED, 14},
      {0xEE, 15},
      {0xEF, 16},
      {0xF0, 17},
      {0xF1, 18},
      {0x88, 9},
      {0x8F, 16},
      {0x90, 17},
      {0xB1, 18},
      // Commands outside 8 to 17 name needle 10.
      {0x80, 9},
      {0xE1, 9},
      {0xC7, 9},
      {0xF2, 9},
      {0xF8, 9},
      {0xFF, 9},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << int{row.c});
    const Decoded d = decodeBarudan(cat({{0x92, 0x00, 0x00}, {row.c, 0x00, 0x00}, kEnd}));
    ASSERT_EQ(d.codes(), (std::vector<int>{StitchCode::ChangeNeedle, StitchCode::DesignEnd}));
    EXPECT_EQ(d.colours()[0], row.colour);
  }
}

TEST(BarudanDecoderExtension, MoveIsThatOfTheNeedleChangeRecord) {
  const Bytes bytes = cat({{0x92, 0x05, 0x03}, {0xE9, 0x7F, 0x7F}, kEnd});
  Decoded d = decodeBarudan(bytes, kPlain);
  ASSERT_EQ(d.codes(), (std::vector<int>{StitchCode::ChangeNeedle, StitchCode::DesignEnd}));
  EXPECT_EQ(d.colours()[0], 10);
  EXPECT_EQ(d.points()[0], std::make_pair(3, -5));
  d = decodeBarudan(bytes, kExtended);
  EXPECT_EQ(d.points()[0], std::make_pair(0, 0));
}

TEST(BarudanDecoderExtension, BrokenOrMissingExtensionRecordEndsTheData) {
  const std::vector<Bytes> tails = {
      {}, {0xE9}, {0xE9, 0x00}, {0x69, 0x00, 0x00}, {0xE9, 0x80, 0x00}, {0xE9, 0x00, 0x80}};
  for (const Bytes& tail : tails) {
    SCOPED_TRACE(testing::Message() << tail.size() << " bytes of extension");
    const Decoded d = decodeBarudan(cat({{0xC0, 0x01, 0x01}, {0x92, 0x00, 0x00}, tail}));
    EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Normal}));
    EXPECT_EQ(d.result, kDecodeEnd);
    EXPECT_EQ(d.endResult, kDecodeOk);
  }
}

// --- Alignment and broken data ------------------------------------------------------------

TEST(BarudanDecoderAlignment, LeadingBytesWithoutBit7AreSkipped) {
  const std::vector<Bytes> junks = {{}, {0x00}, {0x7F, 0x05, 0x03}, {0x01, 0x40, 0x20, 0x7E}};
  for (const Bytes& junk : junks) {
    SCOPED_TRACE(testing::Message() << junk.size() << " leading bytes");
    const Decoded d = decodeBarudan(cat({junk, {0x80, 0x05, 0x03}, {0xC0, 0x01, 0x01}, kEnd}));
    EXPECT_EQ(d.codes(), (std::vector<int>{0, 0, 7}));
    EXPECT_EQ(d.points(), (Points{{3, -5}, {4, -4}, {4, -4}}));
  }
}

TEST(BarudanDecoderAlignment, MalformedFirstRecordIsMalformedAndStaysSo) {
  const std::vector<Bytes> bad = {{0x80, 0x85, 0x03}, {0x80, 0x05, 0x83}, {0x00, 0xC0, 0xFF, 0x00}};
  for (const Bytes& first : bad) {
    SCOPED_TRACE(testing::Message() << std::hex << int{first[0]} << " " << int{first[1]});
    const Bytes bytes = cat({first, {0xC0, 0x01, 0x01}, kEnd});
    MemoryInputBytestream stream(bytes);
    StitchDecoderOptions o = barudanOptions(kExtended);
    BarudanStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
    HStitch s;
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(decoder.decodeStitch(s), kDecodeMalformed);
  }
}

TEST(BarudanDecoderAlignment, MalformedLaterRecordEndsTheData) {
  const std::vector<Bytes> bad = {
      {0x80, 0x85, 0x03}, {0x80, 0x05, 0x83}, {0x00, 0x00, 0x00}, {0x7F, 0x00, 0x00}};
  for (const Bytes& broken : bad) {
    for (const unsigned char firstB0 : {0x80, 0x81}) {  // a stitch, or a jump read ahead
      SCOPED_TRACE(testing::Message() << std::hex << int{broken[0]} << " " << int{broken[1]} << " "
                                      << int{broken[2]} << " after " << int{firstB0});
      const Decoded d =
          decodeBarudan(cat({{firstB0, 0x00, 0x0A}, broken, {0xC0, 0x01, 0x01}, kEnd}));
      ASSERT_EQ(d.stitches.size(), 1u);
      EXPECT_EQ(d.points()[0], std::make_pair(10, 0));
      EXPECT_EQ(d.result, kDecodeEnd);
      EXPECT_EQ(d.endResult, kDecodeOk);
    }
  }
}

TEST(BarudanDecoderAlignment, TruncatedDataIsTheEndOfData) {
  struct Row {
    Bytes bytes;
    std::vector<int> codes;
  };
  const Row rows[] = {
      {{}, {}},
      {{0x00, 0x10, 0x7F}, {}},
      {{0x80}, {}},
      {{0x80, 0x05}, {}},
      {{0x80, 0x05, 0x03, 0x80}, {StitchCode::Normal}},
      {{0x80, 0x05, 0x03, 0x80, 0x05}, {StitchCode::Normal}},
      // No end record.
      {{0x80, 0x05, 0x03, 0xC0, 0x01, 0x01}, {StitchCode::Normal, StitchCode::Normal}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.bytes.size() << " bytes");
    const Decoded d = decodeBarudan(row.bytes);
    EXPECT_EQ(d.codes(), row.codes);
    EXPECT_EQ(d.result, kDecodeEnd);
    EXPECT_EQ(d.endResult, kDecodeOk);
  }
}

TEST(BarudanDecoderAlignment, ReadFailureIsAFailureWhereverItHappens) {
  // The stream fails after the given bytes: while aligning, inside the first record, inside a
  // later record and in the extension record.
  const std::vector<Bytes> prefixes = {{},
                                       {0x00, 0x01},
                                       {0x80},
                                       {0x80, 0x05},
                                       {0x80, 0x05, 0x03, 0xC0},
                                       {0x80, 0x05, 0x03, 0x92, 0x00, 0x00, 0xE9}};
  for (const Bytes& prefix : prefixes) {
    SCOPED_TRACE(testing::Message() << prefix.size() << " bytes before the failure");
    ScriptedStream stream(prefix, {kStreamFailure});
    StitchDecoderOptions o = barudanOptions(kExtended);
    BarudanStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
    const Decoded d = drainDecoder(decoder);
    EXPECT_EQ(d.result, kDecodeFailure);
    EXPECT_LE(d.stitches.size(), 1u);
  }
}

TEST(BarudanDecoderAlignment, NoStreamAttachedIsAFailure) {
  StitchDecoderOptions o = barudanOptions(kExtended);
  BarudanStitchDecoder decoder(o);
  ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
  HStitch s;
  EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
  EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
}

TEST(BarudanDecoderAlignment, NewDesignAlignsAgain) {
  StitchDecoderOptions o = barudanOptions(kExtended);
  BarudanStitchDecoder decoder(o);
  for (int design = 0; design < 2; ++design) {
    SCOPED_TRACE(testing::Message() << "design " << design);
    const Bytes bytes = cat({{0x05, 0x03}, {0x80, 0x05, 0x03}, kEnd});
    MemoryInputBytestream stream(bytes);
    decoder.setBytestream(stream);
    const Decoded d = runDecoder(decoder);
    EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Normal, StitchCode::DesignEnd}));
    EXPECT_EQ(d.points()[0], std::make_pair(3, -5));
  }
}

// --- Change-over blank jumps --------------------------------------------------------------

TEST(BarudanDecoderChangeover, BlankJumpAfterAJumpInChangeoverModeIsSkippedWhenFiltering) {
  // The stop table turns the first stop into a change over, which switches change-over mode
  // on; the jump away is then followed by a blank jump.
  HXArray<StopInfo> stops;
  StopInfo entry;
  entry.commandCode = StitchCode::ChangeOver;
  stops.add(entry);
  const Bytes bytes =
      cat({{0xE8, 0x00, 0x00}, {0xE1, 0x05, 0x05}, {0xE1, 0x00, 0x00}, {0xE0, 0x01, 0x01}, kEnd});
  for (const int filtering : {0, 1}) {
    SCOPED_TRACE(testing::Message() << "filtering " << filtering);
    MemoryInputBytestream stream(bytes);
    StitchDecoderOptions o = barudanOptions(kExtended);
    o.setFilterChangeoverBlankJumps(filtering);
    BarudanStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    decoder.setStopTable(stops, {});
    ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
    const Decoded d = drainDecoder(decoder);
    const std::vector<int> expected =
        filtering ? std::vector<int>{StitchCode::ChangeOver, StitchCode::Jump, StitchCode::Normal,
                                     StitchCode::DesignEnd}
                  : std::vector<int>{StitchCode::ChangeOver, StitchCode::Jump, StitchCode::Jump,
                                     StitchCode::Normal, StitchCode::DesignEnd};
    EXPECT_EQ(d.codes(), expected);
    EXPECT_EQ(d.points().back(), std::make_pair(-6, 6));
  }
}

TEST(BarudanDecoderChangeover, BlankJumpsOutsideChangeoverModeAreKept) {
  StitchDecoderOptions o = barudanOptions(kExtended);
  o.setFilterChangeoverBlankJumps(1);
  o.setPreserveJumps(1);
  const Decoded d = decodeBarudan(
      cat({{0xE1, 0x05, 0x05}, {0xE1, 0x00, 0x00}, {0xE0, 0x01, 0x01}, kEnd}), kExtended, o);
  EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Jump, StitchCode::Jump, StitchCode::Normal,
                                         StitchCode::DesignEnd}));
}

// --- Factory ------------------------------------------------------------------------------

TEST(BarudanDecoderFactory, CreatesABarudanDecoder) {
  StitchDecoderOptions o = barudanOptions(kExtended);
  BarudanStitchDecoderFactory factory;
  std::unique_ptr<StitchDecoder> decoder(factory.createDecoder(o));
  auto* barudan = dynamic_cast<BarudanStitchDecoder*>(decoder.get());
  ASSERT_NE(barudan, nullptr);
  const Bytes bytes = cat({{0x80, 0x05, 0x03}, kEnd});
  MemoryInputBytestream stream(bytes);
  barudan->setBytestream(stream);
  const Decoded d = runDecoder(*decoder);
  EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Normal, StitchCode::DesignEnd}));
}

// --- Real files ---------------------------------------------------------------------------

std::vector<std::filesystem::path> sampleFiles() {
  std::vector<std::filesystem::path> out;
  const std::filesystem::path dir = STITCHKIT_SAMPLES_DIR "/dsb";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.is_regular_file()) out.push_back(entry.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(BarudanDecoderSamples, EveryDsbFileDecodesToItsEndRecord) {
  const std::vector<std::filesystem::path> files = sampleFiles();
  if (files.empty()) GTEST_SKIP() << "no sample files";
  for (const std::filesystem::path& path : files) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(file.size(), static_cast<std::size_t>(barudan::kDsbHeaderSize));
    const Bytes records(file.begin() + barudan::kDsbHeaderSize, file.end());

    // Every record up to the end record is well formed.
    MemoryInputBytestream stream(records);
    StitchDecoderOptions o = barudanOptions(kPlain);
    RecordReader reader(o);
    reader.setBytestream(stream);
    reader.setExtendedVariant(kPlain);
    ASSERT_EQ(reader.beginDesign({0, 0}, 1), kDecodeOk);
    int count = 0;
    HStitch s;
    while (reader.readRecord(s) == kDecodeOk && !s.isEndRewind())
      ++count;
    EXPECT_TRUE(s.isEndRewind());
    EXPECT_GT(count, 10);

    const Decoded d = decodeBarudan(records, kPlain);
    EXPECT_EQ(d.result, kDecodeEnd);
    EXPECT_EQ(d.endResult, kDecodeOk);
    ASSERT_FALSE(d.stitches.empty());
    EXPECT_TRUE(d.stitches.back().isEndRewind());
    EXPECT_GT(d.stats.stitchCount, 0);
  }
}

}  // namespace
}  // namespace stitchkit
