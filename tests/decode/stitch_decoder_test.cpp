#include "stitchkit/decode/stitch_decoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "stitchkit/decode/dst_decoder.h"
#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)

using Codes = std::vector<int>;
using Points = std::vector<std::pair<int, int>>;

// Delivers a scripted list of hard stitches (absolute positions), then the end of data. For
// the command codes that DST records cannot carry.
class ScriptedDecoder : public StitchDecoder {
 public:
  ScriptedDecoder(StitchOptions& options, std::vector<HStitch> script)
      : StitchDecoder(options), script_(std::move(script)) {}

  // Gives a stitch back as a look-ahead would.
  void giveBack(const HStitch& s) { pushHardStitch(s); }

 protected:
  int vGetHardStitch(HStitch& s) override {
    if (next_ >= script_.size()) return kDecodeEnd;
    s = script_[next_++];
    return kDecodeOk;
  }

 private:
  std::vector<HStitch> script_;
  std::size_t next_ = 0;
};

HStitch hard(std::uint8_t code, short x, short y, unsigned short colour = 0) {
  return HStitch(x, y, code, colour);
}

// `s` carrying one real stitch: a rejected stitch comes out without it.
HStitch withReal(HStitch s) {
  HXArray<HStitch> real;
  real.add(HStitch(s.xval(), s.yval(), StitchCode::Normal, s.getColor()));
  s.setRealStitches(real);
  return s;
}

Decoded decodeScript(std::vector<HStitch> script, StitchOptions& options, int needle = 1) {
  ScriptedDecoder decoder(options, std::move(script));
  return runDecoder(decoder, {0, 0}, needle);
}

// A loop of four jumps from the current point and back to it.
Bytes jumpLoop() {
  return cat({jump(20, 0), jump(0, 20), jump(-20, 0), jump(0, -20)});
}

// --- Stops --------------------------------------------------------------------------------

