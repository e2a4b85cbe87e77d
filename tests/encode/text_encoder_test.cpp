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

TEST(TextEncoderLines, EveryCommandCodeHasItsLabel) {
  // clang-format off
  const std::map<int, std::string> labels = {
      {0, "Stitch"}, {1, "Jump"}, {2, "Change Needle: 1,"}, {3, "Trim"}, {4, "Slow Down"},
      {5, "Speed Up"}, {6, "Stop"}, {7, "Design End "}, {8, "Borer In"}, {9, "Borer Out"},
      {10, "Change Over"}, {11, "Design Start "}, {12, "Upper Trim"}, {13, "Needle Up"},
      {14, "Jump Trim"}, {18, "Sequin Start"}, {19, "Sequin End"}, {20, "Drop Sequin"},
      {21, "Frame Out"}, {22, "Two Stop"}, {23, "Three Stop"}, {24, "Laser On"}, {25, "Laser Off"},
      {26, "Stitch"}, {27, "Stitch"}, {28, "Stitch"}, {29, "Stitch"}, {30, "Stitch"},
      {49, "Laser Pause"}, {54, "Tension"}, {55, "Tension Jump"}, {56, "Cut"},
      {57, "ATH Prohibited Start"}, {58, "ATH Prohibited End"}, {59, "Arbitrary On"},
      {60, "Arbitrary Off"}, {63, "Cut Jump"}, {64, "Bead Start"}, {65, "Bead End"},
      {66, "Drop Bead"}, {67, "Drop Sequin W"},
  };
  // clang-format on
  for (int code = 0; code <= 255; ++code) {
    TextRun run({7, -3});
    HStitch s = stitch(9, -7, code);
    EXPECT_EQ(run.encoder.sendCommand(s), kEncodeOk);
    const auto found = labels.find(code);
    const std::string label = found != labels.end() ? found->second : "Unknown";
    const std::string separator = code == 2 ? " X: " : ": X: ";
    EXPECT_EQ(text(run.bytes), label + separator + "2, Y: -4, Absolute X: 9, Absolute Y: -7\n")
        << "code " << code;
  }
}

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

TEST(TextEncoderLines, WithoutAStreamNothingIsProducedAndEverySendSucceeds) {
  testing::internal::CaptureStdout();
  TextRun run({0, 0}, false);
  EXPECT_EQ(run.encode(stitch(30, 40)), kEncodeOk);
  EXPECT_EQ(run.encode(stitch(30, 40, StitchCode::ChangeNeedle, 2)), kEncodeOk);
  HStitch jump = stitch(50, 40, StitchCode::Jump);
  HXArray<HStitch> real;
  real.add(stitch(40, 40, StitchCode::Jump));
  real.add(stitch(50, 40, StitchCode::Jump));
  jump.setRealStitches(real);
  EXPECT_EQ(run.encoder.sendCommand(jump), kEncodeOk);
  EXPECT_EQ(run.encoder.endDesign(nullptr), kEncodeOk);
  EXPECT_EQ(run.encoder.flush(), kEncodeOk);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(run.bytes.empty());
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

TEST(TextEncoderFactory, CreatesATextEncoderForTheOptions) {
  StitchEncoderOptions o;
  TextStitchEncoderFactory factory;
  std::unique_ptr<StitchEncoder> encoder(factory.createEncoder(o));
  auto* textEncoder = dynamic_cast<TextStitchEncoder*>(encoder.get());
  ASSERT_NE(textEncoder, nullptr);
  Bytes bytes;
  VectorOutputBytestream stream(bytes);
  textEncoder->setBytestream(stream);
  ASSERT_EQ(textEncoder->beginDesign({1, 1}, {0, 0}, 0), kEncodeOk);
  HStitch s = stitch(2, 3);
  EXPECT_EQ(textEncoder->encodeStitch(s, 0, 0), kEncodeOk);
  EXPECT_EQ(text(bytes), "Stitch: X: 1, Y: 2, Absolute X: 2, Absolute Y: 3\n");
}

}  // namespace
}  // namespace stitchkit
