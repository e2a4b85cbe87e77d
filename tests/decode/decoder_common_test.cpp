// What every format decoder does alike: made by its factory, it fails without a stream, a
// read failure anywhere is a lasting failure and not the end of data, every design aligns anew, and
// runs of plain stitches read in bulk give what the records give one by one.

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "stitchkit/decode/barudan_decoder.h"
#include "stitchkit/decode/dst_decoder.h"
#include "stitchkit/decode/exp_decoder.h"
#include "stitchkit/decode/zangs_decoder.h"
#include "stitchkit/decode/zsk_transport_decoder.h"
#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)
using Codes = std::vector<int>;

// Each format: its decoder and factory, the options it is read with, and a design of junk,
// a stitch to (3, -5), a jump to (13, -5) and the end record.
struct Dst {
  using Decoder = KorvanStitchDecoder;
  using Factory = KorvanStitchDecoderFactory;
  static StitchDecoderOptions options() { return readOptions(kFormatDst); }
  static Bytes design() { return cat({{0x10}, normal(3, -5), jump(10, 0), endRecord()}); }
  static constexpr const char* kSamples = "dst";
  static constexpr std::size_t kHeader = 512;
  // Blanks, the longest moves, commands in between, single jumps and jump runs, a trim made of
  // jumps followed by a single jump, the edge of a stitch's range.
  static std::vector<Bytes> runs() {
    const Bytes blank = normal(0, 0);
    const Bytes moves =
        cat({normal(3, 4), blank, normal(-1, 0), normal(1, 1), blank, blank, normal(121, -121)});
    const Bytes outOfRange = cat({repeat(normal(121, 121), 300), normal(1, 0)});
    const Bytes commands = cat({stop(), normal(2, 2), changeover(), normal(5, 0), changeover()});
    const Bytes jumps = cat({jump(30, -20), normal(1, 1), jump(0, 0), blank, jump(0, 0),
                             normal(2, 0), jump(10, 0), jump(-10, 0), normal(1, 0)});
    const Bytes trim = cat({jump(5, 0), jump(5, 0), jump(-10, 0), jump(20, 0), normal(1, 0)});
    return {cat({moves, commands, jumps, trim, jump(-40, 0), outOfRange, endRecord()}),
            cat({repeat(normal(-121, 0), 280), normal(-2, 0), Bytes{0x00, 0x00, 0x00}})};
  }
};
struct Barudan {
  using Decoder = BarudanStitchDecoder;
  using Factory = BarudanStitchDecoderFactory;
  static StitchDecoderOptions options() { return readOptions(kFormatDsbVariant16); }
  static Bytes design() { return {0x05, 0x80, 0x05, 0x03, 0xC1, 0x00, 0x0A, 0xF8, 0x00, 0x00}; }
  static constexpr const char* kSamples = "dsb";
  static constexpr std::size_t kHeader = 512;
  static std::vector<Bytes> runs() { return {design()}; }
};
struct Exp {
  using Decoder = ExpStitchDecoder;
  using Factory = ExpStitchDecoderFactory;
  static StitchDecoderOptions options() { return readOptions(kFormatExp); }
  static Bytes design() {
    return {0x00, 0x03, 0x05, 0x80, 0x04, 0x0A, 0x00, 0x80, 0x10, 0x00, 0x00};
  }
  static constexpr const char* kSamples = "exp";
  static constexpr std::size_t kHeader = 0;
  static std::vector<Bytes> runs() {
    const Bytes moves = {0x03, 0x04, 0x00, 0x00, 0xFF, 0x00, 0x7F, 0x81, 0x00, 0x00};
    // Stitches and blanks; a jump back, a trim, a single jump and a stitch.
    const Bytes jumps = {0x80, 0x04, 0x81, 0x00, 0x80, 0x80, 0x07,
                         0x00, 0x80, 0x04, 0x14, 0x00, 0x01, 0x00};
    const Bytes outOfRange = cat({repeat({0x81, 0x7F}, 300), {0x01, 0x00}});
    return {cat({moves, jumps, outOfRange, {0x80, 0x10, 0x00, 0x00}}),
            cat({repeat({0x81, 0x00}, 260), {0x80, 0x81}})};
  }
};
struct Zangs {
  using Decoder = ZangsStitchDecoder;
  using Factory = ZangsStitchDecoderFactory;
  static StitchDecoderOptions options() { return readOptions(kFormatDsz); }
  static Bytes design() { return {0x05, 0x05, 0x03, 0x80, 0x00, 0x0A, 0x81, 0x00, 0x00, 0x90}; }
  static constexpr const char* kSamples = "dsz";
  static constexpr std::size_t kHeader = 512;
  static std::vector<Bytes> runs() { return {design()}; }
};

