#include "stitchkit/encode/barudan_encoder.h"

#include <cstdlib>
#include <new>

#include "stitchkit/decode/barudan_records.h"

namespace stitchkit {

namespace {

// What a command is written as.
enum class WrittenAs : std::uint8_t {
  Unchanged,  // its own code
  Jump,       // a jump
  Normal,     // a plain stitch
  Trim,       // a trim
  UpperTrim,  // an upper trim where the machine has one (WriteBarudanZ), else a trim
  Stop,       // a stop
};

// Where the command record goes relative to the move.
enum class Placement : std::uint8_t {
  WithMove,                  // the command record carries the move
  InPlace,                   // a jump to the point first, then the command with no move
  UnlessSeparate,            // in place while commands are written separately
  UnlessSeparateOrStopTable  // as UnlessSeparate, but with the move in stop-table mode
};

struct CommandForm {
  WrittenAs as;
  Placement placement;
};

// Codes above this one are written as a stop in place.
constexpr int kMaxFormCode = StitchCode::DropSequinW;

// How each command code is written as Barudan records.
constexpr std::array<CommandForm, kMaxFormCode + 1> makeCommandForms() {
  using enum WrittenAs;
  using enum Placement;
  std::array<CommandForm, kMaxFormCode + 1> forms{};
  for (CommandForm& f : forms)
    f = {Stop, InPlace};
  for (const std::uint8_t code : {StitchCode::Normal, StitchCode::Jump, StitchCode::Trim,
                                  StitchCode::ChenilleChain, StitchCode::ChenilleMoss}) {
    forms[code] = {Unchanged, WithMove};
  }
  for (const std::uint8_t code :
       {StitchCode::ChangeNeedle, StitchCode::SlowDown, StitchCode::SpeedUp, StitchCode::BorerIn,
        StitchCode::BorerOut, StitchCode::SequinStart, StitchCode::SequinEnd, StitchCode::FrameOut,
        StitchCode::LaserOn, StitchCode::LaserOff, StitchCode::LaserPause, StitchCode::BeadStart,
        StitchCode::BeadEnd}) {
    forms[code] = {Unchanged, UnlessSeparate};
  }
  forms[StitchCode::Stop] = {Unchanged, UnlessSeparateOrStopTable};
  forms[StitchCode::DesignEnd] = {Unchanged, InPlace};
  forms[StitchCode::ChangeOver] = {Unchanged, InPlace};
  for (const std::uint8_t code :
       {StitchCode::DesignStart, StitchCode::NeedleUp, StitchCode::DropSequin, StitchCode::DropBead,
        StitchCode::DropSequinW}) {
    forms[code] = {Jump, WithMove};
  }
  forms[StitchCode::UpperTrim] = {UpperTrim, WithMove};
  forms[StitchCode::JumpTrim] = {Trim, WithMove};
  for (int code = StitchCode::FirstStitchVariant; code <= StitchCode::LastStitchVariant; ++code) {
    forms[code] = {Normal, WithMove};
  }
  return forms;
}
constexpr auto kCommandForms = makeCommandForms();

constexpr CommandForm commandForm(std::uint8_t code) {
  return code <= kMaxFormCode ? kCommandForms[code]
                              : CommandForm{WrittenAs::Stop, Placement::InPlace};
}

// Needles the machine has: 15 with WriteBarudanZ, else 7.
constexpr int kZNeedles = 15;
constexpr int kPlainNeedles = 7;

}  // namespace

BarudanStitchEncoder::BarudanStitchEncoder(const StitchOptions& opts)
    : BytestreamStitchEncoder(opts) {}

BarudanStitchEncoder::~BarudanStitchEncoder() = default;

int BarudanStitchEncoder::makeXY(short dx, short dy) {
  const int ax = std::abs(dx);
  const int ay = std::abs(dy);
  if (ax > barudan::kMaxMove || ay > barudan::kMaxMove) return kEncodeRefused;
  std::uint8_t b0 = record[0];
  if (dx > 0) b0 = static_cast<std::uint8_t>(b0 & ~barudan::kXNegative);
  if (dx < 0) b0 = static_cast<std::uint8_t>(b0 | barudan::kXNegative);
  if (dy < 0) b0 = static_cast<std::uint8_t>(b0 & ~barudan::kYPositive);
  if (dy > 0) b0 = static_cast<std::uint8_t>(b0 | barudan::kYPositive);
  record = {b0, static_cast<std::uint8_t>(ay), static_cast<std::uint8_t>(ax)};
  return kEncodeOk;
}

int BarudanStitchEncoder::sendBytes(short dx, short dy) {
  if (makeXY(dx, dy) != kEncodeOk) return kEncodeRefused;
  return sendBytes();
}

int BarudanStitchEncoder::sendBytes() {
  return outputRecord(record.data(), record.size());
}

int BarudanStitchEncoder::vSendHardStitch(const HStitch& s) {
  record = {0, 0, 0};
  const std::uint8_t code = s.getFlags();
  if (code > barudan::kMaxWrittenCode) return kEncodeRefused;
  const short dx = static_cast<short>(s.xval() - current.xval());
  const short dy = static_cast<short>(s.yval() - current.yval());
  if (std::abs(dx) > barudan::kMaxMove || std::abs(dy) > barudan::kMaxMove) {
    return kEncodeRefused;
  }

  if (code != StitchCode::ChangeNeedle) {
    record[0] = barudan::kFunctionBytes[code];
    if (record[0] == 0) return kEncodeRefused;
    return sendBytes(dx, dy);
  }

  int needle = s.getColor() + 1;
  if (needle > barudan::kMaxNeedle) return kEncodeRefused;
  if (needle < barudan::kPrefixedNeedle) {
    record[0] = barudan::functionByte(barudan::kNeedleCommands[static_cast<std::size_t>(needle)]);
    return sendBytes(dx, dy);
  }
  // Needles from 10 on: the prefix record, which the reader takes the move from, then the
  // record naming needle n - 10 without a move.
  record[0] = barudan::kNeedlePrefixByte;
  const int r = sendBytes(dx, dy);
  if (r != kEncodeOk) return r;
  needle -= barudan::kPrefixedNeedle;
  record = {barudan::functionByte(barudan::kNeedleCommands[static_cast<std::size_t>(needle)]), 0,
            0};
  return sendBytes();
}

unsigned short BarudanStitchEncoder::foldColour(unsigned short colour) const {
  const int most = options->getWriteBarudanZ() ? kZNeedles : kPlainNeedles;
  int limit = options->getMaxNeedles();
  if (limit < 1 || limit > most) limit = most;
  return colour + 1 > limit ? static_cast<unsigned short>(colour % limit) : colour;
}

int BarudanStitchEncoder::vSendSoftStitch(HStitch& s) {
  const CommandForm form = commandForm(s.getFlags());
  HStitch c(s, 0);
  switch (form.as) {
    case WrittenAs::Unchanged:
      if (c.isColorChange() && stream != nullptr) c.setColor(foldColour(c.getColor()));
      break;
    case WrittenAs::Jump:
      c.setFlags(StitchCode::Jump);
      break;
    case WrittenAs::Normal:
      c.setFlags(StitchCode::Normal);
      break;
    case WrittenAs::Trim:
      c.setFlags(StitchCode::Trim);
      break;
    case WrittenAs::UpperTrim:
      c.setFlags(options->getWriteBarudanZ() ? StitchCode::UpperTrim : StitchCode::Trim);
      break;
    case WrittenAs::Stop:
      c.setFlags(StitchCode::Stop);
      break;
  }

  bool carriesMove = true;
  switch (form.placement) {
    case Placement::WithMove:
      break;
    case Placement::InPlace:
      carriesMove = false;
      break;
    case Placement::UnlessSeparate:
      carriesMove = separateCommands == 0;
      break;
    case Placement::UnlessSeparateOrStopTable:
      carriesMove = makeStopTable != 0 || separateCommands == 0;
      break;
  }

  return sendCommandRecord(s, c, carriesMove);
}

StitchEncoder* BarudanStitchEncoderFactory::createEncoder(StitchEncoderOptions& options) {
  return new (std::nothrow) BarudanStitchEncoder(options);
}

}  // namespace stitchkit
