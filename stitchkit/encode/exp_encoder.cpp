#include "stitchkit/encode/exp_encoder.h"

#include <algorithm>
#include <array>
#include <new>

#include "stitchkit/decode/exp_records.h"

namespace stitchkit {

namespace {

constexpr bool fitsByte(int v) {
  return v >= exp::kMinMove && v <= exp::kMaxMove;
}

// What a command is written as before the format's own record table is consulted.
struct SoftForm {
  std::uint8_t code;
  bool carriesMove;  // the record carries the move; otherwise a jump to the point comes first
};

constexpr std::uint8_t kJumpControl = exp::commandRecord(StitchCode::Jump).control;
static_assert(exp::commandRecord(StitchCode::Jump).operand == exp::Operand::Move);
constexpr std::size_t kStitchSize = exp::kStitchRecordSize;
constexpr std::size_t kMaxMoveRecord = 2 + kStitchSize;

// The record of a stitch or jump moving by (dx, dy), for the bulk writers: its length, or 0
// for a move it cannot carry (a stitch must not start with the escape byte either).
std::size_t plainRecord(int dx, int dy, bool jump, std::uint8_t* b) {
  if (!fitsByte(dx) || !fitsByte(-dy)) return 0;
  if (jump) {
    b[0] = exp::kEscape;
    b[1] = kJumpControl;
    b += 2;
  } else if ((dx & 0xFF) == exp::kEscape) {
    return 0;
  }
  b[0] = static_cast<std::uint8_t>(dx & 0xFF);
  b[1] = static_cast<std::uint8_t>(-dy & 0xFF);
  return jump ? kMaxMoveRecord : kStitchSize;
}

}  // namespace

ExpStitchEncoder::ExpStitchEncoder(const StitchOptions& opts) : BytestreamStitchEncoder(opts) {}

ExpStitchEncoder::~ExpStitchEncoder() = default;

int ExpStitchEncoder::makeXY(short dx, short dy) {
  const int ndy = -dy;
  if (!fitsByte(dx) || !fitsByte(ndy)) return kEncodeRefused;
  append(static_cast<std::uint8_t>(dx & 0xFF));
  append(static_cast<std::uint8_t>(ndy & 0xFF));
  return kEncodeOk;
}

int ExpStitchEncoder::sendBytes(short dx, short dy) {
  if (makeXY(dx, dy) != kEncodeOk) return kEncodeRefused;
  return sendBytes();
}

int ExpStitchEncoder::sendBytes() {
  return outputRecord(record.data(), static_cast<std::size_t>(recordLength));
}

int ExpStitchEncoder::vBeginDesign(HCoord<short> /*start*/) {
  recordLength = 0;
  return kEncodeOk;
}

int ExpStitchEncoder::vSendHardStitch(const HStitch& s) {
  recordLength = 0;
  const std::uint8_t code = s.getFlags();
  const short dx = static_cast<short>(s.xval() - current.xval());
  const short dy = static_cast<short>(s.yval() - current.yval());

  if (code == StitchCode::Normal) {
    // A plain stitch must not start with the escape byte.
    if ((dx & 0xFF) == exp::kEscape) return kEncodeRefused;
    return sendBytes(dx, dy);
  }

  const exp::CommandRecord form = exp::commandRecord(code);
  if (!form.known) return kEncodeRefused;

  std::uint8_t control = form.control;
  if (code == StitchCode::ChangeNeedle) {
    // The record holds needles 1 to 7. A run without output keeps every needle (nothing is
    // written); a file cannot take a higher one.
    const int needle = s.getColor() + 1;
    if (needle > exp::kMaxNeedle) return isRealOutput() ? kEncodeRefused : kEncodeOk;
    control = exp::needleControl(needle);
  }
  append(exp::kEscape);
  append(control);
  switch (form.operand) {
    case exp::Operand::Move:
      return sendBytes(dx, dy);
    case exp::Operand::Function:
      append(form.function);
      append(exp::kFunctionPad);
      break;
    case exp::Operand::DataWord:
      append(static_cast<std::uint8_t>(s.getData() & 0xFF));
      append(static_cast<std::uint8_t>(s.getData() >> 8));
      break;
    case exp::Operand::None:
      break;
  }
  return sendBytes();
}

int ExpStitchEncoder::vSendPlainStitches(std::span<const HStitch> run, int limit, int& written) {
  return sendPlainRecords<kMaxMoveRecord>(run, limit, written, plainRecord);
}

int ExpStitchEncoder::vSendPieces(std::span<const HCoord<short>> points) {
  return sendPieceRecords<kMaxMoveRecord>(points, plainRecord);
}

int ExpStitchEncoder::vSendSoftStitch(HStitch& s) {
  const StitchOptions& o = *options;
  const std::uint8_t code = s.getFlags();
  HStitch c(s, 0);

  SoftForm form{StitchCode::Stop, false};
  switch (code) {
    case StitchCode::Normal:
    case StitchCode::NeedleUp:
      form = {code, true};
      break;
    case StitchCode::Jump:
    case StitchCode::DesignStart:
    case StitchCode::DropSequinW:
      form = {StitchCode::Jump, true};
      break;
    case StitchCode::ChangeNeedle:
      form = {code, false};
      if (!isRealOutput()) break;
      if (o.getStopsAsNeedles()) {
        form.code = StitchCode::Stop;
      } else if (const int maxNeedles = o.getMaxNeedles();
                 maxNeedles >= 1 && s.getColor() + 1 > maxNeedles) {
        c.setColor(static_cast<unsigned short>(s.getColor() % maxNeedles));
      }
      break;
    case StitchCode::Trim:
    case StitchCode::SlowDown:
    case StitchCode::SpeedUp:
    case StitchCode::BorerIn:
    case StitchCode::BorerOut:
    case StitchCode::ChenilleChain:
    case StitchCode::ChenilleMoss:
    case StitchCode::ChenilleHeight:
      form = {code, false};
      break;
    case StitchCode::DesignEnd:
      form = o.getGNDllWrite()        ? SoftForm{StitchCode::Jump, true}
             : o.getMelcoDiscardEnd() ? SoftForm{StitchCode::Normal, false}
                                      : SoftForm{code, false};
      break;
    case StitchCode::UpperTrim:
    case StitchCode::JumpTrim:
      form = {StitchCode::Trim, false};
      break;
    default:
      if (code >= StitchCode::FirstStitchVariant && code <= StitchCode::LastStitchVariant) {
        form = {StitchCode::Normal, true};
      }
      break;
  }
  c.setFlags(form.code);

  return sendCommandRecord(s, c, form.carriesMove);
}

StitchEncoder* ExpStitchEncoderFactory::createEncoder(StitchEncoderOptions& options) {
  return new (std::nothrow) ExpStitchEncoder(options);
}

}  // namespace stitchkit
