#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"

namespace stitchkit {
namespace {

// A design with what the writer must handle: moves short and long, jumps, trims and colour
// changes.
HXArray<HStitch> mixedDesign() {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> move(-120, 120);
  HXArray<HStitch> out;
  short x = 0;
  short y = 0;
  unsigned short colour = 0;
  for (int i = 0; i < 3000; ++i) {
    std::uint8_t code = StitchCode::Normal;
    if (i % 97 == 96) code = StitchCode::Trim;
    if (i % 53 == 52) code = StitchCode::Jump;
    if (i % 701 == 700) code = StitchCode::ChangeNeedle, ++colour;
    x = static_cast<short>(std::clamp(x + move(random) / (i % 5 == 0 ? 1 : 4), -3000, 3000));
    y = static_cast<short>(std::clamp(y + move(random) / (i % 7 == 0 ? 1 : 4), -3000, 3000));
    out.add(HStitch(x, y, code, colour));
  }
  out.add(HStitch(x, y, StitchCode::DesignEnd, colour));
  return out;
}

// The result and the bytes written (as far as they got).
std::pair<int, std::vector<unsigned char>> write(HXArray<HStitch> stitches,
                                                 const StitchOptions& options) {
  std::vector<unsigned char> bytes;
  StitchArrayWrapper wrapper(stitches);
  StitchFilter filter(wrapper);
  VectorOutputBytestream out(bytes);
  const int r = filter.encodeStitches(options, &out);
  return {r, bytes};
}

// Plain stitches take a short way through the writer. A comment on every stitch sends them
// the general way instead, and must not change a byte, whatever the format and options.
TEST(EncodePaths, PlainStitchesAreWrittenAsTheGeneralPathWritesThem) {
  struct Case {
    std::string name;
    std::function<void(StitchOptions&)> set;
  };
  const std::vector<Case> cases = {
      {"defaults", [](StitchOptions&) {}},
      {"granularity", [](StitchOptions& o) { o.setGranularity(3); }},
      {"blank after trim", [](StitchOptions& o) { o.setInsertBlankStitchAfterTrim(1); }},
      {"short moves", [](StitchOptions& o) { o.setMaxLength(50); }},
      {"stitches cut to jumps",
       [](StitchOptions& o) { o.setSplitStitchToJumps(1), o.setMaxLength(80); }},
      {"chenille length",
       [](StitchOptions& o) { o.setHasChenilleSupport(1), o.setMaxRealLength(40); }},
      {"original stitches", [](StitchOptions& o) { o.setKeepOriginalStitch(1); }},
      {"trims as jumps", [](StitchOptions& o) { o.setTrimsAsJumps(1), o.setHasTrimCode(0); }},
  };
  const HXArray<HStitch> plain = mixedDesign();
  HXArray<HStitch> annotated = plain;
  for (HStitch& s : annotated)
    s.setComment(HString(L"x"));

  for (const HDiskFileFormat format : {kFormatDst, kFormatExp, kFormatDsb, kFormatDsz}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name + ", format " + std::to_string(static_cast<int>(format)));
      StitchOptions options;
      setDefaultEncoderOptions(options);
      options.setFileFormat(format);
      options.setHardLength(format == kFormatDst ? 121 : 127);
      options.setMaxNeedles(format == kFormatExp ? 7 : 14);
      c.set(options);
      const auto expected = write(annotated, options);
      EXPECT_GT(expected.second.size(), 3000u);
      EXPECT_EQ(write(plain, options), expected);
    }
  }
}

}  // namespace
}  // namespace stitchkit
