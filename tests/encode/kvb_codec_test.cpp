// The KVB codec: a small design written record for record and read back, the function byte
// the writer chooses by command and machine state, what the reader takes from the header and
// from each function byte, and the headers and records it refuses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stitchkit/decode/kvb_decoder.h"
#include "stitchkit/encode/kvb_encoder.h"
#include "stitchkit/filter/stitch_filter.h"
#include "tests/decode/decode_test_support.h"
#include "tests/encode/format_encoder_support.h"

namespace stitchkit {
namespace {

using decode_test::Decoded;
using decode_test::kvbHeader;
using format_test::Bytes;
using format_test::cat;
using format_test::stitch;

// One record as the format gives it: the x move, the y move (stored negated) and the function
// byte.
Bytes rec(int dx, int dy, int function) {
  return {static_cast<unsigned char>(dx), static_cast<unsigned char>(-dy),
          static_cast<unsigned char>(function)};
}

StitchEncoderOptions writeOptions(const char* settings = "") {
  StitchEncoderOptions o;
  setDefaultEncoderOptions(o);
  o.setFileFormat(kFormatKvb);
  testing_support::setOptions(o, settings);
  return o;
}

TEST(KvbCodec, SmallDesignIsWrittenRecordForRecordAndReadBack) {
  // Stitches, a trim, a move of 300 to the next object, a colour change and the end.
  HXArray<HStitch> array = testing_support::design(
      {stitch(10, 0), stitch(20, -5), stitch(20, -5, StitchCode::Trim),
       stitch(320, -5, StitchCode::Jump), stitch(325, 0),
       stitch(325, 0, StitchCode::ChangeNeedle, 1), stitch(330, 10, StitchCode::Normal, 1),
       stitch(330, 10, StitchCode::DesignEnd, 1)});
  const std::vector<HStitch> original(array.begin(), array.end());
  Bytes bytes;
  VectorOutputBytestream out(bytes);
  StitchArrayWrapper wrapper(array);
  ASSERT_EQ(StitchFilter(wrapper).encodeStitches(writeOptions(), &out), kFilterOk);
  const Bytes expected = cat({
      rec(0, 0, 0x80),    // the start record
      rec(10, 0, 0x80),   // stitch
      rec(10, -5, 0x80),  // stitch
      rec(0, 0, 0x86),    // trim
      rec(100, 0, 0x90),  // jump
      rec(100, 0, 0x90),  // jump
      rec(100, 0, 0x90),  // jump
      rec(5, 5, 0x80),    // stitch
      rec(0, 0, 0x81),    // needle change
      rec(5, 10, 0x80),   // stitch
      rec(0, 0, 0x8F),    // end
  });
  EXPECT_EQ(bytes, expected);

  // Read back behind a header naming needles 1 and 2.
  const Bytes file = cat({kvbHeader({1, 2}), bytes});
  HXArray<HStitch> read;
  StitchArrayWrapper readWrapper(read);
  StitchDecoderOptions o = decode_test::readOptions(kFormatKvb);
  MemoryInputBytestream stream(file);
  ASSERT_EQ(StitchFilter(readWrapper).decodeStitches(o, 1, stream), kFilterOk);
  EXPECT_EQ(testing_support::penetrations(read), testing_support::penetrations(original));
  EXPECT_EQ(testing_support::colourSequence(read), (std::vector<int>{0, 1}));
}

TEST(KvbCodec, FunctionByteFollowsCommandAndMachineState) {
  struct Case {
    const char* name;
    const char* settings;
    bool throughFramework;  // encodeStitch with its modes, else the format's own operations
    std::vector<HStitch> stitches;
    Bytes expected;
  };
  HStitch arbitrary = stitch(0, 0, StitchCode::ArbitraryOff);
  arbitrary.setArbitraryBlock(0x1A3);
  HStitch head3 = stitch(0, 0, StitchCode::DropSequin);
  head3.setSequinHead(3);
  HStitch bead2 = stitch(0, 0, StitchCode::DropBead);
  bead2.setSequinHead(2);
  const HStitch chenille = stitch(0, 0, StitchCode::LockChenilleStandard);
  // clang-format off
  const std::vector<Case> cases = {
      {"a move of (+10, +20)", "", false, {stitch(10, 20)}, rec(10, 20, 0x80)},
      {"stops after a stitch and after a jump", "", false,
       {stitch(1, 0), stitch(1, 0, StitchCode::Stop), stitch(2, 0, StitchCode::Jump), stitch(2, 0, StitchCode::Stop)},
       cat({rec(1, 0, 0x80), rec(0, 0, 0x40), rec(1, 0, 0x90), rec(0, 0, 0x50)})},
      {"drops with heads", "", false,
       {head3, stitch(0, 0, StitchCode::DropSequin), bead2, stitch(0, 0, StitchCode::DropBead)},
       cat({rec(0, 0, 0x6B), rec(0, 0, 0x89), rec(0, 0, 0x63), rec(0, 0, 0x61)})},
      {"change-over mode drops sequins", "", true,
       {stitch(0, 0, StitchCode::ChangeOver), stitch(5, 0, StitchCode::Jump), stitch(5, 0, StitchCode::ChangeOver)},
       cat({rec(0, 0, 0x4D), rec(5, 0, 0x89), rec(0, 0, 0x88)})},
      {"change-over mode drops beads", "ReadChangeoverType=4", true,
       {stitch(0, 0, StitchCode::ChangeOver), stitch(5, 0, StitchCode::Jump), stitch(5, 0, StitchCode::ChangeOver)},
       cat({rec(0, 0, 0x4D), rec(5, 0, 0x61), rec(0, 0, 0x88)})},
      {"no trims while thread handling is prohibited", "", false,
       {stitch(0, 0, StitchCode::ATHProhibitedStart), stitch(0, 0, StitchCode::Trim), stitch(4, 0, StitchCode::UpperTrim),
        stitch(4, 0, StitchCode::ATHProhibitedEnd), stitch(4, 0, StitchCode::Trim)},
       cat({rec(0, 0, 0x4E), rec(4, 0, 0x90), rec(0, 0, 0x4F), rec(0, 0, 0x86)})},
      {"borers", "", false,
       {stitch(0, 0, StitchCode::BorerIn), stitch(0, 0, StitchCode::BorerOut)}, cat({rec(0, 0, 0x2A), rec(0, 0, 0x2B)})},
      {"borers on a borer needle", "HasBorerNeedle=1", false,
       {stitch(0, 0, StitchCode::BorerIn), stitch(0, 0, StitchCode::BorerOut)}, cat({rec(0, 0, 0x81), rec(0, 0, 0x81)})},
      {"a repeated stop", "KorvanRemoveDoubleStops=1", false,
       {stitch(0, 0, StitchCode::Stop), stitch(0, 0, StitchCode::Stop)}, rec(0, 0, 0x40)},
      {"the start record before a jump", "KorvanStartStitchType=2", false,
       {stitch(3, 0, StitchCode::Jump)}, cat({rec(0, 0, 0x90), rec(3, 0, 0x90)})},
      {"the first lock-stitch chenille command", "", false, {chenille, chenille}, rec(0, 0, 0x81)},
      {"an arbitrary block", "", false, {arbitrary}, rec(0, 0, 0xA3)},
      {"design start and needle up move as jumps", "", false,
       {stitch(2, 0, StitchCode::DesignStart), stitch(4, 0, StitchCode::NeedleUp)},
       cat({rec(2, 0, 0x90), rec(2, 0, 0x90)})},
      {"a sequin start is written where it stands", "", false,
       {stitch(6, 0, StitchCode::SequinStart)}, cat({rec(6, 0, 0x90), rec(0, 0, 0x4D)})},
      {"commands without a byte of their own", "", false,
       {stitch(0, 0, StitchCode::FrameOut), stitch(0, 0, StitchCode::ChenilleHeight)},
       cat({rec(0, 0, 0x50), rec(0, 0, 0x50)})},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const StitchEncoderOptions o =
        writeOptions((std::string("KorvanStartStitchType=0 ") + c.settings).c_str());
    Bytes bytes;
    if (c.throughFramework) {
      bytes = format_test::encodeWith<KorvanKVBStitchEncoder>(o, c.stitches).bytes;
    } else {
      VectorOutputBytestream stream(bytes);
      format_test::Writer<KorvanKVBStitchEncoder> writer(o);
      writer.setBytestream(stream);
      ASSERT_EQ(writer.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
      for (HStitch s : c.stitches)
        writer.vSendSoftStitch(s);
    }
    EXPECT_EQ(bytes, c.expected);
  }
}

TEST(KvbCodec, EveryCommandWithAByteOfItsOwnReadsBackAsItself) {
  StitchEncoderOptions o = writeOptions("KorvanStartStitchType=0 CombineSequinBead=1");
  StitchDecoderOptions r = decode_test::readOptions(kFormatKvb);
  for (int code = 0; code <= StitchCode::DropSequinW; ++code) {
    const bool own = code <= 9 || code == 12 || (code >= 18 && code <= 20) || code == 24 ||
                     code == 25 || code == 37 || (code >= 54 && code <= 60) || code >= 63;
    if (!own) continue;
    SCOPED_TRACE(code);
    HStitch s = stitch(3, -4, code);
    if (code == StitchCode::ArbitraryOn || code == StitchCode::ArbitraryOff) {
      s.setArbitraryBlock(0xA4 + code - StitchCode::ArbitraryOn);
    }
    const format_test::Written w = format_test::writeOne<KorvanKVBStitchEncoder>(s, o, false);
    ASSERT_EQ(w.result, kEncodeOk);
    const Decoded d = decode_test::readHard<KorvanKVBStitchDecoder>(cat({kvbHeader(), w.bytes}), r);
    ASSERT_EQ(d.stitches.size(), 1u);
    EXPECT_EQ(d.stitches[0].getFlags(), code);
    // The end does not move.
    const HCoord<short> at =
        code == StitchCode::DesignEnd ? HCoord<short>(0, 0) : HCoord<short>(3, -4);
    EXPECT_EQ(d.stitches[0].getPoint(), at);
  }
}

TEST(KvbCodec, MalformedHeadersAndRecordsEndTheRead) {
  struct Case {
    const char* name;
    Bytes file;
    int begin;   // beginDesign's result
    int result;  // how reading the records ended
    long failedAt;
  };
  Bytes noNeedleTag = kvbHeader();
  noNeedleTag[264] = 'X';
  Bytes noAttributeTag = kvbHeader();
  noAttributeTag[525] = ';';
  const Bytes full = kvbHeader();
  // clang-format off
  const std::vector<Case> cases = {
      {"no needle-order tag", noNeedleTag, kDecodeMalformed, 0, -1},
      {"no attribute tag", noAttributeTag, kDecodeMalformed, 0, -1},
      {"a header cut in the needle order", Bytes(full.begin(), full.begin() + 400), kDecodeMalformed, 0, -1},
      {"a header cut in the attributes", Bytes(full.begin(), full.begin() + 700), kDecodeMalformed, 0, -1},
      {"a header without records", full, kDecodeOk, kDecodeEnd, -1},
      {"a record cut short", cat({full, rec(1, 1, 0x80), {0x01}}), kDecodeOk, kDecodeEnd, -1},
      {"a move out of range", cat({full, testing_support::repeat(rec(127, 0, 0x80), 259)}),
       kDecodeOk, kDecodeOutOfRange, 1536 + 258 * 3},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StitchDecoderOptions o = decode_test::readOptions(kFormatKvb);
    MemoryInputBytestream stream(c.file);
    ASSERT_EQ(stream.seek(5), kStreamOk);
    KorvanKVBStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    EXPECT_EQ(decoder.beginDesign({0, 0}, 1), c.begin);
    if (c.begin != kDecodeOk) {
      EXPECT_EQ(stream.position(), 5) << "a refused header leaves the stream where it was";
      continue;
    }
    EXPECT_EQ(decode_test::drainDecoder(decoder).result, c.result);
    EXPECT_EQ(decoder.failedRecordOffset(), c.failedAt);
  }
}

}  // namespace
}  // namespace stitchkit
