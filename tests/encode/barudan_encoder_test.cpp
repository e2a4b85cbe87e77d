#include "stitchkit/encode/barudan_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

#include "stitchkit/decode/barudan_decoder.h"
#include "stitchkit/decode/barudan_records.h"
#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"
#include "tests/decode/decode_test_support.h"
#include "tests/encode/format_encoder_support.h"

namespace stitchkit {
namespace {

using namespace format_test;  // NOLINT(google-build-using-namespace)

StitchEncoderOptions writeOptions(int writeZ = 0, int maxNeedles = 0) {
  StitchEncoderOptions o;
  setDefaultEncoderOptions(o);
  o.setWriteBarudanZ(writeZ);
  o.setMaxNeedles(static_cast<short>(maxNeedles));
  return o;
}

Written writeHard(const HStitch& s) {
  return writeOne<BarudanStitchEncoder>(s, writeOptions(), false);
}

Written writeSoft(const HStitch& s, int separate, const StitchOptions& o = writeOptions(),
                  int stopTable = 0) {
  return writeOne<BarudanStitchEncoder>(s, o, true, separate, stopTable);
}

Encoded encodeBarudan(const StitchOptions& o, std::vector<HStitch> stitches, int separate = 1,
                      int stopTable = 0, bool withStream = true) {
  return encodeWith<BarudanStitchEncoder>(o, std::move(stitches), separate, withStream, false,
                                          stopTable);
}

decode_test::Decoded decodeBarudan(const Bytes& bytes, int extendedVariant) {
  StitchDecoderOptions o =
      decode_test::readOptions(extendedVariant ? kFormatDsbVariant16 : kFormatDsb);
  return decode_test::decodeWith<BarudanStitchDecoder>(bytes, o, {0, 0}, 1, extendedVariant);
}

using decode_test::Decoded;

// --- Records ------------------------------------------------------------------------------

TEST(BarudanEncoderRecords, EveryCodeWritesItsFunctionByteOrIsRefused) {
  // Function byte of each code that can be written, at a zero move; every other code is
  // refused and writes nothing. A colour change to colour 0 is needle 1.
  const std::map<int, unsigned char> written = {
      {0, 0xE0},  {1, 0xE1},  {2, 0xE9},  {3, 0xE7},  {4, 0xE2},  {5, 0xE4},  {6, 0xE8},
      {7, 0xF8},  {8, 0xFC},  {9, 0xFE},  {10, 0xE8}, {12, 0xE6}, {15, 0xE9}, {16, 0xEA},
      {18, 0xE8}, {19, 0xE8}, {21, 0x97}, {24, 0xE8}, {25, 0xE8}, {49, 0xE8}, {50, 0xE8},
      {51, 0xE8}, {52, 0xE8}, {64, 0xE8}, {65, 0xE8},
  };
  for (int code = 0; code < 256; ++code) {
    SCOPED_TRACE(testing::Message() << "code " << code);
    const Written w = writeHard(stitch(0, 0, code));
    const auto it = written.find(code);
    if (it == written.end()) {
      EXPECT_EQ(w.result, kEncodeRefused);
      EXPECT_TRUE(w.bytes.empty());
    } else {
      EXPECT_EQ(w.result, kEncodeOk);
      EXPECT_EQ(w.bytes, (Bytes{it->second, 0x00, 0x00}));
    }
  }
}

TEST(BarudanEncoderRecords, MoveSetsTheSignBitsAndMagnitudes) {
  struct Row {
    int code;
    int dx;
    int dy;
    Bytes bytes;
  };
  using namespace StitchCode;  // NOLINT(google-build-using-namespace)
  // clang-format off
  const Row rows[] = {
      {Normal, 5, -3, {0x80, 0x03, 0x05}},    {Normal, -5, 3, {0xE0, 0x03, 0x05}},
      {Normal, 5, 3, {0xC0, 0x03, 0x05}},     {Normal, -5, -3, {0xA0, 0x03, 0x05}},
      {Normal, 0, -3, {0xA0, 0x03, 0x00}},    {Normal, 5, 0, {0xC0, 0x00, 0x05}},
      {Normal, 127, -127, {0x80, 0x7F, 0x7F}}, {Normal, -127, 127, {0xE0, 0x7F, 0x7F}},
      {Jump, 64, -1, {0x81, 0x01, 0x40}},     {Trim, -2, 9, {0xE7, 0x09, 0x02}},
      // Frame out starts with both sign bits clear; a move that needs them sets them.
      {FrameOut, 5, -3, {0x97, 0x03, 0x05}},  {FrameOut, -5, 3, {0xF7, 0x03, 0x05}},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "code " << row.code << " move " << row.dx << ", " << row.dy);
    const Written w = writeHard(stitch(row.dx, row.dy, row.code));
    EXPECT_EQ(w.result, kEncodeOk);
    EXPECT_EQ(w.bytes, row.bytes);
  }
}

// --- Needles ------------------------------------------------------------------------------

TEST(BarudanEncoderNeedles, EveryNeedleIsWrittenAndReadsBack) {
  const Bytes prefix = {0xF2, 0x00, 0x00};
  const std::vector<Bytes> needles = {
      {0xE9, 0x00, 0x00},          {0xEA, 0x00, 0x00},          {0xEB, 0x00, 0x00},
      {0xEC, 0x00, 0x00},          {0xED, 0x00, 0x00},          {0xEE, 0x00, 0x00},
      {0xEF, 0x00, 0x00},          {0xF0, 0x00, 0x00},          {0xF1, 0x00, 0x00},
      cat({prefix, {0xE8, 0, 0}}), cat({prefix, {0xE9, 0, 0}}), cat({prefix, {0xEA, 0, 0}}),
      cat({prefix, {0xEB, 0, 0}}), cat({prefix, {0xEC, 0, 0}}), cat({prefix, {0xED, 0, 0}}),
      cat({prefix, {0xEE, 0, 0}}), cat({prefix, {0xEF, 0, 0}}), cat({prefix, {0xF0, 0, 0}}),
      cat({prefix, {0xF1, 0, 0}}),
  };
  ASSERT_EQ(static_cast<int>(needles.size()), barudan::kMaxNeedle);
  for (int colour = 0; colour < barudan::kMaxNeedle; ++colour) {
    SCOPED_TRACE(testing::Message() << "needle " << colour + 1);
    const Written w = writeHard(stitch(0, 0, StitchCode::ChangeNeedle, colour));
    EXPECT_EQ(w.result, kEncodeOk);
    EXPECT_EQ(w.bytes, needles[static_cast<std::size_t>(colour)]);
    for (const int variant : {0, 1}) {
      const Decoded d = decodeBarudan(cat({w.bytes, {0xF8, 0x00, 0x00}}), variant);
      ASSERT_EQ(d.stitches.size(), 2u);
      EXPECT_TRUE(d.stitches[0].isColorChange());
      EXPECT_EQ(d.stitches[0].getColor(), colour);
    }
  }
  // Needle 20 has no record.
  const Written w = writeHard(stitch(0, 0, StitchCode::ChangeNeedle, barudan::kMaxNeedle));
  EXPECT_EQ(w.result, kEncodeRefused);
  EXPECT_TRUE(w.bytes.empty());
}

TEST(BarudanEncoderNeedles, PrefixRecordCarriesTheMoveOfAPrefixedNeedle) {
  // Needle 12 with a move: the prefix record carries it (the reader takes the move from there)
  // and the needle record keeps its sign bits. A move beyond one record writes neither.
  const Written tooFar = writeHard(stitch(-300, 5, StitchCode::ChangeNeedle, 11));
  EXPECT_EQ(tooFar.result, kEncodeRefused);
  EXPECT_TRUE(tooFar.bytes.empty());
  const Written w = writeHard(stitch(5, -3, StitchCode::ChangeNeedle, 11));
  EXPECT_EQ(w.bytes, (Bytes{0x92, 0x03, 0x05, 0xEA, 0x00, 0x00}));
  const Decoded d = decodeBarudan(cat({w.bytes, {0xF8, 0x00, 0x00}}), 0);
  ASSERT_FALSE(d.stitches.empty());
  EXPECT_EQ(d.stitches[0].getColor(), 11);
  EXPECT_EQ(d.stitches[0].getPoint(), (HCoord<short>{5, -3}));
}

TEST(BarudanEncoderNeedles, NeedlesBeyondTheMachineFoldOntoItsNeedles) {
  struct Row {
    int writeZ;
    int maxNeedles;
    int colour;
    Bytes bytes;
  };
  const Bytes prefix = {0xF2, 0x00, 0x00};
  const Row rows[] = {
      {0, 0, 6, {0xEF, 0x00, 0x00}},                   // needle 7 fits
      {0, 0, 7, {0xE9, 0x00, 0x00}},                   // needle 8: 7 mod 7 = 0
      {0, 0, 8, {0xEA, 0x00, 0x00}},                   // needle 9: 8 mod 7 = 1
      {0, 0, 13, {0xEF, 0x00, 0x00}},                  // 13 mod 7 = 6
      {0, 9, 8, {0xEA, 0x00, 0x00}},                   // a limit above 7 is 7
      {0, -1, 8, {0xEA, 0x00, 0x00}},                  // and one below 1
      {0, 4, 3, {0xEC, 0x00, 0x00}},                   // needle 4 of 4
      {0, 4, 4, {0xE9, 0x00, 0x00}},                   // 4 mod 4 = 0
      {1, 0, 14, cat({prefix, {0xED, 0x00, 0x00}})},   // needle 15 fits with Z
      {1, 0, 15, {0xE9, 0x00, 0x00}},                  // 15 mod 15 = 0
      {1, 0, 18, {0xEC, 0x00, 0x00}},                  // 18 mod 15 = 3
      {1, 12, 11, cat({prefix, {0xEA, 0x00, 0x00}})},  // needle 12 of 12
      {1, 12, 12, {0xE9, 0x00, 0x00}},                 // 12 mod 12 = 0
      {1, 20, 16, {0xEA, 0x00, 0x00}},                 // a limit above 15 is 15
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "Z " << row.writeZ << " MaxNeedles " << row.maxNeedles
                                    << " colour " << row.colour);
    const StitchEncoderOptions o = writeOptions(row.writeZ, row.maxNeedles);
    const Written w = writeSoft(stitch(0, 0, StitchCode::ChangeNeedle, row.colour), 1, o);
    EXPECT_EQ(w.result, kEncodeOk);
    EXPECT_EQ(w.bytes, row.bytes);
  }
}