struct Kvb {
  using Decoder = KvbRecordsDecoder;
  struct Factory {  // the filter makes KVB decoders itself; this stands in for it
    StitchDecoder* createDecoder(StitchOptions& o) { return new KvbRecordsDecoder(o); }
  };
  static StitchDecoderOptions options() { return readOptions(kFormatKvb); }
  static Bytes design() { return {0x03, 0x05, 0x80, 0x0A, 0x00, 0x90, 0x00, 0x00, 0x8F}; }
  static constexpr const char* kSamples = "kvb";
  static constexpr std::size_t kHeader = 0;
  // Blanks and the longest moves, a stop and needle changes, single jumps and a jump run, a
  // trim made of jumps, jumps with speed commands, the edge of a stitch's range.
  static std::vector<Bytes> runs() {
    const auto r = [](int dx, int dy, int b2) {
      return Bytes{static_cast<unsigned char>(dx), static_cast<unsigned char>(-dy),
                   static_cast<unsigned char>(b2)};
    };
    const Bytes moves = cat({r(3, 4, 0x80), r(0, 0, 0x80), r(127, -127, 0x80), r(-128, 128, 0x80),
                             r(1, 1, 0x2D), r(0, 0, 0x80), r(-1, 0, 0x80)});
    const Bytes commands = cat({r(0, 0, 0x40), r(2, 2, 0x80), r(0, 0, 0x81), r(5, 0, 0x80),
                                r(1, 0, 0x81), r(1, 0, 0x80), r(0, 0, 0x31), r(1, 0, 0x80)});
    const Bytes jumps =
        cat({r(30, -20, 0x90), r(1, 1, 0x80), r(0, 0, 0x90), r(0, 0, 0x80), r(10, 0, 0x9C),
             r(1, 0, 0x80), r(10, 0, 0x90), r(-10, 0, 0x9D), r(5, 0, 0x90), r(5, 0, 0x90),
             r(-10, 0, 0x90), r(20, 0, 0x90), r(1, 0, 0x80)});
    const Bytes outOfRange = cat({repeat(r(127, 127, 0x80), 300), r(1, 0, 0x80)});
    return {cat({moves, commands, jumps, outOfRange, r(0, 0, 0x8F)}),
            cat({repeat(r(-128, 0, 0x80), 270), r(-2, 0, 0x80), Bytes{0x00, 0x00}})};
  }
};

