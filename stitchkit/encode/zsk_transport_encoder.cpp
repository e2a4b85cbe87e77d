#include "stitchkit/encode/zsk_transport_encoder.h"

#include <array>
#include <cstdint>
#include <cstdlib>

#include "stitchkit/decode/zsk_transport_records.h"

namespace stitchkit {
namespace {

using namespace zsk;

// The function record of each command code: function and parameter; `written` false for the
// codes that have none.
struct FunctionRecord {
  bool written = false;
  std::uint8_t function = 0;
  std::uint8_t parameter = 0;
};

constexpr std::array<FunctionRecord, 256> makeFunctionRecords() {
  std::array<FunctionRecord, 256> table{};
  table[StitchCode::ChangeNeedle] = {true, kNeedleChange, 0};  // parameter: the needle
  for (std::uint8_t code : {StitchCode::Trim, StitchCode::UpperTrim, StitchCode::JumpTrim}) {
    table[code] = {true, kTrim, 0};
  }
  table[StitchCode::SlowDown] = {true, kSpeed, kSlowSpeed};
  table[StitchCode::SpeedUp] = {true, kSpeed, kFastSpeed};
  for (std::uint8_t code :
       {StitchCode::Stop, StitchCode::ChangeOver, StitchCode::FrameOut, StitchCode::LaserOn,
        StitchCode::LaserOff, StitchCode::LaserPause, StitchCode::BeadStart, StitchCode::BeadEnd}) {
    table[code] = {true, kStop, 0};
  }
  table[StitchCode::DesignEnd] = {true, kEnd, 0};
  table[StitchCode::BorerIn] = {true, kBorer, 1};
  table[StitchCode::BorerOut] = {true, kBorer, 0};
  table[StitchCode::ChenilleChain] = {true, kChain, 0};
  table[StitchCode::ChenilleMoss] = {true, kMoss, 0};
  table[StitchCode::SequinStart] = {true, kSequin, 1};
  table[StitchCode::SequinEnd] = {true, kSequin, 0};
  return table;
}

constexpr auto kFunctionRecords = makeFunctionRecords();

constexpr bool isStitch(std::uint8_t code) {
  return code == StitchCode::Normal ||
         (code >= StitchCode::FirstStitchVariant && code <= StitchCode::LastStitchVariant);
}

// The drop record: class, function 0, parameter, dx and dy as 16-bit big-endian magnitudes.
std::size_t dropRecord(int dx, int dy, std::uint8_t parameter, std::uint8_t* b) {
  const int ax = std::abs(dx);
  const int ay = std::abs(dy);
  b[0] = static_cast<std::uint8_t>(kFunctionWithMove | (dx < 0 ? kNegativeX : 0) |
                                   (dy > 0 ? kNegativeY : 0));
  b[1] = kDrop;
  b[2] = parameter;
  b[3] = static_cast<std::uint8_t>(ax >> 8);
  b[4] = static_cast<std::uint8_t>(ax);
  b[5] = static_cast<std::uint8_t>(ay >> 8);
  b[6] = static_cast<std::uint8_t>(ay);
  return kFunctionWithMoveSize;
}

}  // namespace

ZSKTransportStitchEncoder::ZSKTransportStitchEncoder(const StitchOptions& opts)
    : BytestreamStitchEncoder(opts) {}

ZSKTransportStitchEncoder::~ZSKTransportStitchEncoder() = default;

void ZSKTransportStitchEncoder::setInCombineSequinCommands(int smallGap) {
  inCombine_ = 1;
  combinable_ = smallGap;
}

int ZSKTransportStitchEncoder::vBeginDesign(HCoord<short> start) {
  atDesignStart_ = 1;
  return StitchEncoder::vBeginDesign(start);
}

int ZSKTransportStitchEncoder::vSendHardStitch(const HStitch& s) {
  std::uint8_t code = s.getFlags();
  if (inCombine_) {
    if (code == StitchCode::Jump && combinable_) return kEncodeSkipped;
    if (code == StitchCode::SequinEnd) return kEncodeSkipped;
    if (code == StitchCode::SequinStart) code = StitchCode::Normal;
    if (code != StitchCode::Jump) inCombine_ = combinable_ = 0;
  }

  const int dx = s.xval() - current.xval();
  const int dy = s.yval() - current.yval();
  // A move record, a function or drop record: at most 10 bytes, handed over in one write.
  std::array<std::uint8_t, kShortMoveSize + kFunctionWithMoveSize> bytes{};
  std::size_t used = 0;
  if (code == StitchCode::DropSequin || code == StitchCode::DropSequinW) {
    const std::uint8_t parameter = code == StitchCode::DropSequinW ? kDropW
                                   : s.getSequinHead() == 1        ? kDropOnHead1
                                                                   : kDropOnOtherHead;
    if (std::abs(dx) > 0x7FFF || std::abs(dy) > 0x7FFF) return kEncodeRefused;
    used = dropRecord(dx, dy, parameter, bytes.data());
  } else {
    // A move of nothing has no record, also for a stitch.
    if (dx != 0 || dy != 0) {
      used = shortMoveRecord(dx, dy, !isStitch(code), bytes.data());
      if (used == 0) return kEncodeRefused;
    }
    const FunctionRecord& f = kFunctionRecords[code];
    if (f.written) {
      bytes[used] = kFunction;
      bytes[used + 1] = f.function;
      bytes[used + 2] = code == StitchCode::ChangeNeedle
                            ? static_cast<std::uint8_t>(s.getColor() + 1)
                            : f.parameter;
      used += kFunctionSize;
    }
  }
  return used == 0 ? kEncodeOk : outputRecord(bytes.data(), used);
}

int ZSKTransportStitchEncoder::vSendSoftStitch(HStitch& s) {
  HStitch c(s, 0);
  if (c.getFlags() == StitchCode::DesignStart || c.getFlags() == StitchCode::NeedleUp) {
    c.setFlags(StitchCode::Jump);
  }
  // The machine starts on needle 1: a design that starts on another is told so first.
  if (atDesignStart_ && c.getColor() != 0 && !c.isColorChange()) {
    HStitch change(current, 0);
    change.setFlags(StitchCode::ChangeNeedle);
    change.setColor(c.getColor());
    if (sendHardStitch(change) == kEncodeRefused) return kEncodeRefused;
  }
  atDesignStart_ = 0;
  return sendHardStitch(c);
}

// Plain stitches in bulk, once the design has started and no sequin gap is being combined
// (the general path folds those).
int ZSKTransportStitchEncoder::vSendPlainStitches(std::span<const HStitch> run, int limit,
                                                  int& written) {
  written = 0;
  if (atDesignStart_ || inCombine_) return kEncodeOk;
  // A stitch in place ends the run: the general path writes no record for it.
  return sendPlainRecords<kShortMoveSize>(
      run, limit, written, [](int dx, int dy, bool jump, std::uint8_t* out) -> std::size_t {
        return dx == 0 && dy == 0 ? 0 : shortMoveRecord(dx, dy, jump, out);
      });
}

int ZSKTransportStitchEncoder::vSendPieces(std::span<const HCoord<short>> points) {
  if (atDesignStart_ || inCombine_) return kEncodeSkipped;
  return sendPieceRecords<kShortMoveSize>(points, shortMoveRecord);
}

}  // namespace stitchkit
