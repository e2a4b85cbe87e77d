#include "stitchkit/decode/exp_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/decode/decode_test_support.h"
#include "tests/support/allocation_counter.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)

// Reads records straight from the format decoder, below the soft-stitch rules. Each record is
// read through the framework so that the next one moves from it.
class RecordReader : public ExpStitchDecoder {
 public:
  using ExpStitchDecoder::ExpStitchDecoder;
  int readRecord(HStitch& s) {
    const int r = getNextHardStitch(s);
    return r;
  }
};

// One hard record as the test expects it.
struct Hard {
  int code;
  int x;
  int y;
  int colour = -1;  // -1: not checked
  int data = -1;    // -1: not checked
};

struct HardRun {
  std::vector<HStitch> records;
  int result = -1;  // the non-zero result that ended reading
};

HardRun readHard(const Bytes& bytes, HCoord<short> start = {100, -100}, int needle = 4,
                 long seekTo = 0) {
  StitchDecoderOptions o;
  setDefaultDecoderOptions(o);
  o.setFileFormat(kFormatExp);
  MemoryInputBytestream stream(bytes);
  EXPECT_EQ(stream.seek(seekTo), kStreamOk);
  RecordReader reader(o);
  reader.setBytestream(stream);
  EXPECT_EQ(reader.beginDesign(start, needle), kDecodeOk);
  HardRun out;
  for (int guard = 0; guard < (1 << 20); ++guard) {
    HStitch s;
    const int r = reader.readRecord(s);
    if (r != kDecodeOk) {
      out.result = r;
      break;
    }
    out.records.push_back(s);
  }
  return out;
}

void expectRecord(const HStitch& s, const Hard& want) {
  EXPECT_EQ(s.getFlags(), want.code);
  EXPECT_EQ(s.xval(), want.x);
  EXPECT_EQ(s.yval(), want.y);
  if (want.colour >= 0) {
    EXPECT_EQ(s.getColor(), want.colour);
  }
  if (want.data >= 0) {
    EXPECT_EQ(s.getData(), want.data);
  }
}

void expectRecords(const HardRun& run, const std::vector<Hard>& want, int result) {
  ASSERT_EQ(run.records.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "record " << i);
    expectRecord(run.records[i], want[i]);
  }
  EXPECT_EQ(run.result, result);
}

Decoded decodeExp(const Bytes& bytes, StitchOptions& o, HCoord<short> start = {0, 0},
                  int needle = 1) {
  MemoryInputBytestream stream(bytes);
  ExpStitchDecoder decoder(o);
  decoder.setBytestream(stream);
  return runDecoder(decoder, start, needle);
}

StitchDecoderOptions expOptions() {
  StitchDecoderOptions o;
  setDefaultDecoderOptions(o);
  o.setFileFormat(kFormatExp);
  return o;
}

// A jump of no length: puts the escape byte first so that alignment starts at offset 0.
const Bytes kLead = {0x80, 0x04, 0x00, 0x00};
// A stitch of (+5, +5) read after the record under test, to show how many bytes it took.
const Bytes kSentinel = {0x05, 0xFB};

// Every record kind of the format: bytes, command, move, colour and data word. The design
// starts at (100, -100) on needle 4, so commands other than needle changes take colour 3.
struct RecordRow {
  Bytes bytes;
  int code;
  int dx;
  int dy;
  int colour;
  int data;
};

