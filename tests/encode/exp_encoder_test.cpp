#include "stitchkit/encode/exp_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <set>
#include <utility>
#include <vector>

#include "stitchkit/decode/exp_decoder.h"
#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"
#include "tests/decode/decode_test_support.h"
#include "tests/encode/format_encoder_support.h"

namespace stitchkit {
namespace {

using namespace format_test;  // NOLINT(google-build-using-namespace)

StitchEncoderOptions writeOptions() {
  StitchEncoderOptions o;
  setDefaultEncoderOptions(o);
  o.setHardLength(127);
  o.setFileFormat(kFormatExp);
  return o;
}

Written writeHard(const HStitch& s, const StitchOptions& o = writeOptions()) {
  return writeOne<ExpStitchEncoder>(s, o, false);
}

Written writeSoft(const HStitch& s, const StitchOptions& o = writeOptions()) {
  return writeOne<ExpStitchEncoder>(s, o, true);
}

// The golden move of the record tables: from (0, 0) to (13, -5), written as dx 0x0D, -dy 0x05.
constexpr int kX = 13;
constexpr int kY = -5;
const Bytes kMove = {0x0D, 0x05};
const Bytes kJumpThere = {0x80, 0x04, 0x0D, 0x05};

// --- The record of each command -----------------------------------------------------------

TEST(ExpEncoderRecords, EveryCommandWritesItsGoldenRecord) {
  struct Row {
    int code;
    int colour;
    int data;
    Bytes bytes;
  };
  const Row rows[] = {
      {StitchCode::Normal, 0, 0, {0x0D, 0x05}},
      {StitchCode::Jump, 0, 0, {0x80, 0x04, 0x0D, 0x05}},
      {StitchCode::ChangeNeedle, 0, 0, {0x80, 0x03, 0x0D, 0x05}},
      {StitchCode::ChangeNeedle, 1, 0, {0x80, 0x05, 0x0D, 0x05}},
      {StitchCode::ChangeNeedle, 2, 0, {0x80, 0x07, 0x0D, 0x05}},
      {StitchCode::ChangeNeedle, 3, 0, {0x80, 0x09, 0x0D, 0x05}},
      {StitchCode::ChangeNeedle, 4, 0, {0x80, 0x0B, 0x0D, 0x05}},
      {StitchCode::ChangeNeedle, 5, 0, {0x80, 0x0D, 0x0D, 0x05}},
      {StitchCode::ChangeNeedle, 6, 0, {0x80, 0x0F, 0x0D, 0x05}},
      {StitchCode::Stop, 0, 0, {0x80, 0x01, 0x0D, 0x05}},
      {StitchCode::DesignEnd, 0, 0, {0x80, 0x10, 0x0D, 0x05}},
      {StitchCode::NeedleUp, 0, 0, {0x80, 0x02, 0x0D, 0x05}},
      {StitchCode::Trim, 0, 0, {0x80, 0x80, 0x07, 0x00}},
      {StitchCode::SlowDown, 0, 0, {0x80, 0x80, 0x01, 0x00}},
      {StitchCode::SpeedUp, 0, 0, {0x80, 0x80, 0x02, 0x00}},
      {StitchCode::BorerIn, 0, 0, {0x80, 0x80, 0x05, 0x00}},
      {StitchCode::BorerOut, 0, 0, {0x80, 0x80, 0x06, 0x00}},
      {StitchCode::ChenilleChain, 0, 0, {0x80, 0xA0}},
      {StitchCode::ChenilleMoss, 0, 0, {0x80, 0xA1}},
      {StitchCode::ChenilleHeight, 0, 0x0203, {0x80, 0xA4, 0x03, 0x02}},
      {StitchCode::ChenilleHeight, 0, 0xFF01, {0x80, 0xA4, 0x01, 0xFF}},
  };
  std::set<int> written;
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "code " << row.code << " colour " << row.colour);
    const Written w = writeHard(stitch(kX, kY, row.code, row.colour, row.data));
    EXPECT_EQ(w.result, kEncodeOk);
    EXPECT_EQ(w.bytes, row.bytes);
    written.insert(row.code);
  }
  // Every other code has no record: refused, nothing written.
  for (int code = 0; code < 256; ++code) {
    if (written.count(code) != 0) continue;
    SCOPED_TRACE(testing::Message() << "code " << code);
    const Written w = writeHard(stitch(kX, kY, code));
    EXPECT_EQ(w.result, kEncodeRefused);
    EXPECT_TRUE(w.bytes.empty());
  }
}

