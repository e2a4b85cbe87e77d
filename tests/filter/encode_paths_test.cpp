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
#include "tests/filter/stitch_filter_test_peer.h"
#include "tests/support/stitch_builders.h"

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

// What writing a design leaves: the result, the bytes (as far as they got), the design as
// written and the figures counted.
struct Written {
  int result;
  std::vector<unsigned char> bytes;
  std::vector<testing_support::CodedPoint> design;
  std::vector<double> figures;
  bool operator==(const Written&) const = default;
};

Written write(HXArray<HStitch> stitches, const StitchOptions& options) {
  Written w;
  StitchArrayWrapper wrapper(stitches);
  StitchFilter filter(wrapper);
  VectorOutputBytestream out(w.bytes);
  w.result = filter.encodeStitches(options, &out);
  w.design = testing_support::designOf(wrapper);
  const StitchStats& s = filter.getStats();
  w.figures = {double(s.stitchCount),  double(s.jumpCount), double(s.trimCount),
               double(s.commandCount), s.threadLength,      double(s.maxMove),
               double(s.minX),         double(s.maxX),      double(s.minY),
               double(s.maxY)};
  return w;
}

// Plain stitches take a short way through the writer (moves too long for one record cut in
// bulk too). A comment on every stitch sends them the general way instead, and must not
// change a byte, the design as written or a figure, whatever the format and options.
TEST(EncodePaths, PlainStitchesAreWrittenAsTheGeneralPathWritesThem) {
  struct Case {
    std::string name;
    const char* set;
  };
  const std::vector<Case> cases = {
      {"defaults", ""},
      {"granularity", "Granularity=3"},
      {"blank after trim", "InsertBlankStitchAfterTrim=1"},
      {"short moves", "MaxLength=50"},
      {"short moves, shorter jumps", "MaxLength=70 SplitJumpLength=25"},
      {"stitches cut to jumps", "SplitStitchToJumps=1 MaxLength=80"},
      {"chenille length", "HasChenilleSupport=1 MaxRealLength=40"},
      {"original stitches", "KeepOriginalStitch=1"},
      {"trims as jumps", "TrimsAsJumps=1 HasTrimCode=0"},
      {"needle-ups", "UseNeedleUps=1 MaxLength=60"},
      {"penetration as jump", "PenetrationStyle=1 MaxLength=60"},
      {"jumps preserved", "PreserveJumps=1 MaxLength=60"},
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
      testing_support::setOptions(options, c.set);
      const Written expected = write(annotated, options);
      // (Formats without a needle-up record refuse the design either way.)
      if (expected.result == kFilterOk) {
        EXPECT_GT(expected.bytes.size(), 3000u);
      }
      EXPECT_EQ(write(plain, options), expected);
    }
  }
}

// What a group turns into, for the group kinds that change the design's length: the forced
// first colour change, a trim dropped by a machine without trim code, the trim added before
// the move to the end. Each design is written once through an HXArray and once through a
// host's own container; both must hold the same design afterwards.
TEST(EncodePaths, GroupsThatChangeTheLengthLeaveTheDesignAsWritten) {
  namespace C = StitchCode;
  using testing_support::At;
  using testing_support::CodedPoint;
  using testing_support::J;
  using testing_support::N;
  struct Case {
    std::string name;
    const char* set;
    std::vector<CodedPoint> design;
    std::vector<int> written;  // command codes of the design afterwards
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"forced first colour change", "ForceFirstColourChange=1", {N(10), N(20), At(C::DesignEnd, 20)}, {C::ChangeNeedle, C::Normal, C::Normal, C::DesignEnd}},
      {"trim dropped without a trim code", "HasTrimCode=0 JumpsPerTrim=0", {N(10), At(C::Trim, 10), N(20), N(30), At(C::DesignEnd, 30)}, {C::Normal, C::Normal, C::Normal, C::DesignEnd}},
      {"redundant chenille command dropped", "RemoveRedundantChenille=1", {N(10), At(C::ChenilleChain, 10), N(20), At(C::ChenilleChain, 20), N(30), At(C::DesignEnd, 30)}, {C::Normal, C::ChenilleChain, C::Normal, C::Normal, C::DesignEnd}},
      {"trim before the move to the end, trims as jumps", "JumpBeforeEnd=1 TrimsAsJumps=1 HasTrimCode=0", {N(10), N(20), J(60), J(90), At(C::DesignEnd, 100)}, {C::Normal, C::Normal, C::Jump, C::Jump, C::JumpTrim, C::Jump, C::DesignEnd}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StitchOptions options;
    setDefaultEncoderOptions(options);
    options.setFileFormat(kFormatDst);
    options.setHardLength(121);
    testing_support::setOptions(options, c.set);
    HXArray<HStitch> array;
    testing_support::fillDesign(array, c.design);
    VectorWrapper host(array);
    StitchArrayWrapper wrapper(array);
    StitchFilter arrayFilter(wrapper);
    StitchFilter hostFilter(host);
    ASSERT_EQ(arrayFilter.encodeStitches(options, nullptr), kFilterOk);
    ASSERT_EQ(hostFilter.encodeStitches(options, nullptr), kFilterOk);
    std::vector<int> codes;
    for (const CodedPoint& p : testing_support::designOf(wrapper))
      codes.push_back(p.code);
    EXPECT_EQ(codes, c.written);
    EXPECT_EQ(testing_support::designOf(host), testing_support::designOf(wrapper));
    EXPECT_EQ(hostFilter.getStitchCount(), host.length());
  }
}

}  // namespace
}  // namespace stitchkit