const std::vector<RecordRow>& recordRows() {
  static const std::vector<RecordRow> rows = {
      // Stitch records: dx, dy; y moves by -dy.
      {{0x05, 0xFB}, StitchCode::Normal, 5, 5, 3, 0},
      {{0x7F, 0x81}, StitchCode::Normal, 127, 127, 3, 0},
      {{0x81, 0x7F}, StitchCode::Normal, -127, -127, 3, 0},
      {{0x00, 0x80}, StitchCode::Normal, 0, 128, 3, 0},
      {{0xFF, 0x01}, StitchCode::Normal, -1, -1, 3, 0},
      {{0x00, 0x00}, StitchCode::Normal, 0, 0, 3, 0},
      // Commands that move.
      {{0x80, 0x01, 0x03, 0xFD}, StitchCode::Stop, 3, 3, 3, 0},
      {{0x80, 0x02, 0xF6, 0x0A}, StitchCode::NeedleUp, -10, -10, 3, 0},
      {{0x80, 0x04, 0x0A, 0x00}, StitchCode::Jump, 10, 0, 3, 0},
      {{0x80, 0x06, 0x80, 0x80}, StitchCode::Jump, -128, 128, 3, 0},
      {{0x80, 0x03, 0x01, 0x00}, StitchCode::ChangeNeedle, 1, 0, 0, 0},
      {{0x80, 0x05, 0x00, 0x01}, StitchCode::ChangeNeedle, 0, -1, 1, 0},
      {{0x80, 0x07, 0x00, 0x00}, StitchCode::ChangeNeedle, 0, 0, 2, 0},
      {{0x80, 0x09, 0x02, 0x02}, StitchCode::ChangeNeedle, 2, -2, 3, 0},
      {{0x80, 0x0B, 0x00, 0x00}, StitchCode::ChangeNeedle, 0, 0, 4, 0},
      {{0x80, 0x0D, 0x00, 0x00}, StitchCode::ChangeNeedle, 0, 0, 5, 0},
      {{0x80, 0x0F, 0x7F, 0x81}, StitchCode::ChangeNeedle, 127, 127, 6, 0},
      {{0x80, 0x10, 0x02, 0x00}, StitchCode::DesignEnd, 2, 0, 3, 0},
      // Machine functions: two bytes after 80 80, no move, the second byte ignored.
      {{0x80, 0x80, 0x01, 0x00}, StitchCode::SlowDown, 0, 0, 3, 0},
      {{0x80, 0x80, 0x02, 0x00}, StitchCode::SpeedUp, 0, 0, 3, 0},
      {{0x80, 0x80, 0x05, 0x00}, StitchCode::BorerIn, 0, 0, 3, 0},
      {{0x80, 0x80, 0x06, 0x00}, StitchCode::BorerOut, 0, 0, 3, 0},
      {{0x80, 0x80, 0x07, 0x00}, StitchCode::Trim, 0, 0, 3, 0},
      {{0x80, 0x80, 0x07, 0x7F}, StitchCode::Trim, 0, 0, 3, 0},
      {{0x80, 0x80, 0x03, 0x00}, StitchCode::Stop, 0, 0, 3, 0},
      // Chenille.
      {{0x80, 0xA0}, StitchCode::ChenilleChain, 0, 0, 3, 0},
      {{0x80, 0xA1}, StitchCode::ChenilleMoss, 0, 0, 3, 0},
      {{0x80, 0xA4, 0x03, 0x02}, StitchCode::ChenilleHeight, 0, 0, 3, 0x0203},
      {{0x80, 0xA4, 0xFF, 0xFF}, StitchCode::ChenilleHeight, 0, 0, 3, 0xFFFF},
      // Any other control byte: a stop, nothing following, no move.
      {{0x80, 0x00}, StitchCode::Stop, 0, 0, 3, 0},
      {{0x80, 0x11}, StitchCode::Stop, 0, 0, 3, 0},
      {{0x80, 0xFF}, StitchCode::Stop, 0, 0, 3, 0},
  };
  return rows;
}

TEST(ExpDecoderRecords, EveryRecordKindDecodesToItsCommandAndMove) {
  for (const RecordRow& row : recordRows()) {
    SCOPED_TRACE(testing::Message() << "record " << testing::PrintToString(row.bytes));
    const HardRun run = readHard(cat({kLead, row.bytes, kSentinel}));
    const int x = 100 + row.dx;
    const int y = -100 + row.dy;
    expectRecords(run,
                  {{StitchCode::Jump, 100, -100, 3},
                   {row.code, x, y, row.colour, row.data},
                   {StitchCode::Normal, x + 5, y + 5, 3}},
                  kDecodeEnd);
  }
}

