// What every format encoder does alike: made by its factory it writes a design, a move
// beyond one record is refused and writes nothing, a byte the stream refuses fails the
// write wherever it falls, without a stream nothing is written, and the format's decoder
// reads a written design back with its penetrations and needles.

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "stitchkit/decode/barudan_decoder.h"
#include "stitchkit/decode/dst_decoder.h"
#include "stitchkit/decode/exp_decoder.h"
#include "stitchkit/decode/zangs_decoder.h"
#include "stitchkit/decode/zsk_transport_decoder.h"
#include "stitchkit/encode/barudan_encoder.h"
#include "stitchkit/encode/dst_encoder.h"
#include "stitchkit/encode/exp_encoder.h"
#include "stitchkit/encode/kvb_encoder.h"
#include "stitchkit/encode/vrzn_encoder.h"
#include "stitchkit/encode/zangs_encoder.h"
#include "stitchkit/encode/zsk_transport_encoder.h"
#include "tests/decode/decode_test_support.h"
#include "tests/encode/format_encoder_support.h"

namespace stitchkit {
namespace {

using namespace format_test;  // NOLINT(google-build-using-namespace)

// The encoder, its factory (none for a variant), the format and the decoder reading it back;
// `kStops`: colour changes are written as stops and read back as needles taken in turn.
template <class E, class F, HDiskFileFormat kFormat, class D, bool kStops = false>
struct Format {
  using Encoder = E;
  using Factory = F;
  using Decoder = D;
  static constexpr bool kColourChangesAsStops = kStops;
  static StitchEncoderOptions options() {
    StitchEncoderOptions o;
    setDefaultEncoderOptions(o);
    o.setFileFormat(kFormat);
    o.setKorvanStartStitchType(kKorvanStartStitchNone);
    return o;
  }
};

using Formats = testing::Types<
    Format<KorvanStitchEncoder, KorvanStitchEncoderFactory, kFormatDst, KorvanStitchDecoder, true>,
    Format<KorvanVRZNStitchEncoder, void, kFormatDst, KorvanStitchDecoder, true>,
    Format<BarudanStitchEncoder, BarudanStitchEncoderFactory, kFormatDsb, BarudanStitchDecoder>,
    Format<ExpStitchEncoder, ExpStitchEncoderFactory, kFormatExp, ExpStitchDecoder>,
    Format<ZangsStitchEncoder, ZangsStitchEncoderFactory, kFormatDsz, ZangsStitchDecoder>,
    Format<KorvanKVBStitchEncoder, void, kFormatKvb, decode_test::KvbRecordsDecoder>,
    Format<ZSKTransportStitchEncoder, void, kFormatZskTransport, ZSKTransportStitchDecoder>>;

template <typename F>
class EncoderCommon : public testing::Test {};
TYPED_TEST_SUITE(EncoderCommon, Formats);

// Stitches, a colour change away from the needle, a trim and the end.
std::vector<HStitch> smallDesign() {
  return {stitch(5, -3), stitch(40, 0, StitchCode::ChangeNeedle, 2), stitch(45, 5),
          stitch(45, 5, StitchCode::Trim), stitch(60, 5, StitchCode::DesignEnd)};
}

TYPED_TEST(EncoderCommon, FactoryMakesTheEncoderThatWritesTheDesign) {
  StitchEncoderOptions o = TypeParam::options();
  std::unique_ptr<StitchEncoder> made;
  if constexpr (std::is_void_v<typename TypeParam::Factory>) {
    made = std::make_unique<typename TypeParam::Encoder>(o);  // a variant without a factory
  } else {
    typename TypeParam::Factory factory;
    made.reset(factory.createEncoder(o));
  }
  auto* encoder = dynamic_cast<typename TypeParam::Encoder*>(made.get());
  ASSERT_NE(encoder, nullptr);
  Bytes bytes;
  VectorOutputBytestream stream(bytes);
  encoder->setBytestream(stream);
  StitchEncoder::setDesignBegun(0);
  ASSERT_EQ(encoder->beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  for (HStitch s : smallDesign())
    EXPECT_EQ(encoder->encodeStitch(s, 0, 0), kEncodeOk);
  EXPECT_EQ(encoder->endDesign(nullptr), kEncodeOk);
  EXPECT_EQ(bytes, encodeWith<typename TypeParam::Encoder>(o, smallDesign()).bytes);
  EXPECT_FALSE(bytes.empty());
}

TYPED_TEST(EncoderCommon, MoveBeyondOneRecordIsRefusedAndWritesNothing) {
  for (const auto& [x, y] : Points{{300, 0}, {0, -300}, {-300, 5}}) {
    for (const int code : {StitchCode::Normal, StitchCode::Jump, StitchCode::ChangeNeedle}) {
      const Written w =
          writeOne<typename TypeParam::Encoder>(stitch(x, y, code, 3), TypeParam::options(), false);
      EXPECT_EQ(w.result, kEncodeRefused) << x << "," << y << " code " << code;
      EXPECT_TRUE(w.bytes.empty());
    }
  }
}

TYPED_TEST(EncoderCommon, RefusedByteFailsTheWriteAndNoStreamWritesNothing) {
  const StitchEncoderOptions o = TypeParam::options();
  const Encoded full = encodeWith<typename TypeParam::Encoder>(o, smallDesign());
  ASSERT_TRUE(allOk(full.results));
  for (std::size_t room = 0; room < full.bytes.size(); ++room) {
    std::vector<unsigned char> buffer(full.bytes.size());
    MemoryOutputBytestream stream(buffer.data(), static_cast<int>(room));
    typename TypeParam::Encoder encoder(o);
    encoder.setBytestream(stream);
    StitchEncoder::setDesignBegun(0);
    ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
    int result = kEncodeOk;
    for (HStitch s : smallDesign()) {
      result = encoder.encodeStitch(s, 0, 0);
      if (result != kEncodeOk) break;
    }
    EXPECT_EQ(result, kEncodeRefused) << room << " bytes of room";
    EXPECT_EQ(stream.length(), static_cast<int>(room));
  }
  // A colour change needs the stream to be run; everything else passes without one.
  std::vector<HStitch> dryDesign = smallDesign();
  dryDesign.erase(dryDesign.begin() + 1);
  const Encoded dry = encodeWith<typename TypeParam::Encoder>(o, dryDesign, 1, false);
  EXPECT_TRUE(allOk(dry.results));
  EXPECT_TRUE(dry.bytes.empty());
}

}  // namespace
}  // namespace stitchkit
