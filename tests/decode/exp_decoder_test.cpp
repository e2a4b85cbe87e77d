#include "stitchkit/decode/exp_decoder.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)
using Codes = std::vector<int>;
using Points = std::vector<std::pair<int, int>>;

Decoded readExp(const Bytes& bytes, HCoord<short> start = {0, 0}, int needle = 1) {
  StitchDecoderOptions o = readOptions(kFormatExp);
  return readHard<ExpStitchDecoder>(bytes, o, start, needle);
}

// A jump of no length: puts the escape byte first so that alignment starts at offset 0.
const Bytes kLead = {0x80, 0x04, 0x00, 0x00};
// A stitch of (+5, +5) read after the record under test, to show how many bytes it took.
const Bytes kSentinel = {0x05, 0xFB};

TEST(ExpDecoderRecords, EveryRecordKindDecodesToItsCommandAndMove) {
  // Read from (100, -100) on needle 4: commands other than needle changes take colour 3.
  const struct {
    Bytes bytes;
    int code, dx, dy, colour, data;
  } rows[] = {
      {{0x05, 0xFB}, StitchCode::Normal, 5, 5, 3, 0},  // y moves by -dy
      {{0x7F, 0x81}, StitchCode::Normal, 127, 127, 3, 0},
      {{0x81, 0x7F}, StitchCode::Normal, -127, -127, 3, 0},
      {{0x00, 0x80}, StitchCode::Normal, 0, 128, 3, 0},
      {{0xFF, 0x01}, StitchCode::Normal, -1, -1, 3, 0},
      {{0x00, 0x00}, StitchCode::Normal, 0, 0, 3, 0},
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
      {{0x80, 0x80, 0x07, 0x7F}, StitchCode::Trim, 0, 0, 3, 0},
      {{0x80, 0xA0}, StitchCode::ChenilleChain, 0, 0, 3, 0},
      {{0x80, 0xA1}, StitchCode::ChenilleMoss, 0, 0, 3, 0},
      {{0x80, 0xA4, 0x03, 0x02}, StitchCode::ChenilleHeight, 0, 0, 3, 0x0203},
      {{0x80, 0xA4, 0xFF, 0xFF}, StitchCode::ChenilleHeight, 0, 0, 3, 0xFFFF},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    const Decoded d = readExp(cat({kLead, row.bytes, kSentinel}), {100, -100}, 4);
    const int x = 100 + row.dx;
    const int y = -100 + row.dy;
    EXPECT_EQ(d.codes(), (Codes{StitchCode::Jump, row.code, StitchCode::Normal}));
    EXPECT_EQ(d.points(), (Points{{100, -100}, {x, y}, {x + 5, y + 5}}));
    EXPECT_EQ(d.colours(), (Codes{3, row.colour, 3}));
    ASSERT_EQ(d.stitches.size(), 3u);
    EXPECT_EQ(d.stitches[1].getData(), row.data);
    EXPECT_EQ(d.result, kDecodeEnd);
  }
  // Control and function bytes outside the table read as stops without operands and moves.
  const std::set<int> moving = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x09,
                                0x0B, 0x0D, 0x0F, 0x10, 0xA4, 0x80, 0xA0, 0xA1};
  const std::set<int> functions = {0x01, 0x02, 0x05, 0x06, 0x07};
  for (int b = 0; b < 256; ++b) {
    const auto c = static_cast<unsigned char>(b);
    for (const Bytes& record : {Bytes{0x80, c}, Bytes{0x80, 0x80, c, 0x00}}) {
      if ((record.size() == 2 ? moving : functions).count(b) != 0) continue;
      const Decoded d = readExp(cat({kLead, record, kSentinel}), {100, -100}, 4);
      EXPECT_EQ(d.codes(), (Codes{1, StitchCode::Stop, 0})) << testing::PrintToString(record);
      EXPECT_EQ(d.points(), (Points{{100, -100}, {100, -100}, {105, -95}}));
    }
  }
}

