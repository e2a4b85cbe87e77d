#include "stitchkit/decode/zangs_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "stitchkit/decode/zangs_records.h"
#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)

// Reads hard records straight from the format decoder, below the soft-stitch rules. Each
// record is taken relative to the one before, as the framework does.
class RecordReader : public ZangsStitchDecoder {
 public:
  using ZangsStitchDecoder::ZangsStitchDecoder;
  int readRecord(HStitch& s) { return getNextHardStitch(s); }
};

struct HardRecord {
  int code;
  int x;
  int y;
  int colour;

  bool operator==(const HardRecord&) const = default;
};

void PrintTo(const HardRecord& r, std::ostream* os) {
  *os << "{code " << r.code << " at (" << r.x << "," << r.y << ") colour " << r.colour << "}";
}

struct HardRun {
  std::vector<HardRecord> records;
  int result = -1;
};

// Reads every hard record of `bytes` until a read returns non-zero.
HardRun readHard(const Bytes& bytes, HCoord<short> start = {0, 0}, int needle = 1) {
  StitchDecoderOptions o;
  setDefaultDecoderOptions(o);
  o.setFileFormat(kFormatDsz);
  MemoryInputBytestream stream(bytes);
  RecordReader reader(o);
  reader.setBytestream(stream);
  reader.setExtendedVariant(0);
  EXPECT_EQ(reader.beginDesign(start, needle), kDecodeOk);
  HardRun run;
  for (int guard = 0; guard < (1 << 20); ++guard) {
    HStitch s;
    const int r = reader.readRecord(s);
    if (r != kDecodeOk) {
      run.result = r;
      break;
    }
    run.records.push_back({s.getFlags(), s.xval(), s.yval(), s.getColor()});
  }
  return run;
}

StitchDecoderOptions dszOptions() {
  StitchDecoderOptions o;
  setDefaultDecoderOptions(o);
  o.setFileFormat(kFormatDsz);
  return o;
}

// Runs the whole decoder (soft stitches) over `bytes`.
Decoded decodeDsz(const Bytes& bytes, HCoord<short> start = {0, 0}, int needle = 1) {
  StitchDecoderOptions o = dszOptions();
  MemoryInputBytestream stream(bytes);
  ZangsStitchDecoder decoder(o);
  decoder.setBytestream(stream);
  decoder.setExtendedVariant(0);
  return runDecoder(decoder, start, needle);
}

const Bytes kEnd = {0x00, 0x00, 0x90};

// --- The record layout --------------------------------------------------------------------

TEST(ZangsRecordLayout, WellFormedNeedsTopBitOnlyInTheThirdByte) {
  struct Row {
    unsigned char b0, b1, b2;
    bool wellFormed;
  };
  const Row rows[] = {
      {0x00, 0x00, 0x80, true},  {0x7F, 0x7F, 0xFF, true},  {0x05, 0x03, 0xE0, true},
      {0x00, 0x00, 0x00, false}, {0x00, 0x00, 0x7F, false}, {0x80, 0x00, 0x80, false},
      {0x00, 0x80, 0x80, false}, {0xFF, 0xFF, 0xFF, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(zangs::isWellFormed(r.b0, r.b1, r.b2), r.wellFormed)
        << std::hex << int{r.b0} << " " << int{r.b1} << " " << int{r.b2};
  }
}

// --- Moves --------------------------------------------------------------------------------

TEST(ZangsDecoderMoves, DirectionBitsSignEachAxis) {
  struct Row {
    Bytes bytes;
    int dx;
    int dy;
  };
  const Row rows[] = {
      {{0x05, 0x03, 0x80}, 3, -5},     {{0x05, 0x03, 0xE0}, -3, 5},
      {{0x05, 0x03, 0xC0}, -3, -5},    {{0x05, 0x03, 0xA0}, 3, 5},
      {{0x7F, 0x7F, 0x80}, 127, -127}, {{0x7F, 0x7F, 0xE0}, -127, 127},
      {{0x00, 0x00, 0xE0}, 0, 0},      {{0x00, 0x01, 0x81}, 1, 0},
      {{0x01, 0x00, 0xA1}, 0, 1},      {{0x40, 0x40, 0xC1}, -64, -64},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << int{r.bytes[0]} << " " << int{r.bytes[1]} << " "
                                    << int{r.bytes[2]});
    // A first record so that the one under test moves from a point that is not the start.
    const HardRun run = readHard(cat({{0x02, 0x01, 0x80}, r.bytes}), {100, 200});
    ASSERT_EQ(run.records.size(), 2u);
    EXPECT_EQ(run.records[0].x, 101);
    EXPECT_EQ(run.records[0].y, 198);
    EXPECT_EQ(run.records[1].x, 101 + r.dx);
    EXPECT_EQ(run.records[1].y, 198 + r.dy);
    EXPECT_EQ(run.result, kDecodeEnd);
  }
}

