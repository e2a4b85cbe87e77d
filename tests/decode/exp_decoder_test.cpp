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

}  // namespace
}  // namespace stitchkit