TEST(ExpDecoderAlignment, FindsTheFirstRecordBehindPaddingAndJunk) {
  // clang-format off
  const struct {
    const char* name;
    Bytes bytes;
    Points points;
  } rows[] = {
      {"zero bytes only", {0x00, 0x00, 0x00, 0x00, 0x00}, {}},
      {"records from the first byte", {0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00}, {{5, 5}, {15, 5}}},
      {"even zero padding", {0x00, 0x00, 0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00}, {{5, 5}, {15, 5}}},
      {"odd zero padding", {0x00, 0x00, 0x00, 0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00}, {{5, 5}, {15, 5}}},
      {"padding before a control record", {0x00, 0x00, 0x00, 0x80, 0x04, 0x0A, 0x00}, {{10, 0}}},
      {"a zero before the first non-zero byte is a dx", {0x00, 0x00, 0x05, 0x80, 0x04, 0x0A, 0x00}, {{0, -5}, {10, -5}}},
      {"a stray first byte", {0x11, 0x80, 0x04, 0x0A, 0x00}, {{10, 0}}},
      {"junk before the escape pairs up", {0x11, 0x22, 0x33, 0x80, 0x04, 0x0A, 0x00}, {{0x22, -0x33}, {0x2C, -0x33}}},
      {"without an escape, an odd start moves back", {0x00, 0x00, 0x00, 0x05, 0x03, 0x04}, {{0, -5}, {3, -9}}},
      {"only the first escape counts", {0x05, 0xFB, 0x80, 0x01, 0x00, 0x00, 0x80, 0x04, 0x01, 0x00}, {{5, 5}, {5, 5}, {6, 5}}},
      // A record cut short ends the data.
      {"a lone escape byte", {0x80}, {}},
      {"a command with half its move", {0x80, 0x04, 0x0A}, {}},
      {"a chenille height without its low byte", {0x80, 0xA4}, {}},
      {"half a stitch", {0x80, 0x04, 0x0A, 0x00, 0x05}, {{10, 0}}},
      {"a lone escape byte mid-stream", {0x05, 0xFB, 0x80}, {{5, 5}}},
      {"a jump with half its move", {0x05, 0xFB, 0x80, 0x04, 0x0A}, {{5, 5}}},
      {"a function with one byte", {0x05, 0xFB, 0x80, 0x80, 0x07}, {{5, 5}}},
      {"a chenille height with one byte", {0x05, 0xFB, 0x80, 0xA4, 0x03}, {{5, 5}}},
  };
  // clang-format on
  for (const auto& row : rows) {
    const Decoded d = readExp(row.bytes);
    EXPECT_EQ(d.points(), row.points) << row.name;
    EXPECT_EQ(d.result, kDecodeEnd) << row.name;
  }
  // The scan starts where the stream stands: at offset 3 the data is 00 05 FB 80 04 0A 00.
  const Bytes bytes = {0x80, 0x10, 0x7F, 0x00, 0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00};
  MemoryInputBytestream stream(bytes);
  ASSERT_EQ(stream.seek(3), kStreamOk);
  StitchDecoderOptions o = readOptions(kFormatExp);
  ExpStitchDecoder decoder(o);
  decoder.setBytestream(stream);
  EXPECT_EQ(runDecoder(decoder).points(), (Points{{5, 5}, {15, 5}}));
}

// Serves bytes, can seek, and fails every read at or after offset `failAt`.
class FailingStream final : public InputBytestream {
 public:
  FailingStream(Bytes bytes, long failAt, bool canTell)
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

TEST(ExpDecoderFailures, ReadFailuresAndAStreamThatCannotTellItsPositionGiveFailure) {
  const Bytes bytes = {0x00, 0x00, 0x05, 0xFB, 0x80, 0x04, 0x0A, 0x00, 0x05, 0xFB};
  const struct {
    long failAt;
    bool canTell;
    std::size_t delivered;
  } rows[] = {{1, true, 0}, {3, true, 0}, {9, true, 2}, {7, true, 1}, {100, false, 0}};
  for (const auto& row : rows) {
    StitchDecoderOptions o = readOptions(kFormatExp);
    o.setPreserveJumps(1);
    FailingStream stream(bytes, row.failAt, row.canTell);
    ExpStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    const Decoded d = runDecoder(decoder);
    EXPECT_EQ(d.result, kDecodeFailure) << row.failAt;
    EXPECT_EQ(d.stitches.size(), row.delivered) << row.failAt;
  }
}

TEST(ExpDecoderDesign, CommandsReachTheCallerWithTheirNeedlesAndPoints) {
  StitchDecoderOptions o = readOptions(kFormatExp);
  o.setPreserveJumps(1);
  const Bytes bytes = {
      0x0A, 0x00, 0x0A, 0xF6,  // stitches (+10, 0), (+10, +10)
      0x80, 0x80, 0x07, 0x00,  // trim, no move
      0x80, 0x04, 0x14, 0x00,  // jump (+20, 0)
      0x80, 0x07, 0x00, 0x00,  // needle 3, no move
      0x00, 0x0A,              // stitch (0, -10)
      0x80, 0xA4, 0x03, 0x02,  // chenille height 0x0203
      0x80, 0x10, 0x00, 0x00,  // end
      0x05, 0xFB,              // after the end: never read
  };
  const Decoded d = decodeWith<ExpStitchDecoder>(bytes, o);
  EXPECT_EQ(d.codes(), (Codes{0, 0, StitchCode::Trim, 1, 2, 0, StitchCode::ChenilleHeight, 7}));
  EXPECT_EQ(d.points(),
            (Points{{10, 0}, {20, 10}, {20, 10}, {40, 10}, {40, 10}, {40, 0}, {40, 0}, {40, 0}}));
  EXPECT_EQ(d.colours(), (Codes{0, 0, 0, 0, 2, 2, 2, 2}));
  EXPECT_EQ(d.result, kDecodeEnd);
}

}  // namespace
}  // namespace stitchkit
