#include "stitchkit/encode/text_encoder.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <new>
#include <system_error>

namespace stitchkit {

namespace {

// The label of a range of command codes. A label with the needle is followed by the needle
// number (colour + 1) and ", X: ".
struct LabelRow {
  std::uint8_t first;
  std::uint8_t last;
  std::string_view text;
  bool withNeedle;
};

// clang-format off
constexpr LabelRow kLabels[] = {
    {StitchCode::Normal,             StitchCode::Normal,             "Stitch: X: ",               false},
    {StitchCode::FirstStitchVariant, StitchCode::LastStitchVariant,  "Stitch: X: ",               false},
    {StitchCode::Jump,               StitchCode::Jump,               "Jump: X: ",                 false},
    {StitchCode::ChangeNeedle,       StitchCode::ChangeNeedle,       "Change Needle: ",           true},
    {StitchCode::Trim,               StitchCode::Trim,               "Trim: X: ",                 false},
    {StitchCode::SlowDown,           StitchCode::SlowDown,           "Slow Down: X: ",            false},
    {StitchCode::SpeedUp,            StitchCode::SpeedUp,            "Speed Up: X: ",             false},
    {StitchCode::Stop,               StitchCode::Stop,               "Stop: X: ",                 false},
    {StitchCode::DesignEnd,          StitchCode::DesignEnd,          "Design End : X: ",          false},
    {StitchCode::BorerIn,            StitchCode::BorerIn,            "Borer In: X: ",             false},
    {StitchCode::BorerOut,           StitchCode::BorerOut,           "Borer Out: X: ",            false},
    {StitchCode::ChangeOver,         StitchCode::ChangeOver,         "Change Over: X: ",          false},
    {StitchCode::DesignStart,        StitchCode::DesignStart,        "Design Start : X: ",        false},
    {StitchCode::UpperTrim,          StitchCode::UpperTrim,          "Upper Trim: X: ",           false},
    {StitchCode::NeedleUp,           StitchCode::NeedleUp,           "Needle Up: X: ",            false},
    {StitchCode::JumpTrim,           StitchCode::JumpTrim,           "Jump Trim: X: ",            false},
    {StitchCode::SequinStart,        StitchCode::SequinStart,        "Sequin Start: X: ",         false},
    {StitchCode::SequinEnd,          StitchCode::SequinEnd,          "Sequin End: X: ",           false},
    {StitchCode::DropSequin,         StitchCode::DropSequin,         "Drop Sequin: X: ",          false},
    {StitchCode::FrameOut,           StitchCode::FrameOut,           "Frame Out: X: ",            false},
    {StitchCode::TwoStop,            StitchCode::TwoStop,            "Two Stop: X: ",             false},
    {StitchCode::ThreeStop,          StitchCode::ThreeStop,          "Three Stop: X: ",           false},
    {StitchCode::LaserOn,            StitchCode::LaserOn,            "Laser On: X: ",             false},
    {StitchCode::LaserOff,           StitchCode::LaserOff,           "Laser Off: X: ",            false},
    {StitchCode::LaserPause,         StitchCode::LaserPause,         "Laser Pause: X: ",          false},
    {StitchCode::Tension,            StitchCode::Tension,            "Tension: X: ",              false},
    {StitchCode::TensionJump,        StitchCode::TensionJump,        "Tension Jump: X: ",         false},
    {StitchCode::Cut,                StitchCode::Cut,                "Cut: X: ",                  false},
    {StitchCode::ATHProhibitedStart, StitchCode::ATHProhibitedStart, "ATH Prohibited Start: X: ", false},
    {StitchCode::ATHProhibitedEnd,   StitchCode::ATHProhibitedEnd,   "ATH Prohibited End: X: ",   false},
    {StitchCode::ArbitraryOn,        StitchCode::ArbitraryOn,        "Arbitrary On: X: ",         false},
    {StitchCode::ArbitraryOff,       StitchCode::ArbitraryOff,       "Arbitrary Off: X: ",        false},
    {StitchCode::CutJump,            StitchCode::CutJump,            "Cut Jump: X: ",             false},
    {StitchCode::BeadStart,          StitchCode::BeadStart,          "Bead Start: X: ",           false},
    {StitchCode::BeadEnd,            StitchCode::BeadEnd,            "Bead End: X: ",             false},
    {StitchCode::DropBead,           StitchCode::DropBead,           "Drop Bead: X: ",            false},
    {StitchCode::DropSequinW,        StitchCode::DropSequinW,        "Drop Sequin W: X: ",        false},
};
// clang-format on

constexpr LabelRow kUnknownLabel = {0, 0, "Unknown: X: ", false};

const LabelRow& labelFor(std::uint8_t code) {
  for (const LabelRow& row : kLabels) {
    if (code >= row.first && code <= row.last) return row;
  }
  return kUnknownLabel;
}

}  // namespace

void TextStitchEncoder::LineFormatter::put(std::string_view text) {
  if (failed_) return;
  if (text.size() > static_cast<std::size_t>(kCapacity - length_)) {
    failed_ = true;
    return;
  }
  text.copy(buffer_.data() + length_, text.size());
  length_ += static_cast<int>(text.size());
}

void TextStitchEncoder::LineFormatter::put(int value) {
  if (failed_) return;
  char* const end = buffer_.data() + kCapacity;
  const std::to_chars_result r = std::to_chars(buffer_.data() + length_, end, value);
  if (r.ec != std::errc()) {
    failed_ = true;
    return;
  }
  length_ = static_cast<int>(r.ptr - buffer_.data());
}

TextStitchEncoder::TextStitchEncoder(const StitchOptions& opts) : BytestreamStitchEncoder(opts) {}

TextStitchEncoder::~TextStitchEncoder() = default;

int TextStitchEncoder::printStitch(const HStitch& s) {
  if (stream == nullptr) return kEncodeOk;
  const LabelRow& label = labelFor(s.getFlags());
  line.put(label.text);
  if (label.withNeedle) {
    line.put(s.getColor() + 1);
    line.put(", X: ");
  }
  line.put(static_cast<short>(s.xval() - current.xval()));
  line.put(", Y: ");
  line.put(static_cast<short>(s.yval() - current.yval()));
  line.put(", Absolute X: ");
  line.put(s.xval());
  line.put(", Absolute Y: ");
  line.put(s.yval());
  line.put("\n");
  return lineToBytestream();
}

int TextStitchEncoder::lineToBytestream() {
  if (stream == nullptr) return kEncodeOk;
  const int length = line.length();
  int result = length < 0 ? kEncodeRefused : kEncodeOk;
  for (int i = 0; i < length && result == kEncodeOk; ++i) {
    result = outputByte(static_cast<unsigned char>(line.data()[i]));
  }
  // A line that failed is dropped too, so the next line starts clean.
  line.rewind();
  return result;
}

int TextStitchEncoder::flush() {
  // Every line is sent as soon as it is formatted, so the formatter holds nothing here.
  return BytestreamStitchEncoder::flush();
}

int TextStitchEncoder::vSendSoftStitch(HStitch& s) {
  int r = printStitch(s);
  if (r != kEncodeOk || !s.hasRealStitches()) return r;
  for (const HStitch& real : s.getRealStitches()) {
    r = sendHardStitch(real);
    if (r != kEncodeOk) return r;
  }
  return kEncodeOk;
}

int TextStitchEncoder::vSendHardStitch(const HStitch& s) {
  if (stream == nullptr) return kEncodeOk;
  const int r = outputByte('\t');
  if (r != kEncodeOk) return r;
  return printStitch(s);
}

int TextStitchEncoder::vOutputTrailer() {
  std::printf("   Finished: X: %d, Y: %d\n", stats.curX, stats.curY);
  std::printf("    X Range: %d, %d\n", stats.minX, stats.maxX);
  std::printf("    Y Range: %d, %d\n", stats.minY, stats.maxY);
  std::printf("   Stitches: %d\n", stats.stitchCount);
  std::printf("      Jumps: %d\n", stats.jumpCount);
  std::printf("      Trims: %d\n", stats.trimCount);
  std::printf("      Stops: %d\n", stats.commandCount);
  std::printf("    Needles: %llu\n", static_cast<unsigned long long>(stats.needleCount));
  std::printf("Max. Stitch: %d\n", stats.maxMove);
  std::fflush(stdout);
  return kEncodeOk;
}

StitchEncoder* TextStitchEncoderFactory::createEncoder(StitchEncoderOptions& options) {
  return new (std::nothrow) TextStitchEncoder(options);
}

}  // namespace stitchkit
