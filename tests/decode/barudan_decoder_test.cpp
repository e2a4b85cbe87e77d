#include "stitchkit/decode/barudan_decoder.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "stitchkit/decode/barudan_records.h"
#include "stitchkit/model/stop_info.h"
#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)
using Codes = std::vector<int>;
using Points = std::vector<std::pair<int, int>>;

constexpr int kPlain = 0;     // extendedVariant as the filter leaves it for .DSB (format 1)
constexpr int kExtended = 1;  // and for the other Barudan formats
const Bytes kEnd = {0xF8, 0x00, 0x00};

StitchDecoderOptions barudanOptions(int variant) {
  return readOptions(variant ? kFormatDsbVariant16 : kFormatDsb);
}

HXArray<StopInfo> stopTable(int code) {
  StopInfo entry;
  entry.commandCode = static_cast<std::uint8_t>(code);
  HXArray<StopInfo> stops;
  stops.add(entry);
  return stops;
}

TEST(BarudanDecoderRecords, StopMovesInEveryVariantWhileTheStopTableHasAnEntry) {
  // Two stops and a stop-table entry for the first only: the first stop moves, the second
  // moves only without extended records.
  const Bytes bytes = cat({{0xC8, 0x05, 0x03}, {0xC8, 0x05, 0x03}, kEnd});
  for (const int variant : {kPlain, kExtended}) {
    MemoryInputBytestream stream(bytes);
    StitchDecoderOptions o = barudanOptions(variant);
    BarudanStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    decoder.setExtendedVariant(variant);
    decoder.setStopTable(stopTable(StitchCode::Stop), {});
    Points stops;
    for (const HStitch& s : runDecoder(decoder).stitches)
      if (s.isStop()) stops.emplace_back(s.xval(), s.yval());
    EXPECT_EQ(stops, variant == kPlain ? (Points{{3, 5}, {6, 10}}) : (Points{{3, 5}, {3, 5}}));
  }
}

TEST(BarudanDecoderChangeover, BlankJumpAfterAJumpInChangeoverModeIsSkippedWhenFiltering) {
  // The stop table turns the first stop into a change over, which switches change-over mode
  // on; the jump away is then followed by a blank jump.
  const Bytes bytes =
      cat({{0xE8, 0x00, 0x00}, {0xE1, 0x05, 0x05}, {0xE1, 0x00, 0x00}, {0xE0, 0x01, 0x01}, kEnd});
  for (const int filtering : {0, 1}) {
    for (const bool changeover : {false, true}) {
      MemoryInputBytestream stream(bytes);
      StitchDecoderOptions o = barudanOptions(kExtended);
      o.setFilterChangeoverBlankJumps(filtering);
      o.setPreserveJumps(1);
      BarudanStitchDecoder decoder(o);
      decoder.setBytestream(stream);
      if (changeover) decoder.setStopTable(stopTable(StitchCode::ChangeOver), {});
      const Decoded d = runDecoder(decoder);
      const int first = changeover ? StitchCode::ChangeOver : StitchCode::Stop;
      EXPECT_EQ(d.codes(),
                filtering && changeover ? (Codes{first, 1, 0, 7}) : (Codes{first, 1, 1, 0, 7}))
          << filtering << changeover;
      EXPECT_EQ(d.points().back(), std::make_pair(-6, 6));
    }
  }
}

}  // namespace
}  // namespace stitchkit
