#include "stitchkit/encode/dst_encoder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>

#include "stitchkit/decode/dst_records.h"

namespace stitchkit {

namespace {

using dst::kChangeoverByte2;
using dst::kJumpByte2;
using dst::kNormalByte2;
using dst::kStopByte2;

// b2 of the record written for a stitch with command `code`.
constexpr std::uint8_t commandByte2(std::uint8_t code) {
  switch (code) {
    case StitchCode::Normal:
      return kNormalByte2;
    case StitchCode::Jump:
    case StitchCode::DropSequin:
    case StitchCode::DropBead:
    case StitchCode::DropSequinW:
      return kJumpByte2;
    case StitchCode::DesignEnd:
      return dst::kEndByte2;
    case StitchCode::ChangeOver:
      return kChangeoverByte2;
    default:
      return kStopByte2;
  }
}

// What a command is written as.
enum class WrittenAs : std::uint8_t {
  Unchanged,   // its own code
  Jump,        // a jump record
  ChangeOver,  // a change-over record
  Normal,      // a stitch record
  Stop,        // a stop record
  StopCommand  // a stop record, with the pad jump and the chenille forms
};

// Where the command record goes relative to the move.
enum class Placement : std::uint8_t {
  WithMove,        // the command record carries the move
  InPlace,         // a jump to the point first, then the command with no move
  UnlessSeparate,  // in place while commands are written separately, else with the move
};

struct CommandForm {
  WrittenAs as;
  Placement placement;
};

// How each command code is written as DST records.
constexpr CommandForm commandForm(std::uint8_t code) {
  using enum WrittenAs;
  using enum Placement;
  switch (code) {
    case StitchCode::Normal:
    case StitchCode::Jump:
    case StitchCode::ChangeOver:
    case StitchCode::DropSequin:
    case StitchCode::DropBead:
    case StitchCode::DropSequinW:
      return {Unchanged, WithMove};
    case StitchCode::Trim:
    case StitchCode::DesignStart:
    case StitchCode::UpperTrim:
    case StitchCode::NeedleUp:
    case StitchCode::JumpTrim:
    case 53:
    case StitchCode::TensionJump:
    case StitchCode::ChenilleHeight:
      return {Jump, WithMove};
    case StitchCode::DesignEnd:
      return {Unchanged, InPlace};
    case StitchCode::SequinStart:
    case StitchCode::SequinEnd:
    case StitchCode::BeadStart:
    case StitchCode::BeadEnd:
      return {ChangeOver, InPlace};
    case StitchCode::LaserOn:
    case StitchCode::LaserOff:
    case StitchCode::LaserPause:
      return {ChangeOver, UnlessSeparate};
    case 26:
    case 27:
    case 28:
    case 29:
    case 30:
    case StitchCode::Tension:
      return {Normal, WithMove};
    case StitchCode::Cut:
    case StitchCode::CutJump:
      return {Unchanged, WithMove};
    case StitchCode::ATHProhibitedStart:
    case StitchCode::ATHProhibitedEnd:
    case StitchCode::ArbitraryOn:
    case StitchCode::ArbitraryOff:
      return {Stop, WithMove};
    default:
      return {StopCommand, UnlessSeparate};
  }
}

// Balanced-ternary digits (-1, 0 or +1) of the weights 1, 3, 9, 27, 81.
constexpr std::array<int, 5> kWeights = {1, 3, 9, 27, 81};
using TernaryDigits = std::array<int, kWeights.size()>;

// Adds `amount` to the digit of weight index `index`, carrying into the higher digits: +2
// becomes -1 and +3 becomes 0 with +1 carried; -2 becomes +1 and -3 becomes 0 with -1 carried.
constexpr void addToDigit(TernaryDigits& digits, std::size_t index, int amount) {
  for (; index < digits.size() && amount != 0; ++index) {
    int digit = digits[index] + amount;
    amount = 0;
    if (digit >= 2) {
      digit -= 3;
      amount = 1;
    } else if (digit <= -2) {
      digit += 3;
      amount = -1;
    }
    digits[index] = digit;
  }
}

// The digits of `value` (within -121..121), taken from the highest weight down: each weight
// takes the remaining value divided by it, truncated towards zero.
constexpr TernaryDigits ternaryDigits(int value) {
  TernaryDigits digits{};
  int rest = value;
  for (std::size_t i = kWeights.size(); i-- > 0;) {
    const int q = rest / kWeights[i];
    rest -= q * kWeights[i];
    addToDigit(digits, i, q);
  }
  return digits;
}

// Sets the bits of `value` on one axis: for each non-zero digit, the movement bit that adds
// digit x weight to that axis.
constexpr void addAxis(std::array<std::uint8_t, 3>& bytes, bool xAxis, int value) {
  const TernaryDigits digits = ternaryDigits(value);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (digits[i] == 0) continue;
    for (const dst::MoveBit& bit : dst::kMoveBits) {
      if ((xAxis ? bit.dx : bit.dy) == digits[i] * kWeights[i]) {
        bytes[bit.byte] = static_cast<std::uint8_t>(bytes[bit.byte] | bit.mask);
        break;
      }
    }
  }
}

// The bits of every one-record move on each axis, worked out once at compile time.
constexpr auto makeAxisBits() {
  std::array<std::array<std::array<std::uint8_t, 3>, 2 * dst::kMaxMove + 1>, 2> table{};
  for (int axis = 0; axis < 2; ++axis) {
    for (int v = -dst::kMaxMove; v <= dst::kMaxMove; ++v) {
      addAxis(table[axis][v + dst::kMaxMove], axis == 0, v);
    }
  }
  return table;
}
constexpr auto kAxisBits = makeAxisBits();

constexpr bool inRange(short v) {
  return v >= -dst::kMaxMove && v <= dst::kMaxMove;
}

// The record of a stitch or jump moving by (dx, dy), for the bulk writers: its length, or 0
// when the move is out of the record's reach.
std::size_t plainRecord(int dx, int dy, bool jump, std::uint8_t* b) {
  if (dx < -dst::kMaxMove || dx > dst::kMaxMove || dy < -dst::kMaxMove || dy > dst::kMaxMove) {
    return 0;
  }
  const auto& xBits = kAxisBits[0][dx + dst::kMaxMove];
  const auto& yBits = kAxisBits[1][dy + dst::kMaxMove];
  b[0] = static_cast<std::uint8_t>(xBits[0] | yBits[0]);
  b[1] = static_cast<std::uint8_t>(xBits[1] | yBits[1]);
  b[2] = static_cast<std::uint8_t>((jump ? kJumpByte2 : kNormalByte2) | xBits[2] | yBits[2]);
  return dst::kRecordSize;
}

}  // namespace

