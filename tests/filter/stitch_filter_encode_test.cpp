#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "stitchkit/encode/stitch_encoder.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/model/stop_info.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "tests/filter/stitch_filter_test_peer.h"
#include "tests/support/stitch_builders.h"

namespace stitchkit {
namespace {

namespace C = StitchCode;
using Peer = StitchFilterTestPeer;
using testing_support::At;
using testing_support::CodedPoint;
using testing_support::designOf;
using testing_support::fillDesign;
using testing_support::J;
using testing_support::N;

// The option set DST files are written with.
StitchOptions dstEncoderOptions() {
  StitchOptions options;
  setDefaultEncoderOptions(options);
  options.setFileFormat(kFormatDst);
  options.setHardLength(121);
  return options;
}

// The option set DST files are read with (as the reading entry points choose it).
StitchOptions dstDecoderOptions() {
  StitchOptions options;
  setDefaultDecoderOptions(options);
  options.setFileFormat(kFormatDst);
  options.setHardLength(121);
  options.setStopsAsNeedles(1);
  return options;
}

std::vector<int> codesOf(const std::vector<CodedPoint>& design) {
  std::vector<int> codes;
  for (const CodedPoint& p : design)
    codes.push_back(p.code);
  return codes;
}

// Records what the filter asks of an encoder; writes nothing but the record of each stitch.
class RecordingEncoder final : public BytestreamStitchEncoder {
 public:
  using BytestreamStitchEncoder::BytestreamStitchEncoder;

  void setInCombineSequinCommands(int on) override { combineCalls.push_back(on); }

  std::vector<CodedPoint> records;
  std::vector<int> combineCalls;