TEST(StitchDecoderStops, StopsPairUpOrChangeNeedlesAsTheOptionsSay) {
  // Each design is the records given, a stitch and the end; colours are checked when given.
  struct Row {
    const char* what;
    const char* configure;
    Bytes records;
    Codes codes;
    Codes colours;
  };
  const char* const paired = "JumpBetweenTwoStops=0 StopsAsNeedles=1";
  const char* const jumpBetween = "JumpBetweenTwoStops=1 StopsAsNeedles=1";
  // A blank that is kept counts as the first stitch, so SkipFirstColourChange no longer ignores
  // the stop after it; the design start is a jump, not a command.
  const char* const blankFirst = "KorvanStartStitchType=0 StopsAsNeedles=1 SkipFirstColourChange=1";
  const Bytes blank = {0x00, 0x00, 0x03};
  const Bytes n = normal(10, 0);
  // clang-format off
  const Row rows[] = {
      {"two stops at one point pair up", paired, cat({n, stop(), stop()}), Codes{0, 6, 6, 0, 7}, Codes{0, 0, 0, 0, 0}},
      {"two adjacent stops are two needle changes when a jump separates paired stops", jumpBetween, cat({n, stop(), stop()}), Codes{0, 2, 2, 0, 7}, Codes{0, 1, 2, 2, 2}},
      {"stop, zero-length jump, stop pair up", jumpBetween, cat({n, stop(), jump(0, 0), stop()}), Codes{0, 6, 1, 6, 0, 7}, Codes{0, 0, 0, 0, 0, 0}},
      {"stop, zero-length jump, stop do not pair without the option", paired, cat({n, stop(), jump(0, 0), stop()}), Codes{0, 2, 1, 2, 0, 7}, Codes{0, 1, 1, 2, 2, 2}},
      {"stops at different points do not pair", paired, cat({n, stop(), stop(5, 0)}), Codes{0, 2, 2, 0, 7}, Codes{0, 1, 2, 2, 2}},
      {"a moving jump between stops does not pair them", jumpBetween, cat({n, stop(), jump(5, 0), stop(-5, 0)}), Codes{0, 2, 1, 2, 0, 7}, Codes{0, 1, 1, 2, 2, 2}},
      {"a stop after a pair is a needle change again", paired, cat({n, stop(), stop(), normal(10, 0), stop()}), Codes{0, 6, 6, 0, 2, 0, 7}, Codes{0, 0, 0, 0, 1, 1, 1}},
      {"a third stop elsewhere is not part of a three-stop", paired, cat({n, stop(), stop(), stop(5, 0)}), Codes{0, 6, 6, 2, 0, 7}, Codes{0, 0, 0, 1, 1, 1}},
      {"three stops at one point are one three-stop", paired, cat({n, stop(), stop(), stop()}), Codes{0, 23, 0, 7}, Codes{0, 0, 0, 0}},
      {"three stops with jumps between stops", jumpBetween, cat({n, stop(), stop(), stop()}), Codes{0, 23, 0, 7}, Codes{0, 0, 0, 0}},
      {"three stops without stops as needles", "JumpBetweenTwoStops=1 StopsAsNeedles=0", cat({n, stop(), stop(), stop()}), Codes{0, 23, 0, 7}, Codes{0, 0, 0, 0}},
      {"a fourth stop after a three-stop stands alone", paired, cat({n, stop(), stop(), stop(), stop()}), Codes{0, 23, 2, 0, 7}, Codes{0, 0, 1, 1, 1}},
      {"copying delivers the records as they stand", "CopyOriginal=1 StopsAsNeedles=1 JumpBetweenTwoStops=0", cat({n, jumpLoop(), normal(5, 0), stop(), stop(), stop()}), Codes{0, 1, 1, 1, 1, 0, 6, 6, 6, 0, 7}, Codes(11, 0)},
      {"a rejected leading blank: the stop is the first colour change", blankFirst, cat({blank, stop(10, 0)}), Codes{0, 6, 0, 7}, {}},
      {"no blank is short with CleanLength 0", "KorvanStartStitchType=0 StopsAsNeedles=1 SkipFirstColourChange=1 CleanLength=0", cat({blank, stop(10, 0)}), Codes{0, 2, 0, 7}, {}},
      {"a blank kept by PreserveBlanks 1", "KorvanStartStitchType=0 StopsAsNeedles=1 SkipFirstColourChange=1 PreserveBlanks=1", cat({blank, stop(10, 0)}), Codes{0, 2, 0, 7}, {}},
      {"a blank at the design start is a jump", "KorvanStartStitchType=0 StopsAsNeedles=1 SkipFirstColourChange=1 PreserveBlanks=3", cat({blank, stop(10, 0)}), Codes{0, 6, 0, 7}, {}},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    StitchDecoderOptions o = dstOptions();
    testing_support::setOptions(o, r.configure);
    const Decoded d = decodeDst(cat({r.records, normal(10, 0), endRecord()}), o);
    EXPECT_EQ(d.codes(), r.codes);
    if (!r.colours.empty()) {
      EXPECT_EQ(d.colours(), r.colours);
    }
    EXPECT_EQ(d.result, kDecodeEnd);
  }
}

// --- Needles and colours ------------------------------------------------------------------

