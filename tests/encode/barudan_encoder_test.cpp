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

// --- Needles ------------------------------------------------------------------------------

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
