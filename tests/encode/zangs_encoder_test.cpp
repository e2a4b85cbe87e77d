#include "stitchkit/encode/zangs_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"
#include "tests/encode/format_encoder_support.h"

namespace stitchkit {
namespace {

using namespace format_test;  // NOLINT(google-build-using-namespace)

// The common move is (+13, -5): b0 = |dy| = 05, b1 = |dx| = 0D, no direction bit.
constexpr short kMoveX = 13;
constexpr short kMoveY = -5;

Bytes moveRecord(unsigned char b2) {
  return {0x05, 0x0D, b2};
}
Bytes hereRecord(unsigned char b2) {
  return {0x00, 0x00, b2};
}

StitchEncoderOptions dszOptions() {
  StitchEncoderOptions o;
  setDefaultEncoderOptions(o);
  o.setFileFormat(kFormatDsz);
  return o;
}

// Opens the record writers of the encoder to the tests.
class OpenEncoder : public ZangsStitchEncoder {
 public:
  using StitchEncoder::sendHardStitch;
  using ZangsStitchEncoder::vSendSoftStitch;
  using ZangsStitchEncoder::ZangsStitchEncoder;
};

// An encoder writing into `bytes`, begun at (0, 0).
// Keeps its own copy of the options: the encoder points at them for its whole life.
struct Writer {
  explicit Writer(const StitchOptions& o, int separate = 0)
      : options(o), encoder(options), stream(bytes) {
    encoder.setBytestream(stream);
    encoder.setSeparateCommands(separate);
    EXPECT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  }
  Bytes bytes;
  StitchOptions options;
  OpenEncoder encoder;
  VectorOutputBytestream stream;
};

// Writes `stitches` as one design starting at (0, 0), as the stitch filter drives an encoder.
Encoded encodeDsz(const StitchOptions& o, std::vector<HStitch> stitches, int separate = 0,
                  bool withStream = true) {
  return encodeWith<ZangsStitchEncoder>(o, std::move(stitches), separate, withStream, true);
}

// --- Records of each command --------------------------------------------------------------

TEST(ZangsEncoderRecords, EveryCodeWritesItsFunctionByteOrIsRefused) {
  // Codes with a record of their own, written moving, in place and moving back; every other
  // code but the colour change is refused and writes nothing.
  using namespace StitchCode;  // NOLINT(google-build-using-namespace)
  const std::map<int, unsigned char> written = {
      {Normal, 0x80},    {Jump, 0x81},        {Trim, 0x9B},       {Stop, 0x83},
      {DesignEnd, 0x90}, {BorerIn, 0x9D},     {BorerOut, 0x9F},   {SequinEnd, 0x9F},
      {UpperTrim, 0x97}, {SequinStart, 0x94}, {DropSequin, 0x94}, {DropSequinW, 0x94},
  };
  for (int code = 0; code < 256; ++code) {
    if (code == ChangeNeedle) continue;
    SCOPED_TRACE(testing::Message() << "code " << code);
    Writer w(dszOptions());
    const auto found = written.find(code);
    if (found == written.end()) {
      EXPECT_EQ(w.encoder.sendHardStitch(stitch(kMoveX, kMoveY, code)), kEncodeRefused);
      EXPECT_TRUE(w.bytes.empty());
      continue;
    }
    const unsigned char b2 = found->second;
    EXPECT_EQ(w.encoder.sendHardStitch(stitch(kMoveX, kMoveY, code)), kEncodeOk);
    EXPECT_EQ(w.encoder.sendHardStitch(stitch(kMoveX, kMoveY, code)), kEncodeOk);
    EXPECT_EQ(w.encoder.sendHardStitch(stitch(0, 0, code)), kEncodeOk);
    EXPECT_EQ(w.bytes, cat({moveRecord(b2), hereRecord(b2),
                            Bytes{0x05, 0x0D, static_cast<unsigned char>(b2 | 0x60)}}));
  }
}

TEST(ZangsEncoderRecords, EveryNeedleWritesItsRecords) {
  struct Row {
    int needle;
    Bytes bytes;  // moving by (+13, -5)
  };
  const Bytes prefix = hereRecord(0x93);
  // clang-format off
  const Row rows[] = {
      {1, moveRecord(0x85)}, {2, moveRecord(0x87)}, {3, moveRecord(0x89)}, {4, moveRecord(0x8B)},
      {5, moveRecord(0x8D)}, {6, moveRecord(0x8F)}, {7, moveRecord(0x93)},
      {8, cat({prefix, moveRecord(0x85)})}, {9, cat({prefix, moveRecord(0x87)})},
      {10, cat({prefix, moveRecord(0x89)})}, {11, cat({prefix, moveRecord(0x8B)})},
      {12, cat({prefix, moveRecord(0x8D)})}, {13, cat({prefix, moveRecord(0x8F)})},
      {14, cat({prefix, moveRecord(0x93)})},
      {15, moveRecord(0x83)}, {16, moveRecord(0x83)}, {100, moveRecord(0x83)},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "needle " << r.needle);
    Writer w(dszOptions());
    EXPECT_EQ(
        w.encoder.sendHardStitch(stitch(kMoveX, kMoveY, StitchCode::ChangeNeedle, r.needle - 1)),
        kEncodeOk);
    EXPECT_EQ(w.bytes, r.bytes);
  }
  // A needle change whose move is too long for one record is refused whole: not even the
  // prefix of a high needle is written.
  for (const int needle : {4, 12}) {
    Writer w(dszOptions());
    EXPECT_EQ(w.encoder.sendHardStitch(stitch(128, 0, StitchCode::ChangeNeedle, needle - 1)),
              kEncodeRefused);
    EXPECT_TRUE(w.bytes.empty()) << "needle " << needle;
  }
}

// --- Commands -----------------------------------------------------------------------------

TEST(ZangsEncoderCommands, EveryCommandCodeBecomesItsRecordAndPlacement) {
  // Each code moving by (+13, -5) from (0, 0): the record written, and whether it is written
  // in place after a jump while commands are written separately.
  struct Row {
    int first;
    int last;
    unsigned char b2;
    bool inPlaceWhenSeparate;
  };
  // clang-format off
  const Row rows[] = {
      {0,   0,   0x80, false},  // stitch
      {1,   1,   0x81, false},  // jump
      {2,   2,   0x85, false},  // colour change to needle 1
      {3,   3,   0x9B, false},  // trim
      {4,   6,   0x83, true},   // slow down, speed up, stop
      {7,   7,   0x90, false},  // design end
      {8,   8,   0x9D, false},  // borer in
      {9,   9,   0x9F, false},  // borer out
      {10,  10,  0x83, false},  // change over
      {11,  11,  0x81, false},  // design start
      {12,  12,  0x97, true},   // upper trim
      {13,  13,  0x81, false},  // needle up
      {14,  14,  0x9B, false},  // jump trim
      {15,  17,  0x83, true},   // chenille
      {18,  18,  0x94, true},   // sequin start
      {19,  19,  0x9F, true},   // sequin end
      {20,  20,  0x94, false},  // drop sequin
      {21,  25,  0x83, true},
      {26,  30,  0x80, false},  // stitch variants
      {31,  65,  0x83, true},
      {66,  66,  0x81, false},  // drop bead
      {67,  67,  0x94, false},  // drop sequin W
      {68,  255, 0x83, true},
  };
  // clang-format on
  int next = 0;
  for (const Row& row : rows) {
    ASSERT_EQ(row.first, next) << "rows must cover every code";
    next = row.last + 1;
    for (int code = row.first; code <= row.last; ++code) {
      SCOPED_TRACE(testing::Message() << "code " << code);
      for (int separate : {0, 1}) {
        Writer w(dszOptions(), separate);
        HStitch s = stitch(kMoveX, kMoveY, code);
        EXPECT_EQ(w.encoder.vSendSoftStitch(s), kEncodeOk);
        const Bytes expected = separate && row.inPlaceWhenSeparate
                                   ? cat({moveRecord(0x81), hereRecord(row.b2)})
                                   : moveRecord(row.b2);
        EXPECT_EQ(w.bytes, expected) << "separate " << separate;

        // At the current point no jump is needed.
        Writer here(dszOptions(), separate);
        HStitch t = stitch(0, 0, code);
        EXPECT_EQ(here.encoder.vSendSoftStitch(t), kEncodeOk);
        EXPECT_EQ(here.bytes, hereRecord(row.b2)) << "separate " << separate;
      }
    }
  }
  EXPECT_EQ(next, 256);
}

TEST(ZangsEncoderCommands, GoldenDesigns) {
  // MaxNeedles folds high needles onto the machine's when writing; without a byte stream the
  // colour change is kept as it came.
  struct Row {
    const char* what;
    const char* configure;
    std::vector<HStitch> stitches;
    Bytes bytes;
  };
  const auto needle = [](int n) { return stitch(0, 0, StitchCode::ChangeNeedle, n - 1); };
  // clang-format off
  const Row rows[] = {
      {"a colour change to needle 3 with no move", "", {needle(3)}, hereRecord(0x89)},
      {"a colour change to needle 10", "", {needle(10)}, cat({hereRecord(0x93), hereRecord(0x89)})},
      {"a jump of (-4, +6)", "", {stitch(-4, 6, StitchCode::Jump)}, {0x06, 0x04, 0xE1}},
      {"a slow down is a stop", "", {stitch(0, 0, StitchCode::SlowDown)}, hereRecord(0x83)},
      {"stitches, trim and end", "", {stitch(10, 0), stitch(10, 20), stitch(10, 20, StitchCode::Trim), stitch(10, 20, StitchCode::DesignEnd)}, cat({{0x00, 0x0A, 0x80}, {0x14, 0x00, 0xA0}, hereRecord(0x9B), hereRecord(0x90)})},
      {"needle 8 of 6 as needle 2", "MaxNeedles=6", {needle(8)}, hereRecord(0x87)},
      {"needle 6 of 6 stays", "MaxNeedles=6", {needle(6)}, hereRecord(0x8F)},
      {"needle 7 of 6 as needle 1", "MaxNeedles=6", {needle(7)}, hereRecord(0x85)},
      {"needle 14 of 12 as needle 2", "MaxNeedles=12", {needle(14)}, hereRecord(0x87)},
      {"needle 8 without a limit", "MaxNeedles=0", {needle(8)}, cat({hereRecord(0x93), hereRecord(0x85)})},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    StitchEncoderOptions o = dszOptions();
    testing_support::setOptions(o, r.configure);
    const Encoded e = encodeDsz(o, r.stitches);
    EXPECT_EQ(e.bytes, r.bytes);
    EXPECT_TRUE(allOk(e.results));
    const Encoded dry = encodeDsz(o, r.stitches, 0, false);
    EXPECT_TRUE(dry.bytes.empty());
    if (r.stitches[0].isColorChange()) {
      EXPECT_EQ(dry.sent[0].getRealStitchCount(), 0);
    }
  }
}

TEST(ZangsEncoderCommands, RefusedByteEndsTheWrite) {
  struct Row {
    int room;
    int colour;
  };
  // Needle 10: the prefix record fails, or the needle record after it.
  const Row rows[] = {{0, 0}, {2, 0}, {0, 9}, {2, 9}, {4, 9}};
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "room " << r.room << " colour " << r.colour);
    unsigned char buffer[8] = {};
    MemoryOutputBytestream stream(buffer, r.room);
    const StitchOptions options = dszOptions();
    ZangsStitchEncoder encoder(options);
    encoder.setBytestream(stream);
    encoder.setSeparateCommands(0);
    ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
    HStitch s = stitch(3, 3, StitchCode::ChangeNeedle, r.colour);
    EXPECT_EQ(encoder.encodeStitch(s, 0, 0), kEncodeRefused);
  }
}

}  // namespace
}  // namespace stitchkit