TEST(StitchDecoderNeedles, StopsAsNeedlesAdvanceTheNeedleAndWrapAtMaxNeedles) {
  struct Row {
    int startNeedle;
    int maxNeedles;
    int stopsAsNeedles;
    Codes stopColours;  // one per stop, in order
  };
  const Row rows[] = {
      {1, 6, 1, Codes{1, 2, 3, 4, 5, 0, 1}},  // the sixth stop goes back to needle 1
      {1, 0, 1, Codes{1, 2, 3, 4, 5, 6, 7}},  // no limit
      {8, 6, 1, Codes{2, 3}},                 // above the limit: 8 mod 6 + 1
      {6, 6, 1, Codes{0, 1}},
      {1, 1, 1, Codes{0, 0, 0}},
      {3, 6, 0, Codes{2, 2, 2}},  // plain stops keep the needle
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "needle " << r.startNeedle << " of " << r.maxNeedles
                                    << " stops as needles " << r.stopsAsNeedles);
    StitchDecoderOptions o = dstOptions();
    o.setStopsAsNeedles(r.stopsAsNeedles);
    o.setMaxNeedles(static_cast<short>(r.maxNeedles));
    Bytes bytes = normal(10, 0);
    for (std::size_t i = 0; i < r.stopColours.size(); ++i)
      bytes = cat({bytes, stop(), normal(10, 0)});
    bytes = cat({bytes, endRecord()});
    const Decoded d = decodeDst(bytes, o, {0, 0}, r.startNeedle);
    ASSERT_EQ(d.stitches.size(), 2 * r.stopColours.size() + 2);
    EXPECT_EQ(d.colours()[0], r.startNeedle - 1);
    Codes stopColours;
    Codes stitchColours;
    for (std::size_t i = 1; i + 1 < d.stitches.size(); i += 2) {
      EXPECT_EQ(d.codes()[i], r.stopsAsNeedles ? StitchCode::ChangeNeedle : StitchCode::Stop);
      stopColours.push_back(d.colours()[i]);
      stitchColours.push_back(d.colours()[i + 1]);
    }
    EXPECT_EQ(stopColours, r.stopColours);
    EXPECT_EQ(stitchColours, r.stopColours);  // stitches are sewn with the new needle
  }
}

TEST(StitchDecoderNeedles, SkipFirstColourChangeIgnoresAStopBeforeTheFirstStitch) {
  struct Row {
    const char* what;
    int skip;
    Bytes lead;
    Codes codes;
    Codes stitchColours;  // colours of the normal stitches
    int maxLength;        // a rejected stop teaches nothing
  };
  // clang-format off
  const Row rows[] = {
      {"leading stop ignored", 1, {}, Codes{6, 0, 2, 0, 7}, Codes{0, 1}, 10},
      {"leading stop kept without the option", 0, {}, Codes{2, 0, 2, 0, 7}, Codes{1, 2}, 100},
      {"a jump is not a stitch", 1, jump(5, 0), Codes{1, 6, 0, 2, 0, 7}, Codes{0, 1}, 10},
      {"after a stitch the stop counts", 1, normal(5, 0), Codes{0, 2, 0, 2, 0, 7}, Codes{0, 1, 2}, 100},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    StitchDecoderOptions o = dstOptions();
    o.setStopsAsNeedles(1);
    o.setSkipFirstColourChange(r.skip);
    const Decoded d = decodeDst(
        cat({r.lead, stop(100, 0), normal(10, 0), stop(), normal(10, 0), endRecord()}), o);
    EXPECT_EQ(d.codes(), r.codes);
    Codes stitchColours;
    for (const HStitch& s : d.stitches) {
      if (s.isNormal()) stitchColours.push_back(s.getColor());
    }
    EXPECT_EQ(stitchColours, r.stitchColours);
    EXPECT_EQ(o.getMaxLength(), r.maxLength);
  }
}