TEST(ExpEncoderRecords, MovesAreOneSignedBytePerAxis) {
  struct Row {
    int code;
    int x;
    int y;
    int result;
    Bytes bytes;
  };
  const Row rows[] = {
      {StitchCode::Normal, 127, -127, kEncodeOk, {0x7F, 0x7F}},
      {StitchCode::Normal, -127, 127, kEncodeOk, {0x81, 0x81}},
      {StitchCode::Normal, 0, 128, kEncodeOk, {0x00, 0x80}},
      {StitchCode::Normal, -1, 1, kEncodeOk, {0xFF, 0xFF}},
      {StitchCode::Normal, 0, 0, kEncodeOk, {0x00, 0x00}},
      {StitchCode::Jump, -128, 128, kEncodeOk, {0x80, 0x04, 0x80, 0x80}},
      {StitchCode::Jump, 127, -127, kEncodeOk, {0x80, 0x04, 0x7F, 0x7F}},
      // A stitch record cannot start with the escape byte.
      {StitchCode::Normal, -128, 0, kEncodeRefused, {}},
      {StitchCode::Normal, 128, 0, kEncodeRefused, {}},
      {StitchCode::Normal, 0, -128, kEncodeRefused, {}},
      {StitchCode::Normal, 0, 129, kEncodeRefused, {}},
      {StitchCode::Jump, 128, 0, kEncodeRefused, {}},
      {StitchCode::Stop, 0, -128, kEncodeRefused, {}},
      {StitchCode::ChangeNeedle, -129, 0, kEncodeRefused, {}},
      // Commands without a move do not care how far away they are.
      {StitchCode::Trim, 1000, -1000, kEncodeOk, {0x80, 0x80, 0x07, 0x00}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << "code " << row.code << " to (" << row.x << "," << row.y << ")");
    const Written w = writeHard(stitch(row.x, row.y, row.code));
    EXPECT_EQ(w.result, row.result);
    EXPECT_EQ(w.bytes, row.bytes);
    if (row.code != StitchCode::Normal) continue;
    // In bulk a stitch is written alike, or left to the record-by-record path.
    StitchEncoderOptions o = writeOptions();
    o.setKeepOriginalStitch(1);
    const PlainWritten bulk = writePlain<ExpStitchEncoder>(o, {stitch(row.x, row.y)});
    EXPECT_EQ(bulk.written, row.result == kEncodeOk ? 1 : 0);
    EXPECT_EQ(bulk.bytes, row.bytes);
  }
}

// --- What each command becomes ------------------------------------------------------------

TEST(ExpEncoderCommands, EveryCommandCodeBecomesARecordTheFormatHas) {
  const Bytes stop = {0x80, 0x01, 0x00, 0x00};
  struct Row {
    int code;
    Bytes bytes;
  };
  std::vector<Row> rows = {
      {StitchCode::Normal, kMove},
      {StitchCode::NeedleUp, cat({{0x80, 0x02}, kMove})},
      {StitchCode::Jump, kJumpThere},
      {StitchCode::DesignStart, kJumpThere},
      {StitchCode::DropSequinW, kJumpThere},
      {StitchCode::ChangeNeedle, cat({kJumpThere, {0x80, 0x05, 0x00, 0x00}})},
      {StitchCode::Trim, cat({kJumpThere, {0x80, 0x80, 0x07, 0x00}})},
      {StitchCode::SlowDown, cat({kJumpThere, {0x80, 0x80, 0x01, 0x00}})},
      {StitchCode::SpeedUp, cat({kJumpThere, {0x80, 0x80, 0x02, 0x00}})},
      {StitchCode::BorerIn, cat({kJumpThere, {0x80, 0x80, 0x05, 0x00}})},
      {StitchCode::BorerOut, cat({kJumpThere, {0x80, 0x80, 0x06, 0x00}})},
      {StitchCode::ChenilleChain, cat({kJumpThere, {0x80, 0xA0}})},
      {StitchCode::ChenilleMoss, cat({kJumpThere, {0x80, 0xA1}})},
      {StitchCode::ChenilleHeight, cat({kJumpThere, {0x80, 0xA4, 0x03, 0x02}})},
      {StitchCode::DesignEnd, cat({kJumpThere, {0x80, 0x10, 0x00, 0x00}})},
      {StitchCode::UpperTrim, cat({kJumpThere, {0x80, 0x80, 0x07, 0x00}})},
      {StitchCode::JumpTrim, cat({kJumpThere, {0x80, 0x80, 0x07, 0x00}})},
  };
  for (int code = StitchCode::FirstStitchVariant; code <= StitchCode::LastStitchVariant; ++code)
    rows.push_back({code, kMove});
  std::set<int> listed;
  for (const Row& row : rows)
    listed.insert(row.code);
  // Everything else is a stop at the command's point.
  for (int code = 0; code < 256; ++code) {
    if (listed.count(code) == 0) rows.push_back({code, cat({kJumpThere, stop})});
  }

  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "code " << row.code);
    const Written w = writeSoft(stitch(kX, kY, row.code, 1, 0x0203));
    EXPECT_EQ(w.result, kEncodeOk);
    EXPECT_EQ(w.bytes, row.bytes);
  }
}

