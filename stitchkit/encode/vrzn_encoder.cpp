#include "stitchkit/encode/vrzn_encoder.h"

#include <algorithm>
#include <cstdint>

#include "stitchkit/decode/dst_records.h"

namespace stitchkit {

namespace {

using dst::kChangeoverByte2;
using dst::kJumpByte2;
using dst::kNormalByte2;
using dst::kStopByte2;
// No record kind: every real b2 has the sync bits set.
constexpr std::uint8_t kNotWritten = 0;

// b2 of the record written for a stitch with command `code`, or kNotWritten for a command the
// machine has no record for.
constexpr std::uint8_t recordByte2(std::uint8_t code) {
  switch (code) {
    case StitchCode::Normal:
      return kNormalByte2;
    case StitchCode::Jump:
    case StitchCode::DropSequin:
    case StitchCode::DropBead:
      return kJumpByte2;
    case StitchCode::Stop:
    case StitchCode::LaserOn:
    case StitchCode::LaserOff:
    case StitchCode::LaserPause:
      return kStopByte2;
    case StitchCode::DesignEnd:
      return dst::kEndByte2;
    case StitchCode::ChangeOver:
      return kChangeoverByte2;
    default:
      return kNotWritten;
  }
}

// What a command is written as.
enum class WrittenAs : std::uint8_t {
  Unchanged,   // its own code
  Jump,        // a jump record
  ChangeOver,  // a change-over record
  Normal,      // a stitch record
  Stop         // a stop record, with the pad jump and the chenille forms
};

struct CommandForm {
  WrittenAs as;
  // The command record carries the move to its point; otherwise a jump to the point is
  // written first and the command follows in place.
  bool carriesMove;
};

// How each command code is written as VRZN records.
constexpr CommandForm commandForm(std::uint8_t code) {
  using enum WrittenAs;
  switch (code) {
    case StitchCode::Normal:
    case StitchCode::Jump:
    case StitchCode::ChangeOver:
    case StitchCode::DropSequin:
    case StitchCode::DropBead:
      return {Unchanged, true};
    case StitchCode::Trim:
    case StitchCode::DesignStart:
    case StitchCode::UpperTrim:
    case StitchCode::NeedleUp:
    case StitchCode::JumpTrim:
    case StitchCode::ChenilleHeight:
      return {Jump, true};
    case StitchCode::DesignEnd:
      return {Unchanged, false};
    case StitchCode::SequinStart:
    case StitchCode::SequinEnd:
    case StitchCode::LaserOn:
    case StitchCode::LaserOff:
    case StitchCode::LaserPause:
    case StitchCode::BeadStart:
    case StitchCode::BeadEnd:
    case StitchCode::DropSequinW:
      return {ChangeOver, false};
    case 26:
    case 27:
    case 28:
    case 29:
    case 30:
      return {Normal, true};
    default:
      return {Stop, false};
  }
}

HCoord<short> offsetBy(HCoord<short> from, HVector<short> step, int k) {
  return {static_cast<short>(from.x + k * step.x), static_cast<short>(from.y + k * step.y)};
}

}  // namespace

KorvanVRZNStitchEncoder::KorvanVRZNStitchEncoder(const StitchOptions& opts)
    : KorvanStitchEncoder(opts), splitToJumps(opts.getSplitStitchToJumps()) {}

KorvanVRZNStitchEncoder::~KorvanVRZNStitchEncoder() = default;

void KorvanVRZNStitchEncoder::setSplitStitchToJumps() {
  splitToJumps = 1;
}

void KorvanVRZNStitchEncoder::addZigZag(HXArray<HCoord<short>>& points, int count, int step,
                                        HCoord<short> toward) {
  if (points.isEmpty()) return;
  addPenetrationPattern(points, count, points[0], step, toward);
}

int KorvanVRZNStitchEncoder::vSendHardStitch(const HStitch& s) {
  const StitchOptions& o = *options;

  // A stop right after a stop says nothing new.
  if (o.getKorvanRemoveDoubleStops() && s.isStop() && current.isStop()) return kEncodeSkipped;

  const std::uint8_t byte2 = recordByte2(s.getFlags());
  if (byte2 == kNotWritten) return kEncodeRefused;

  // The empty record some machines expect in front of the design.
  const KorvanStartStitchType startType = o.getKorvanStartStitchType();
  if (anyOutput == 0 && startType != kKorvanStartStitchNone) {
    record = {0, 0,
              s.isNormal() && startType == kKorvanStartStitchFirst ? dst::kStartByte2Type1
                                                                   : dst::kStartByte2Type2};
    const int r = sendBytes();
    if (r != kEncodeOk) return r;
  }

  const short dx = static_cast<short>(s.xval() - current.xval());
  const short dy = static_cast<short>(s.yval() - current.yval());
  record = {0, 0, byte2};
  const int r = sendBytes(dx, dy);
  // A dropped sequin needs an empty stitch after it to fall off.
  if (r != kEncodeOk || !s.isDropSequin() || !o.getBlankAfterDrops() ||
      o.getFileFormat() != kFormatDst) {
    return r;
  }
  record = {0, 0, kNormalByte2};
  return sendBytes();
}

int KorvanVRZNStitchEncoder::sendStopInPlace(const HStitch& s) {
  // The DST encoder writes such a command exactly so while commands are written separately:
  // the pad jump, the older chenille stop patterns and the chenille bookkeeping, then a jump
  // to the command's point and the stop in place. This machine wants that placement always,
  // so its stop handling runs with commands separate for the length of the call. A chenille
  // command or a colour change goes as itself, since its kind matters there; any other
  // command is a plain stop.
  HStitch stop(s, 0);
  if (!s.isChenille() && !s.isColorChange()) stop.setFlags(StitchCode::Stop);
  const std::uint8_t separate = separateCommands;
  separateCommands = 1;
  const int r = KorvanStitchEncoder::vSendSoftStitch(stop);
  separateCommands = separate;
  return r;
}

int KorvanVRZNStitchEncoder::vSendSoftStitch(HStitch& s) {
  const CommandForm form = commandForm(s.getFlags());
  if (form.as == WrittenAs::Stop) return sendStopInPlace(s);

  HStitch c(s, 0);
  switch (form.as) {
    case WrittenAs::Jump:
      c.setFlags(StitchCode::Jump);
      break;
    case WrittenAs::ChangeOver:
      c.setFlags(StitchCode::ChangeOver);
      break;
    case WrittenAs::Normal:
      c.setFlags(StitchCode::Normal);
      break;
    case WrittenAs::Unchanged:
    case WrittenAs::Stop:
      break;
  }

  return sendCommandRecord(s, c, form.carriesMove);
}

bool KorvanVRZNStitchEncoder::isCutIntoJumps(const HStitch& s) const {
  return s.getFlags() == StitchCode::Normal && splitToJumps != 0 &&
         exceeds(s.xval() - current.xval(), s.yval() - current.yval(), options->getMaxLength());
}

int KorvanVRZNStitchEncoder::splitIntoJumps(HXArray<HStitch>& out, const HStitch& s,
                                            std::span<const HStitch> real, int trim, int extra) {
  const StitchOptions& o = *options;
  if (!isCutIntoJumps(s)) return StitchEncoder::splitIntoJumps(out, s, real, trim, extra);
  const HCoord<short> from = current.getPoint();

  int pieces = 3;
  int penetrations = 0;
  int minStep = 0;
  if (trim) {
    minStep = granulate(o.getTrimJumpLength());
    int jpt = o.getJumpsPerTrim();
    if (o.getPenetrateAtTrims()) {
      penetrations = jpt == 1 ? 4 : jpt;
      if (extra) pieces = 4;
    } else {
      if (extra) jpt += 1;
      pieces = std::max(3, jpt);
    }
  } else if (extra) {
    pieces += 1;
  }

  const unsigned short colour = current.getColor();
  out.clear();
  if (penetrations >= 1) {
    zigZag_.clear();
    zigZag_.add(from);
    addZigZag(zigZag_, penetrations, minStep, origin);
    for (int i = 1; i < zigZag_.length(); ++i)
      out.add(HStitch(zigZag_[i].x, zigZag_[i].y, StitchCode::Jump, colour));
  }

  // Equal straight steps; the last piece lands on the stitch itself, so that rounding of the
  // step never moves the stitch.
  const HVector<short> step = (s.getPoint() - from) * (1.0 / pieces);
  for (int k = 1; k < pieces; ++k) {
    const HCoord<short> p = offsetBy(from, step, k);
    out.add(HStitch(p.x, p.y, StitchCode::Jump, colour));
  }
  out.add(HStitch(s.xval(), s.yval(), StitchCode::Jump, colour));
  return out.length();
}

int KorvanVRZNStitchEncoder::splitStitchToJumps(HStitch& s) {
  if (!isCutIntoJumps(s)) return kEncodeOk;
  const HCoord<short> from = current.getPoint();
  const unsigned short colour = current.getColor();
  const HVector<short> step = (s.getPoint() - from) * (1.0 / 3);
  for (int k = 1; k <= 2; ++k) {
    const HCoord<short> p = offsetBy(from, step, k);
    const int r = sendHardStitch(HStitch(p.x, p.y, StitchCode::Jump, colour));
    if (r != kEncodeOk) return r;
  }
  return sendHardStitch(s);
}

}  // namespace stitchkit