TEST(StitchDecoderNeedles, SkipFirstColourChangeRejectsOnlyALeadingChangeToTheNeedleInUse) {
  struct Row {
    const char* what;
    int skip;
    std::vector<HStitch> lead;
    unsigned short changeTo;
    bool rejected;
  };
  const Row rows[] = {
      {"leading change to the needle in use", 1, {}, 0, true},
      {"leading change to another needle", 1, {}, 3, false},
      {"without the option", 0, {}, 0, false},
      {"after a stitch", 1, {hard(StitchCode::Normal, 5, 0)}, 0, false},
      {"after a jump only", 1, {hard(StitchCode::Jump, 5, 0)}, 0, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    StitchDecoderOptions o = dstOptions();
    o.setSkipFirstColourChange(r.skip);
    std::vector<HStitch> script = r.lead;
    script.push_back(withReal(hard(StitchCode::ChangeNeedle, 10, 0, r.changeTo)));
    script.push_back(hard(StitchCode::Normal, 20, 0));
    const Decoded d = decodeScript(script, o);
    const HStitch& change = d.stitches[r.lead.size()];
    ASSERT_TRUE(change.isColorChange());
    EXPECT_EQ(change.getRealStitchCount(), r.rejected ? 0 : 1);
    EXPECT_EQ(d.stitches.back().getColor(), r.changeTo);
  }
}

// --- Drop sequins and beads ---------------------------------------------------------------

// normal, sequin start, `count` drop records at one point, sequin end, normal, end.
Bytes repeatedDrops(int count) {
  return cat({normal(10, 0), changeover(), jump(10, 0), repeat(jump(0, 0), count - 1), changeover(),
              normal(10, 0), endRecord()});
}

TEST(StitchDecoderDropSequins, RepeatedDropsAtOnePointSelectTheHeadOrTheDropKind) {
  // N records at one point give (code, sequin head) of each drop: with alternate commands 15
  // records are a full drop and a new one; in the combined scheme the eighth record starts a
  // new drop, the ninth is consumed and the eleventh ends the chain.
  constexpr int S = StitchCode::DropSequin;
  constexpr int B = StitchCode::DropBead;
  struct Row {
    int records;
    Points alternate;
    Points combined;
  };
  // clang-format off
  const Row rows[] = {
      {1, {{S, 0}}, {{B, 0}}},  {2, {{S, 1}}, {{B, 1}}},  {3, {{S, 1}}, {{B, 1}}},
      {4, {{S, 2}}, {{B, 2}}},  {5, {{S, 2}}, {{B, 2}}},  {6, {{S, 2}}, {{B, 2}}},
      {7, {{S, 4}}, {{S, 0}}},  {8, {{S, 3}}, {{S, 0}, {B, 0}}}, {9, {{S, 3}}, {{S, 0}, {B, 0}}},
      {10, {{S, 3}}, {{S, 0}, {B, 0}}}, {11, {{S, 5}}, {{S, 1}}}, {12, {{S, 5}}, {{S, 1}, {B, 0}}},
      {13, {{S, 6}}, {}}, {14, {{S, 7}}, {}}, {15, {{S, 7}, {S, 0}}, {}},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.records << " records");
    StitchDecoderOptions o = dstOptions();
    o.setAlternateSequinDropCommands(1);
    Decoded d = decodeDst(repeatedDrops(r.records), o);
    EXPECT_EQ(d.drops(), r.alternate);
    Codes codes = {0, 18};
    codes.insert(codes.end(), r.alternate.size(), 20);
    codes.insert(codes.end(), {19, 0, 7});
    EXPECT_EQ(d.codes(), codes);
    for (const HStitch& s : d.stitches) {
      if (s.isDropSequin()) {
        EXPECT_EQ(s.getPoint(), (HCoord<short>{20, 0}));
      }
    }
    if (r.combined.empty()) continue;
    o = dstOptions();
    o.setSupportsCombinedSequinBead(1);
    d = decodeDst(repeatedDrops(r.records), o);
    EXPECT_EQ(d.drops(), r.combined);
    EXPECT_EQ(d.stitches.size(), r.combined.size() + 5);
    EXPECT_EQ(d.result, kDecodeEnd);
  }
}