// Control and function bytes outside the table read as stops without operands and moves.
TEST(ExpDecoderRecords, UnknownControlAndFunctionBytesReadAsStopsThatDoNotMove) {
  const std::set<int> moving = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                0x09, 0x0B, 0x0D, 0x0F, 0x10, 0xA4, 0x80};
  const std::set<int> bare = {0xA0, 0xA1};
  for (int control = 0; control < 256; ++control) {
    if (moving.count(control) != 0 || bare.count(control) != 0) continue;
    SCOPED_TRACE(testing::Message() << "control byte " << control);
    const HardRun run =
        readHard(cat({kLead, {0x80, static_cast<unsigned char>(control)}, kSentinel}));
    expectRecords(run,
                  {{StitchCode::Jump, 100, -100},
                   {StitchCode::Stop, 100, -100, 3},
                   {StitchCode::Normal, 105, -95}},
                  kDecodeEnd);
  }
  const std::set<int> functions = {0x01, 0x02, 0x05, 0x06, 0x07};
  for (int function = 0; function < 256; ++function) {
    if (functions.count(function) != 0) continue;
    SCOPED_TRACE(testing::Message() << "function byte " << function);
    const HardRun run =
        readHard(cat({kLead, {0x80, 0x80, static_cast<unsigned char>(function), 0x00}, kSentinel}));
    expectRecords(run,
                  {{StitchCode::Jump, 100, -100},
                   {StitchCode::Stop, 100, -100, 3},
                   {StitchCode::Normal, 105, -95}},
                  kDecodeEnd);
  }
}

TEST(ExpDecoderRecords, ReadingRecordsAllocatesNothing) {
  const Bytes records = cat({{0x05, 0xFB},
                             {0x80, 0x04, 0x01, 0x00},
                             {0x80, 0x80, 0x07, 0x00},
                             {0x80, 0x07, 0x00, 0x00},
                             {0x80, 0xA4, 0x03, 0x00}});
  const Bytes bytes = cat({kLead, repeat(records, 200)});
  StitchDecoderOptions o = expOptions();
  MemoryInputBytestream stream(bytes);
  RecordReader reader(o);
  reader.setBytestream(stream);
  ASSERT_EQ(reader.beginDesign({0, 0}, 1), kDecodeOk);
  HStitch s;
  ASSERT_EQ(reader.readRecord(s), kDecodeOk);  // aligns

  testing_support::AllocationCounter counter;
  int read = 0;
  while (reader.readRecord(s) == kDecodeOk)
    ++read;
  EXPECT_EQ(read, 1000);
  EXPECT_EQ(counter.count(), 0u);
}

// --- Alignment ----------------------------------------------------------------------------

TEST(ExpDecoderAlignment, FindsTheFirstRecordBehindPaddingAndJunk) {
  struct Row {
    const char* name;
    Bytes bytes;
    std::vector<Hard> records;
    int result;
  };
  const Row rows[] = {
      {"no data", {}, {}, kDecodeEnd},
      {"zero bytes only", {0x00, 0x00, 0x00, 0x00, 0x00}, {}, kDecodeEnd},
      {"records from the first byte",
       {0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00},
       {{StitchCode::Normal, 5, 5}, {StitchCode::Jump, 15, 5}},
       kDecodeEnd},
      {"even zero padding is skipped",
       {0x00, 0x00, 0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00},
       {{StitchCode::Normal, 5, 5}, {StitchCode::Jump, 15, 5}},
       kDecodeEnd},
      {"odd zero padding is skipped",
       {0x00, 0x00, 0x00, 0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00},
       {{StitchCode::Normal, 5, 5}, {StitchCode::Jump, 15, 5}},
       kDecodeEnd},
      {"padding before a control record",
       {0x00, 0x00, 0x00, 0x80, 0x04, 0x0A, 0x00},
       {{StitchCode::Jump, 10, 0}},
       kDecodeEnd},
      {"a zero byte before the first non-zero byte is a record's dx",
       {0x00, 0x00, 0x05, 0x80, 0x04, 0x0A, 0x00},
       {{StitchCode::Normal, 0, -5}, {StitchCode::Jump, 10, -5}},
       kDecodeEnd},
      {"a stray first byte is skipped",
       {0x11, 0x80, 0x04, 0x0A, 0x00},
       {{StitchCode::Jump, 10, 0}},
       kDecodeEnd},
      {"junk before the escape pairs up as stitches",
       {0x11, 0x22, 0x33, 0x80, 0x04, 0x0A, 0x00},
       {{StitchCode::Normal, 0x22, -0x33}, {StitchCode::Jump, 0x22 + 10, -0x33}},
       kDecodeEnd},
      {"without an escape byte, an odd start moves back onto padding",
       {0x00, 0x00, 0x00, 0x05, 0x03, 0x04},
       {{StitchCode::Normal, 0, -5}, {StitchCode::Normal, 3, -9}},
       kDecodeEnd},
      {"only the first escape byte counts",
       {0x05, 0xFB, 0x80, 0x01, 0x00, 0x00, 0x80, 0x04, 0x01, 0x00},
       {{StitchCode::Normal, 5, 5}, {StitchCode::Stop, 5, 5}, {StitchCode::Jump, 6, 5}},
       kDecodeEnd},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    expectRecords(readHard(row.bytes, {0, 0}, 1), row.records, row.result);
  }
}