TEST(BarudanEncoderNeedles, NeedlesAreFoldedOnlyWhenWritingToAStream) {
  // Needle 9 on a 7-needle machine: written as needle 2 (a record other than the stitch's
  // own, so the stitch keeps it); without a stream the stitch stands for itself.
  const StitchEncoderOptions o = writeOptions();
  const std::vector<HStitch> design = {stitch(0, 0), stitch(0, 0, StitchCode::ChangeNeedle, 8),
                                       stitch(5, 5, StitchCode::Normal, 8)};
  Encoded e = encodeBarudan(o, design, 1, 0, true);
  ASSERT_EQ(e.sent.size(), 3u);
  ASSERT_EQ(e.sent[1].getRealStitchCount(), 1);
  EXPECT_EQ(e.sent[1].getRealStitches()[0].getColor(), 1);
  e = encodeBarudan(o, design, 1, 0, false);
  EXPECT_TRUE(e.bytes.empty());
  EXPECT_EQ(e.sent[1].getRealStitchCount(), 0);
}

// --- Commands -----------------------------------------------------------------------------

TEST(BarudanEncoderCommands, EveryCommandIsWrittenAsTheMachineTakesIt) {
  // Each command moves (+5, -3). 'M': the command record carries the move; 'P': a jump
  // first, then the command in place; 'U': in place while commands are written separately,
  // else with the move; 'S' (stop): as 'U' outside stop-table mode.
  struct Row {
    int first;
    int last;
    unsigned char function;
    char placement;
  };
  const Row rows[] = {
      {0, 0, 0xE0, 'M'},    {1, 1, 0xE1, 'M'},   {2, 2, 0xE9, 'U'},   {3, 3, 0xE7, 'M'},
      {4, 4, 0xE2, 'U'},    {5, 5, 0xE4, 'U'},   {6, 6, 0xE8, 'S'},   {7, 7, 0xF8, 'P'},
      {8, 8, 0xFC, 'U'},    {9, 9, 0xFE, 'U'},   {10, 10, 0xE8, 'P'}, {11, 11, 0xE1, 'M'},
      {12, 12, 0xE7, 'M'},  {13, 13, 0xE1, 'M'}, {14, 14, 0xE7, 'M'}, {15, 15, 0xE9, 'M'},
      {16, 16, 0xEA, 'M'},  {17, 17, 0xE8, 'P'}, {18, 18, 0xE8, 'U'}, {19, 19, 0xE8, 'U'},
      {20, 20, 0xE1, 'M'},  {21, 21, 0x97, 'U'}, {22, 23, 0xE8, 'P'}, {24, 24, 0xE8, 'U'},
      {25, 25, 0xE8, 'U'},  {26, 30, 0xE0, 'M'}, {31, 48, 0xE8, 'P'}, {49, 49, 0xE8, 'U'},
      {50, 63, 0xE8, 'P'},  {64, 64, 0xE8, 'U'}, {65, 65, 0xE8, 'U'}, {66, 67, 0xE1, 'M'},
      {68, 255, 0xE8, 'P'},
  };
  const Bytes jumpThere = {0x81, 0x03, 0x05};
  int covered = 0;
  for (const Row& row : rows) {
    for (int code = row.first; code <= row.last; ++code, ++covered) {
      for (const int separate : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "code " << code << " separate " << separate);
        const bool inPlace =
            row.placement == 'P' || ((row.placement == 'U' || row.placement == 'S') && separate);
        const Bytes expected =
            inPlace ? cat({jumpThere, {row.function, 0x00, 0x00}})
                    : Bytes{static_cast<unsigned char>(row.function & 0x9F), 0x03, 0x05};
        const Written w = writeSoft(stitch(5, -3, code), separate);
        EXPECT_EQ(w.result, kEncodeOk);
        EXPECT_EQ(w.bytes, expected);

        // In stop-table mode a stop carries its move; nothing else changes.
        const bool inPlaceInStopTableMode = inPlace && row.placement != 'S';
        const Bytes expectedInStopTableMode =
            inPlaceInStopTableMode
                ? cat({jumpThere, {row.function, 0x00, 0x00}})
                : Bytes{static_cast<unsigned char>(row.function & 0x9F), 0x03, 0x05};
        const Written t = writeSoft(stitch(5, -3, code), separate, writeOptions(), 1);
        EXPECT_EQ(t.bytes, expectedInStopTableMode) << "in stop-table mode";
      }
    }
  }
  EXPECT_EQ(covered, 256);
}

