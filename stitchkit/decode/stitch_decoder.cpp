#include "stitchkit/decode/stitch_decoder.h"

#include <cmath>
#include <cstdlib>

namespace stitchkit {
namespace {

// Codes that continue a jump run while it is gathered.
bool continuesJumpRun(const HStitch& s) {
  return s.isJump() || s.isTrim() || s.isUpperTrim() || s.isNeedleUp() || s.isJumpTrim();
}

bool isJumpOrNeedleUp(const HStitch& s) {
  return s.isJump() || s.isNeedleUp();
}

short clampToShort(int value) {
  return static_cast<short>(value > 32767 ? 32767 : value);
}

}  // namespace

StitchDecoder::StitchDecoder(StitchOptions& options) : options_(&options) {}

StitchDecoder::~StitchDecoder() = default;

int StitchDecoder::vBeginDesign(HCoord<short> /*start*/, int /*needle*/) {
  return kDecodeOk;
}
int StitchDecoder::vEndDesign() {
  return kDecodeOk;
}
int StitchDecoder::vGetSoftStitch(HStitch& /*s*/) {
  return kDecodeOk;
}
int StitchDecoder::vGetHardStitch(HStitch& /*s*/) {
  return kDecodeOk;
}

int StitchDecoder::beginDesign(HCoord<short> start, int needle) {
  stats_.reset();
  stats_.setStartPoint(start);
  stats_.addNeedle(static_cast<short>(needle - 1));
  currentNeedle_ = needle;
  designEnded_ = 0;
  failedAt_ = -1;
  sequinMode_ = beadMode_ = borerMode_ = laserMode_ = changeoverMode_ = athProhibited_ = 0;
  chenilleMode_ = 0;
  chenilleHeight_ = 0;
  stopPairPending_ = 0;
  stopIndex_ = 0;
  run_.clear();
  runIndex_ = 0;
  pushback_.empty();
  hardStatus_ = 0;
  needleUp_ = 1;
  lastStitch_ =
      HStitch(start.x, start.y, StitchCode::Jump, static_cast<unsigned short>(needle - 1));
  lastHardStitch_ = lastStitch_;
  return vBeginDesign(start, needle);
}

int StitchDecoder::decodeStitch(HStitch& s) {
  return getSoftStitch(s);
}

int StitchDecoder::endDesign() {
  const int r = vEndDesign();
  stats_.finish();
  return r;
}

void StitchDecoder::setStopTable(const HXArray<StopInfo>& stops, const HXArray<HString>& names) {
  stopTable_ = stops;
  stopNames_ = names;
}

void StitchDecoder::resetStopTable() {
  stopTable_.clear();
  stopNames_.clear();
  stopIndex_ = 0;
}

int StitchDecoder::getHardStitch(HStitch& s) {
  const int r = vGetHardStitch(s);
  if (s.isStop() && stopIndex_ < stopTable_.length()) {
    s.translateStopInfo(stopTable_[stopIndex_], 0);
    // A colour change kept in the table names the needle it changes to; the stop record
    // written for it could not.
    if (s.isColorChange()) s.setColor(stopTable_[stopIndex_].colour);
    if (stopIndex_ < stopNames_.length()) s.setComment(stopNames_[stopIndex_]);
    ++stopIndex_;
  }
  lastHardStitch_ = s;
  return r;
}

int StitchDecoder::getNextHardStitch(HStitch& s) {
  s.reset();
  if (pushback_.pop(s)) return kDecodeOk;
  if (hardStatus_ == 0) hardStatus_ = getHardStitch(s);
  return hardStatus_;
}

int StitchDecoder::getSoftStitch(HStitch& s) {
  s.reset();
  if (designEnded_) return kDecodeEnd;
  const StitchOptions& o = *options_;

  if (runIndex_ < run_.length()) {
    s = std::move(run_[runIndex_++]);
    if (runIndex_ == run_.length()) {
      run_.clear();
      runIndex_ = 0;
    }
    processSoftStitch(s);
  } else {
    const int r = getNextHardStitch(hardStitch_);
    if (r != kDecodeOk) return r;
    const bool anyMode = changeoverMode_ || sequinMode_ || beadMode_ || borerMode_ || laserMode_;
    if (!continuesJumpRun(hardStitch_)) {
      // A run of one stitch: nothing to gather and no loop to find.
      s = std::move(hardStitch_);
    } else if (!anyMode && !o.getPreserveJumps() && !o.getCopyOriginal()) {
      run_.clear();
      for (;;) {
        run_.add(hardStitch_);
        if (!continuesJumpRun(hardStitch_)) break;
        if (getNextHardStitch(hardStitch_) != kDecodeOk) break;
      }
      jumpTrimProcess(run_);
      s = std::move(run_[0]);
      runIndex_ = 1;
      if (run_.length() == 1) {
        run_.clear();
        runIndex_ = 0;
      }
    } else {
      s = hardStitch_;
    }
    processSoftStitch(s);
  }

  // Needle state: commands that lift the needle out of the fabric, and stitches that put it
  // back in.
  if (s.isTrim() || s.isUpperTrim() || s.isJumpTrim() || s.isStop() || s.isColorChange()) {
    needleUp_ = 1;
  } else if (!s.isJump() && !s.isNeedleUp() && !s.isBegin()) {
    needleUp_ = 0;
  }

  const int r = vGetSoftStitch(s);
  if (r != kDecodeOk) return r;

  if (!o.getCopyOriginal()) {
    if (o.getTrimsAsJumps() && s.isJumpTrim()) s.setFlags(StitchCode::Trim);
    if (o.getUseNeedleUps() && s.isNeedleUp()) s.setFlags(StitchCode::Jump);
  }

  if (s.hasRealStitches()) {
    HXArray<HStitch>& real = s.getRealStitches();
    if (s.getColor() == lastStitch_.getColor()) {
      for (HStitch& r2 : real)
        r2.setColor(s.getColor(), true);
    } else {
      // The real stitches before the one that changes the needle keep the previous colour.
      unsigned short running = lastStitch_.getColor();
      for (HStitch& r2 : real) {
        if (r2.getColor() == s.getColor() || r2.isStop() || r2.isColorChange()) {
          running = s.getColor();
        }
        r2.setColor(running, true);
      }
    }
  }

  stats_.update(s, 1, 0);
  lastStitch_ = s;
  return kDecodeOk;
}

void StitchDecoder::processSoftStitch(HStitch& s) {
  if (s.isEndRewind()) designEnded_ = 1;
  if (filterStitch(s) == 1) {
    s.clearRealStitches();
    return;
  }
  StitchOptions& o = *options_;
  const int dx = std::abs(s.xval() - lastStitch_.xval());
  const int dy = std::abs(s.yval() - lastStitch_.yval());
  if (s.isNormal()) {
    learnPlainMove(dx, dy);
    return;
  }
  const int d = dx > dy ? dx : dy;
  if (d > o.getMaxLength()) o.setMaxLength(clampToShort(d));
  if ((s.isJump() || s.isJumpTrim() || s.isNeedleUp()) && d > o.getSplitJumpLength()) {
    o.setSplitJumpLength(clampToShort(d));
  }
}

void StitchDecoder::learnPlainMove(int dx, int dy) {
  StitchOptions& o = *options_;
  const int d = dx > dy ? dx : dy;
  if (d > o.getMaxLength()) o.setMaxLength(clampToShort(d));
  const long long squared = static_cast<long long>(dx) * dx + static_cast<long long>(dy) * dy;
  const long long clean = o.getCleanLength();
  if (squared < clean * clean) {
    o.setCleanLength(static_cast<short>(std::sqrt(static_cast<double>(squared))));
  }
}

// A needle-down run of moving jumps that returns to where it started stands for a trim: the
// jump closing the longest such loop becomes a jump trim carrying its former self.
void StitchDecoder::jumpTrimProcess(HXArray<HStitch>& run) const {
  const int n = run.length();
  if (n < 2) return;
  HCoord<short> previous = lastStitch_.getPoint();
  bool trimmed = false;
  int moving = 0;
  for (int k = 0; k < n - 1; ++k) {
    const HStitch& e = run[k];
    if (e.isTrim() || e.isUpperTrim()) {
      trimmed = true;
    } else if (isJumpOrNeedleUp(e) && e.getPoint() != previous) {
      ++moving;
    }
    previous = e.getPoint();
  }
  const int jumpsPerTrim = options_->getJumpsPerTrim();
  if (needleUp_ != 0 || trimmed || jumpsPerTrim <= 0 || moving < jumpsPerTrim) return;

  const int last = isJumpOrNeedleUp(run[n - 1]) ? n - 1 : n - 2;
  int best = 0;
  int chosen = -1;
  for (int i = 0; i + best < last; ++i) {
    const HCoord<short> before = i == 0 ? lastStitch_.getPoint() : run[i - 1].getPoint();
    for (int j = last; j > i + best; --j) {
      if (run[j].getPoint() == before) {
        chosen = j;
        best = j - i + 1;
      }
    }
  }
  if (best > 1) {
    HStitch& closing = run[chosen];
    HXArray<HStitch> former;
    former.add(closing);
    closing.setFlags(StitchCode::JumpTrim);
    closing.setRealStitches(std::move(former));
  }
}

bool StitchDecoder::isBlankKept() const {
  const auto isCommand = [](const HStitch& s) { return !s.isNormal() && !s.isJump(); };
  const bool afterCommand = isCommand(lastStitch_);
  const bool beforeCommand = !pushback_.isEmpty() && isCommand(pushback_.top());
  switch (options_->getPreserveBlanks()) {
    case 1:
      return true;
    case 2:
      return beforeCommand;
    case 3:
      return afterCommand;
    case 4:
      return afterCommand || beforeCommand;
    default:
      return false;
  }
}

// Stop pairs and triples. A stop followed by a stop at the same point opens a pair (unless
// jumps separate paired stops on this machine, in which case stop, zero-length jump, stop
// does); three stops at one point become one three-stop. Look-ahead records that are not
// consumed are given back in order.
void StitchDecoder::filterStop(HStitch& s, bool& openedPair) {
  const bool jumpBetween = options_->getJumpBetweenTwoStops() != 0;
  HStitch first;
  const int r1 = getNextHardStitch(first);
  if (r1 != kDecodeOk) return;
  bool threeStop = false;
  if (first.isStop() && first.getPoint() == s.getPoint()) {
    HStitch second;
    const int r2 = getNextHardStitch(second);
    if (r2 == kDecodeOk && second.isStop() && second.getPoint() == s.getPoint()) {
      s.setFlags(StitchCode::ThreeStop);
      threeStop = true;
    } else {
      if (r2 == kDecodeOk) pushHardStitch(second);
      if (!jumpBetween) {
        stopPairPending_ = 1;
        openedPair = true;
      }
    }
  } else if (jumpBetween && first.isJump() && first.getPoint() == s.getPoint()) {
    HStitch second;
    const int r2 = getNextHardStitch(second);
    if (r2 == kDecodeOk) {
      if (second.isStop() && second.getPoint() == s.getPoint()) {
        stopPairPending_ = 1;
        openedPair = true;
      }
      pushHardStitch(second);
    }
  }
  if (!threeStop) pushHardStitch(first);
}

void StitchDecoder::filterDropSequin(HStitch& s) {
  const StitchOptions& o = *options_;
  if (o.getAlternateSequinDropCommands()) {
    DropSequinProcessing(s, 1);
  } else if (o.getSupportsCombinedSequinBead() && o.getFileFormat() == kFormatDst) {
    DropSequinBeadProcessing(s, 1);
  }
  if (s.getPoint() == lastStitch_.getPoint() && o.getFileFormat() == kFormatDst &&
      o.getKorvanMoveDropSequins()) {
    // The machine drops the sequin where the next stitch lands.
    HStitch next;
    if (getNextHardStitch(next) == kDecodeOk) {
      if (next.isNormal()) {
        s.setPoint(next.getPoint());
      } else {
        pushHardStitch(next);
      }
    }
  } else if (o.getFileFormat() == kFormatZskTransport) {
    if (s.getSequinHead() == 2) {
      s.setFlags(StitchCode::DropSequinW);
      s.setSequinHead(0);
    } else if (s.getSequinHead() == 3) {
      // Head 3 stands for a drop with head 1, a return to the previous point, and a drop
      // with head 0 there.
      s.setSequinHead(1);
      HStitch copy(s);
      copy.setSequinHead(0);
      pushHardStitch(copy);
      pushHardStitch(lastStitch_);
    }
  }
}

int StitchDecoder::filterStitch(HStitch& s) {
  const StitchOptions& o = *options_;
  const unsigned short needleColour = static_cast<unsigned short>(currentNeedle_ - 1);

  // 1. Blanks: a zero-length normal stitch is dropped unless PreserveBlanks keeps it.
  if (s.isNormal() && o.getCleanLength() != 0 && s.getPoint() == lastStitch_.getPoint()) {
    s.setColor(needleColour);
    if (!isBlankKept()) return 1;
  }

  // 2. Device modes.
  if (s.isChangeOver()) {
    changeoverMode_ = !changeoverMode_;
  } else if (s.isSequinStart() || s.isSequinEnd()) {
    sequinMode_ = s.isSequinStart();
  } else if (s.isBeadStart() || s.isBeadEnd()) {
    beadMode_ = s.isBeadStart();
  } else if (s.isBorerOn() || s.isBorerOff()) {
    borerMode_ = s.isBorerOn();
  } else if (s.isLaserOn()) {
    laserMode_ = 1;
  } else if (s.isLaserOff() || s.isLaserPause()) {
    laserMode_ = 0;
  } else if (s.isATHProhibitedStart() || s.isATHProhibitedEnd()) {
    athProhibited_ = s.isATHProhibitedStart();
  }

  // 3. Copying as it stands: only the needle is followed.
  if (o.getCopyOriginal()) {
    if (s.isColorChange()) {
      currentNeedle_ = s.getColor() + 1;
    } else {
      s.setColor(needleColour);
    }
    return 0;
  }

  // 4. Stop pairs and triples.
  bool openedPair = false;
  if (s.isStop()) filterStop(s, openedPair);

  // 5. Colours and needles.
  if (s.isStop() && stopPairPending_) {
    s.setColor(static_cast<unsigned short>(currentNeedle_ - 1));
    if (!openedPair) stopPairPending_ = 0;
  } else if (s.isThreeStop()) {
    s.setColor(static_cast<unsigned short>(currentNeedle_ - 1));
  } else if (s.isStop() && o.getStopsAsNeedles()) {
    if (!firstStitchSeen_ && o.getSkipFirstColourChange()) return 1;
    s.setFlags(StitchCode::ChangeNeedle);
    const int maxNeedles = o.getMaxNeedles();
    if (maxNeedles <= 0 || currentNeedle_ < maxNeedles) {
      ++currentNeedle_;
    } else {
      currentNeedle_ = currentNeedle_ % maxNeedles + 1;
    }
    s.setColor(static_cast<unsigned short>(currentNeedle_ - 1));
  } else if (s.isStop()) {
    s.setColor(static_cast<unsigned short>(currentNeedle_ - 1));
  } else if (s.isColorChange()) {
    if (!firstStitchSeen_ && o.getSkipFirstColourChange() && s.getColor() + 1 == currentNeedle_) {
      return 1;
    }
    currentNeedle_ = s.getColor() + 1;
  } else if (s.isDropSequin()) {
    filterDropSequin(s);
  } else {
    s.setColor(static_cast<unsigned short>(currentNeedle_ - 1));
  }

  // 6. Chenille modes and redundant chenille commands.
  if (s.isChenille()) {
    const bool redundant = (s.isMoss() && chenilleMode_ == 1) ||
                           (s.isChain() && chenilleMode_ == 2) ||
                           (s.isChenilleHeight() && s.getData() == chenilleHeight_);
    if (o.getRemoveRedundantChenille() && redundant) return 1;
    if (o.getRemoveChenilleHeight() && s.isChenilleHeight()) return 1;
    if (s.isMoss()) {
      chenilleMode_ = 1;
    } else if (s.isChain()) {
      chenilleMode_ = 2;
    } else if (s.isChenilleHeight()) {
      chenilleHeight_ = s.getData();
    }
  }

  // 7. The first real stitch.
  if (!firstStitchSeen_ && !s.isJumping() && !s.isBegin()) firstStitchSeen_ = 1;
  return 0;
}

int StitchDecoder::DropSequinProcessing(HStitch& s, int /*depth*/) {
  // A drop repeated N times at one point selects a head; at most 14 records form one drop.
  constexpr int kMaxRecords = 14;
  constexpr int kHeadByCount[kMaxRecords + 1] = {0, -1, 1, 1, 2, 2, 2, 4, 3, 3, 3, 5, 5, 6, 7};
  int count = 1;
  while (count < kMaxRecords) {
    HStitch next;
    if (getNextHardStitch(next) != kDecodeOk) break;
    if (!next.isDropSequin() || next.getPoint() != s.getPoint()) {
      pushHardStitch(next);
      break;
    }
    ++count;
  }
  if (count > 1) s.setSequinHead(static_cast<unsigned short>(kHeadByCount[count]));
  return count > 1 ? 1 : 0;
}

int StitchDecoder::DropSequinBeadProcessing(HStitch& s, int /*depth*/) {
  // Repetition selects a bead head (1 to 6 records) or a sequin (7 or more). The chain ends
  // after 11 records; from 8 to 10 records the eighth is read again as a new drop.
  constexpr int kMaxRecords = 11;
  HStitch eighth;
  int count = 1;
  while (count < kMaxRecords) {
    HStitch next;
    if (getNextHardStitch(next) != kDecodeOk) break;
    if (!next.isDropSequin() || next.getPoint() != s.getPoint()) {
      pushHardStitch(next);
      break;
    }
    ++count;
    if (count == 8) eighth = next;
  }
  if (count <= 6) {
    s.setFlags(StitchCode::DropBead);
    s.setSequinHead(count == 1 ? 0 : count <= 3 ? 1 : 2);
  } else {
    s.setFlags(StitchCode::DropSequin);
    s.setSequinHead(count == 11 ? 1 : 0);
    if (count >= 8 && count <= 10) pushHardStitch(eighth);
  }
  return count > 1 ? 1 : 0;
}

int BytestreamStitchDecoder::readBytes(unsigned char* buf, int offset, int count) {
  if (buf == nullptr || stream_ == nullptr || offset < 0 || count < 0) return kDecodeFailure;
  if (count == 0) return kDecodeOk;
  const int r = stream_->readExact(buf + offset, count);
  if (r == kStreamOk) return kDecodeOk;
  return r == kStreamEnd ? kDecodeEnd : kDecodeFailure;
}

int BytestreamStitchDecoder::readByte(unsigned char& byte) {
  if (stream_ == nullptr) return kDecodeFailure;
  const int r = stream_->inputByte(byte);
  if (r == kStreamOk) return kDecodeOk;
  return r == kStreamEnd ? kDecodeEnd : kDecodeFailure;
}

}  // namespace stitchkit