// The ZSK transport decoder loads the whole stream when a design begins; records need no file
// header in front of them.
struct ZskTransport {
  using Decoder = ZSKTransportStitchDecoder;
  struct Factory {  // the filter makes ZSK transport decoders itself; this stands in for it
    StitchDecoder* createDecoder(StitchOptions& o) { return new ZSKTransportStitchDecoder(o); }
  };
  static StitchDecoderOptions options() { return readOptions(kFormatZskTransport); }
  static Bytes design() { return {0x01, 0x00, 0x03, 0x05, 0x06, 0x0A, 0x00, 0x20, 0xFF, 0x00}; }
  static constexpr const char* kSamples = "z01";
  static constexpr std::size_t kHeader = 0;
  // Blanks, short and long moves of every sign, skipped bytes, a remark and a framed record
  // between them, commands, single jumps and a jump run, a trim made of jumps, the edge of a
  // stitch's range; a record cut by the end of the data.
  static std::vector<Bytes> runs() {
    const auto m = [](int dx, int dy, bool jump = false) {
      const int ax = dx < 0 ? -dx : dx;
      const int ay = dy < 0 ? -dy : dy;
      const int kind = ax > 255 || ay > 255 ? 0x10 : 0x00;
      const auto c =
          static_cast<unsigned char>(kind | (dx < 0 ? 8 : 0) | (dy >= 0 ? 4 : 0) | (jump ? 2 : 0));
      if (kind == 0)
        return Bytes{c, static_cast<unsigned char>(ax), static_cast<unsigned char>(ay)};
      return Bytes{c, static_cast<unsigned char>(ax >> 8), static_cast<unsigned char>(ax),
                   static_cast<unsigned char>(ay >> 8), static_cast<unsigned char>(ay)};
    };
    const Bytes blank = m(0, 0);
    const Bytes moves = cat({m(3, 4),
                             blank,
                             m(-1, 0),
                             {0x01, 0x03},
                             m(255, -255),
                             m(-300, 2),
                             {0x40, 0x00, 0x01, 0x00},
                             m(0, 700),
                             {0xF0, 0x00, 0x02, 0x07, 0x00},
                             m(1, 1)});
    const Bytes commands = cat({{0x20, 0x01, 0x00},
                                m(2, 2),
                                {0x20, 0x00, 0x03},
                                m(5, 0),
                                {0x20, 0x09, 0x05},
                                m(1, 0),
                                {0x20, 0x63, 0x00},
                                m(1, 0)});
    const Bytes jumps = cat({m(30, -20, true), m(1, 1), m(0, 0, true), blank, m(0, 0, true),
                             m(2, 0), m(10, 0, true), m(-10, 0, true), m(1, 0)});
    const Bytes trim =
        cat({m(5, 0, true), m(5, 0, true), m(-10, 0, true), m(20, 0, true), m(1, 0)});
    const Bytes outOfRange = cat({repeat(m(255, 255), 130), m(1, 0)});
    return {cat({moves, commands, jumps, trim, outOfRange, {0x20, 0xFF, 0x00}}),
            cat({repeat(m(-255, 0), 130), m(-2, 0), Bytes{0x10, 0x00}})};
  }
};

template <typename F>
class DecoderCommon : public testing::Test {};
using Formats = testing::Types<Dst, Barudan, Exp, Zangs, Kvb, ZskTransport>;
TYPED_TEST_SUITE(DecoderCommon, Formats);

Decoded decodeFrom(StitchDecoder& decoder, const Bytes& bytes) {
  MemoryInputBytestream stream(bytes);
  static_cast<BytestreamStitchDecoder&>(decoder).setBytestream(stream);
  return runDecoder(decoder);
}

TYPED_TEST(DecoderCommon, FactoryMakesADecoderThatReadsEveryDesignAfresh) {
  StitchDecoderOptions o = TypeParam::options();
  o.setPreserveJumps(1);
  typename TypeParam::Factory factory;
  std::unique_ptr<StitchDecoder> decoder(factory.createDecoder(o));
  ASSERT_NE(dynamic_cast<typename TypeParam::Decoder*>(decoder.get()), nullptr);
  for (int design = 0; design < 2; ++design) {
    const Decoded d = decodeFrom(*decoder, TypeParam::design());
    EXPECT_EQ(d.codes(), (Codes{StitchCode::Normal, StitchCode::Jump, StitchCode::DesignEnd}));
    EXPECT_EQ(d.points(), (testing_support::Points{{3, -5}, {13, -5}, {13, -5}}));
    EXPECT_EQ(d.result, kDecodeEnd);
    EXPECT_EQ(d.endResult, kDecodeOk);
  }
}