// --- Record kinds -------------------------------------------------------------------------

TEST(ZangsDecoderRecords, EveryCommandDecodesToItsCodeAndMoves) {
  // Each command with a move of (-3, +5), read on needle 4 outside sequin mode. The needle
  // changes 18 and 19 are followed by a jump, which is not an extension.
  struct Row {
    int command;
    int code;
    int colour;
  };
  const Row rows[] = {
      {0, StitchCode::Normal, 3},        {1, StitchCode::Jump, 3},
      {2, StitchCode::Stop, 3},          {3, StitchCode::Stop, 3},
      {4, StitchCode::ChangeNeedle, 0},  {5, StitchCode::ChangeNeedle, 0},
      {6, StitchCode::ChangeNeedle, 1},  {7, StitchCode::ChangeNeedle, 1},
      {8, StitchCode::ChangeNeedle, 2},  {9, StitchCode::ChangeNeedle, 2},
      {10, StitchCode::ChangeNeedle, 3}, {11, StitchCode::ChangeNeedle, 3},
      {12, StitchCode::ChangeNeedle, 4}, {13, StitchCode::ChangeNeedle, 4},
      {14, StitchCode::ChangeNeedle, 5}, {15, StitchCode::ChangeNeedle, 5},
      {16, StitchCode::DesignEnd, 3},    {17, StitchCode::DesignEnd, 3},
      {18, StitchCode::ChangeNeedle, 6}, {19, StitchCode::ChangeNeedle, 6},
      {20, StitchCode::SequinStart, 3},  {21, StitchCode::Stop, 3},
      {22, StitchCode::UpperTrim, 3},    {23, StitchCode::UpperTrim, 3},
      {24, StitchCode::Stop, 3},         {25, StitchCode::Stop, 3},
      {26, StitchCode::Trim, 3},         {27, StitchCode::Trim, 3},
      {28, StitchCode::BorerIn, 3},      {29, StitchCode::BorerIn, 3},
      {30, StitchCode::BorerOut, 3},     {31, StitchCode::BorerOut, 3},
  };
  ASSERT_EQ(std::size(rows), 32u);
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "command " << r.command);
    const Bytes record = {0x05, 0x03, static_cast<unsigned char>(0xC0 | 0x20 | r.command)};
    const HardRun run = readHard(cat({record, {0x00, 0x01, 0x81}}), {10, 10}, 4);
    ASSERT_EQ(run.records.size(), 2u);
    EXPECT_EQ(run.records[0], (HardRecord{r.code, 7, 15, r.colour}));
    EXPECT_EQ(run.records[1], (HardRecord{StitchCode::Jump, 8, 15, 3}));
  }
}