TEST(BarudanEncoderCommands, CommandAtTheNeedleIsWrittenWithoutAJump) {
  for (const int code : {StitchCode::DesignEnd, StitchCode::Stop, StitchCode::ThreeStop}) {
    SCOPED_TRACE(testing::Message() << "code " << code);
    const Written w = writeSoft(stitch(0, 0, code), 1);
    EXPECT_EQ(w.bytes.size(), 3u);
  }
}

TEST(BarudanEncoderCommands, DesignsWrittenThroughTheFrameworkGiveTheirGoldenBytes) {
  const struct {
    const char* name;
    int writeZ, separate;
    std::vector<HStitch> stitches;
    Bytes bytes;
  } rows[] = {
      // clang-format off
      {"stitches", 0, 1, {stitch(5, -3), stitch(0, 0)}, {0x80, 0x03, 0x05, 0xE0, 0x03, 0x05}},
      // A trim is cut where the needle is, then the needle jumps on.
      {"upper trim without Z", 0, 1, {stitch(5, -3, StitchCode::UpperTrim)}, {0xE7, 0x00, 0x00, 0x81, 0x03, 0x05}},
      {"upper trim with Z", 1, 1, {stitch(5, -3, StitchCode::UpperTrim)}, {0xE6, 0x00, 0x00, 0x81, 0x03, 0x05}},
      {"drop sequin is a jump", 0, 1, {stitch(5, -3, StitchCode::DropSequin)}, {0x81, 0x03, 0x05}},
      {"stop in place", 0, 1, {stitch(5, -3, StitchCode::Stop)}, {0x81, 0x03, 0x05, 0xE8, 0x00, 0x00}},
      {"needle 12 with Z", 1, 1, {stitch(0, 0, StitchCode::ChangeNeedle, 11)}, {0xF2, 0x00, 0x00, 0xEA, 0x00, 0x00}},
      {"needle 9 without Z is needle 2", 0, 1, {stitch(0, 0, StitchCode::ChangeNeedle, 8)}, {0xEA, 0x00, 0x00}},
      {"needle change with its move", 0, 0, {stitch(5, -3, StitchCode::ChangeNeedle, 2)}, {0x8B, 0x03, 0x05}},
      {"end in place", 0, 0, {stitch(5, -3), stitch(5, -3, StitchCode::DesignEnd)}, {0x80, 0x03, 0x05, 0xF8, 0x00, 0x00}},
      {"long move split into jumps", 0, 1, {stitch(200, 0, StitchCode::Jump), stitch(201, 0)}, {0xC1, 0x00, 0x64, 0xC1, 0x00, 0x64, 0xC0, 0x00, 0x01}},
      // clang-format on
  };
  for (const auto& row : rows) {
    const Encoded e = encodeBarudan(writeOptions(row.writeZ), row.stitches, row.separate);
    EXPECT_TRUE(allOk(e.results)) << row.name;
    EXPECT_EQ(e.bytes, row.bytes) << row.name;
  }
}

TEST(BarudanEncoderCommands, RefusedWriteIsReportedAtEveryRecord) {
  // A needle 12 change in place: jump, prefix, needle record. Refusing at each of the three
  // records gives kEncodeRefused.
  const StitchEncoderOptions o = writeOptions(1);
  for (const int room : {0, 2, 3, 5, 6, 8}) {
    SCOPED_TRACE(testing::Message() << room << " bytes of room");
    unsigned char buffer[16] = {};
    MemoryOutputBytestream stream(buffer, room);
    Writer<BarudanStitchEncoder> writer(o);
    writer.setBytestream(stream);
    ASSERT_EQ(writer.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
    HStitch s = stitch(5, -3, StitchCode::ChangeNeedle, 11);
    EXPECT_EQ(writer.vSendSoftStitch(s), kEncodeRefused);
  }
}

}  // namespace
}  // namespace stitchkit
