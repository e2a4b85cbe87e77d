#include "stitchkit/encode/zangs_encoder.h"

#include <cstdlib>
#include <new>

#include "stitchkit/decode/zangs_records.h"

namespace stitchkit {

namespace {

// b2 of the record written for each command code that has one (0: no record; a colour
// change is worked out from its needle).
constexpr std::array<std::uint8_t, StitchCode::DropSequinW + 1> makeCommandBytes() {
  std::array<std::uint8_t, StitchCode::DropSequinW + 1> table{};
  table[StitchCode::Normal] = zangs::kNormalByte2;
  table[StitchCode::Jump] = zangs::kJumpByte2;
  // Marks the row only: vSendHardStitch works the byte out from the needle.
  table[StitchCode::ChangeNeedle] = zangs::kExtendedNeedleByte2;
  table[StitchCode::Trim] = zangs::kTrimByte2;
  table[StitchCode::Stop] = zangs::kStopByte2;
  table[StitchCode::DesignEnd] = zangs::kEndByte2;
  table[StitchCode::BorerIn] = zangs::kBorerInByte2;
  table[StitchCode::BorerOut] = zangs::kBorerOutByte2;
  table[StitchCode::SequinEnd] = zangs::kBorerOutByte2;
  table[StitchCode::UpperTrim] = zangs::kUpperTrimByte2;
  table[StitchCode::SequinStart] = zangs::kSequinByte2;
  table[StitchCode::DropSequin] = zangs::kSequinByte2;
  table[StitchCode::DropSequinW] = zangs::kSequinByte2;
  return table;
}
constexpr auto kCommandBytes = makeCommandBytes();

// Where the command record goes relative to the move.
enum class Placement : std::uint8_t {
  WithMove,        // the command record carries the move
  UnlessSeparate,  // in place after a jump while commands are written separately
};

struct CommandForm {
  std::uint8_t code;  // the code written
  Placement placement;
};

// How each command code is written; codes without their own record become stops.
constexpr CommandForm commandForm(std::uint8_t code) {
  using enum Placement;
  switch (code) {
    case StitchCode::Normal:
    case StitchCode::Jump:
    case StitchCode::ChangeNeedle:
    case StitchCode::Trim:
    case StitchCode::DesignEnd:
    case StitchCode::BorerIn:
    case StitchCode::BorerOut:
    case StitchCode::DropSequin:
    case StitchCode::DropSequinW:
      return {code, WithMove};
    case StitchCode::ChangeOver:
      return {StitchCode::Stop, WithMove};
    case StitchCode::DesignStart:
    case StitchCode::NeedleUp:
    case StitchCode::DropBead:
      return {StitchCode::Jump, WithMove};
    case StitchCode::JumpTrim:
      return {StitchCode::Trim, WithMove};
    case 26:
    case 27:
    case 28:
    case 29:
    case 30:
      return {StitchCode::Normal, WithMove};
    case StitchCode::UpperTrim:
    case StitchCode::SequinStart:
    case StitchCode::SequinEnd:
      return {code, UnlessSeparate};
    default:
      return {StitchCode::Stop, UnlessSeparate};
  }
}

}  // namespace

ZangsStitchEncoder::ZangsStitchEncoder(const StitchOptions& opts) : BytestreamStitchEncoder(opts) {}

ZangsStitchEncoder::~ZangsStitchEncoder() = default;

int ZangsStitchEncoder::makeXY(short dx, short dy) {
  const int ax = std::abs(static_cast<int>(dx));
  const int ay = std::abs(static_cast<int>(dy));
  if (ax > zangs::kMaxMove || ay > zangs::kMaxMove) return kEncodeRefused;
  if (dx < 0) record_[2] = static_cast<std::uint8_t>(record_[2] | zangs::kXNegative);
  if (dy > 0) record_[2] = static_cast<std::uint8_t>(record_[2] | zangs::kYPositive);
  record_[0] = static_cast<std::uint8_t>(ay);
  record_[1] = static_cast<std::uint8_t>(ax);
  return kEncodeOk;
}

int ZangsStitchEncoder::sendBytes(short dx, short dy) {
  if (makeXY(dx, dy) != kEncodeOk) return kEncodeRefused;
  return sendBytes();
}

int ZangsStitchEncoder::sendBytes() {
  return outputRecord(record_.data(), record_.size());
}

int ZangsStitchEncoder::vSendHardStitch(const HStitch& s) {
  record_ = {};
  const std::uint8_t code = s.getFlags();
  if (code >= kCommandBytes.size() || kCommandBytes[code] == 0) return kEncodeRefused;
  std::uint8_t byte2 = kCommandBytes[code];
  const short dx = static_cast<short>(s.xval() - current.xval());
  const short dy = static_cast<short>(s.yval() - current.yval());

  if (code == StitchCode::ChangeNeedle) {
    // A move one record cannot carry is refused before the prefix of a high needle goes out.
    if (std::abs(static_cast<int>(dx)) > zangs::kMaxMove ||
        std::abs(static_cast<int>(dy)) > zangs::kMaxMove) {
      return kEncodeRefused;
    }
    int needle = s.getColor() + 1;
    if (needle > zangs::kMaxNeedle) {
      byte2 = zangs::kStopByte2;
    } else {
      if (needle > zangs::kPrefixNeedleOffset) {
        record_[2] = zangs::kExtendedNeedleByte2;
        const int r = sendBytes();
        if (r != kEncodeOk) return r;
        needle -= zangs::kPrefixNeedleOffset;
      }
      byte2 = needle <= zangs::kDirectNeedles ? zangs::directNeedleByte2(needle)
                                              : zangs::kExtendedNeedleByte2;
    }
  }

  record_ = {0, 0, byte2};
  return sendBytes(dx, dy);
}

int ZangsStitchEncoder::vSendSoftStitch(HStitch& s) {
  const CommandForm form = commandForm(s.getFlags());
  HStitch c(s, 0);
  c.setFlags(form.code);

  const int maxNeedles = options->getMaxNeedles();
  if (c.isColorChange() && stream != nullptr && maxNeedles >= 1 && c.getColor() + 1 > maxNeedles) {
    c.setColor(static_cast<unsigned short>(c.getColor() % maxNeedles));
  }

  const bool carriesMove = form.placement == Placement::WithMove || separateCommands == 0;
  return sendCommandRecord(s, c, carriesMove);
}

StitchEncoder* ZangsStitchEncoderFactory::createEncoder(StitchEncoderOptions& options) {
  return new (std::nothrow) ZangsStitchEncoder(options);
}

}  // namespace stitchkit
