#include "stitchkit/encode/kvb_encoder.h"

#include <cstddef>

#include "stitchkit/decode/kvb_records.h"

namespace stitchkit {

namespace {

// The record of a stitch or jump moving by (dx, dy), for the bulk writers: its length, or 0
// when the move is out of the record's reach.
std::size_t plainRecord(int dx, int dy, bool jump, std::uint8_t* b) {
  if (!kvb::fitsRecord(dx, dy)) return 0;
  b[0] = static_cast<std::uint8_t>(dx);
  b[1] = static_cast<std::uint8_t>(-dy);
  b[2] = jump ? kvb::kJump : kvb::kNormal;
  return kvb::kRecordSize;
}

}  // namespace

KorvanKVBStitchEncoder::KorvanKVBStitchEncoder(const StitchOptions& opts)
    : BytestreamStitchEncoder(opts) {}

KorvanKVBStitchEncoder::~KorvanKVBStitchEncoder() = default;

void KorvanKVBStitchEncoder::makeXY(short dx, short dy) {
  record_[0] = static_cast<std::uint8_t>(dx);
  record_[1] = static_cast<std::uint8_t>(-dy);
}

int KorvanKVBStitchEncoder::sendBytes(short dx, short dy) {
  makeXY(dx, dy);
  return sendBytes();
}

int KorvanKVBStitchEncoder::sendBytes() {
  return outputRecord(record_.data(), record_.size());
}

int KorvanKVBStitchEncoder::vBeginSegment(const EncoderState& state) {
  changeoverOn_ = state.isDoingChangeover();
  return kEncodeOk;
}

int KorvanKVBStitchEncoder::functionByte(const HStitch& s, int dx, int dy) const {
  const StitchOptions& o = *options;
  const std::uint8_t code = s.getFlags();
  switch (code) {
    case StitchCode::Jump:
      // In change-over mode a jump drops what the mode is for.
      if (!doingChangeover) return kvb::kJump;
      return o.getReadChangeoverType() == kReadChangeoverBead ? kvb::kDropBead : kvb::kDropSequin;
    case StitchCode::Trim:
    case StitchCode::JumpTrim:
    case StitchCode::UpperTrim:
      // No trims while automatic thread handling is prohibited: only the move is kept.
      if (!prohibitedATH) return kvb::kWrittenBytes[code];
      return dx == 0 && dy == 0 ? -1 : kvb::kJump;
    case StitchCode::Stop:
    case StitchCode::TwoStop:
    case StitchCode::ThreeStop:
      return current.isNormal() ? kvb::kStopAfterStitch : kvb::kStop;
    case StitchCode::BorerIn:
    case StitchCode::BorerOut:
      return o.getHasBorerNeedle() ? kvb::kNeedleChange : kvb::kWrittenBytes[code];
    case StitchCode::ChangeOver:
      return changeoverOn_ ? kvb::kSequinEnd : kvb::kSequinStart;
    case StitchCode::DropSequin: {
      const int head = s.getSequinHead();
      return head >= 1 && head <= kvb::kMaxSequinHead ? kvb::kDropSequinHeadBase + head
                                                      : kvb::kDropSequin;
    }
    case StitchCode::DropBead: {
      const int head = s.getSequinHead();
      return head >= 1 && head <= kvb::kMaxBeadHead ? kvb::kDropBead + head : kvb::kDropBead;
    }
    case StitchCode::DropSequinW:
      return o.getSupportsCombinedSequinBead() ? kvb::kDropSequinW : kvb::kDropSequin;
    case StitchCode::ArbitraryOn:
    case StitchCode::ArbitraryOff:
      return s.getArbitraryBlock() & 0xFF;
    default:
      return kvb::kWrittenBytes[code];
  }
}

int KorvanKVBStitchEncoder::vSendHardStitch(const HStitch& s) {
  const StitchOptions& o = *options;
  const std::uint8_t code = s.getFlags();

  // A stop or colour change right after one of the same kind says nothing new.
  if (o.getKorvanRemoveDoubleStops() &&
      (code == StitchCode::Stop || code == StitchCode::ChangeNeedle) &&
      code == current.getFlags()) {
    return kEncodeSkipped;
  }
  // Before the first stitch, the first lock-stitch chenille command is left out unless the
  // first colour change is forced.
  if (anyStitchOutput == 0 && !o.getForceFirstColourChange() && s.isLockStitchChenille()) {
    anyStitchOutput = 1;
    return kEncodeSkipped;
  }

  const int dx = s.xval() - current.xval();
  const int dy = s.yval() - current.yval();
  const int byte2 = functionByte(s, dx, dy);
  if (byte2 < 0) return kEncodeSkipped;
  if (!kvb::fitsRecord(dx, dy)) return kEncodeRefused;

  // The empty record some machines expect in front of the design.
  const KorvanStartStitchType startType = o.getKorvanStartStitchType();
  if (anyOutput == 0 && startType != kKorvanStartStitchNone) {
    record_ = {0, 0,
               s.isJump() && startType == kKorvanStartStitchSecond ? kvb::kJump : kvb::kNormal};
    const int r = sendBytes();
    if (r != kEncodeOk) return r;
  }

  record_ = {0, 0, static_cast<std::uint8_t>(byte2)};
  const int r = sendBytes(static_cast<short>(dx), static_cast<short>(dy));
  if (r != kEncodeOk) return r;
  if (code == StitchCode::ChangeOver) changeoverOn_ = !changeoverOn_;
  if (code == StitchCode::ATHProhibitedStart || code == StitchCode::ATHProhibitedEnd) {
    prohibitedATH = code == StitchCode::ATHProhibitedStart;
  }
  return kEncodeOk;
}

int KorvanKVBStitchEncoder::vSendSoftStitch(HStitch& s) {
  switch (s.getFlags()) {
    case StitchCode::DesignStart:
    case StitchCode::NeedleUp: {
      HStitch jump(s, 0);
      jump.setFlags(StitchCode::Jump);
      return sendHardStitch(jump);
    }
    case StitchCode::SequinStart:
    case StitchCode::SequinEnd:
    case StitchCode::BeadStart:
    case StitchCode::BeadEnd:
      return sendCommandRecord(s, s, false);
    default:
      return sendHardStitch(s);
  }
}

int KorvanKVBStitchEncoder::vSendPlainStitches(std::span<const HStitch> run, int limit,
                                               int& written) {
  return sendPlainRecords<kvb::kRecordSize>(run, limit, written, plainRecord);
}

int KorvanKVBStitchEncoder::vSendPieces(std::span<const HCoord<short>> points) {
  return sendPieceRecords<kvb::kRecordSize>(points, plainRecord);
}

}  // namespace stitchkit