TYPED_TEST(DecoderCommon, NoStreamOrAReadFailureAnywhereIsAFailure) {
  StitchDecoderOptions o = TypeParam::options();
  {
    // A decoder that reads its records as it goes fails at the first; one that loads them all
    // when the design begins fails there.
    typename TypeParam::Decoder decoder(o);
    const int begun = decoder.beginDesign({0, 0}, 1);
    HStitch s;
    EXPECT_EQ(begun == kDecodeOk ? decoder.decodeStitch(s) : begun, kDecodeFailure);
    EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
  }
  const Bytes design = TypeParam::design();
  for (std::size_t n = 0; n + 1 < design.size(); ++n) {
    ScriptedStream stream(Bytes(design.begin(), design.begin() + static_cast<long>(n)),
                          {kStreamFailure, kStreamEnd});
    typename TypeParam::Decoder decoder(o);
    decoder.setBytestream(stream);
    const int begun = decoder.beginDesign({0, 0}, 1);
    EXPECT_EQ(begun == kDecodeOk ? drainDecoder(decoder).result : begun, kDecodeFailure)
        << "failure after " << n << " bytes";
    // The failure sticks and the stream is not asked again.
    const int reads = stream.reads();
    HStitch s;
    EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
    EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
    EXPECT_EQ(stream.reads(), reads);
  }
}

TYPED_TEST(DecoderCommon, PlainRunsInBulkDecodeAsRecordByRecord) {
  std::vector<Bytes> designs = TypeParam::runs();
  for (const auto& path : testing_support::sampleFiles(TypeParam::kSamples)) {
    const Bytes file = testing_support::fileBytes(path);
    if (file.size() > TypeParam::kHeader) {
      designs.emplace_back(file.begin() + static_cast<long>(TypeParam::kHeader), file.end());
    }
  }
  for (const int preserveBlanks : {0, 1}) {
    for (const short cleanLength : {0, 5}) {
      for (const Bytes& design : designs) {
        SCOPED_TRACE(testing::Message()
                     << design.size() << " bytes, " << preserveBlanks << " " << cleanLength);
        StitchDecoderOptions bulkOptions = TypeParam::options();
        bulkOptions.setPreserveBlanks(static_cast<PreserveBlanksType>(preserveBlanks));
        bulkOptions.setCleanLength(cleanLength);
        StitchDecoderOptions singleOptions = bulkOptions;
        MemoryInputBytestream bulkStream(design);
        MemoryInputBytestream singleStream(design);
        typename TypeParam::Decoder bulkDecoder(bulkOptions);
        typename TypeParam::Decoder singleDecoder(singleOptions);
        bulkDecoder.setBytestream(bulkStream);
        singleDecoder.setBytestream(singleStream);
        const Decoded bulk = runDecoder(bulkDecoder, {0, 0}, 1, true);
        const Decoded single = runDecoder(singleDecoder, {0, 0}, 1, false);

        ASSERT_EQ(bulk.stitches.size(), single.stitches.size());
        for (std::size_t i = 0; i < bulk.stitches.size(); ++i) {
          ASSERT_TRUE(bulk.stitches[i].isSameRecordAs(single.stitches[i])) << i;
          ASSERT_EQ(bulk.stitches[i].getRealStitchCount(), single.stitches[i].getRealStitchCount());
        }
        EXPECT_EQ(bulk.result, single.result);
        EXPECT_EQ(bulkDecoder.failedRecordOffset(), singleDecoder.failedRecordOffset());
        const StitchStats& a = bulk.stats;
        const StitchStats& b = single.stats;
        EXPECT_EQ(
            std::tie(a.stitchCount, a.jumpCount, a.commandCount, a.trimCount, a.minX, a.maxX,
                     a.minY, a.maxY, a.endX, a.endY, a.maxMove, a.needleCount, a.stitchIndex),
            std::tie(b.stitchCount, b.jumpCount, b.commandCount, b.trimCount, b.minX, b.maxX,
                     b.minY, b.maxY, b.endX, b.endY, b.maxMove, b.needleCount, b.stitchIndex));
        EXPECT_EQ(a.threadLength, b.threadLength);
        EXPECT_TRUE(a.colourStitchCounts == b.colourStitchCounts);
        EXPECT_EQ(std::make_tuple(bulkOptions.getMaxLength(), bulkOptions.getCleanLength(),
                                  bulkOptions.getSplitJumpLength()),
                  std::make_tuple(singleOptions.getMaxLength(), singleOptions.getCleanLength(),
                                  singleOptions.getSplitJumpLength()));
      }
    }
  }
}

}  // namespace
}  // namespace stitchkit