KorvanStitchEncoder::KorvanStitchEncoder(const StitchOptions& opts)
    : BytestreamStitchEncoder(opts) {}

KorvanStitchEncoder::~KorvanStitchEncoder() = default;

int KorvanStitchEncoder::makeXY(short dx, short dy) {
  if (!inRange(dx) || !inRange(dy)) return kEncodeRefused;
  const auto& xBits = kAxisBits[0][dx + dst::kMaxMove];
  const auto& yBits = kAxisBits[1][dy + dst::kMaxMove];
  for (std::size_t i = 0; i < record.size(); ++i) {
    record[i] = static_cast<std::uint8_t>(record[i] | xBits[i] | yBits[i]);
  }
  return kEncodeOk;
}

int KorvanStitchEncoder::sendBytes(short dx, short dy) {
  if (makeXY(dx, dy) != kEncodeOk) return kEncodeRefused;
  return sendBytes();
}

int KorvanStitchEncoder::sendBytes() {
  blankJumpLast_ = record[0] == 0 && record[1] == 0 && record[2] == kJumpByte2;
  return outputRecord(record.data(), record.size());
}

int KorvanStitchEncoder::vSendPlainStitches(std::span<const HStitch> run, int limit, int& written) {
  const int r = sendPlainRecords<dst::kRecordSize>(run, limit, written, plainRecord);
  if (written > 0) blankJumpLast_ = trimInPlaceLast_ = false;
  return r;
}

int KorvanStitchEncoder::vSendPieces(std::span<const HCoord<short>> points) {
  const int r = sendPieceRecords<dst::kRecordSize>(points, plainRecord);
  // The last record is the stitch.
  if (r == kEncodeOk) blankJumpLast_ = trimInPlaceLast_ = false;
  return r;
}

int KorvanStitchEncoder::vBeginDesign(HCoord<short> /*start*/) {
  ownChenilleMode = kChenilleNone;
  ownChenilleHeight = 0;
  blankJumpLast_ = false;
  trimInPlaceLast_ = false;
  return kEncodeOk;
}

int KorvanStitchEncoder::vBeginSegment(const EncoderState& state) {
  ownChenilleHeight = state.getChenilleHeight();
  ownChenilleMode = state.getChenilleMode();
  return kEncodeOk;
}

int KorvanStitchEncoder::vEndSegment(EncoderState* state) {
  if (state != nullptr) {
    state->setChenilleHeight(ownChenilleHeight);
    state->setChenilleMode(ownChenilleMode);
  }
  return kEncodeOk;
}