TEST(ZangsDecoderRecords, GoldenRecordsOfEachKind) {
  struct Row {
    const char* what;
    Bytes bytes;
    std::vector<HardRecord> records;
  };
  const Row rows[] = {
      {"05 03 80 is a normal stitch", {0x05, 0x03, 0x80}, {{0, 3, -5, 0}}},
      {"05 03 E0 moves the other way", {0x05, 0x03, 0xE0}, {{0, -3, 5, 0}}},
      {"00 00 88 changes to needle 3", {0x00, 0x00, 0x88}, {{2, 0, 0, 2}}},
      {"00 00 91 is the end", {0x00, 0x00, 0x91}, {{7, 0, 0, 0}}},
      {"92 8A is one needle change to needle 11",
       {0x00, 0x00, 0x92, 0x00, 0x00, 0x8A},
       {{2, 0, 0, 10}}},
      {"92 81 is needle 7, then the jump",
       {0x00, 0x00, 0x92, 0x00, 0x00, 0x81},
       {{2, 0, 0, 6}, {1, 0, 0, 0}}},
      {"the jump after needle 7 keeps its own move",
       {0x01, 0x02, 0x92, 0x03, 0x04, 0xE1},
       {{2, 2, -1, 6}, {1, -2, 2, 0}}},
      {"an extension's move adds to the first record's",
       {0x01, 0x02, 0x92, 0x03, 0x04, 0xE5},
       {{2, -2, 2, 7}}},
      {"92 92 is needle 14", {0x00, 0x00, 0x92, 0x00, 0x00, 0x92}, {{2, 0, 0, 13}}},
      {"93 93 is needle 14", {0x00, 0x00, 0x93, 0x00, 0x00, 0x93}, {{2, 0, 0, 13}}},
      {"an extension that is an end is not consumed",
       {0x00, 0x00, 0x93, 0x00, 0x00, 0x90},
       {{2, 0, 0, 6}, {7, 0, 0, 0}}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const HardRun run = readHard(r.bytes);
    EXPECT_EQ(run.records, r.records);
    EXPECT_EQ(run.result, kDecodeEnd);
  }
}

TEST(ZangsDecoderRecords, EveryExtensionNeedleAddsFive) {
  // Needles 8 to 13 through an extension needle change (commands 4 to 15), after either
  // extended command 18 or 19.
  for (const unsigned char first : {0x92, 0x93}) {
    for (int command = 4; command <= 15; ++command) {
      SCOPED_TRACE(testing::Message() << "first " << int{first} << " command " << command);
      const Bytes bytes = {0x00, 0x00, first,
                           0x00, 0x00, static_cast<unsigned char>(0x80 | command)};
      const HardRun run = readHard(bytes);
      ASSERT_EQ(run.records.size(), 1u);
      EXPECT_EQ(run.records[0].code, StitchCode::ChangeNeedle);
      EXPECT_EQ(run.records[0].colour, command / 2 + 5);
      EXPECT_EQ(run.result, kDecodeEnd);
    }
  }
}

TEST(ZangsDecoderRecords, FailedExtensionReadLeavesNeedleSevenAndReportsTheFailureNext) {
  struct Row {
    const char* what;
    Bytes tail;
    int result;
  };
  const Row rows[] = {
      {"no further data", {}, kDecodeEnd},
      {"a truncated extension", {0x00, 0x00}, kDecodeEnd},
      {"a malformed extension", {0x85, 0x00, 0x88}, kDecodeMalformed},
      {"an extension without its top bit", {0x00, 0x00, 0x08}, kDecodeMalformed},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const HardRun run = readHard(cat({{0x05, 0x03, 0x80}, {0x00, 0x00, 0x92}, r.tail}));
    EXPECT_EQ(run.records, (std::vector<HardRecord>{{StitchCode::Normal, 3, -5, 0},
                                                    {StitchCode::ChangeNeedle, 3, -5, 6}}));
    EXPECT_EQ(run.result, r.result);
  }
}

TEST(ZangsDecoderRecords, SequinStateSwitchesCommandsTwentyAndThirty) {
  // 20, 20, 30: start, drop, end; then 30 outside sequin mode pulls the borer out and 20
  // starts sequins again; 31 ends them like 30.
  const Bytes bytes = {0x00, 0x01, 0x94, 0x00, 0x01, 0x94, 0x00, 0x01, 0x9E,
                       0x00, 0x01, 0x9E, 0x00, 0x01, 0x94, 0x00, 0x01, 0x9F};
  const HardRun run = readHard(bytes);
  std::vector<int> codes;
  for (const HardRecord& r : run.records)
    codes.push_back(r.code);
  EXPECT_EQ(codes, (std::vector<int>{StitchCode::SequinStart, StitchCode::DropSequin,
                                     StitchCode::SequinEnd, StitchCode::BorerOut,
                                     StitchCode::SequinStart, StitchCode::SequinEnd}));
  EXPECT_EQ(run.records.back().x, 6);
  EXPECT_EQ(run.result, kDecodeEnd);
}

TEST(ZangsDecoderRecords, BeginDesignClearsSequinStateAndAlignment) {
  StitchDecoderOptions o = dszOptions();
  RecordReader reader(o);
  const Bytes first = {0x00, 0x01, 0x94, 0x00, 0x00};  // sequin start, then a partial record
  const Bytes second = {0x01, 0x00, 0x01, 0x94};       // junk, then sequin start again
  for (const Bytes* bytes : {&first, &second}) {
    MemoryInputBytestream stream(*bytes);
    reader.setBytestream(stream);
    ASSERT_EQ(reader.beginDesign({0, 0}, 1), kDecodeOk);
    HStitch s;
    ASSERT_EQ(reader.readRecord(s), kDecodeOk);
    EXPECT_EQ(s.getFlags(), StitchCode::SequinStart);
    EXPECT_EQ(s.xval(), 1);
    EXPECT_EQ(reader.readRecord(s), kDecodeEnd);
  }
}

// --- Alignment, truncation and malformed records -----------------------------------------

TEST(ZangsDecoderAlignment, LeadingBytesWithoutTopBitAreSkipped) {
  struct Row {
    const char* what;
    Bytes bytes;
    std::vector<HardRecord> records;
    int result;
  };
  const Row rows[] = {
      {"empty data", {}, {}, kDecodeEnd},
      {"zero bytes only", {0x00, 0x00, 0x00, 0x00, 0x00}, {}, kDecodeEnd},
      {"a record without its top bit", {0x05, 0x03, 0x00}, {}, kDecodeEnd},
      {"a truncated first record", {0x05, 0x03}, {}, kDecodeEnd},
      {"junk before the first record",
       {0x11, 0x22, 0x33, 0x05, 0x03, 0x80, 0x01, 0x01, 0xA0},
       {{0, 3, -5, 0}, {0, 4, -4, 0}},
       kDecodeEnd},
      {"a record that starts with one byte",
       {0x81, 0x05, 0x03, 0x80},
       {{1, 0, 0, 0}, {0, 3, -5, 0}},
       kDecodeEnd},
      {"a leading byte with its top bit set ends the first record",
       {0x85, 0x03, 0x80},
       {{2, 0, 0, 0}},
       kDecodeEnd},
      {"a truncated record after the first", {0x05, 0x03, 0x80, 0x05}, {{0, 3, -5, 0}}, kDecodeEnd},
      {"a malformed b0 mid-stream",
       {0x05, 0x03, 0x80, 0x85, 0x03, 0x80, 0x05, 0x03, 0x80},
       {{0, 3, -5, 0}},
       kDecodeMalformed},
      {"a malformed b1 mid-stream",
       {0x05, 0x03, 0x80, 0x05, 0x83, 0x80},
       {{0, 3, -5, 0}},
       kDecodeMalformed},
      {"a b2 without top bit mid-stream",
       {0x05, 0x03, 0x80, 0x05, 0x03, 0x00},
       {{0, 3, -5, 0}},
       kDecodeMalformed},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const HardRun run = readHard(r.bytes);
    EXPECT_EQ(run.records, r.records);
    EXPECT_EQ(run.result, r.result);
  }
}

TEST(ZangsDecoderFailures, StreamFailuresAndAMissingStreamReportFailure) {
  StitchDecoderOptions o = dszOptions();
  {
    ZangsStitchDecoder decoder(o);
    HStitch s;
    ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
    EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
  }
  struct Row {
    const char* what;
    Bytes bytes;
    size_t delivered;
  };
  const Row rows[] = {
      {"while aligning", {0x00, 0x01}, 0},
      {"in a record", {0x05, 0x03, 0x80, 0x05}, 1},
      {"in an extension record", {0x05, 0x03, 0x80, 0x00, 0x00, 0x92, 0x00}, 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ScriptedStream stream(r.bytes, {kStreamFailure});
    RecordReader reader(o);
    reader.setBytestream(stream);
    ASSERT_EQ(reader.beginDesign({0, 0}, 1), kDecodeOk);
    HStitch s;
    size_t delivered = 0;
    int result = kDecodeOk;
    while ((result = reader.readRecord(s)) == kDecodeOk && delivered < 10)
      ++delivered;
    EXPECT_EQ(delivered, r.delivered);
    EXPECT_EQ(result, kDecodeFailure);
  }
}

// --- Soft stitches ------------------------------------------------------------------------

TEST(ZangsDecoderDesign, NeedleChangesAndCommandsReachTheCaller) {
  // stitch, needle 11 through an extension, stitch, needle 7 followed by a jump and a stitch,
  // trim, stitch, end.
  const Bytes bytes = cat({{0x05, 0x03, 0x80},
                           {0x00, 0x00, 0x92, 0x00, 0x00, 0x8A},
                           {0x00, 0x02, 0x80},
                           {0x00, 0x00, 0x93, 0x00, 0x00, 0x81},
                           {0x01, 0x01, 0xA0},
                           {0x00, 0x00, 0x9B},
                           {0x00, 0x02, 0xC0},
                           kEnd});
  const Decoded d = decodeDsz(bytes);
  EXPECT_EQ(d.result, kDecodeEnd);
  EXPECT_EQ(d.endResult, kDecodeOk);
  EXPECT_EQ(d.codes(),
            (std::vector<int>{StitchCode::Normal, StitchCode::ChangeNeedle, StitchCode::Normal,
                              StitchCode::ChangeNeedle, StitchCode::Jump, StitchCode::Normal,
                              StitchCode::Trim, StitchCode::Normal, StitchCode::DesignEnd}));
  EXPECT_EQ(d.colours(), (std::vector<int>{0, 10, 10, 6, 6, 6, 6, 6, 6}));
  EXPECT_EQ(d.points(),
            (std::vector<std::pair<int, int>>{
                {3, -5}, {3, -5}, {5, -5}, {5, -5}, {5, -5}, {6, -4}, {6, -4}, {4, -4}, {4, -4}}));
}

TEST(ZangsDecoderDesign, FactoryCreatesAZangsDecoder) {
  StitchDecoderOptions o = dszOptions();
  ZangsStitchDecoderFactory factory;
  std::unique_ptr<StitchDecoder> decoder(factory.createDecoder(o));
  ASSERT_NE(dynamic_cast<ZangsStitchDecoder*>(decoder.get()), nullptr);
  const Bytes bytes = cat({{0x05, 0x03, 0x80}, kEnd});
  MemoryInputBytestream stream(bytes);
  static_cast<ZangsStitchDecoder&>(*decoder).setBytestream(stream);
  const Decoded d = runDecoder(*decoder);
  EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Normal, StitchCode::DesignEnd}));
}

// --- Real files ---------------------------------------------------------------------------

std::vector<std::filesystem::path> sampleFiles() {
  std::vector<std::filesystem::path> out;
  const std::filesystem::path dir = STITCHKIT_SAMPLES_DIR "/dsz";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.is_regular_file()) out.push_back(entry.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ZangsDecoderSamples, EveryFileDecodesToItsEndWithoutMalformedRecords) {
  const std::vector<std::filesystem::path> files = sampleFiles();
  if (files.empty()) GTEST_SKIP() << "no sample files";
  for (const std::filesystem::path& path : files) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), static_cast<size_t>(zangs::kHeaderSize));
    const Bytes records(bytes.begin() + zangs::kHeaderSize, bytes.end());

    // Every record well formed up to the end of the data or the end record.
    const HardRun run = readHard(records);
    EXPECT_EQ(run.result, kDecodeEnd);
    EXPECT_GT(run.records.size(), records.size() / 4);

    const Decoded d = decodeDsz(records);
    EXPECT_EQ(d.result, kDecodeEnd);
    EXPECT_EQ(d.endResult, kDecodeOk);
    EXPECT_GT(d.stats.stitchCount, 0);
  }
}

}  // namespace
}  // namespace stitchkit
