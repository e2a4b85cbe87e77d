#include "stitchkit/encode/stitch_encoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/encode/encoder_test_support.h"

// The encoder framework, observed through a format-neutral recording encoder.
namespace stitchkit {
namespace {

using namespace encode_test;  // NOLINT(google-build-using-namespace)

// ---------------------------------------------------------------------------------------------
// EncoderState

// ---------------------------------------------------------------------------------------------
// Granularity

TEST(StitchEncoderGranularity, GranulateRoundsHalvesAwayFromZero) {
  const struct {
    int granularity;
    int v;
    int expected;
  } cases[] = {
      {5, 3, 5},  {5, -3, -5}, {5, 2, 0},  {5, -2, 0},  {5, 5, 5},     {5, 7, 5},
      {5, 8, 10}, {5, 13, 15}, {4, 2, 4},  {4, -2, -4}, {4, 6, 8},     {4, -6, -8},
      {1, 3, 3},  {0, 3, 3},   {-5, 3, 3}, {5, 0, 0},   {5, -10, -10},
  };
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    o.setGranularity(static_cast<short>(c.granularity));
    RecordingEncoder e(o);
    EXPECT_EQ(e.granulate(static_cast<short>(c.v)), c.expected)
        << "granularity " << c.granularity << " value " << c.v;
  }
}

// Stitches come with absolute coordinates, as the filter hands them: every written move is a
// multiple of the granularity and the needle never strays more than half a step from the
// design.
TEST(StitchEncoderGranularity, MovesStayOnTheGridAndNearTheDesign) {
  for (const int step : {3, -3, 7}) {
    StitchEncoderOptions o = plainOptions();
    o.setGranularity(5);
    RecordingEncoder e(o);
    begin(e);
    int last = 0;
    for (int x = step; std::abs(x) <= 24; x += step) {
      HStitch s = at(x, 0);
      ASSERT_EQ(e.encodeStitch(s, 0, 0), kEncodeOk);
      ASSERT_FALSE(e.records.empty());
      const int needle = e.records.back().x;
      EXPECT_EQ((needle - last) % 5, 0) << "step " << step << " at " << x;
      EXPECT_LE(std::abs(needle - x), 2) << "step " << step << " at " << x;
      last = needle;
    }
  }
  // Each axis is rounded on its own.
  StitchEncoderOptions o = plainOptions();
  o.setGranularity(5);
  RecordingEncoder e(o);
  begin(e);
  HStitch s = at(3, -7);
  ASSERT_EQ(e.encodeStitch(s, 0, 0), kEncodeOk);
  EXPECT_EQ(e.moves(), (Moves{{0, 5, -5}}));
}

// ---------------------------------------------------------------------------------------------
// The drop rule

const char* const noTrimCode = "HasTrimCode=0 TrimsAsJumps=0";

TEST(StitchEncoderDropRule, VirtualStitchKeepsTheMovementOfItsRealStitches) {
  const struct {
    const char* name;
    HStitch stitch;
    int dropped;
    int code;
  } cases[] = {
      // clang-format off
      {"last movement is a needle-up at the point", virtualStitch(20, 0, StitchCode::Trim, {at(10, 0, StitchCode::Jump), at(20, 0, StitchCode::NeedleUp)}), 0, StitchCode::NeedleUp},
      {"movement ends elsewhere: a jump is appended", virtualStitch(30, 0, StitchCode::Trim, {at(10, 0, StitchCode::NeedleUp), at(30, 0, StitchCode::Trim)}), 0, StitchCode::Jump},
      {"no movement but away from the needle: jump", virtualStitch(30, 0, StitchCode::Trim, {at(30, 0, StitchCode::Trim)}), 0, StitchCode::Jump},
      {"no movement at the needle: dropped", virtualStitch(0, 0, StitchCode::Trim, {at(0, 0, StitchCode::Trim)}), 1, StitchCode::Trim},
      // clang-format on
  };
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    testing_support::setOptions(o, noTrimCode);
    RecordingEncoder e(o);
    begin(e);
    HStitch s = c.stitch;
    const int realCount = s.getRealStitchCount();
    EXPECT_EQ(e.filterStitch(s), c.dropped) << c.name;
    EXPECT_EQ(s.getFlags(), c.code) << c.name;
    EXPECT_EQ(s.isAutoCleaned(), c.dropped == 1) << c.name;
    EXPECT_EQ(s.getRealStitchCount(), realCount) << c.name;  // keeps its real stitches
  }
}