TEST(ExpDecoderAlignment, ScansFromWhereTheStreamStands) {
  // Positioned at offset 3: the data seen is 00 05 FB 80 04 0A 00.
  const Bytes bytes = {0x80, 0x10, 0x7F, 0x00, 0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00};
  expectRecords(readHard(bytes, {0, 0}, 1, 3),
                {{StitchCode::Normal, 5, 5}, {StitchCode::Jump, 15, 5}}, kDecodeEnd);
}

TEST(ExpDecoderAlignment, EachDesignAlignsAgain) {
  StitchDecoderOptions o = expOptions();
  const Bytes bytes = {0x00, 0x00, 0x05, 0xFB, 0x80, 0x10, 0x00, 0x00};
  MemoryInputBytestream stream(bytes);
  ExpStitchDecoder decoder(o);
  decoder.setBytestream(stream);
  for (int design = 0; design < 2; ++design) {
    SCOPED_TRACE(testing::Message() << "design " << design);
    ASSERT_EQ(stream.seek(0), kStreamOk);
    const Decoded d = runDecoder(decoder);
    EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Normal, StitchCode::DesignEnd}));
    EXPECT_EQ(d.result, kDecodeEnd);
  }
}

// --- Truncated data and failures ----------------------------------------------------------

TEST(ExpDecoderTruncation, ARecordCutShortEndsTheData) {
  struct Row {
    const char* name;
    Bytes bytes;
    std::vector<Hard> records;
  };
  const Row rows[] = {
      {"a lone stitch byte", {0x05}, {}},
      {"a lone escape byte", {0x80}, {}},
      {"a moving command without its move", {0x80, 0x04}, {}},
      {"a moving command with half its move", {0x80, 0x04, 0x0A}, {}},
      {"a function without its bytes", {0x80, 0x80}, {}},
      {"a chenille height without its low byte", {0x80, 0xA4}, {}},
      {"mid-stream: half a stitch", {0x80, 0x04, 0x0A, 0x00, 0x05}, {{StitchCode::Jump, 10, 0}}},
      {"mid-stream: a lone escape byte", {0x05, 0xFB, 0x80}, {{StitchCode::Normal, 5, 5}}},
      {"mid-stream: a jump with half its move",
       {0x05, 0xFB, 0x80, 0x04, 0x0A},
       {{StitchCode::Normal, 5, 5}}},
      {"mid-stream: a function with one byte",
       {0x05, 0xFB, 0x80, 0x80, 0x07},
       {{StitchCode::Normal, 5, 5}}},
      {"mid-stream: a chenille height with one byte",
       {0x05, 0xFB, 0x80, 0xA4, 0x03},
       {{StitchCode::Normal, 5, 5}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    expectRecords(readHard(row.bytes, {0, 0}, 1), row.records, kDecodeEnd);
  }
}

// Serves bytes, can seek, and fails every read at or after offset `failAt`.
class FailingStream final : public InputBytestream {
 public:
  FailingStream(Bytes bytes, long failAt, bool canTell = true)
      : bytes_(std::move(bytes)), failAt_(failAt), canTell_(canTell) {}

  int inputByte(unsigned char& byte) override {
    if (position_ >= failAt_) return kStreamFailure;
    if (position_ >= static_cast<long>(bytes_.size())) return kStreamEnd;
    byte = bytes_[static_cast<std::size_t>(position_++)];
    return kStreamOk;
  }
  long position() const override { return canTell_ ? position_ : -1; }
  int seek(long offset) override {
    if (!canTell_ || offset < 0) return kStreamFailure;
    position_ = offset;
    return kStreamOk;
  }

 private:
  Bytes bytes_;
  long failAt_;
  bool canTell_;
  long position_ = 0;
};

TEST(ExpDecoderFailures, MissingStreamAndReadFailuresGiveFailure) {
  const Bytes bytes = {0x00, 0x00, 0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00, 0x05, 0xFB};
  struct Row {
    const char* name;
    long failAt;
    bool canTell;
    std::size_t delivered;
  };
  const Row rows[] = {
      {"failure while scanning the padding", 1, true, 0},
      {"failure while scanning for the escape", 3, true, 0},
      {"failure inside a stitch record", 9, true, 2},
      {"failure inside a control record's move", 7, true, 1},
      {"a stream that cannot tell its position", 100, false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    StitchDecoderOptions o = expOptions();
    o.setPreserveJumps(1);
    FailingStream stream(bytes, row.failAt, row.canTell);
    ExpStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    const Decoded d = runDecoder(decoder);
    EXPECT_EQ(d.result, kDecodeFailure);
    EXPECT_EQ(d.stitches.size(), row.delivered);
  }

  StitchDecoderOptions o = expOptions();
  ExpStitchDecoder decoder(o);
  ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
  HStitch s;
  EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
}

// --- Through the decoder framework --------------------------------------------------------

TEST(ExpDecoderDesign, CommandsReachTheCallerWithTheirNeedlesAndPoints) {
  StitchDecoderOptions o = expOptions();
  o.setPreserveJumps(1);
  const Bytes bytes = {
      0x0A, 0x00,              // stitch (+10, 0)
      0x0A, 0xF6,              // stitch (+10, +10)
      0x80, 0x80, 0x07, 0x00,  // trim, no move
      0x80, 0x04, 0x14, 0x00,  // jump (+20, 0)
      0x80, 0x07, 0x00, 0x00,  // needle 3, no move
      0x00, 0x0A,              // stitch (0, -10)
      0x80, 0xA4, 0x03, 0x02,  // chenille height 0x0203
      0x80, 0x10, 0x00, 0x00,  // end
      0x05, 0xFB,              // after the end: never read
  };
  const Decoded d = decodeExp(bytes, o, {0, 0}, 1);
  EXPECT_EQ(d.codes(),
            (std::vector<int>{StitchCode::Normal, StitchCode::Normal, StitchCode::Trim,
                              StitchCode::Jump, StitchCode::ChangeNeedle, StitchCode::Normal,
                              StitchCode::ChenilleHeight, StitchCode::DesignEnd}));
  EXPECT_EQ(d.points(),
            (std::vector<std::pair<int, int>>{
                {10, 0}, {20, 10}, {20, 10}, {40, 10}, {40, 10}, {40, 0}, {40, 0}, {40, 0}}));
  EXPECT_EQ(d.colours(), (std::vector<int>{0, 0, 0, 0, 2, 2, 2, 2}));
  EXPECT_EQ(d.stitches[6].getData(), 0x0203);
  EXPECT_EQ(d.result, kDecodeEnd);
}

TEST(ExpDecoderFactory, CreatesAnExpDecoder) {
  StitchDecoderOptions o = expOptions();
  ExpStitchDecoderFactory factory;
  std::unique_ptr<StitchDecoder> decoder(factory.createDecoder(o));
  ASSERT_NE(dynamic_cast<ExpStitchDecoder*>(decoder.get()), nullptr);
  const Bytes bytes = {0x05, 0xFB, 0x80, 0x10, 0x00, 0x00};
  MemoryInputBytestream stream(bytes);
  static_cast<ExpStitchDecoder&>(*decoder).setBytestream(stream);
  const Decoded d = runDecoder(*decoder);
  EXPECT_EQ(d.codes(), (std::vector<int>{StitchCode::Normal, StitchCode::DesignEnd}));
}

// --- Real files ---------------------------------------------------------------------------

std::vector<std::filesystem::path> sampleFiles() {
  std::vector<std::filesystem::path> out;
  const std::filesystem::path dir = STITCHKIT_SAMPLES_DIR "/exp";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.is_regular_file()) out.push_back(entry.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ExpDecoderSamples, EveryFileDecodesToItsEndWithoutMalformedRecords) {
  const std::vector<std::filesystem::path> files = sampleFiles();
  if (files.empty()) GTEST_SKIP() << "no sample files";
  for (const std::filesystem::path& path : files) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream in(path, std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty());

    // The records themselves: every one well formed, the last ending the data.
    const HardRun run = readHard(bytes, {0, 0}, 1);
    EXPECT_EQ(run.result, kDecodeEnd);
    EXPECT_GT(run.records.size(), bytes.size() / 4);

    StitchDecoderOptions o = expOptions();
    const Decoded d = decodeExp(bytes, o);
    EXPECT_EQ(d.result, kDecodeEnd);
    EXPECT_EQ(d.endResult, kDecodeOk);
    EXPECT_GT(d.stats.stitchCount, 0);
  }
}

}  // namespace
}  // namespace stitchkit