int KorvanStitchEncoder::vSendHardStitch(const HStitch& s) {
  const StitchOptions& o = *options;
  const std::uint8_t code = s.getFlags();

  // A stop or colour change right after one of the same kind says nothing new.
  if (o.getKorvanRemoveDoubleStops() &&
      (code == StitchCode::Stop || code == StitchCode::ChangeNeedle) &&
      code == current.getFlags()) {
    return kEncodeSkipped;
  }

  const short dx = static_cast<short>(s.xval() - current.xval());
  const short dy = static_cast<short>(s.yval() - current.yval());
  const std::uint8_t byte2 = commandByte2(code);

  // The empty record some machines expect in front of the design.
  const KorvanStartStitchType startType = o.getKorvanStartStitchType();
  if (anyOutput == 0 && startType != kKorvanStartStitchNone) {
    clearRecord(s.isNormal() && startType == kKorvanStartStitchFirst ? dst::kStartByte2Type1
                                                                     : dst::kStartByte2Type2);
    const int r = sendBytes();
    if (r != kEncodeOk) return r;
  }
  clearRecord(byte2);

  if (s.isDropSequin() && o.getFileFormat() == kFormatDst) {
    if (o.getKorvanMoveDropSequins()) {
      // The drop in place, then its move as a plain stitch.
      clearRecord(kJumpByte2);
      const int r = sendBytes();
      if (r != kEncodeOk) return r;
      clearRecord(kNormalByte2);
      return sendBytes(dx, dy);
    }
    if (o.getBlankAfterDrops()) {
      clearRecord(kJumpByte2);
      const int r = sendBytes(dx, dy);
      if (r != kEncodeOk) return r;
      clearRecord(kNormalByte2);
      return sendBytes();
    }
  }
  return sendBytes(dx, dy);
}

int KorvanStitchEncoder::sendStopCommand(const HStitch& s, HStitch& c) {
  const StitchOptions& o = *options;

  // A run without output keeps its colour changes in the emitted records.
  if (!(s.isColorChange() && !isRealOutput())) c.setFlags(StitchCode::Stop);

  if (o.getKorvanPadStop()) {
    HStitch pad(current, 0);
    pad.setFlags(StitchCode::Jump);
    const int r = sendHardStitch(pad);
    if (r != kEncodeOk) return r;
  }

  if (!s.isChenille()) return kEncodeOk;

  // Older chenille machines read the mode from a pattern of stops written in front of the
  // command's own stop: a switch into chain with a new colour is stop, jump; a new colour
  // while the mode stays is three stops; anything else one stop.
  if (o.getKorvanOldChenille()) {
    const bool colourChanges = s.getColor() != current.getColor();
    const int height = s.getData();
    HStitch inPlace(c, 0);
    inPlace.setPoint(current.getPoint());
    int copies = 1;
    bool thenJump = false;
    if (s.isChain() && colourChanges &&
        (ownChenilleMode == kChenilleMoss ||
         (ownChenilleMode == kChenilleChain && ownChenilleHeight != height))) {
      thenJump = true;
    } else if (colourChanges &&
               (ownChenilleMode == kChenilleChain ||
                (ownChenilleMode == kChenilleMoss && ownChenilleHeight != height))) {
      copies = 3;
    }
    for (int i = 0; i < copies; ++i) {
      if (sendHardStitch(inPlace) == kEncodeRefused) return kEncodeRefused;
    }
    if (thenJump) {
      HStitch jump(inPlace, 0);
      jump.setFlags(StitchCode::Jump);
      if (sendHardStitch(jump) == kEncodeRefused) return kEncodeRefused;
    }
  }

  ownChenilleMode = s.isMoss() ? kChenilleMoss : kChenilleChain;
  ownChenilleHeight = s.getData();
  return kEncodeOk;
}

int KorvanStitchEncoder::vSendSoftStitch(HStitch& s) {
  // A trim is written as a jump with no move. Next to another jump with no move it is there
  // already: a trim in place after one, or a jump with no move right after a trim in place
  // (as in a file this library wrote, read and written again).
  const bool trimLike = s.isTrim() || s.isUpperTrim() || s.isJumpTrim();
  const bool inPlace = s.getPoint() == current.getPoint();
  if (inPlace && blankJumpLast_ && (trimLike || (s.isJump() && trimInPlaceLast_))) {
    return kEncodeOk;
  }
  trimInPlaceLast_ = false;
  const CommandForm form = commandForm(s.getFlags());
  HStitch c(s, 0);
  switch (form.as) {
    case WrittenAs::Unchanged:
      break;
    case WrittenAs::Jump:
      c.setFlags(StitchCode::Jump);
      break;
    case WrittenAs::ChangeOver:
      c.setFlags(StitchCode::ChangeOver);
      break;
    case WrittenAs::Normal:
      c.setFlags(StitchCode::Normal);
      break;
    case WrittenAs::Stop:
      c.setFlags(StitchCode::Stop);
      break;
    case WrittenAs::StopCommand: {
      const int r = sendStopCommand(s, c);
      if (r != kEncodeOk) return r;
      break;
    }
  }

  const bool carriesMove = form.placement == Placement::WithMove ||
                           (form.placement == Placement::UnlessSeparate && separateCommands == 0);
  const int r = sendCommandRecord(s, c, carriesMove);
  trimInPlaceLast_ = trimLike && inPlace && blankJumpLast_;
  return r;
}

StitchEncoder* KorvanStitchEncoderFactory::createEncoder(StitchEncoderOptions& options) {
  return new (std::nothrow) KorvanStitchEncoder(options);
}

}  // namespace stitchkit
