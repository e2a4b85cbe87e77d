#include "stitchkit/encode/text_encoder.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"
#include "tests/support/stitch_builders.h"

namespace stitchkit {
namespace {

using testing_support::Bytes;
using testing_support::stitch;

std::string text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Hands one command to the format as the framework does once it has placed it, so that a
// stitch reaches the format whole: with its real stitches, or as a two or three stop (which
// the framework's own rules otherwise rewrite as stops before the format sees them).
class TextEncoderProbe : public TextStitchEncoder {
 public:
  using TextStitchEncoder::TextStitchEncoder;
  int sendCommand(HStitch& s) { return vSendSoftStitch(s); }
};

// An encoder writing into `bytes`, with a design begun at `start`.
struct TextRun {
  explicit TextRun(HCoord<short> start = {0, 0}, bool withStream = true)
      : stream(bytes), encoder(options) {
    if (withStream) encoder.setBytestream(stream);
    EXPECT_EQ(encoder.beginDesign(start, {0, 0}, 0), kEncodeOk);
  }
  int encode(HStitch s) { return encoder.encodeStitch(s, 0, 0); }

  StitchEncoderOptions options;
  Bytes bytes;
  VectorOutputBytestream stream;
  TextEncoderProbe encoder;
};

TEST(TextEncoderLines, LinesShowTheMoveFromTheNeedleAndTheAbsolutePosition) {
  // clang-format off
  const struct {
    HStitch s;
    const char* line;
  } cases[] = {
      {stitch(105, -20), "Stitch: X: 5, Y: -10, Absolute X: 105, Absolute Y: -20\n"},
      {stitch(100, -10, StitchCode::ChangeNeedle, 3), "Change Needle: 4, X: 0, Y: 0, Absolute X: 100, Absolute Y: -10\n"},
      {stitch(100, -10, StitchCode::ChenilleChain), "Unknown: X: 0, Y: 0, Absolute X: 100, Absolute Y: -10\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    TextRun run({100, -10});
    EXPECT_EQ(run.encode(c.s), kEncodeOk);
    EXPECT_EQ(text(run.bytes), c.line);
  }
}

TEST(TextEncoderLines, VirtualJumpPrintsItsLineThenItsRealStitchesIndented) {
  TextRun run;
  HStitch jump = stitch(20, 10, StitchCode::Jump);
  HXArray<HStitch> real;
  real.add(stitch(10, 0, StitchCode::Jump));
  real.add(stitch(20, 10, StitchCode::Jump));
  jump.setRealStitches(real);
  EXPECT_EQ(run.encoder.sendCommand(jump), kEncodeOk);
  // Only the real stitches move the needle: the next line is measured from (20, 10).
  HStitch next = stitch(25, 10);
  EXPECT_EQ(run.encoder.sendCommand(next), kEncodeOk);
  EXPECT_EQ(text(run.bytes),
            "Jump: X: 20, Y: 10, Absolute X: 20, Absolute Y: 10\n"
            "\tJump: X: 10, Y: 0, Absolute X: 10, Absolute Y: 0\n"
            "\tJump: X: 10, Y: 10, Absolute X: 20, Absolute Y: 10\n"
            "Stitch: X: 5, Y: 0, Absolute X: 25, Absolute Y: 10\n");
}

// Refuses exactly one byte, the `refuse`-th (counted from 0).
class OneRefusal final : public OutputBytestream {
 public:
  OneRefusal(Bytes& bytes, int refuse) : bytes_(&bytes), refuse_(refuse) {}
  int outputByte(unsigned char byte) override {
    if (count_++ == refuse_) return kStreamFailure;
    bytes_->push_back(byte);
    return kStreamOk;
  }

 private:
  Bytes* bytes_;
  int refuse_;
  int count_ = 0;
};

TEST(TextEncoderLines, RefusedByteFailsTheLineAndTheNextLineStartsClean) {
  const StitchEncoderOptions o;
  Bytes bytes;
  OneRefusal stream(bytes, 3);
  TextStitchEncoder encoder(o);
  encoder.setBytestream(stream);
  ASSERT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch first = stitch(1, 2);
  EXPECT_EQ(encoder.encodeStitch(first, 0, 0), kEncodeRefused);
  HStitch second = stitch(3, 4);
  EXPECT_EQ(encoder.encodeStitch(second, 0, 0), kEncodeOk);
  EXPECT_EQ(text(bytes), "StiStitch: X: 3, Y: 4, Absolute X: 3, Absolute Y: 4\n");
}

TEST(TextEncoderTrailer, SummaryOfTheDesignGoesToStandardOutput) {
  TextRun run({0, 0});
  EXPECT_EQ(run.encode(stitch(10, 0)), kEncodeOk);
  EXPECT_EQ(run.encode(stitch(10, 20)), kEncodeOk);
  EXPECT_EQ(run.encode(stitch(-5, 20, StitchCode::Jump)), kEncodeOk);
  EXPECT_EQ(run.encode(stitch(-5, 20, StitchCode::ChangeNeedle, 1)), kEncodeOk);
  EXPECT_EQ(run.encode(stitch(-5, 25)), kEncodeOk);
  ASSERT_EQ(run.encoder.endDesign(nullptr), kEncodeOk);
  const Bytes written = run.bytes;

  testing::internal::CaptureStdout();
  EXPECT_EQ(run.encoder.vOutputTrailer(), kEncodeOk);
  const std::string summary = testing::internal::GetCapturedStdout();

  const StitchStats& st = run.encoder.getStats();
  const std::string expected =
      "   Finished: X: " + std::to_string(st.curX) + ", Y: " + std::to_string(st.curY) + "\n" +
      "    X Range: " + std::to_string(st.minX) + ", " + std::to_string(st.maxX) + "\n" +
      "    Y Range: " + std::to_string(st.minY) + ", " + std::to_string(st.maxY) + "\n" +
      "   Stitches: " + std::to_string(st.stitchCount) + "\n" +
      "      Jumps: " + std::to_string(st.jumpCount) + "\n" +
      "      Trims: " + std::to_string(st.trimCount) + "\n" +
      "      Stops: " + std::to_string(st.commandCount) + "\n" +
      "    Needles: " + std::to_string(st.needleCount) + "\n" +
      "Max. Stitch: " + std::to_string(st.maxMove) + "\n";
  EXPECT_EQ(summary, expected);
  // The design's own figures, so that the summary is not of an empty record.
  EXPECT_EQ(st.curX, -5);
  EXPECT_EQ(st.curY, 25);
  EXPECT_EQ(st.minX, -5);
  EXPECT_EQ(st.maxY, 25);
  // Nothing of the summary goes to the byte stream.
  EXPECT_EQ(run.bytes, written);
}

}  // namespace
}  // namespace stitchkit