// --- Needles ------------------------------------------------------------------------------

// The control byte written for a colour change to `needle` with `maxNeedles`, or -1 when the
// change is refused.
int needleByte(int needle, int maxNeedles, int stopsAsNeedles = 0) {
  StitchEncoderOptions o = writeOptions();
  o.setMaxNeedles(static_cast<short>(maxNeedles));
  o.setStopsAsNeedles(stopsAsNeedles);
  const Written w = writeSoft(stitch(0, 0, StitchCode::ChangeNeedle, needle - 1), o);
  if (w.result != kEncodeOk) return -1;
  EXPECT_EQ(w.bytes.size(), 4u);
  if (w.bytes.size() != 4u) return -2;
  EXPECT_EQ(w.bytes[0], 0x80);
  EXPECT_EQ(w.bytes[2], 0x00);
  EXPECT_EQ(w.bytes[3], 0x00);
  return w.bytes[1];
}

TEST(ExpEncoderNeedles, NeedlesFoldOntoMaxNeedlesOrAreRefusedBeyondTheRecord) {
  struct Row {
    int maxNeedles;
    int stopsAsNeedles;
    std::vector<int> bytes;  // for needles 1, 2, 3, ...; -1: refused
  };
  // clang-format off
  const Row rows[] = {
      {0, 0, {0x03, 0x05, 0x07, 0x09, 0x0B, 0x0D, 0x0F, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
      {999, 0, {0x03, 0x05, 0x07, 0x09, 0x0B, 0x0D, 0x0F, -1}},
      {8, 0, {0x03, 0x05, 0x07, 0x09, 0x0B, 0x0D, 0x0F, -1}},
      {7, 0, {0x03, 0x05, 0x07, 0x09, 0x0B, 0x0D, 0x0F, 0x03, 0x05, 0x07, 0x09, 0x0B, 0x0D, 0x0F, 0x03, 0x05}},
      // Needle 8 (colour 7) on six needles: 7 modulo 6 = 1, needle 2.
      {6, 0, {0x03, 0x05, 0x07, 0x09, 0x0B, 0x0D, 0x03, 0x05, 0x07, 0x09, 0x0B, 0x0D, 0x03}},
      {3, 0, {0x03, 0x05, 0x07, 0x03, 0x05, 0x07, 0x03, 0x05, 0x07, 0x03}},
      {1, 0, {0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03, 0x03}},
      // Colour changes written as stops.
      {0, 1, {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01}},
      {7, 1, {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01}},
  };
  // clang-format on
  for (const Row& row : rows) {
    for (std::size_t i = 0; i < row.bytes.size(); ++i) {
      const int needle = static_cast<int>(i) + 1;
      SCOPED_TRACE(testing::Message() << "MaxNeedles " << row.maxNeedles << " stops as needles "
                                      << row.stopsAsNeedles << " needle " << needle);
      EXPECT_EQ(needleByte(needle, row.maxNeedles, row.stopsAsNeedles), row.bytes[i]);
    }
  }
  EXPECT_EQ(needleByte(200, 999), -1);
  // Without a stream nothing is written, so the needle passes.
  StitchEncoderOptions o = writeOptions();
  Writer<ExpStitchEncoder> writer(o);
  ASSERT_EQ(writer.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  EXPECT_EQ(writer.vSendHardStitch(stitch(0, 0, StitchCode::ChangeNeedle, 199)), kEncodeOk);
}

// --- Whole designs ------------------------------------------------------------------------

// --- Round trip ---------------------------------------------------------------------------

}  // namespace
}  // namespace stitchkit