 protected:
  int vSendSoftStitch(HStitch& s) override { return sendHardStitch(s); }
  int vSendHardStitch(const HStitch& s) override {
    records.push_back({s.getFlags(), s.xval(), s.yval()});
    return kEncodeOk;
  }
};

// Runs the group walk over `design` with a recording encoder.
struct RecordedWalk {
  int result = 0;
  std::vector<CodedPoint> records;
  std::vector<int> combineCalls;
  std::vector<CodedPoint> written;  // the container afterwards
};

RecordedWalk recordWalk(const std::vector<CodedPoint>& design, const StitchOptions& options,
                        bool withStream) {
  HXArray<HStitch> array;
  fillDesign(array, design);
  StitchArrayWrapper stitches(array);
  StitchFilter filter(stitches);
  RecordingEncoder encoder(options);
  std::vector<unsigned char> bytes;
  VectorOutputBytestream stream(bytes);
  if (withStream) encoder.setBytestream(stream);
  EXPECT_EQ(encoder.beginDesign(HCoord<short>(0, 0), filter.getCentre(), 0), kEncodeOk);
  int afterTrim = 1;
  RecordedWalk walk;
  walk.result = Peer::revirtualizeAndEncode(filter, &encoder, 0, options, afterTrim);
  walk.records = encoder.records;
  walk.combineCalls = encoder.combineCalls;
  walk.written = designOf(stitches);
  return walk;
}

// --- Encoder choice ---------------------------------------------------------------------------

TEST(StitchFilterEncode, ResultTellsWhetherTheFormatHasAnEncoder) {
  struct Case {
    std::string name;
    int format;
    const wchar_t* formatType;
    bool asHsf;
    int expected;
  };
  const std::vector<Case> cases = {
      {"DST", 0, L"Normal", false, kFilterOk},
      {"DST variant 6", 6, L"Normal", false, kFilterOk},
      {"DST variant 15", 15, L"Normal", true, kFilterOk},
      {"DST variant 20", 20, L"Normal", false, kFilterOk},
      {"VRZN", 0, L"Korvan VRZN", false, kFilterOk},
      {"Barudan", 1, L"Normal", false, kFilterOk},
      {"Exp", 2, L"Normal", false, kFilterOk},
      {"Zangs", 3, L"Normal", false, kFilterOk},
      {"KVB", 36, L"Normal", false, kFilterOk},
      {"KVC through encodeStitches", 60, L"Normal", false, kFilterOk},
      {"ZSK transport", 52, L"Normal", false, kFilterOk},
      // These have no encoder at all.
      {"KVC in the stitch file", 60, L"Normal", true, kFilterNoCoder},
      {"EDF in the stitch file", 71, L"Normal", true, kFilterNoCoder},
      {"the stitch file itself", 31, L"Normal", false, kFilterNoCoder},
      {"above 90", 91, L"Normal", false, kFilterNoCoder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HXArray<HStitch> array;
    fillDesign(array, {N(10), N(20), At(C::DesignEnd, 20)});
    const std::vector<CodedPoint> before = designOf(StitchArrayWrapper(array));
    StitchArrayWrapper stitches(array);
    StitchFilter filter(stitches);
    StitchOptions options = dstEncoderOptions();
    options.setFileFormat(static_cast<HDiskFileFormat>(c.format));
    options.setFormatType(c.formatType);
    std::vector<unsigned char> bytes;
    VectorOutputBytestream out(bytes);
    HXArray<StopInfo> stops;
    HXArray<HString> comments;
    const int r = c.asHsf ? filter.encodeStitchesAsHsf(options, stops, comments, &out)
                          : filter.encodeStitches(options, &out);
    EXPECT_EQ(r, c.expected);
    if (c.expected == kFilterNoCoder) {
      EXPECT_TRUE(bytes.empty());
      EXPECT_EQ(designOf(stitches), before) << "the container is not touched";
    } else {
      EXPECT_FALSE(bytes.empty());
    }
  }
}

TEST(StitchFilterEncode, FailsWithoutAStitchToStartFromOrWhenTheStreamRefuses) {
  HXArray<HStitch> array;
  StitchArrayWrapper stitches(array);
  StitchFilter filter(stitches);
  const StitchOptions options = dstEncoderOptions();
  EXPECT_EQ(filter.encodeStitches(options, nullptr), kFilterFailure);

  // A design start alone gives nothing to write either.
  array.add(HStitch(5, 5, C::DesignStart));
  EXPECT_EQ(filter.encodeStitches(options, nullptr), kFilterFailure);

  // A stream that refuses a record stops the write.
  HXArray<HStitch> design;
  fillDesign(design, {N(10), N(20), N(30), At(C::DesignEnd, 30)});
  StitchArrayWrapper designStitches(design);
  StitchFilter designFilter(designStitches);
  unsigned char buffer[4] = {};
  MemoryOutputBytestream tooSmall(buffer, static_cast<int>(sizeof buffer));
  EXPECT_EQ(designFilter.encodeStitches(options, &tooSmall), kFilterFailure);
}

// --- Groups -----------------------------------------------------------------------------------

TEST(StitchFilterGroups, GroupIsARunOfMovementsWithAtMostOneTrim) {
  struct Case {
    std::string name;
    std::vector<CodedPoint> design;
    int start;
    int preserveJumps;
    int trimAsJump;
    int keepBlankJumps;
    int expectedEnd;
    std::vector<int> codesAfter;  // empty: unchanged
  };
  const int T = C::Trim;
  const int JT = C::JumpTrim;
  // clang-format off
  const std::vector<Case> cases = {
      {"jumps and the stitch that ends them", {J(10), J(20), N(30), N(40)}, 0, 0, 0, 0, 2, {}},
      {"one trim among jumps, up to the stitch", {J(10), At(T, 10), J(20), N(30)}, 0, 0, 0, 0, 2, {}},
      {"a second trim starts the next group", {J(10), At(T, 10), J(20), At(T, 20), J(30), N(40)}, 0, 0, 0, 0, 2, {}},
      {"a jump trim is the group's command", {J(10), At(JT, 20), J(30), N(40)}, 0, 0, 0, 0, 2, {}},
      {"a jump trim after a trim becomes a jump", {At(T, 0), J(10), At(JT, 20), J(30), N(40)}, 0, 0, 0, 0, 3, {T, C::Jump, C::Jump, C::Jump, C::Normal}},
      {"a trim takes over from a pending jump trim", {At(JT, 10), At(T, 10), J(20), At(T, 20), N(30)}, 0, 0, 0, 0, 3, {C::Jump, T, C::Jump, T, C::Normal}},
      {"trims as jumps: the first trim is the command, a later one a jump", {J(10), At(T, 10), J(20), At(T, 20), N(30)}, 0, 0, 1, 0, 3, {C::Jump, T, C::Jump, C::Jump, C::Normal}},
      {"preserved jumps stand alone", {J(10), J(20), N(30)}, 0, 1, 0, 0, 0, {}},
      {"preserved jumps end a trim's group", {At(T, 0), J(10), N(20)}, 0, 1, 0, 0, 0, {}},
      {"a blank jump ends the group when blank jumps are kept", {N(10), J(20), J(20), N(30)}, 1, 0, 0, 1, 2, {}},
      {"blank jumps join the group otherwise", {N(10), J(20), J(20), N(30)}, 1, 0, 0, 0, 3, {}},
      {"a movement first in the container, blank jumps kept", {J(10), N(20)}, 0, 0, 0, 1, 0, {}},
      {"a colour change ends the run and joins it", {J(10), J(20), At(C::ChangeNeedle, 20), N(30)}, 0, 0, 0, 0, 2, {}},
      {"a code above 14 ends the run and joins it", {J(10), At(C::SequinStart, 10), N(20)}, 0, 0, 0, 0, 1, {}},
      {"a stitch alone", {N(10), N(20)}, 0, 0, 0, 0, 0, {}},
      {"running off the end", {J(10), J(20)}, 0, 0, 0, 0, 1, {}},
      {"a trim and jumps to the end", {At(T, 10), J(20)}, 0, 0, 0, 0, 1, {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HXArray<HStitch> array;
    fillDesign(array, c.design);
    StitchArrayWrapper stitches(array);
    StitchFilter filter(stitches);
    EXPECT_EQ(Peer::findGroupEnd(filter, c.start, c.preserveJumps, c.trimAsJump, c.keepBlankJumps),
              c.expectedEnd);
    const std::vector<int> expectedCodes = c.codesAfter.empty() ? codesOf(c.design) : c.codesAfter;
    EXPECT_EQ(codesOf(designOf(stitches)), expectedCodes);
  }
}

TEST(StitchFilterGroups, VirtualStitchTakesTheCommandOfTheGroupAndItsLastPoint) {
  struct Case {
    std::string name;
    std::vector<CodedPoint> design;
    int first;
    int last;
    CodedPoint expected;
    int realCount;
  };
  const std::vector<Case> cases = {
      {"a stitch alone", {N(10), N(20)}, 1, 1, N(20), 0},
      {"jumps to a stitch", {J(10), J(20), N(30)}, 0, 2, N(30), 3},
      {"a trim among jumps", {J(10), At(C::Trim, 10), J(20)}, 0, 2, At(C::Trim, 20), 3},
      {"movements only: the last one", {J(10), At(C::NeedleUp, 20)}, 0, 1, At(C::NeedleUp, 20), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HXArray<HStitch> array;
    fillDesign(array, c.design);
    StitchArrayWrapper stitches(array);
    StitchFilter filter(stitches);
    HStitch out;
    Peer::virtualizeStitch(filter, out, c.first, c.last);
    EXPECT_EQ((CodedPoint{out.getFlags(), out.xval(), out.yval()}), c.expected);
    EXPECT_EQ(out.getRealStitchCount(), c.realCount);
  }

  // The command stitch's attributes come along; a single stitch loses its real stitches.
  HXArray<HStitch> array;
  fillDesign(array, {J(10), At(C::Trim, 10), J(20)});
  array[1].setColor(3);
  array[1].setData(7);
  HXArray<HStitch> real;
  real.add(HStitch(1, 1, C::Jump));
  array[2].setRealStitches(real);
  StitchArrayWrapper stitches(array);
  StitchFilter filter(stitches);
  HStitch out;
  Peer::virtualizeStitch(filter, out, 0, 2);
  EXPECT_EQ(out.getColor(), 3);
  EXPECT_EQ(out.getData(), 7);
  Peer::virtualizeStitch(filter, out, 2, 2);
  EXPECT_FALSE(out.hasRealStitches());
}

// --- The walk -----------------------------------------------------------------------------------

TEST(StitchFilterEncode, CommandsAreAddedAtTheStartAndTheEndAsTheOptionsSay) {
  // Each design on needle `colour + 1`; the design afterwards and the colour of each stitch.
  struct Case {
    std::string name;
    const char* configure;
    std::vector<CodedPoint> design;
    int colour;
    std::vector<CodedPoint> written;
    std::vector<int> colours;
  };
  const int T = C::Trim;
  const int E = C::DesignEnd;
  const int CN = C::ChangeNeedle;
  // clang-format off
  const std::vector<Case> cases = {
      {"JumpBeforeEnd: a trim where the needle is", "JumpBeforeEnd=1", {N(10), N(20), At(E, 60)}, 0, {N(10), N(20), At(T, 20), J(60), At(E, 60)}, {0, 0, 0, 0, 0}},
      {"without a trim code, a jump trim at the end", "JumpBeforeEnd=1 HasTrimCode=0", {N(10), N(20), At(E, 60)}, 0, {N(10), N(20), At(C::JumpTrim, 60), At(E, 60)}, {0, 0, 0, 0}},
      {"without a trim code, the group's first jump becomes the jump trim", "JumpBeforeEnd=1 HasTrimCode=0", {N(10), N(20), J(40), At(E, 60)}, 0, {N(10), N(20), At(C::JumpTrim, 40), J(60), At(E, 60)}, {0, 0, 0, 0, 0}},
      {"JumpBeforeEnd off", "JumpBeforeEnd=0", {N(10), N(20), At(E, 60)}, 0, {N(10), N(20), J(60), At(E, 60)}, {0, 0, 0, 0}},
      {"JumpBeforeEnd not after a trim", "JumpBeforeEnd=1", {N(10), N(20), At(T, 20), At(E, 60)}, 0, {N(10), N(20), At(T, 20), J(60), At(E, 60)}, {0, 0, 0, 0, 0}},
      {"JumpBeforeEnd not when the end does not move", "JumpBeforeEnd=1", {N(10), N(20), At(E, 20)}, 0, {N(10), N(20), At(E, 20)}, {0, 0, 0}},
      {"forced first colour change with the first colour", "ForceFirstColourChange=1", {N(10), N(20), At(E, 20)}, 1, {At(CN, 0), N(10), N(20), At(E, 20)}, {1, 1, 1, 1}},
      {"no forced colour change before a colour change", "ForceFirstColourChange=1", {At(CN, 0), N(10), At(E, 10)}, 1, {At(CN, 0), N(10), At(E, 10)}, {1, 1, 1}},
      // At the last position before the end, and the end on needle 1.
      {"return to needle 1", "ReturnToFirstNeedleAtEnd=1", {N(10), N(20), At(E, 50)}, 2, {N(10), N(20), At(CN, 20), J(50), At(E, 50)}, {2, 2, 0, 0, 0}},
      {"no return to needle 1", "ReturnToFirstNeedleAtEnd=0", {N(10), N(20), At(E, 50)}, 2, {N(10), N(20), J(50), At(E, 50)}, {2, 2, 2, 2}},
      // The first stitch after a trim survives the clean-up.
      {"a short stitch after a trim", "CleanShort=1 CleanLength=5", {N(0), N(10), At(T, 10), N(12), N(40), At(E, 40)}, 0, {N(0), N(10), At(T, 10), N(12), N(40), At(E, 40)}, {0, 0, 0, 0, 0, 0}},
      {"a short stitch between stitches", "CleanShort=1 CleanLength=5", {N(0), N(10), N(12), N(40), At(E, 40)}, 0, {N(0), N(10), N(40), At(E, 40)}, {0, 0, 0, 0}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HXArray<HStitch> array;
    fillDesign(array, c.design, c.colour);
    StitchArrayWrapper stitches(array);
    StitchFilter filter(stitches);
    StitchOptions options = dstEncoderOptions();
    testing_support::setOptions(options, c.configure);
    ASSERT_EQ(filter.encodeStitches(options, nullptr), kFilterOk);
    EXPECT_EQ(designOf(stitches), c.written);
    std::vector<int> colours;
    for (const HStitch& s : array)
      colours.push_back(s.getColor());
    EXPECT_EQ(colours, c.colours);
  }
}

TEST(StitchFilterEncode, LaserOffBeforeJumpsToALaserOnPausesWhenWriting) {
  const std::vector<CodedPoint> design = {N(0),   At(C::LaserOff, 0),  J(50),
                                          J(100), At(C::LaserOn, 100), N(110)};
  const StitchOptions options = dstEncoderOptions();

  const RecordedWalk writing = recordWalk(design, options, true);
  ASSERT_EQ(writing.result, 0);
  EXPECT_EQ(codesOf(writing.records),
            (std::vector<int>{C::Normal, C::LaserPause, C::Jump, C::Jump, C::LaserOn, C::Normal}));

  // Without a stream the laser goes off as it stands.
  const RecordedWalk dry = recordWalk(design, options, false);
  EXPECT_EQ(codesOf(dry.records),
            (std::vector<int>{C::Normal, C::LaserOff, C::Jump, C::Jump, C::LaserOn, C::Normal}));

  // Something else between them: no pause.
  const RecordedWalk interrupted = recordWalk(
      {N(0), At(C::LaserOff, 0), J(50), N(60), At(C::LaserOn, 60), N(70)}, options, true);
  EXPECT_EQ(interrupted.records[1].code, C::LaserOff);
}

TEST(StitchFilterEncode, SequinEndLooksAheadOverJumpsToTheNextSequinStart) {
  StitchOptions options = dstEncoderOptions();
  options.setCombineSequinCommands(1);
  struct Case {
    std::string name;
    std::vector<CodedPoint> design;
    std::vector<int> calls;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"+200 and +100: too far to combine", {N(0), At(C::SequinEnd, 0), J(200), J(300), At(C::SequinStart, 300), N(310)}, {0}},
      {"+100 and +100 across, -50 and +50 down: close enough", {N(0), At(C::SequinEnd, 0), J(100, -50), J(200, 0), At(C::SequinStart, 200), N(210)}, {1}},
      {"a stitch before the start", {N(0), At(C::SequinEnd, 0), J(20), N(30), At(C::SequinStart, 30), N(40)}, {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RecordedWalk walk = recordWalk(c.design, options, false);
    ASSERT_EQ(walk.result, 0);
    EXPECT_EQ(walk.combineCalls, c.calls);
  }

  options.setCombineSequinCommands(0);
  EXPECT_TRUE(recordWalk(cases[0].design, options, false).combineCalls.empty())
      << "only with CombineSequinCommands";
}

TEST(StitchFilterEncode, SegmentsContinueFromTheStateOfThePreviousOne) {
  StitchOptions options = dstEncoderOptions();
  std::vector<unsigned char> bytes;
  VectorOutputBytestream out(bytes);
  EncoderState state;

  HXArray<HStitch> first;
  fillDesign(first, {N(10), N(20)});
  StitchArrayWrapper firstStitches(first);
  StitchFilter firstFilter(firstStitches);
  ASSERT_EQ(firstFilter.encodeStitchSegment(state, 1, 0, options, 0, &out), kFilterOk);
  EXPECT_EQ(state.getCurrentPosition(), HCoord<short>(20, 0));
  EXPECT_EQ(state.hasTrimmed(), 0) << "the segment ended on a stitch";

  HXArray<HStitch> second;
  fillDesign(second, {N(30), At(C::DesignEnd, 30)});
  StitchArrayWrapper secondStitches(second);
  StitchFilter secondFilter(secondStitches);
  ASSERT_EQ(secondFilter.encodeStitchSegment(state, 0, 1, options, 0, &out), kFilterOk);
  EXPECT_EQ(secondFilter.getStats().startX, 20) << "segment statistics start at the state";

  HXArray<HStitch> back;
  StitchArrayWrapper backStitches(back);
  StitchFilter reader(backStitches);
  StitchOptions readOptions = dstDecoderOptions();
  MemoryInputBytestream in(bytes);
  ASSERT_EQ(reader.decodeStitches(readOptions, 1, in), kFilterOk);
  EXPECT_EQ(designOf(backStitches),
            (std::vector<CodedPoint>{N(10), N(20), N(30), At(C::DesignEnd, 30)}));
}

}  // namespace
}  // namespace stitchkit
