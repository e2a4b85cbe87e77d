// The encode side of the stitch filter: choosing the encoder, walking the design group by group
// and replacing each group by what was written for it.
//
// The walk works on the filter's working design (a gap buffer, see working_design.h), so that
// replacing, removing and inserting stitches where the walk has got to never shifts the rest
// of the design. A group of several stitches is handed to the encoder as a range of that
// design rather than as a copy carried by a virtual stitch.

#include <cstdint>
#include <cstdlib>
#include <exception>

#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/filter/stitch_filter_internal.h"

namespace stitchkit {

namespace {

enum class EncodeEntry : std::uint8_t {
  kStitches,  // encodeStitches
  kHsf,       // encodeStitchesAsHsf
  kSegment,   // encodeStitchSegment
};

}  // namespace

struct StitchFilter::EncodeRequest {
  EncodeEntry entry;
  const StitchOptions& options;
  OutputBytestream* out;
  HXArray<StopInfo>* stops;        // kHsf: receives the stop table
  HXArray<HString>* stopComments;  // kHsf: receives the stop comments
  EncoderState* state;             // kSegment: the machine state carried between segments
  int first;                       // kSegment: the first segment of the design
  int last;                        // kSegment: the last segment of the design
  int forceResplit;                // kSegment
};

int StitchFilter::encodeStitches(const StitchOptions& options, OutputBytestream* out) {
  return encode({EncodeEntry::kStitches, options, out, nullptr, nullptr, nullptr, 1, 1, 0});
}

int StitchFilter::encodeStitchesAsHsf(StitchOptions& options, HXArray<StopInfo>& stops,
                                      HXArray<HString>& stopComments, OutputBytestream* out) {
  return encode({EncodeEntry::kHsf, options, out, &stops, &stopComments, nullptr, 1, 1, 0});
}

int StitchFilter::encodeStitchSegment(EncoderState& state, int first, int last,
                                      StitchOptions& options, int forceResplit,
                                      OutputBytestream* out) {
  return encode(
      {EncodeEntry::kSegment, options, out, nullptr, nullptr, &state, first, last, forceResplit});
}

int StitchFilter::setTraceDesign(int on) {
  const int previous = trace;
  trace = on;
  return previous;
}

HCoord<short> StitchFilter::centreFor(const StitchOptions& options) const {
  // The centre only steers the extra penetrations of a trim written as jumps, which step
  // TrimJumpLength (rounded to the granularity) from their base point; with no step they
  // stay on it wherever the centre is.
  const int step = options.getTrimJumpLength();
  const int granularity = options.getGranularity();
  const bool stepsOff =
      granularity <= 1 ? step != 0 : std::abs(step) * 2 >= granularity;  // rounds to non-zero
  return stepsOff ? getCentre() : HCoord<short>(0, 0);
}

int StitchFilter::encode(const EncodeRequest& request) {
  const StitchOptions& options = request.options;
  const bool segment = request.entry == EncodeEntry::kSegment;
  try {
    // The host may have changed the container since the filter last looked.
    stitchCount_ = stitches_.length();

    const HDiskFileFormat format = options.getFileFormat();
    const EncoderKind kind = encoderKindForFormat(format, options.getFormatType(),
                                                  request.entry == EncodeEntry::kStitches);
    if (kind == EncoderKind::kNone) return kFilterNoCoder;
    const std::unique_ptr<BytestreamStitchEncoder> encoder = detail::createEncoder(kind, options);
    if (!encoder) return kFilterNoCoder;

    const bool tracing = trace != 0 && (!segment || request.first != 0);
    // The trace reads the statistics of the design as it is before writing.
    if (tracing) ensureStats();
    DesignScope scope(*this);

    // The Zangs machines want a trim before the jumps it ends, not after them.
    if (kind == EncoderKind::kZangs) moveTrimsBeforeJumps();
    if (request.out != nullptr) encoder->setBytestream(*request.out);
    if (request.entry == EncodeEntry::kHsf) encoder->setMakeStopTable(1);
    encoder->setKeepSegmentStats(segment);

    // A leading design start gives the start point; only the stitch file writes it as well.
    const bool leadingDesignStart = stitchCount_ > 0 && work_[0].isBegin();
    const int traceIndex = leadingDesignStart ? 1 : 0;
    const int startIndex = request.entry == EncodeEntry::kStitches ? traceIndex : 0;
    int afterTrim = 1;
    int r = kEncodeOk;
    if (segment) {
      startPoint_ = request.state->getCurrentPosition();
      previousIsCommand = request.state->isCurCmdStc();
      afterTrim = request.state->hasTrimmed();
      r = request.first != 0
              ? encoder->beginDesign(startPoint_, centreFor(options), request.forceResplit)
              : encoder->beginSegment(*request.state, centreFor(options), request.forceResplit);
    } else {
      startPoint_ = leadingDesignStart ? work_[0].getPoint() : HCoord<short>(0, 0);
      r = encoder->beginDesign(startPoint_, centreFor(options), 0);
    }
    if (r != kEncodeOk) return kFilterFailure;

    if (tracing && traceDesign(traceIndex) != 0) return kFilterFailure;
    encoder->setSeparateCommands(detail::isPlainVariantFormat(format) ? 0 : 1);

    const int forceFirst = segment ? request.first : 1;
    if (revirtualizeAndEncode(encoder.get(), startIndex, forceFirst, 1, options, afterTrim, 1) !=
        0) {
      return kFilterFailure;
    }

    if (segment && request.last == 0) {
      r = encoder->endSegment(request.state);
    } else {
      r = encoder->endDesign(request.state);
    }
    if (r != kEncodeOk) return kFilterFailure;

    if (request.entry == EncodeEntry::kHsf) {
      encoder->getStopTable(*request.stops, *request.stopComments);
    }
    stats_ = segment ? encoder->getSegmentStats() : encoder->getStats();
    statsPending_ = false;
    // The records are complete; a stream that cannot flush reports it when it is closed.
    static_cast<void>(encoder->flush());
    if (segment) request.state->setTrimmed(afterTrim);
    return kFilterOk;
  } catch (const std::exception&) {
    stitchCount_ = stitches_.length();
    return kFilterFailure;
  }
}

void StitchFilter::takeCleanParameters(const StitchOptions& options) {
  const bool copyOriginal = options.getCopyOriginal() != 0;
  jumpsPerTrim = options.getJumpsPerTrim();
  hardLength = options.getHardLength();
  const int maxLength = options.getMaxLength();
  if (!copyOriginal && maxLength > 0 && maxLength < hardLength) hardLength = maxLength;
  const bool cleaning =
      !copyOriginal && options.getCleanShort() != 0 && options.getCleanLength() > 0;
  cleanLength = options.getCleanLength();
  if (cleanLength >= 1 && !cleaning) cleanLength = 0;
  cleanLengthSquared = cleanLength * cleanLength;
  preserveBlanks = options.getPreserveBlanks();
  filterBlankJumps = options.getFilterBlankJumps();
}

int StitchFilter::revirtualizeAndEncode(BytestreamStitchEncoder* encoder, int start, int forceFirst,
                                        int /*reserved*/, const StitchOptions& options,
                                        int& afterTrim, int cleanFlag) {
  if (encoder == nullptr || start < 0 || start >= stitchCount_) return kFilterFailure;
  DesignScope scope(*this);
  takeCleanParameters(options);
  if (options.getSplitStitchToJumps()) encoder->setSplitStitchToJumps();

  // Where the needle is after the last group written.
  HCoord<short> pos = startPoint_;

  if (forceFirst != 0 && options.getForceFirstColourChange() && !options.getCopyOriginal()) {
    const HStitch& opening = work_[start];
    if (!opening.isColorChange() && !opening.isChenille() && !opening.isLockStitchChenille()) {
      HStitch change(startPoint_.x, startPoint_.y, StitchCode::ChangeNeedle, opening.getColor());
      const int r = encoder->encodeGroup(change, {}, afterTrim, 0);
      if (r != kEncodeOk) return r;
      start = replaceByWritten(change, *encoder, start, start - 1) + 1;
    }
  }

  const bool combineSequins = options.getCombineSequinCommands() != 0;
  const bool keepBlankJumps = !options.getFilterBlankJumps();
  HStitch v;
  int i = start;
  int cleanedUpTo = -1;
  while (i < stitchCount_) {
    // Most of a design: a plain stitch in a stretch already cleaned is a group of its own that
    // none of the steps below change; it is written and replaced by what was written.
    if (i <= cleanedUpTo && work_[i].getFlags() == StitchCode::Normal && work_[i].isPlain()) {
      // As many as the encoder writes in bulk, then one at a time.
      int written = 0;
      const int rb =
          encoder->encodePlainStitches(work_.afterGap(i, cleanedUpTo - i + 1), afterTrim, written);
      if (rb != kEncodeOk) return rb;
      if (written > 0) {
        work_.passOver(written);
        afterTrim = 0;
        i += written;
        pos = work_[i - 1].getPoint();
        continue;
      }
      // A move too long for one record, cut along the straight line in bulk when nothing
      // else about the stitch needs the group's steps.
      const int rc = encoder->encodeCutPlainStitch(work_[i], afterTrim, pieces_);
      if (rc != kEncodeOk) return rc;
      if (const int n = pieces_.length(); n > 0) {
        work_.replace(i, 1, n, [&](int k, HStitch& out) { out = pieces_[k]; });
        stitchCount_ += n - 1;
        cleanedUpTo += n - 1;
        afterTrim = 0;
        i += n;
        pos = work_[i - 1].getPoint();
        continue;
      }
      v.copyStitch(work_[i], 0);
      const int r = encoder->encodeGroup(v, {}, afterTrim, 0);
      if (r != kEncodeOk) return r;
      afterTrim = 0;
      const int last = replaceByWritten(v, *encoder, i, i);
      cleanedUpTo += last - i;
      pos = v.getPoint();
      i = last + 1;
      continue;
    }

    // Device modes switch jump preservation on and off as the design goes.
    const int preserveJumps = encoder->preserveJumps();

    // The design is cleaned stretch by stretch (up to the next command), each just before it
    // is encoded.
    if (i > cleanedUpTo) {
      cleanedUpTo = stitchCount_ - 1;
      if (afterTrim != 0) cleanFlag = 1;
      cleanShortStitches(i, cleanedUpTo, preserveJumps, cleanFlag);
      if (i >= stitchCount_) break;
    }

    // Without a trim code, or with trims written as jumps, a trim is placed like a jump trim.
    const int trimAsJump =
        preserveJumps == 0 && (!options.getHasTrimCode() || options.getTrimsAsJumps()) ? 1 : 0;
    if (trimAsJump != 0 && options.getTrimsAsJumps() && !options.getCopyOriginal()) {
      markJumpRunAsTrim(i);
    }
    int end = findGroupEnd(i, preserveJumps, trimAsJump, keepBlankJumps ? 1 : 0);
    makeGroupHead(v, i, end);

    // A sequin end and the next sequin start are combined when the jumps between them are
    // short enough for one move.
    if (combineSequins && v.isSequinEnd()) {
      int dx = 0;
      int dy = 0;
      for (int k = end + 1; k < stitchCount_; ++k) {
        const HStitch& ahead = work_[k];
        if (ahead.isJump()) {
          dx += getDeltaX(k);
          dy += getDeltaY(k);
          continue;
        }
        if (ahead.isSequinStart()) {
          encoder->setInCombineSequinCommands(std::abs(dx) < 256 && std::abs(dy) < 256 ? 1 : 0);
        }
        break;
      }
    }

    // A trim written as jumps: when the move to the next stitch is cut into pieces, the trim
    // group ends one piece before the next stitch, so that the trim's jumps are followed by
    // a single move to it.
    if ((v.isJumpTrim() || (trimAsJump != 0 && (v.isTrim() || v.isUpperTrim()))) &&
        end + 1 < stitchCount_ && work_[end + 1].getPoint() != work_[end].getPoint()) {
      const std::uint8_t nextFlags = work_[end + 1].getFlags();
      work_[end + 1].setFlags(StitchCode::Jump);
      HStitch w;
      makeGroupHead(w, i, end + 1);
      const std::span<const HStitch> wReal = groupReal(i, end + 1);
      if (encoder->needResplit(w, wReal, 1, 1)) {
        const int n = encoder->splitIntoJumps(pieces_, w, wReal, 1, 1);
        if (n > 1 && n <= pieces_.length() && !work_[end].isPreserved()) {
          const int piece = options.getInsertBlankStitchAfterTrim() ? n - 1 : n - 2;
          work_[end].setPoint(pieces_[piece].getPoint());
          makeGroupHead(v, i, end);
        }
      }
      work_[end + 1].setFlags(nextFlags);
    }

    if (v.isEndRewind()) {
      if (options.getReturnToFirstNeedleAtEnd()) {
        // Back to the first needle before the end; skipped while no design has begun when the
        // end is on the first needle already.
        HStitch change(pos.x, pos.y, StitchCode::ChangeNeedle, 0);
        const int r = encoder->encodeGroup(change, {}, afterTrim, v.getColor() == 0 ? 1 : 0);
        if (r == kEncodeRefused) return r;
        if (r == kEncodeOk) {
          const int inserted = replaceByWritten(change, *encoder, i, i - 1) - i + 1;
          i += inserted;
          end += inserted;
          cleanedUpTo += inserted;
        }
        // The end and the movements it merges are written on the first needle.
        v.setColor(0, false);
        if (end > i) {
          for (int k = i; k <= end; ++k)
            work_[k].setColor(0, false);
        }
      } else if (options.getJumpBeforeEnd() && afterTrim == 0 && v.getPoint() != pos) {
        // The move to the end goes after a trim. `replaceFirst..replaceLast` is what the trim
        // stands for in the design (empty for a new one).
        HStitch cut;
        const int replaceFirst = i;
        int replaceLast = i - 1;
        if (trimAsJump == 0) {
          cut = HStitch(pos.x, pos.y, StitchCode::Trim);
        } else if (i == end) {
          cut = HStitch(v.xval(), v.yval(), StitchCode::JumpTrim);
        } else {
          work_[i].setFlags(StitchCode::JumpTrim);
          makeGroupHead(cut, i, end - 1);
          replaceLast = end - 1;
        }
        cut.setColor(v.getColor(), false);
        if (replaceLast > replaceFirst) {
          for (int k = replaceFirst; k <= replaceLast; ++k)
            work_[k].setColor(v.getColor(), false);
        }
        std::uint8_t effectFlag = 0;
        std::uint32_t effectColour = 0;
        HString effectId;
        v.getEffectInfo(effectFlag, effectColour, effectId);
        cut.setEffectInfo(effectFlag, effectColour, effectId);
        afterTrim = 1;
        const int r = encoder->encodeGroup(cut, groupReal(replaceFirst, replaceLast), 0, 0);
        if (r != kEncodeOk) return r;

        const int oldLength = replaceLast - replaceFirst + 1;
        int newLength = 0;
        if (cut.isAutoCleaned()) {
          work_.remove(replaceFirst, oldLength);
          stitchCount_ -= oldLength;
        } else {
          newLength = replaceByWritten(cut, *encoder, replaceFirst, replaceLast) - replaceFirst + 1;
        }
        const int lengthChange = newLength - oldLength;
        i = replaceFirst + newLength;
        end += lengthChange;
        cleanedUpTo += lengthChange;
        if (replaceLast >= replaceFirst) makeGroupHead(v, end, end);
        pos = cut.getPoint();
      }
    }

    // A laser that goes off only to come on again after some jumps pauses instead.
    if (encoder->isRealOutput() && v.isLaserOff()) {
      int k = end + 1;
      while (k < stitchCount_ && work_[k].isJumping())
        ++k;
      if (k < stitchCount_ && work_[k].isLaserOn()) v.setFlags(StitchCode::LaserPause);
    }

    const int r = encoder->encodeGroup(v, groupReal(i, end), afterTrim, 0);
    if (r != kEncodeOk) return r;

    if (v.isTrim() || v.isUpperTrim() || v.isJumpTrim() || v.isColorChange() || v.isLaserOn()) {
      afterTrim = 1;
    } else if (v.isPenetrationStitch()) {
      afterTrim = 0;
    }

    if (v.isAutoCleaned()) {
      const int removed = end - i + 1;
      work_.remove(i, removed);
      stitchCount_ -= removed;
      cleanedUpTo -= removed;
    } else {
      const int last = replaceByWritten(v, *encoder, i, end);
      cleanedUpTo += last - end;
      pos = v.getPoint();
      i = last + 1;
    }
  }
  return kEncodeOk;
}

void StitchFilter::makeGroupHead(HStitch& out, int first, int last) const {
  if (last <= first) {
    out.copyStitch(at(first), 0);
    return;
  }
  int commandIndex = last;
  while (commandIndex >= first && detail::isJumpOrNeedleUp(at(commandIndex)))
    --commandIndex;
  if (commandIndex < first) commandIndex = last;
  out.copyStitch(at(commandIndex), 0);
  out.setPoint(at(last).getPoint());
}

std::span<const HStitch> StitchFilter::groupReal(int first, int last) {
  if (last <= first) return {};
  return work_.range(first, last);
}

void StitchFilter::virtualizeStitch(HStitch& out, int first, int last) {
  DesignScope scope(*this);
  makeGroupHead(out, first, last);
  if (last <= first) return;
  HXArray<HStitch> real;
  real.setAllocSize(last - first + 1);
  for (int k = first; k <= last; ++k)
    real.add(HStitch(work_[k], 0));
  out.setRealStitches(std::move(real));
}

void StitchFilter::markJumpRunAsTrim(int start) {
  if (jumpsPerTrim <= 0 || !work_[start].isJump()) return;
  // A run is judged once, where it starts: a group that starts inside it (after a blank jump
  // ended the one before) would otherwise scan the rest of the run again.
  if (start > 0 && detail::isJumpOrNeedleUp(work_[start - 1])) return;
  HCoord<short> previous = start > 0 ? work_[start - 1].getPoint() : startPoint_;
  int moving = 0;
  int k = start;
  for (; k < stitchCount_ && detail::isJumpOrNeedleUp(work_[k]); ++k) {
    if (work_[k].getPoint() != previous) ++moving;
    previous = work_[k].getPoint();
  }
  if (moving < jumpsPerTrim) return;
  // A run that ends in a trim is written as that trim already.
  if (k < stitchCount_ && (work_[k].isTrim() || work_[k].isUpperTrim() || work_[k].isJumpTrim())) {
    return;
  }
  work_[start].setFlags(StitchCode::Trim);
}

int StitchFilter::findGroupEnd(int start, int preserveJumps, int trimAsJump, int keepBlankJumps) {
  DesignScope scope(*this);
  int command = -1;
  int trim = -1;
  int k = start;
  for (; k < stitchCount_; ++k) {
    HStitch& s = work_[k];
    if (detail::isJumpOrNeedleUp(s)) {
      if (preserveJumps != 0) break;
      if (keepBlankJumps != 0 && (k == 0 || s.getPoint() == work_[k - 1].getPoint())) break;
      continue;
    }
    const bool trimOrUpperTrim = s.isTrim() || s.isUpperTrim();
    if (trimOrUpperTrim && trimAsJump == 0) {
      if (trim < 0) {
        trim = k;
        continue;
      }
      if (command < 0) break;
      // A trim wins over a pending jump trim.
      work_[command].setFlags(StitchCode::Jump);
      command = -1;
      trim = k;
      continue;
    }
    if (s.isJumpTrim() || trimOrUpperTrim) {
      if (command < 0 && trim < 0) {
        command = k;
      } else {
        s.setFlags(StitchCode::Jump);
      }
      continue;
    }
    break;
  }
  if (k >= stitchCount_) return stitchCount_ - 1;
  return trim >= 0 || command >= 0 ? k - 1 : k;
}

}  // namespace stitchkit