TEST(StitchEncoderDropRule, StripBeginEndDropsDesignStartAndEnd) {
  StitchEncoderOptions o = plainOptions();
  o.setStripBeginEnd(1);
  RecordingEncoder e(o);
  begin(e);
  HStitch start = at(0, 0, StitchCode::DesignStart);
  const int counted = e.getStats().stitchCount;
  EXPECT_EQ(e.encodeStitch(start, 0, 0), kEncodeOk);
  EXPECT_TRUE(start.isAutoCleaned());
  EXPECT_EQ(e.getStats().stitchCount, counted);  // nothing written, nothing counted
  HStitch end = at(30, 0, StitchCode::DesignEnd);
  EXPECT_EQ(e.encodeStitch(end, 0, 0), kEncodeOk);
  EXPECT_FALSE(end.isAutoCleaned());
  EXPECT_EQ(e.moves(), (Moves{{1, 30, 0}}));
}

// ---------------------------------------------------------------------------------------------
// Redundant chenille, two and three stops, penetration style: the records a run of stitches
// is written as

TEST(StitchEncoderRecords, StitchesAreWrittenAsTheOptionsSay) {
  using namespace StitchCode;  // NOLINT(google-build-using-namespace)
  const auto height = [](int h) { return testing_support::stitch(0, 0, ChenilleHeight, 0, h); };
  // The last stitch has no move: no extra penetration record.
  const std::vector<HStitch> afterJump = {at(10, 0), at(50, 0, Jump), at(60, 0), at(60, 0)};
  // clang-format off
  const struct {
    const char* name;
    const char* configure;
    std::vector<HStitch> input;
    Moves written;
  } cases[] = {
      {"second chain in place is dropped", "RemoveRedundantChenille=1", {at(0, 0, 15), at(0, 0, 15)}, {{15, 0, 0}}},
      {"second chain that moves becomes a jump", "RemoveRedundantChenille=1", {at(0, 0, 15), at(20, 0, 15)}, {{15, 0, 0}, {1, 20, 0}}},
      {"chain then moss then moss", "RemoveRedundantChenille=1", {at(0, 0, 15), at(0, 0, 16), at(0, 0, 16)}, {{15, 0, 0}, {16, 0, 0}}},
      {"without the option both are written", "", {at(0, 0, 15), at(0, 0, 15)}, {{15, 0, 0}, {15, 0, 0}}},
      {"repeated height dropped", "RemoveRedundantChenille=1", {height(3), height(3), height(4), height(4)}, {{17, 0, 0}, {17, 0, 0}}},
      {"every height dropped", "RemoveChenilleHeight=1", {height(3), height(4)}, {}},
      {"heights kept without options", "", {height(3), height(3)}, {{17, 0, 0}, {17, 0, 0}}},
      {"two stop with jump between", "JumpBetweenTwoStops=1", {at(0, 0, TwoStop)}, {{6, 0, 0}, {1, 0, 0}, {6, 0, 0}}},
      {"two stop without jump", "JumpBetweenTwoStops=0", {at(0, 0, TwoStop)}, {{6, 0, 0}, {6, 0, 0}}},
      {"three stop", "JumpBetweenTwoStops=1", {at(0, 0, ThreeStop)}, {{6, 0, 0}, {6, 0, 0}, {6, 0, 0}}},
      {"two stop after its move", "JumpBetweenTwoStops=1", {at(50, 0, TwoStop)}, {{1, 50, 0}, {6, 50, 0}, {1, 50, 0}, {6, 50, 0}}},
      {"plain penetration after a jump", "PenetrationStyle=0", afterJump, {{0, 10, 0}, {1, 50, 0}, {0, 60, 0}, {0, 60, 0}}},
      {"penetration as a jump", "PenetrationStyle=1", afterJump, {{0, 10, 0}, {1, 50, 0}, {1, 60, 0}, {0, 60, 0}}},
      {"penetration with a jump in place", "PenetrationStyle=2", afterJump, {{0, 10, 0}, {1, 50, 0}, {1, 60, 0}, {0, 60, 0}, {0, 60, 0}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    testing_support::setOptions(o, c.configure);
    RecordingEncoder e(o);
    begin(e);
    for (HStitch s : c.input)
      ASSERT_EQ(e.encodeStitch(s, 0, 0), kEncodeOk) << c.name;
    EXPECT_EQ(e.moves(), c.written) << c.name;
  }
}

// ---------------------------------------------------------------------------------------------
// Coded drops

TEST(StitchEncoderSequins, CodedDropsRepeatByHead) {
  const int expectedCount[] = {1, 2, 4, 8, 7, 11, 13, 14};
  for (int head = 0; head <= 7; ++head) {
    StitchEncoderOptions o = plainOptions();
    o.setAlternateSequinDropCommands(7);  // any non-zero value
    RecordingEncoder e(o);
    begin(e);
    HStitch s = at(0, 0, StitchCode::DropSequin);
    s.setSequinHead(static_cast<unsigned short>(head));
    ASSERT_EQ(e.encodeStitch(s, 0, 0), kEncodeOk);
    ASSERT_EQ(static_cast<int>(e.records.size()), expectedCount[head]) << "head " << head;
    EXPECT_EQ(s.getRealStitchCount(), head == 0 ? 0 : expectedCount[head]) << "head " << head;
    for (const Rec& r : e.records) {
      EXPECT_EQ(r.code, StitchCode::DropSequin);
      EXPECT_EQ(r.head, 0) << "head " << head;
    }
  }
}

TEST(StitchEncoderSequins, CombinedSequinBeadCounts) {
  // clang-format off
  const struct {
    const char* name;
    int code;
    int head;
    HDiskFileFormat format;
    int alternate;
    int count;
    int writtenCode;
    int writtenHead;
  } cases[] = {
      {"drop sequin head 0", StitchCode::DropSequin, 0, kFormatDst, 0, 7, 20, 0},
      {"drop bead head 1", StitchCode::DropBead, 1, kFormatDst, 0, 2, 20, 0},
      {"drop sequin head 1", StitchCode::DropSequin, 1, kFormatDst, 0, 11, 20, 0},
      {"drop bead head 2", StitchCode::DropBead, 2, kFormatDst, 0, 4, 20, 0},
      {"drop bead head 0 as itself", StitchCode::DropBead, 0, kFormatDst, 0, 1, 66, 0},
      {"drop sequin head 2 as itself", StitchCode::DropSequin, 2, kFormatDst, 0, 1, 20, 2},
      {"other format: as itself", StitchCode::DropSequin, 0, kFormatNone, 0, 1, 20, 0},
      {"coded drop head 0 skips the combined count", StitchCode::DropSequin, 0, kFormatDst, 1, 1, 20, 0},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    o.setSupportsCombinedSequinBead(1);
    o.setFileFormat(c.format);
    o.setAlternateSequinDropCommands(c.alternate);
    RecordingEncoder e(o);
    begin(e);
    HStitch s = at(0, 0, c.code);
    s.setSequinHead(static_cast<unsigned short>(c.head));
    ASSERT_EQ(e.encodeStitch(s, 0, 0), kEncodeOk) << c.name;
    ASSERT_EQ(static_cast<int>(e.records.size()), c.count) << c.name;
    for (const Rec& r : e.records) {
      EXPECT_EQ(r.code, c.writtenCode) << c.name;
      EXPECT_EQ(r.head, c.writtenHead) << c.name;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Stop table

TEST(StitchEncoderStopTable, CommandsAreWrittenAsStopsAndRecordedRemapped) {
  const struct {
    int code;
    std::vector<int> written;
    std::vector<std::uint32_t> recorded;
  } cases[] = {
      {StitchCode::LaserOn, {6}, {2}},
      {StitchCode::LaserOff, {6}, {17}},
      {StitchCode::Trim, {6}, {3}},
      {StitchCode::DesignEnd, {6}, {7}},
      {StitchCode::Stop, {6}, {6}},
      {StitchCode::SlowDown, {6}, {4}},
      {StitchCode::TwoStop, {6, 1, 6}, {6, 6}},
  };
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    RecordingEncoder e(o);
    e.setMakeStopTable(1);
    begin(e);
    HStitch s = at(0, 0, c.code);
    ASSERT_EQ(e.encodeStitch(s, 0, 0), kEncodeOk) << c.code;
    EXPECT_EQ(e.codes(), c.written) << c.code;
    HXArray<StopInfo> stops;
    HXArray<HString> comments;
    ASSERT_EQ(e.getStopTable(stops, comments), static_cast<int>(c.recorded.size())) << c.code;
    for (int i = 0; i < stops.length(); ++i)
      EXPECT_EQ(stops[i].commandCode, c.recorded[static_cast<std::size_t>(i)]) << c.code;
  }
}

// ---------------------------------------------------------------------------------------------
// Command conversions

TEST(StitchEncoderConversions, CommandsTheMachineHandlesOtherwise) {
  // clang-format off
  const struct {
    const char* name;
    const char* configure;
    int code;
    int written;
  } cases[] = {
      {"borer in as is", "", 8, 8},
      {"borer in as change over", "BorerType=1", 8, 10},
      {"borer out as stop", "BorerType=2", 9, 6},
      {"sequin start as change over", "SequinType=1", 18, 10},
      {"sequin end as stop", "SequinType=2", 19, 6},
      {"drop sequin as jump", "SequinType=1", 20, 1},
      {"drop sequin kept for DST blank-after-drops", "SequinType=1 BlankAfterDrops=1 FileFormat=0", 20, 20},
      {"drop sequin kept for DST moved drops", "SequinType=1 KorvanMoveDropSequins=1 FileFormat=0", 20, 20},
      {"drop sequin a jump for other formats despite blank-after-drops", "SequinType=1 BlankAfterDrops=1 FileFormat=2", 20, 1},
      {"drop sequin unchanged when sequins are stops", "SequinType=2", 20, 20},
      {"bead start as change over", "BeadType=1", 64, 10},
      {"bead end as stop", "BeadType=2", 65, 6},
      {"drop bead as jump", "BeadType=1", 66, 1},
      {"jump as needle-up", "UseNeedleUps=1", 1, 13},
      {"colour change as stop", "StopsAsNeedles=1", 2, 6},
      {"copy original converts nothing", "CopyOriginal=1 BorerType=2 UseNeedleUps=1", 8, 8},
      {"copy original keeps jumps", "CopyOriginal=1 UseNeedleUps=1", 1, 1},
  };
  // clang-format on
  for (const auto& c : cases) {
    StitchEncoderOptions o = plainOptions();
    testing_support::setOptions(o, c.configure);
    RecordingEncoder e(o);
    begin(e);
    const HStitch s = at(0, 0, c.code);
    ASSERT_EQ(e.sendHardStitch(s), kEncodeOk) << c.name;
    ASSERT_EQ(e.records.size(), 1u) << c.name;
    EXPECT_EQ(e.records[0].code, c.written) << c.name;
    // The needle's stitch is the unconverted one.
    EXPECT_EQ(e.current.getFlags(), c.code) << c.name;
  }
}

// ---------------------------------------------------------------------------------------------
// The "a design has begun" flag

TEST(StitchEncoderDesignBegun, KeptPerThreadAndAcrossDesigns) {
  StitchEncoder::setDesignBegun(1);
  int seenByOtherThread = -1;
  std::thread other([&seenByOtherThread] { seenByOtherThread = StitchEncoder::isDesignBegun(); });
  other.join();
  EXPECT_EQ(seenByOtherThread, 0);
  EXPECT_EQ(StitchEncoder::isDesignBegun(), 1);

  StitchEncoderOptions o = plainOptions();
  RecordingEncoder e(o);
  ASSERT_EQ(e.beginDesign(HCoord<short>(), HCoord<short>(), 0), kEncodeOk);
  ASSERT_EQ(e.endDesign(nullptr), kEncodeOk);
  EXPECT_EQ(StitchEncoder::isDesignBegun(), 1);  // not reset by a design
  StitchEncoder::setDesignBegun(0);
}

// ---------------------------------------------------------------------------------------------
// What encodeStitch reports back

TEST(StitchEncoderEmitted, RefusedWriteStopsAndSkipsStatistics) {
  StitchEncoderOptions o = plainOptions();
  o.setHardLength(121);
  RecordingEncoder e(o);
  begin(e);
  e.refuseFrom = 1;  // the second piece is refused
  HStitch jump = at(300, 0, StitchCode::Jump);
  EXPECT_EQ(e.encodeStitch(jump, 0, 0), kEncodeRefused);
  EXPECT_EQ(e.attempts, 2);
  EXPECT_EQ(e.moves(), (Moves{{1, 100, 0}}));
  EXPECT_EQ(e.getStats().jumpCount, 0);
  EXPECT_EQ(realMoves(jump), (Moves{{1, 100, 0}}));
}

// ---------------------------------------------------------------------------------------------
// Lifecycle

class HookEncoder : public RecordingEncoder {
 public:
  using RecordingEncoder::RecordingEncoder;
  std::vector<std::string> calls;
  int headerResult = 0;

 protected:
  int outputHeader() override {
    calls.push_back("header");
    return headerResult;
  }
  int outputTrailer() override {
    calls.push_back("trailer");
    return 0;
  }
  int vBeginDesign(HCoord<short>) override {
    calls.push_back("beginDesign");
    return 0;
  }
  int vEndDesign(EncoderState*) override {
    calls.push_back("endDesign");
    return 0;
  }
  int vBeginSegment(const EncoderState&) override {
    calls.push_back("beginSegment");
    return 0;
  }
  int vEndSegment(EncoderState*) override {
    calls.push_back("endSegment");
    return 0;
  }
};

TEST(StitchEncoderLifecycle, SegmentStateIsHandedOn) {
  StitchEncoderOptions o = plainOptions();
  RecordingEncoder e(o);
  begin(e);
  HStitch chain = at(0, 0, StitchCode::ChenilleChain);
  HStitch height = at(0, 0, StitchCode::ChenilleHeight);
  height.setData(4);
  HStitch sequin = at(0, 0, StitchCode::SequinStart);
  HStitch colour = at(30, 40, StitchCode::ChangeNeedle, 2);
  for (HStitch* s : {&chain, &height, &sequin, &colour})
    ASSERT_EQ(e.encodeStitch(*s, 0, 0), kEncodeOk);

  EncoderState state;
  ASSERT_EQ(e.endSegment(&state), kEncodeOk);
  EXPECT_EQ(state.getChenilleMode(), kChenilleChain);
  EXPECT_EQ(state.getChenilleHeight(), 4);
  EXPECT_EQ(state.isDoingSequin(), 1);
  EXPECT_EQ(state.isDoingBorer(), 0);
  EXPECT_EQ(state.getCurrentPosition(), HCoord<short>(30, 40));
  EXPECT_EQ(state.getCurrentNeedle(), 3);

  // The next segment starts from that state: the needle is where the last one left it.
  StitchEncoderOptions o2 = plainOptions();
  RecordingEncoder next(o2);
  begin(next);
  state.setDoingSequin(0);
  state.setEffectInfo(1, 0x123456, HString("gold"));
  ASSERT_EQ(next.beginSegment(state, HCoord<short>(), 0), kEncodeOk);
  EXPECT_EQ(next.current.getPoint(), HCoord<short>(30, 40));
  EXPECT_EQ(next.current.getColor(), 2);
  EXPECT_TRUE(next.current.hasEffectColour());
  std::uint8_t flag = 0;
  std::uint32_t effectColour = 0;
  HString id;
  next.current.getEffectInfo(flag, effectColour, id);
  EXPECT_EQ(effectColour, 0x123456u);
  EXPECT_EQ(id, HString("gold"));
  HStitch trim = at(30, 40, StitchCode::Trim, 2);
  ASSERT_EQ(next.encodeStitch(trim, 0, 0), kEncodeOk);
  EXPECT_EQ(next.records.back(), (Rec{3, 30, 40, 2, 0}));
}

class FlushStream : public OutputBytestream {
 public:
  int result = kStreamOk;
  int outputByte(unsigned char) override { return kStreamOk; }
  int flush() override { return result; }
};

class StreamEncoder : public BytestreamStitchEncoder {
 public:
  using BytestreamStitchEncoder::BytestreamStitchEncoder;

 protected:
  int vSendSoftStitch(HStitch& s) override { return sendHardStitch(s); }
};

}  // namespace
}  // namespace stitchkit
