// What every format decoder does alike: made by its factory, it fails without a stream, a
// read failure anywhere is a failure and not the end of data, and every design aligns anew.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "stitchkit/decode/barudan_decoder.h"
#include "stitchkit/decode/dst_decoder.h"
#include "stitchkit/decode/exp_decoder.h"
#include "stitchkit/decode/zangs_decoder.h"
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
};
struct Barudan {
  using Decoder = BarudanStitchDecoder;
  using Factory = BarudanStitchDecoderFactory;
  static StitchDecoderOptions options() { return readOptions(kFormatDsbVariant16); }
  static Bytes design() { return {0x05, 0x80, 0x05, 0x03, 0xC1, 0x00, 0x0A, 0xF8, 0x00, 0x00}; }
};
struct Exp {
  using Decoder = ExpStitchDecoder;
  using Factory = ExpStitchDecoderFactory;
  static StitchDecoderOptions options() { return readOptions(kFormatExp); }
  static Bytes design() {
    return {0x00, 0x03, 0x05, 0x80, 0x04, 0x0A, 0x00, 0x80, 0x10, 0x00, 0x00};
  }
};
struct Zangs {
  using Decoder = ZangsStitchDecoder;
  using Factory = ZangsStitchDecoderFactory;
  static StitchDecoderOptions options() { return readOptions(kFormatDsz); }
  static Bytes design() { return {0x05, 0x05, 0x03, 0x80, 0x00, 0x0A, 0x81, 0x00, 0x00, 0x90}; }
};

template <typename F>
class DecoderCommon : public testing::Test {};
using Formats = testing::Types<Dst, Barudan, Exp, Zangs>;
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
    typename TypeParam::Decoder decoder(o);
    ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
    HStitch s;
    EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
    EXPECT_EQ(decoder.decodeStitch(s), kDecodeFailure);
  }
  const Bytes design = TypeParam::design();
  for (std::size_t n = 0; n + 1 < design.size(); ++n) {
    ScriptedStream stream(Bytes(design.begin(), design.begin() + static_cast<long>(n)),
                          {kStreamFailure, kStreamEnd});
    typename TypeParam::Decoder decoder(o);
    decoder.setBytestream(stream);
    const Decoded d = runDecoder(decoder);
    EXPECT_EQ(d.result, kDecodeFailure) << "failure after " << n << " bytes";
  }
}

}  // namespace
}  // namespace stitchkit
