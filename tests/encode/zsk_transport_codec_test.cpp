// The ZSK transport stream codec: what the reader makes of each kind of record, the records the
// writer makes of each command, and the stream cut short or holding a record of no known kind.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stitchkit/decode/zsk_transport_decoder.h"
#include "stitchkit/encode/zsk_transport_encoder.h"
#include "tests/decode/decode_test_support.h"
#include "tests/encode/format_encoder_support.h"

namespace stitchkit {
namespace {

using format_test::Bytes;
using format_test::stitch;
using testing_support::Points;
namespace C = StitchCode;

decode_test::Decoded decode(const Bytes& bytes) {
  StitchDecoderOptions o = decode_test::readOptions(kFormatZskTransport);
  o.setPreserveJumps(1);
  return decode_test::decodeWith<ZSKTransportStitchDecoder>(bytes, o);
}

TEST(ZskTransportCodec, EachRecordKindReadsAsItsStitches) {
  struct Case {
    const char* name;
    Bytes bytes;  // the end function follows
    std::vector<int> codes;
    Points points;
    std::vector<int> data;  // data word of each stitch
  };
  // clang-format off
  const Case cases[] = {
      {"stitch", {0x00, 0x05, 0x03}, {C::Normal}, {{5, -3}}, {0}},
      {"jump back", {0x0A, 0x05, 0x03}, {C::Jump}, {{-5, -3}}, {0}},
      {"long move", {0x10, 0x01, 0x00, 0x00, 0x10}, {C::Normal}, {{256, -16}}, {0}},
      {"negative y read down", {0x04, 0x00, 0x07}, {C::Normal}, {{0, 7}}, {0}},
      {"speed up, then the same speed", {0x00, 1, 0, 0x20, 0x09, 0x03, 0x20, 0x09, 0x03},
       {C::Normal, C::SpeedUp, C::Normal}, {{1, 0}, {1, 0}, {1, 0}}, {0, 30, 0}},
      {"slow down", {0x20, 0x09, 0x08, 0x20, 0x09, 0x02}, {C::SpeedUp, C::SlowDown},
       {{0, 0}, {0, 0}}, {80, 20}},
      {"needle change", {0x20, 0x00, 0x03, 0x00, 1, 1}, {C::ChangeNeedle, C::Normal},
       {{0, 0}, {1, -1}}, {0, 0}},
      {"functions with a data word", {0x20, 0x03, 0x07, 0x20, 0x0E, 0x02},
       {C::ZskFunction3, C::ZskFunction14}, {{0, 0}, {0, 0}}, {7, 2}},
      {"sequin on and off", {0x20, 0x0A, 0x04, 0x20, 0x0A, 0x00}, {C::SequinStart, C::SequinEnd},
       {{0, 0}, {0, 0}}, {4, 0}},
      {"borer in and out", {0x20, 0x0B, 0x01, 0x20, 0x0B, 0x00}, {C::BorerIn, C::BorerOut},
       {{0, 0}, {0, 0}}, {1, 0}},
      {"trim, stop, chenille", {0x20, 0x02, 0x00, 0x20, 0x01, 0x00, 0x20, 0x05, 0, 0x20, 0x06, 0},
       {C::Trim, C::Stop, C::ChenilleMoss, C::ChenilleChain}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
       {0, 0, 0, 0}},
      {"jump with a function", {0x32, 0x05, 0x00, 0x00, 0x02, 0x00, 0x03}, {C::Jump}, {{2, -3}},
       {0}},
      {"skipped bytes, remark, unknown function and framed record pass",
       {0x01, 0xFF, 0x40, 0x00, 0x02, 0xAA, 0xBB, 0x20, 0x63, 0x00, 0xF0, 0x00, 0x02, 0x07, 0x00,
        0x00, 0x02, 0x02}, {C::Normal}, {{2, -2}}, {0}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = c.bytes;
    bytes.insert(bytes.end(), {0x20, 0xFF, 0x00});
    const decode_test::Decoded d = decode(bytes);
    EXPECT_EQ(d.result, kDecodeEnd);
    std::vector<int> codes = c.codes;
    codes.push_back(C::DesignEnd);
    EXPECT_EQ(d.codes(), codes);
    Points points = c.points;
    points.push_back(points.empty() ? std::pair{0, 0} : points.back());
    EXPECT_EQ(d.points(), points);
    for (std::size_t i = 0; i < c.data.size() && i < d.stitches.size(); ++i) {
      EXPECT_EQ(d.stitches[i].getData(), c.data[i]) << i;
    }
  }
}

TEST(ZskTransportCodec, DropsNameTheirHeadOrTheWideDrop) {
  // Parameter 2: head 1; 3: head 2, the wide drop; anything else: head 0.
  const decode_test::Decoded d = decode({0x30, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00,  //
                                         0x30, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00,  //
                                         0x30, 0x00, 0x07, 0x00, 0x01, 0x00, 0x00,  //
                                         0x20, 0xFF, 0x00});
  EXPECT_EQ(d.codes(),
            (std::vector<int>{C::DropSequin, C::DropSequinW, C::DropSequin, C::DesignEnd}));
  std::vector<int> heads;
  for (const HStitch& s : d.stitches)
    heads.push_back(s.getSequinHead());
  EXPECT_EQ(heads, (std::vector<int>{1, 0, 0, 0}));
}

TEST(ZskTransportCodec, CutOrUnknownRecordsAndMissingEndStopDecoding) {
  struct Case {
    const char* name;
    Bytes bytes;
    int result;
    long failedAt;
  };
  const Case cases[] = {
      {"no end function", {0x00, 0x01, 0x01}, kDecodeFailure, -1},
      {"long move cut", {0x00, 0x01, 0x01, 0x10, 0x01}, kDecodeMalformed, 3},
      {"remark longer than the data", {0x40, 0x00, 0x09, 0x01}, kDecodeMalformed, 0},
      {"framed record cut", {0x00, 1, 1, 0xF0, 0x01, 0x00, 0x02}, kDecodeMalformed, 3},
      {"class of no known kind", {0x00, 1, 1, 0x50, 0x00, 0x00}, kDecodeMalformed, 3},
      {"empty", {}, kDecodeFailure, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StitchDecoderOptions o = decode_test::readOptions(kFormatZskTransport);
    MemoryInputBytestream stream(c.bytes);
    ZSKTransportStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    const int begun = decoder.beginDesign({0, 0}, 1);
    EXPECT_EQ(begun == kDecodeOk ? decode_test::drainDecoder(decoder).result : begun, c.result);
    EXPECT_EQ(decoder.failedRecordOffset(), c.failedAt);
  }
}

StitchEncoderOptions writeOptions() {
  StitchEncoderOptions o;
  setDefaultEncoderOptions(o);
  o.setFileFormat(kFormatZskTransport);
  return o;
}

TEST(ZskTransportCodec, EachCommandIsWrittenAsItsRecords) {
  struct Case {
    const char* name;
    HStitch s;
    bool soft;
    Bytes bytes;
  };
  // clang-format off
  const Case cases[] = {
      {"stitch", stitch(10, -5), false, {0x00, 0x0A, 0x05}},
      {"jump", stitch(-10, 5, C::Jump), false, {0x0E, 0x0A, 0x05}},
      {"stitch variant", stitch(1, 0, 27), false, {0x04, 0x01, 0x00}},
      {"first stitch on needle 3", stitch(5, -3, C::Normal, 2), true,
       {0x20, 0x00, 0x03, 0x00, 0x05, 0x03}},
      {"design start", stitch(0, 4, C::DesignStart), true, {0x06, 0x00, 0x04}},
      {"needle change", stitch(0, 0, C::ChangeNeedle, 5), false, {0x20, 0x00, 0x06}},
      {"upper trim", stitch(0, 0, C::UpperTrim), false, {0x20, 0x02, 0x00}},
      {"slow down", stitch(0, 0, C::SlowDown), false, {0x20, 0x09, 0x3C}},
      {"speed up", stitch(0, 0, C::SpeedUp), false, {0x20, 0x09, 0x78}},
      {"laser on as a stop", stitch(0, 0, C::LaserOn), false, {0x20, 0x01, 0x00}},
      {"end", stitch(0, 0, C::DesignEnd), false, {0x20, 0xFF, 0x00}},
      {"borer in after its move", stitch(2, 0, C::BorerIn), false,
       {0x06, 0x02, 0x00, 0x20, 0x0B, 0x01}},
      {"borer out", stitch(0, 0, C::BorerOut), false, {0x20, 0x0B, 0x00}},
      {"chain, moss", stitch(0, 0, C::ChenilleChain), false, {0x20, 0x06, 0x00}},
      {"sequin start", stitch(0, 0, C::SequinStart), false, {0x20, 0x0A, 0x01}},
      {"sequin end", stitch(0, 0, C::SequinEnd), false, {0x20, 0x0A, 0x00}},
      {"no function: only the move", stitch(0, -1, C::ZskFunction3), false, {0x02, 0x00, 0x01}},
      {"drop on head 1", [] { HStitch s = stitch(3, 4, C::DropSequin); s.setSequinHead(1);
                              return s; }(), false, {0x34, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04}},
      {"drop on head 0", stitch(-3, 0, C::DropSequin), false,
       {0x38, 0x00, 0x01, 0x00, 0x03, 0x00, 0x00}},
      {"wide drop", stitch(0, -2, C::DropSequinW), false, {0x30, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const format_test::Written w =
        format_test::writeOne<ZSKTransportStitchEncoder>(c.s, writeOptions(), c.soft);
    EXPECT_EQ(w.result, kEncodeOk);
    EXPECT_EQ(w.bytes, c.bytes);
  }
}

TEST(ZskTransportCodec, CombinedSequinGapBecomesOneStitch) {
  for (const int small : {1, 0}) {
    SCOPED_TRACE(small);
    Bytes bytes;
    VectorOutputBytestream stream(bytes);
    const StitchEncoderOptions options = writeOptions();  // the encoder keeps a pointer to it
    format_test::Writer<ZSKTransportStitchEncoder> writer(options);
    writer.setBytestream(stream);
    ASSERT_EQ(writer.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
    writer.setInCombineSequinCommands(small);
    for (HStitch s : {stitch(0, 0, C::SequinEnd), stitch(50, 0, C::Jump), stitch(100, 0, C::Jump),
                      stitch(100, 0, C::SequinStart), stitch(101, 0, C::SequinEnd)}) {
      writer.vSendSoftStitch(s);
    }
    // A large gap keeps its jumps; the start is a stitch either way (of no move here when the
    // jumps were written) and ends the folding.
    const Bytes expected =
        small ? Bytes{0x04, 0x64, 0x00, 0x06, 0x01, 0x00, 0x20, 0x0A, 0x00}
              : Bytes{0x06, 0x32, 0x00, 0x06, 0x32, 0x00, 0x06, 0x01, 0x00, 0x20, 0x0A, 0x00};
    EXPECT_EQ(bytes, expected);
  }
}

}  // namespace
}  // namespace stitchkit
