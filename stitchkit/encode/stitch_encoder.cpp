#include "stitchkit/encode/stitch_encoder.h"

#include "stitchkit/encode/stitch_encoder_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace stitchkit {
namespace {

// "A design has begun", kept per thread so that separate threads may write separate designs.
thread_local int tDesignBegun = 0;

// Drop counts of coded sequin drops (AlternateSequinDropCommands), by sequin head.
int alternateDropCount(unsigned head) {
  switch (head) {
    case 1:
      return 2;
    case 2:
      return 4;
    case 3:
      return 8;
    case 4:
      return 7;
    case 5:
      return 11;
    case 6:
      return 13;
    case 7:
      return 14;
    default:
      return 0;
  }
}

// Drop counts of combined sequin-bead drops (SupportsCombinedSequinBead on DST).
int combinedDropCount(const HStitch& s) {
  const unsigned head = s.getSequinHead();
  if (head == 0 && s.isDropSequin()) return 7;
  if (head == 1 && s.isDropBead()) return 2;
  if (head == 1 && s.isDropSequin()) return 11;
  if (head == 2 && s.isDropBead()) return 4;
  return 0;
}

// Stop-table code of the real command behind a stop.
std::uint32_t remapStopCode(std::uint32_t code) {
  switch (code) {
    case 22:
    case 23:
    case 25:
    case 26:
      return 17;
    case 24:
    case 27:
    case 28:
    case 29:
    case 30:
      return 2;
    default:
      return code;
  }
}

// Gives `s` the colour, effect colour and effect id of `from` (new-effect mark cleared).
void takeColourAndEffect(HStitch& s, const HStitch& from) {
  s.setColor(from.getColor(), false);
  std::uint8_t flag = 0;
  std::uint32_t colour = 0;
  HString id;
  from.getEffectInfo(flag, colour, id);
  s.setEffectInfo(flag, colour, id);
  s.setNewEffect(false);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// EncoderState

EncoderState::EncoderState(ChenilleModeType chenilleMode, int changeover, int borer, int sequin,
                           int bead, int laser, HCoord<short> currentPosition, int currentNeedle,
                           int trimmed, HCoord<short> lastPenetration, int chenilleHeight,
                           int prohibitedATH)
    : chenilleMode_(chenilleMode),
      chenilleHeight_(chenilleHeight),
      changeover_(changeover),
      borer_(borer),
      sequin_(sequin),
      bead_(bead),
      laser_(laser),
      prohibitedATH_(prohibitedATH),
      currentPosition_(currentPosition),
      currentNeedle_(currentNeedle),
      trimmed_(trimmed),
      lastPenetration_(lastPenetration) {}

// ---------------------------------------------------------------------------------------------
// StitchEncoder: construction, hooks, flags

StitchEncoder::StitchEncoder(const StitchOptions& opts) : options(&opts) {}

StitchEncoder::~StitchEncoder() = default;

int StitchEncoder::isDesignBegun() {
  return tDesignBegun;
}

void StitchEncoder::setDesignBegun(int on) {
  tDesignBegun = on;
}

int StitchEncoder::vBeginDesign(HCoord<short> /*start*/) {
  return kEncodeOk;
}
int StitchEncoder::vEndDesign(EncoderState* /*state*/) {
  return kEncodeOk;
}
int StitchEncoder::vBeginSegment(const EncoderState& /*state*/) {
  return kEncodeOk;
}
int StitchEncoder::vEndSegment(EncoderState* /*state*/) {
  return kEncodeOk;
}
int StitchEncoder::vSendHardStitch(const HStitch& /*s*/) {
  return kEncodeOk;
}
int StitchEncoder::outputHeader() {
  return kEncodeOk;
}
int StitchEncoder::outputTrailer() {
  return kEncodeOk;
}
int StitchEncoder::flush() {
  return kEncodeOk;
}
void StitchEncoder::setInCombineSequinCommands(int /*on*/) {}
void StitchEncoder::setSplitStitchToJumps() {}

int StitchEncoder::preserveJumps() const {
  return (doingChangeover || doingBorer || doingSequin || doingBead || doingLaser ||
          prohibitedATH || options->getPreserveJumps() || options->getCopyOriginal())
             ? 1
             : 0;
}

int StitchEncoder::getStopTable(HXArray<StopInfo>& stops, HXArray<HString>& comments) const {
  stops = stopTable;
  comments = stopComments;
  return stopTable.length();
}

int BytestreamStitchEncoder::flush() {
  if (stream == nullptr) return kEncodeOk;
  return stream->flush() == kStreamOk ? kEncodeOk : kEncodeRefused;
}

// ---------------------------------------------------------------------------------------------
// Design and segment lifecycle

int StitchEncoder::beginDesign(HCoord<short> start, HCoord<short> centre, int resplit) {
  stopTable.clear();
  stopComments.clear();
  stitchesAtLastStop = 0;
  lengthAtLastStop = 0;

  stats.reset();
  stats.setStartPoint(start);

  int r = outputHeader();
  if (r != 0) return r;

  const EncoderState state(kChenilleNone, 0, 0, 0, 0, 0, start, 1, 1, HCoord<short>(), 0, 0);
  r = beginSegment(state, centre, resplit);
  if (r != 0) return r;

  anyOutput = 0;
  anyStitchOutput = 0;
  started = 0;
  return vBeginDesign(start);
}

int StitchEncoder::beginSegment(const EncoderState& state, HCoord<short> centre, int resplit) {
  current.reset();
  emitted.clear();
  forceResplit = resplit;

  current.setPoint(state.getCurrentPosition());
  current.setColor(static_cast<unsigned short>(state.getCurrentNeedle() - 1), false);
  if (state.hasEffectColour()) {
    std::uint8_t flag = 0;
    std::uint32_t colour = 0;
    HString id;
    state.getEffectInfo(flag, colour, id);
    current.setEffectInfo(flag, colour, id);
  }

  chenilleMode = state.getChenilleMode();
  chenilleHeight = state.getChenilleHeight();
  doingChangeover = state.isDoingChangeover();
  doingBorer = state.isDoingBorer();
  doingSequin = state.isDoingSequin();
  doingBead = state.isDoingBead();
  doingLaser = state.isDoingLaser();
  prohibitedATH = state.isProhibitedATH();
  origin = centre;

  segmentStats.reset();
  segmentStats.setStartPoint(state.getCurrentPosition());

  anyOutput = 1;
  anyStitchOutput = 1;
  started = 1;
  return vBeginSegment(state);
}

int StitchEncoder::endSegment(EncoderState* state) {
  segmentStats.finish();
  if (state != nullptr) {
    state->setChenilleMode(static_cast<ChenilleModeType>(chenilleMode));
    state->setChenilleHeight(chenilleHeight);
    state->setDoingChangeover(doingChangeover);
    state->setDoingBorer(doingBorer);
    state->setDoingSequin(doingSequin);
    state->setDoingBead(doingBead);
    state->setDoingLaser(doingLaser);
    state->setProhibitedATH(prohibitedATH);
    state->setCurrentPosition(current.getPoint());
    state->setCurrentNeedle(current.getColor() + 1);
  }
  return vEndSegment(state);
}

int StitchEncoder::endDesign(EncoderState* state) {
  int r = endSegment(state);
  stats.finish();
  if (r != 0) return r;
  if (makeStopTable && stats.stitchCount > stitchesAtLastStop) {
    StopInfo info;
    info.stitchesSinceLast = static_cast<std::uint32_t>(stats.stitchCount - stitchesAtLastStop);
    info.threadSinceLast = stats.threadLength - lengthAtLastStop;
    stopTable.add(info);
    stopComments.add(HString());
    stitchesAtLastStop = stats.stitchCount;
    lengthAtLastStop = static_cast<int>(stats.threadLength);
  }
  r = outputTrailer();
  if (r == 0) r = vEndDesign(state);
  return r;
}

// ---------------------------------------------------------------------------------------------
// encodeStitch and its filtering

int StitchEncoder::encodeStitch(HStitch& s, int afterTrim, int skipUnlessBegun) {
  const int result = encodeGroup(s, realStitchesOf(s), afterTrim, skipUnlessBegun);
  if (result == kEncodeSkipped) return result;
  // A stitch written as exactly one record of itself keeps no real stitches: it stands for
  // itself, and a plain stitch stays free of allocations.
  if (wasWrittenAsItself(s)) {
    s.clearRealStitches();
  } else {
    s.getRealStitches() = emitted;
  }
  emitted.clear();
  return result;
}

bool StitchEncoder::wasWrittenAsItself(const HStitch& s) const {
  return emitted.isEmpty() || (emitted.length() == 1 && emitted[0].isSameRecordAs(s));
}

int StitchEncoder::encodeGroup(HStitch& s, std::span<const HStitch> real, int afterTrim,
                               int skipUnlessBegun) {
  emitted.clear();

  if (!started) {
    started = 1;
    const HCoord<short> keep = current.getPoint();
    current.copyStitch(s, 0);
    current.setPoint(keep);
    const short needle = static_cast<short>(s.getColor() + 1);
    stats.addNeedle(needle);
    segmentStats.addNeedle(needle);
  }

  if (skipUnlessBegun && tDesignBegun == 0) return kEncodeSkipped;

  if (s.isEndRewind() || s.isBegin() || s.isNormal()) {
    tDesignBegun = 1;
  } else if (s.isColorChange()) {
    tDesignBegun = s.getColor() != 0 ? 1 : 0;
  }

  int result = kEncodeOk;
  if (isPlainWrite(s, real, afterTrim)) {
    // The steps below would leave a plain stitch as it is and hand it on alone.
    HStitch core(s, 0);
    result = sendSoftStitch(core);
    s.setAutoCleaned(false);
    updateStats(s, result);
    return result == kEncodeRefused ? kEncodeRefused : kEncodeOk;
  }
  HStitch c(s, 0);
  if (filterStitch(c, real)) {
    // Dropped: nothing was written, so nothing is counted (the header's stitch count is the
    // records').
    s.setAutoCleaned(c.isAutoCleaned());
    return kEncodeOk;
  }
  result = sendStitchWithJumps(c, real, afterTrim);
  s.setAutoCleaned(false);

  updateStats(s, result);
  return result == kEncodeRefused ? kEncodeRefused : kEncodeOk;
}

int StitchEncoder::vSendPlainStitches(std::span<const HStitch> /*run*/, int /*limit*/,
                                      int& written) {
  written = 0;
  return kEncodeOk;
}

int StitchEncoder::vSendPieces(std::span<const HCoord<short>> /*points*/) {
  return kEncodeSkipped;
}

int StitchEncoder::encodePlainStitches(std::span<const HStitch> run, int afterTrim, int& written) {
  written = 0;
  const StitchOptions& o = *options;
  if (!plainRunAllowed(afterTrim)) return kEncodeOk;
  int limit = 0;
  if (!o.getKeepOriginalStitch()) {
    limit = o.getHardLength();
    if (o.getMaxLength() > 0 && o.getMaxLength() < limit) limit = o.getMaxLength();
  }
  const int r = vSendPlainStitches(run, limit, written);
  if (written <= 0) return r;
  const std::span<const HStitch> done = run.first(static_cast<std::size_t>(written));
  tDesignBegun = 1;
  anyOutput = 1;
  anyStitchOutput = 1;
  current.copyStitch(done.back(), 0);
  emitted.clear();
  stats.updatePlainRun(done);
  if (keepSegmentStats) segmentStats.updatePlainRun(done);
  return r;
}

bool StitchEncoder::plainRunAllowed(int afterTrim) const {
  const StitchOptions& o = *options;
  // What isPlainWrite and sendHardStitch look at, once for the whole run: no rounding, no
  // blank stitch to add, no cutting rule other than the longest move, no start record or
  // penetration style still to come.
  return started != 0 && anyOutput != 0 && current.isNormal() && o.getGranularity() <= 1 &&
         !(o.getInsertBlankStitchAfterTrim() && afterTrim != 0) && !o.getSplitStitchToJumps() &&
         !(o.getHasChenilleSupport() && !preserveJumps());
}

void StitchEncoder::updateStats(const HStitch& s, int result) {
  if (result != kEncodeOk) return;
  // The records written count in the stitch's place.
  std::span<const HStitch> written;
  if (!wasWrittenAsItself(s))
    written = {emitted.data(), static_cast<std::size_t>(emitted.length())};
  stats.updateWritten(s, written);
  if (keepSegmentStats) segmentStats.updateWritten(s, written);
}

bool StitchEncoder::isPlainWrite(const HStitch& s, std::span<const HStitch> real,
                                 int afterTrim) const {
  if (s.getFlags() != StitchCode::Normal || !real.empty() || !s.isPlain()) return false;
  // No granularity to round to: the move stays as it is.
  const StitchOptions& o = *options;
  if (o.getGranularity() > 1) return false;
  // No blank stitch to add after a trim.
  if (o.getInsertBlankStitchAfterTrim() && afterTrim != 0) return false;
  // The move needs no cutting (what needResplit answers for a plain stitch).
  if (o.getKeepOriginalStitch()) return true;
  const int dx = s.xval() - current.xval();
  const int dy = s.yval() - current.yval();
  if (o.getSplitStitchToJumps() && exceeds(dx, dy, o.getMaxLength())) return false;
  if (o.getHasChenilleSupport() && !preserveJumps() && exceeds(dx, dy, o.getMaxRealLength())) {
    return false;
  }
  int limit = o.getHardLength();
  if (o.getMaxLength() > 0 && o.getMaxLength() < limit) limit = o.getMaxLength();
  return !exceeds(dx, dy, limit);
}

int StitchEncoder::applyDropRule(HStitch& c, std::span<const HStitch> real) {
  const HCoord<short> target = c.getPoint();
  if (!real.empty()) {
    int last = -1;
    for (int i = 0; i < static_cast<int>(real.size()); ++i) {
      if (detail::isJumpOrNeedleUp(real[i])) last = i;
    }
    const HCoord<short> from = last >= 0 ? real[last].getPoint() : current.getPoint();
    if (!(from == target)) {
      // The jump appended to the stitch's point is the list's last entry.
      c.setFlags(StitchCode::Jump);
      return 0;
    }
    if (last >= 0) {
      c.setFlags(real[last].getFlags());
      return 0;
    }
    c.setAutoCleaned(true);
    return 1;
  }
  if (!(target == current.getPoint())) {
    c.setFlags(StitchCode::Jump);
    return 0;
  }
  c.setAutoCleaned(true);
  return 1;
}

int StitchEncoder::filterStitch(HStitch& c, std::span<const HStitch> real) {
  fixStitch(c);

  if (options->getStripBeginEnd() && (c.isBegin() || c.isEndRewind())) {
    if (applyDropRule(c, real)) return 1;
  }

  if ((c.isTrim() || c.isJumpTrim() || c.isUpperTrim()) && !options->getHasTrimCode()) {
    if (!(options->getTrimsAsJumps() && options->getJumpsPerTrim() > 0)) {
      if (applyDropRule(c, real)) return 1;
    }
  }

  if (c.isChenille()) {
    const int removeRedundant = options->getRemoveRedundantChenille();
    bool redundant = false;
    if (c.isChain()) {
      redundant = removeRedundant && chenilleMode == kChenilleChain;
      chenilleMode = kChenilleChain;
    } else if (c.isMoss()) {
      redundant = removeRedundant && chenilleMode == kChenilleMoss;
      chenilleMode = kChenilleMoss;
    } else if (c.isChenilleHeight()) {
      const bool equal = removeRedundant && static_cast<int>(c.getData()) == chenilleHeight;
      redundant = options->getRemoveChenilleHeight() || equal;
      if (!equal) chenilleHeight = c.getData();
    }
    if (redundant) return applyDropRule(c, real);
  }
  return 0;
}

short StitchEncoder::granulate(short v) const {
  return static_cast<short>(detail::snapTo(v, options->getGranularity()));
}

// Stitches come with absolute coordinates, and the needle's position already holds the
// rounding of every move before: rounding the move from the needle to the stitch keeps every
// written move a multiple of the granularity and the needle within half a step of the design.
// An axis that does not move keeps the stitch's own coordinate.
void StitchEncoder::fixStitch(HStitch& c) {
  const short moveX = static_cast<short>(c.xval() - current.xval());
  const short moveY = static_cast<short>(c.yval() - current.yval());
  if (moveX != 0) c.xval() = static_cast<short>(current.xval() + granulate(moveX));
  if (moveY != 0) c.yval() = static_cast<short>(current.yval() + granulate(moveY));
}

// ---------------------------------------------------------------------------------------------
// Soft and hard records

int StitchEncoder::sendSoftStitch(HStitch& s) {
  if (s.isTwoStop()) {
    HStitch stop(s, 0);
    stop.setFlags(StitchCode::Stop);
    int r = sendSoftStitch(stop);
    if (r == kEncodeRefused) return r;
    if (options->getJumpBetweenTwoStops()) {
      HStitch jump(s, 0);
      jump.setFlags(StitchCode::Jump);
      r = sendSoftStitch(jump);
      if (r == kEncodeRefused) return r;
    }
    stop.copyStitch(s, 0);
    stop.setFlags(StitchCode::Stop);
    return sendSoftStitch(stop);
  }

  if (s.isThreeStop()) {
    int r = kEncodeOk;
    for (int i = 0; i < 3; ++i) {
      HStitch stop(s, 0);
      stop.setFlags(StitchCode::Stop);
      r = sendSoftStitch(stop);
      if (r == kEncodeRefused) return r;
    }
    return r;
  }

  bool checkCombined = true;
  if (s.isDropSequin() && options->getAlternateSequinDropCommands() != 0) {
    const int count = alternateDropCount(s.getSequinHead());
    if (count >= 1) {
      int r = kEncodeOk;
      for (int i = 0; i < count; ++i) {
        HStitch drop(s, 0);
        drop.setFlags(StitchCode::DropSequin);
        drop.setSequinHead(0);
        r = sendSoftStitch(drop);
        if (r == kEncodeRefused) return r;
      }
      return r;
    }
    checkCombined = false;  // count 0: straight to the plain writing
  }

  if (checkCombined && (s.isDropSequin() || s.isDropBead()) &&
      options->getSupportsCombinedSequinBead() && options->getFileFormat() == kFormatDst) {
    const int count = combinedDropCount(s);
    if (count >= 1) {
      int r = kEncodeOk;
      for (int i = 0; i < count; ++i) {
        HStitch drop(s, 0);
        drop.setFlags(StitchCode::DropSequin);
        drop.setSequinHead(0);
        r = vSendSoftStitch(drop);
        if (r == kEncodeRefused) return r;
      }
      return r;
    }
  }

  if (!makeStopTable || s.isNormal() || s.isJump() || s.isNeedleUp() ||
      (s.isDropSequin() && options->getSequinType() == kSequinAsChangeOver) ||
      (s.isDropBead() && options->getGlassBeadType() != kGlassBeadAsIs)) {
    return vSendSoftStitch(s);
  }

  StopInfo info = s.getStopInfo();
  info.commandCode = remapStopCode(info.commandCode);
  stopTable.add(info);
  stopComments.add(s.getComment());
  HStitch stop(s, 0);
  stop.setFlags(StitchCode::Stop);
  return vSendSoftStitch(stop);
}

int StitchEncoder::sendCommandRecord(const HStitch& s, const HStitch& c, bool carriesMove) {
  if (!carriesMove && s.getPoint() != current.getPoint()) {
    HStitch jump(s, 0);
    jump.setFlags(StitchCode::Jump);
    const int r = sendHardStitch(jump);
    if (r != kEncodeOk) return r;
  }
  return sendHardStitch(c);
}

int StitchEncoder::sendHardStitch(const HStitch& s) {
  HStitch c(s, 0);
  const HVector<short> d = s.getPoint() - current.getPoint();

  if (c.isNormal() && !current.isNormal() && !(d == HVector<short>())) {
    const PenetrationStyle style = options->getPenetrationStyle();
    if (style == kPenetrationAsJump) {
      c.setFlags(StitchCode::Jump);
    } else if (style == kPenetrationJumpInPlace) {
      HStitch jump(c, 0);
      jump.setFlags(StitchCode::Jump);
      const int r = sendHardStitch(jump);
      if (r != 0) return r;
    }
  }

  if (!options->getCopyOriginal()) {
    if (c.isBorerOn() || c.isBorerOff()) {
      if (options->getBorerType() == kBorerAsChangeOver)
        c.setFlags(StitchCode::ChangeOver);
      else if (options->getBorerType() == kBorerAsStop)
        c.setFlags(StitchCode::Stop);
    } else if (c.isSequinStart() || c.isSequinEnd()) {
      if (options->getSequinType() == kSequinAsChangeOver)
        c.setFlags(StitchCode::ChangeOver);
      else if (options->getSequinType() == kSequinAsStop)
        c.setFlags(StitchCode::Stop);
    } else if (c.isDropSequin()) {
      const bool keepDrop =
          (options->getBlankAfterDrops() || options->getKorvanMoveDropSequins()) &&
          options->getFileFormat() == kFormatDst;
      if (options->getSequinType() == kSequinAsChangeOver && !keepDrop) {
        c.setFlags(StitchCode::Jump);
      }
    } else if (c.isBeadStart() || c.isBeadEnd()) {
      if (options->getGlassBeadType() == kGlassBeadAsChangeOver) {
        c.setFlags(StitchCode::ChangeOver);
      } else if (options->getGlassBeadType() == kGlassBeadAsStop) {
        c.setFlags(StitchCode::Stop);
      }
    } else if (c.isDropBead()) {
      if (options->getGlassBeadType() == kGlassBeadAsChangeOver) c.setFlags(StitchCode::Jump);
    }
    if (options->getUseNeedleUps() && c.isJump()) c.setFlags(StitchCode::NeedleUp);
    if (options->getStopsAsNeedles() && c.isColorChange()) c.setFlags(StitchCode::Stop);
  }

  const int r = vSendHardStitch(c);
  if (r == 0) {
    anyOutput = 1;
    if (s.isNormal()) anyStitchOutput = 1;
    current.copyStitch(s, 0);
    emitted.add(std::move(c));
    if (makeStopTable && s.isStop() && !stopTable.isEmpty()) {
      StopInfo& last = stopTable[stopTable.length() - 1];
      last.stitchesSinceLast = static_cast<std::uint32_t>(stats.stitchCount - stitchesAtLastStop);
      last.threadSinceLast = stats.threadLength - lengthAtLastStop;
      stitchesAtLastStop = stats.stitchCount;
      lengthAtLastStop = static_cast<int>(stats.threadLength);
    }
  }
  return r;
}

// ---------------------------------------------------------------------------------------------
// Where the command goes

int StitchEncoder::sendStitchWithJumps(HStitch& c, std::span<const HStitch> real, int afterTrim) {
  int atDestination = 0;
  int separate = (separateCommands && !options->getCopyOriginal()) ? 1 : 0;
  int trimAsJumps = 0;

  const int code = c.getFlags();
  switch (code) {
    case 0:
    case 26:
    case 27:
    case 28:
    case 29:
    case 30:
    case 54:
    case 55:
      atDestination = 1;
      separate = 0;
      break;
    case 1:
    case 13:
      atDestination = 0;
      separate = 0;
      break;
    case 2:
    case 4:
    case 5:
    case 6:
    case 15:
    case 16:
    case 21:
    case 22:
    case 23:
    case 37:
    case 40:
    case 41:
    case 42:
    case 43:
    case 44:
    case 45:
    case 46:
    case 47:
    case 48:
    case 50:
    case 51:
    case 52:
    case 53:
    case 59:
    case 60:
      atDestination = 1;
      break;
    case 3:
    case 12:
    case 14:
      atDestination = 0;
      separate = options->getCopyOriginal() ? 0 : 1;
      if (!options->getHasTrimCode() || options->getTrimsAsJumps()) {
        separate = 0;
        if (!(preserveJumps() || prohibitedATH)) trimAsJumps = 1;
      }
      break;
    case 7:
      atDestination = 1;
      separate = options->getCopyOriginal() ? 0 : 1;
      break;
    case 8:
    case 9:
      atDestination = 1;
      separate = 0;
      doingBorer = code == 8 ? 1 : 0;
      break;
    case 10:
      doingChangeover = doingChangeover ? 0 : 1;
      atDestination = doingChangeover;
      separate = 0;
      break;
    case 11:
      atDestination = 0;
      break;
    case 18:
    case 19:
      atDestination = code == 18 ? 1 : 0;
      doingSequin = code == 18 ? 1 : 0;
      break;
    case 20:
    case 66:
    case 67:
      atDestination = 1;
      separate = 0;
      break;
    case 24:
      atDestination = 1;
      separate = 0;
      doingLaser = 1;
      break;
    case 25:
    case 49:
      atDestination = 1;
      separate = 0;
      doingLaser = 0;
      break;
    case 56:
    case 63:
      atDestination = 1;
      separate = 0;
      break;
    case 57:
    case 58:
      atDestination = 1;
      separate = 0;
      prohibitedATH = code == 57 ? 1 : 0;
      break;
    case 64:
    case 65:
      atDestination = code == 64 ? 1 : 0;
      doingBead = code == 64 ? 1 : 0;
      break;
    default:
      atDestination = 0;
      break;
  }
  if (trimAsJumps) separate = 0;

  if (needResplit(c, real, trimAsJumps, 0) == 0) {
    return sendWithoutSplit(c, real, atDestination, separate, trimAsJumps, afterTrim);
  }
  return sendWithSplit(c, real, atDestination, separate, trimAsJumps, afterTrim);
}

int StitchEncoder::sendWithoutSplit(HStitch& c, std::span<const HStitch> real, int atDestination,
                                    int separate, int trimAsJumps, int afterTrim) {
  const int count = static_cast<int>(real.size());
  const bool blank = options->getInsertBlankStitchAfterTrim() && c.isNormal() && afterTrim != 0;

  // Leading and trailing movements of the real stitches.
  HCoord<short> p = c.getPoint();
  int leading = 0;
  for (int i = 0; i < count - 1; ++i) {
    if (!detail::isJumpOrNeedleUp(real[i])) {
      p = real[i].getPoint();
      break;
    }
    ++leading;
  }
  int trailing = 0;
  for (int i = count - 1; i >= leading; --i) {
    if (!detail::isJumpOrNeedleUp(real[i])) {
      p = real[i].getPoint();
      break;
    }
    ++trailing;
  }

  HStitch core(c, 0);
  if (trailing > 0) core.setPoint(p);
  if (trimAsJumps) core.setFlags(StitchCode::Jump);

  // A command written in place before the move (a trim) goes where the needle is before any
  // of the group's movements, as it does when the move is cut into pieces: the thread is cut
  // before the needle travels, and a file read back and written again has it there too.
  const bool inPlaceFirst = separate && !atDestination && leading > 0;
  const HCoord<short> target = core.getPoint();
  int r = kEncodeOk;
  if (inPlaceFirst) {
    core.setPoint(current.getPoint());
    r = sendSoftStitch(core);
    if (r == kEncodeRefused) return r;
  }
  for (int i = 0; i < leading; ++i) {
    HStitch move(real[i], 0);
    r = sendSoftStitch(move);
    if (r == kEncodeRefused) return r;
  }

  if (inPlaceFirst) {
    if (!(target == current.getPoint())) {
      HStitch jump(target.x, target.y, StitchCode::Jump, 0);
      takeColourAndEffect(jump, c);
      r = sendSoftStitch(jump);
    }
  } else if ((separate || blank) && !(target == current.getPoint())) {
    HStitch jump(target.x, target.y, StitchCode::Jump, 0);
    if (!atDestination) {
      takeColourAndEffect(jump, core);
      core.setPoint(current.getPoint());
      r = sendSoftStitch(core);
      if (r == kEncodeRefused) return r;
      r = sendSoftStitch(jump);
    } else {
      takeColourAndEffect(jump, current);
      jump.setColourType(current.getColourType());
      r = sendSoftStitch(jump);
      if (r == kEncodeRefused) return r;
      r = sendSoftStitch(core);
    }
  } else {
    r = sendSoftStitch(core);
  }
  if (r == kEncodeRefused) return r;

  for (int i = count - trailing; i < count; ++i) {
    HStitch move(real[i], 0);
    r = sendSoftStitch(move);
    if (r == kEncodeRefused) return r;
  }
  return r;
}

int StitchEncoder::sendWithSplit(HStitch& c, std::span<const HStitch> real, int atDestination,
                                 int separate, int trimAsJumps, int afterTrim) {
  // The pieces live in a member array so that no stitch allocates once it has grown; the
  // format hooks called below never re-enter sendStitchWithJumps.
  HXArray<HStitch>& pieces = splitPieces_;
  const int n = splitIntoJumps(pieces, c, real, trimAsJumps, 0);

  bool blank = false;
  if (options->getInsertBlankStitchAfterTrim() && c.isNormal()) {
    if (options->getJumpsPerTrim() > 0) {
      blank = (n > options->getJumpsPerTrim() && atDestination) || afterTrim != 0;
    } else {
      blank = afterTrim != 0;
    }
  }

  // The pieces' colour.
  unsigned short colour = current.getColor();
  std::uint8_t effectFlag = 0;
  std::uint32_t effectColour = 0;
  HString effectId;
  current.getEffectInfo(effectFlag, effectColour, effectId);
  std::uint8_t colourType = current.getColourType();
  bool newEffect = current.isNewEffect();
  bool hasEffect = current.hasEffectColour();
  auto takeColourFrom = [&](const HStitch& from) {
    colour = from.getColor();
    from.getEffectInfo(effectFlag, effectColour, effectId);
    colourType = from.getColourType();
    newEffect = from.isNewEffect();
    hasEffect = from.hasEffectColour();
  };

  int r = kEncodeOk;
  bool lastIsCommand = false;
  if (!trimAsJumps && !separate && !blank && n > 0) {
    if (atDestination) {
      const HCoord<short> at = pieces[n - 1].getPoint();
      pieces[n - 1].copyStitch(c, 0);
      pieces[n - 1].setPoint(at);
      lastIsCommand = true;
    } else {
      const HCoord<short> at = pieces[0].getPoint();
      pieces[0].copyStitch(c, 0);
      pieces[0].setPoint(at);
      takeColourFrom(c);
    }
  }

  if (separate && !atDestination) {
    HStitch first(c, 0);
    first.setPoint(current.getPoint());
    r = sendSoftStitch(first);
    if (r == kEncodeRefused) return r;
    takeColourFrom(c);
  }

  // Effect fields come only from a stitch that has attributes; without any, every piece keeps
  // none.
  const bool effects = !current.isPlain() || !c.isPlain();
  for (int i = 0; i < n; ++i) {
    HStitch& piece = pieces[i];
    if (!(lastIsCommand && i == n - 1)) {
      piece.setColor(colour, false);
      if (effects) {
        // The effect fields follow the pieces' colour.
        piece.setEffectInfo(effectFlag, effectColour, effectId);
        piece.setColourType(hasEffect ? colourType : 0);
        piece.setNewEffect(hasEffect && i == 0 && newEffect);
      }
    }
    r = sendSoftStitch(piece);
    if (r == kEncodeRefused) return r;
  }

  if ((separate || blank) && atDestination) {
    HStitch last(c, 0);
    last.setPoint(current.getPoint());
    r = sendSoftStitch(last);
  }
  return r;
}

}  // namespace stitchkit