TEST(StitchDecoderDropSequins, KorvanMoveDropSequinsMovesADropToTheNextNormalStitch) {
  struct Row {
    const char* what;
    int move;
    HDiskFileFormat format;
    int alternate;
    Bytes afterStart;  // records after normal(10, 0) and sequin start at (10, 0)
    Codes codes;
    std::pair<int, int> dropPoint;
    int head;
  };
  const Bytes tail = cat({changeover(), normal(10, 0), endRecord()});
  const Bytes moved = cat({jump(0, 0), normal(10, 0), tail});
  // clang-format off
  const Row rows[] = {
      {"drop in place moves and takes the stitch", 1, kFormatDst, 0, moved, Codes{0, 18, 20, 19, 0, 7}, {20, 0}, 0},
      {"without the option", 0, kFormatDst, 0, moved, Codes{0, 18, 20, 0, 19, 0, 7}, {10, 0}, 0},
      {"not for other formats", 1, kFormatDstVariant6, 0, moved, Codes{0, 18, 20, 0, 19, 0, 7}, {10, 0}, 0},
      {"next record not a stitch", 1, kFormatDst, 0, cat({jump(0, 0), tail}), Codes{0, 18, 20, 19, 0, 7}, {10, 0}, 0},
      {"a drop that moved stays", 1, kFormatDst, 0, cat({jump(5, 0), normal(10, 0), tail}), Codes{0, 18, 20, 0, 19, 0, 7}, {15, 0}, 0},
      {"a repeated drop moves as one", 1, kFormatDst, 1, cat({repeat(jump(0, 0), 3), normal(10, 0), tail}), Codes{0, 18, 20, 19, 0, 7}, {20, 0}, 1},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    StitchDecoderOptions o = dstOptions();
    o.setKorvanMoveDropSequins(r.move);
    o.setFileFormat(r.format);
    o.setAlternateSequinDropCommands(r.alternate);
    const Decoded d = decodeDst(cat({normal(10, 0), changeover(), r.afterStart}), o);
    EXPECT_EQ(d.codes(), r.codes);
    ASSERT_EQ(d.drops().size(), 1u);
    EXPECT_EQ(d.points()[2], r.dropPoint);
    EXPECT_EQ(d.stitches[2].getSequinHead(), r.head);
  }
}

// --- Trims made of jumps ------------------------------------------------------------------

// --- Blanks -------------------------------------------------------------------------------

TEST(StitchDecoderBlanks, PreserveBlanksTwoLooksAtTheStitchAlreadyGivenBack) {
  for (std::uint8_t next : {StitchCode::Stop, StitchCode::Normal}) {
    for (int mode = 0; mode <= 4; ++mode) {
      SCOPED_TRACE(testing::Message() << "next " << int{next} << ", PreserveBlanks " << mode);
      StitchDecoderOptions o = dstOptions();
      o.setPreserveBlanks(PreserveBlanksType(mode));
      ScriptedDecoder decoder(o, {hard(StitchCode::Normal, 20, 0)});
      ASSERT_EQ(decoder.beginDesign({0, 0}, 1), kDecodeOk);
      // A blank at the start point with the given stitch behind it.
      decoder.giveBack(hard(next, 0, 10));
      decoder.giveBack(hard(StitchCode::Normal, 0, 0));
      HStitch s;
      ASSERT_EQ(decoder.decodeStitch(s), kDecodeOk);
      ASSERT_TRUE(s.isNormal());
      const bool kept = mode == 1 || (next == StitchCode::Stop && (mode == 2 || mode == 4));
      EXPECT_EQ(o.getCleanLength(), kept ? 0 : 5);
    }
  }
}

// --- Learned lengths ----------------------------------------------------------------------

// --- Statistics and lifecycle -------------------------------------------------------------

TEST(StitchDecoderStopTable, StopsTakeTheirRecordedCommandsInOrder) {
  StitchDecoderOptions o = dstOptions();
  KorvanStitchDecoder decoder(o);
  HXArray<StopInfo> stops;
  StopInfo frameOut;
  frameOut.commandCode = StitchCode::FrameOut;
  frameOut.data = 7;
  frameOut.colour = 5;  // not taken: the stop is sewn with the needle in use
  stops.add(frameOut);
  StopInfo trim;
  trim.commandCode = StitchCode::Trim;
  stops.add(trim);
  HXArray<HString> names;
  names.add(HString(L"frame"));
  decoder.setStopTable(stops, names);

  const Bytes bytes = cat({normal(10, 0), stop(), normal(10, 0), stop(), normal(10, 0), stop(),
                           normal(10, 0), endRecord()});
  // The table survives beginDesign and is applied from its start again.
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(testing::Message() << "pass " << pass);
    MemoryInputBytestream stream(bytes);
    decoder.setBytestream(stream);
    const Decoded d = runDecoder(decoder);
    ASSERT_EQ(d.codes(), (Codes{0, 21, 0, 3, 0, 6, 0, 7}));  // a third stop stays a stop
    EXPECT_EQ(d.stitches[1].getData(), 7);
    EXPECT_EQ(d.stitches[1].getColor(), 0);
    EXPECT_TRUE(d.stitches[1].getComment() == HString(L"frame"));
    EXPECT_TRUE(d.stitches[3].getComment().isEmpty());
    EXPECT_TRUE(d.stitches[5].getComment().isEmpty());
  }

  decoder.resetStopTable();
  MemoryInputBytestream stream(bytes);
  decoder.setBytestream(stream);
  EXPECT_EQ(runDecoder(decoder).codes(), (Codes{0, 6, 0, 6, 0, 6, 0, 7}));
}

TEST(StitchDecoderChenille, RedundantChenilleCommandsAreRejected) {
  using namespace StitchCode;  // NOLINT(google-build-using-namespace)
  // moss, moss, chain, chain, moss, height 0, height 5, height 5, height 6
  const std::vector<std::pair<std::uint8_t, unsigned short>> commands = {
      {ChenilleMoss, 0},   {ChenilleMoss, 0},   {ChenilleChain, 0},
      {ChenilleChain, 0},  {ChenilleMoss, 0},   {ChenilleHeight, 0},
      {ChenilleHeight, 5}, {ChenilleHeight, 5}, {ChenilleHeight, 6},
  };
  struct Row {
    int removeRedundant;
    int removeHeight;
    Codes rejected;
  };
  const Row rows[] = {
      {1, 0, Codes{0, 1, 0, 1, 0, 1, 0, 1, 0}},
      {0, 1, Codes{0, 0, 0, 0, 0, 1, 1, 1, 1}},
      {0, 0, Codes{0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message()
                 << "redundant " << r.removeRedundant << " height " << r.removeHeight);
    std::vector<HStitch> script;
    short x = 0;
    for (const auto& [code, data] : commands) {
      HStitch s = withReal(hard(code, x += 10, 0));
      s.setData(data);
      script.push_back(s);
    }
    StitchDecoderOptions o = dstOptions();
    o.setRemoveRedundantChenille(r.removeRedundant);
    o.setRemoveChenilleHeight(r.removeHeight);
    const Decoded d = decodeScript(script, o);
    Codes rejected;
    for (int count : d.realCounts())
      rejected.push_back(count == 0 ? 1 : 0);
    EXPECT_EQ(rejected, r.rejected);
  }
}

// --- Stream failures ----------------------------------------------------------------------

TEST(StitchDecoderStream, ReadFailureIsNotMistakenForTheEndOfData) {
  struct Row {
    const char* what;
    Bytes bytes;
    std::vector<int> after;
    int result;
  };
  // A stream that fails and answers "end" when asked again still failed; every format's
  // decoder is held to that in the common tests.
  // clang-format off
  const Row rows[] = {
      {"end inside a record", cat({normal(10, 0), {0x01}}), {kStreamEnd}, kDecodeEnd},
      {"failure code other than 4", cat({normal(10, 0), {0x01}}), {7}, kDecodeFailure},
      {"failure behind a stop", cat({normal(10, 0), stop()}), {kStreamFailure, kStreamEnd}, kDecodeFailure},
      {"failure behind a jump run", cat({normal(10, 0), jump(10, 0), jump(10, 0)}), {kStreamFailure, kStreamEnd}, kDecodeFailure},
  };
  // clang-format on
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ScriptedStream stream(r.bytes, r.after);
    StitchDecoderOptions o = dstOptions();
    KorvanStitchDecoder decoder(o);
    decoder.setBytestream(stream);
    EXPECT_EQ(runDecoder(decoder).result, r.result);
  }
}

}  // namespace
}  // namespace stitchkit
