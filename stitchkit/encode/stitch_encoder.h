#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stop_info.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/geometry.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// Results of the encoder sending operations.
inline constexpr int kEncodeOk = 0;       // written, or nothing to write
inline constexpr int kEncodeSkipped = 2;  // the stitch is not written
inline constexpr int kEncodeRefused = 3;  // the stream refused a write, or the format cannot
                                          // represent the record

// Chenille mode the machine is in.
enum ChenilleModeType : int { kChenilleNone = 0, kChenilleMoss = 1, kChenilleChain = 2 };

// Machine state carried from one segment of a design to the next when a design is written in
// several parts.
class EncoderState {
 public:
  // No chenille, no device mode, position (0,0), needle 1, trimmed.
  EncoderState() = default;
  EncoderState(ChenilleModeType chenilleMode, int changeover, int borer, int sequin, int bead,
               int laser, HCoord<short> currentPosition, int currentNeedle, int trimmed,
               HCoord<short> lastPenetration, int chenilleHeight, int prohibitedATH);

  ChenilleModeType getChenilleMode() const { return chenilleMode_; }
  void setChenilleMode(ChenilleModeType mode) { chenilleMode_ = mode; }
  int getChenilleHeight() const { return chenilleHeight_; }
  // Heights 0 to 9 are stored as given, anything else as 0.
  void setChenilleHeight(int height) { chenilleHeight_ = height >= 0 && height <= 9 ? height : 0; }
  int isDoingChangeover() const { return changeover_; }
  void setDoingChangeover(int on) { changeover_ = on; }
  int isDoingBorer() const { return borer_; }
  void setDoingBorer(int on) { borer_ = on; }
  int isDoingSequin() const { return sequin_; }
  void setDoingSequin(int on) { sequin_ = on; }
  int isDoingBead() const { return bead_; }
  void setDoingBead(int on) { bead_ = on; }
  int isDoingLaser() const { return laser_; }
  void setDoingLaser(int on) { laser_ = on; }
  int isProhibitedATH() const { return prohibitedATH_; }
  void setProhibitedATH(int on) { prohibitedATH_ = on; }
  HCoord<short> getCurrentPosition() const { return currentPosition_; }
  void setCurrentPosition(HCoord<short> p) { currentPosition_ = p; }
  // 1-based needle.
  int getCurrentNeedle() const { return currentNeedle_; }
  void setCurrentNeedle(int needle) { currentNeedle_ = needle; }
  int hasTrimmed() const { return trimmed_; }
  void setTrimmed(int on) { trimmed_ = on; }
  // Set by the caller only: the stitch before the segment is a command.
  int isCurCmdStc() const { return curCmdStc_; }
  void setCurCmdStc(int on) { curCmdStc_ = on; }
  // (0,0) while trimmed is set.
  HCoord<short> getLastPenetration() const { return trimmed_ ? HCoord<short>() : lastPenetration_; }
  void setLastPenetration(HCoord<short> p) { lastPenetration_ = p; }
  // Effect colour: present when the low four bits of the flag are 1.
  bool hasEffectColour() const { return (effectFlag_ & 0x0F) == 1; }
  void getEffectInfo(std::uint8_t& flag, std::uint32_t& colour, HString& id) const {
    flag = effectFlag_, colour = effectColour_, id = effectId_;
  }
  void setEffectInfo(std::uint8_t flag, std::uint32_t colour, const HString& id) {
    effectFlag_ = flag, effectColour_ = colour, effectId_ = id;
  }

 private:
  ChenilleModeType chenilleMode_ = kChenilleNone;
  int chenilleHeight_ = 0;
  int changeover_ = 0;
  int borer_ = 0;
  int sequin_ = 0;
  int bead_ = 0;
  int laser_ = 0;
  int prohibitedATH_ = 0;
  HCoord<short> currentPosition_;
  int currentNeedle_ = 1;
  int trimmed_ = 1;
  int curCmdStc_ = 0;
  HCoord<short> lastPenetration_;
  std::uint8_t effectFlag_ = 0;
  std::uint32_t effectColour_ = 0;
  HString effectId_;
};

// Writes stitch records of one machine format.
//
// This base does everything that is the same for all formats: whole-design and per-segment
// statistics, the "current" stitch (needle position and colour), rounding of moves to the
// machine's granularity with the error carried forward, dropping or converting commands the
// target cannot express, the stop table of the system's own stitch file, where a command goes
// relative to its move and how long moves are cut into jumps along the stitches' path, and
// the record of what was really written for each input stitch. A format supplies
// vSendHardStitch (one record) and vSendSoftStitch (one command as records), and optionally
// the header, trailer and segment hooks.
//
// Calling order: construct; setBytestream (optional: without a stream nothing is written but
// statistics, stop table and the emitted records are still produced); setMakeStopTable
// (optional); beginDesign; encodeStitch per stitch (beginSegment/endSegment between parts of a
// design); endDesign; read getStats, getSegmentStats, getStopTable; flush.
//
// The encoder keeps a pointer to the caller's option record, which must outlive it. One
// encoder is used by one thread at a time. A flag "a design has begun" is kept per thread and
// carries over from one design to the next (see encodeStitch's skip argument).
class StitchEncoder {
 public:
  explicit StitchEncoder(const StitchOptions& options);
  StitchEncoder(const StitchEncoder&) = default;
  StitchEncoder& operator=(const StitchEncoder&) = delete;
  virtual ~StitchEncoder();

  // Resets tables and statistics, then outputHeader, beginSegment, vBeginDesign. `origin` is
  // the design centre that extra trim penetrations step towards.
  int beginDesign(HCoord<short> start, HCoord<short> origin, int forceResplit);
  int beginSegment(const EncoderState& state, HCoord<short> origin, int forceResplit);
  // Encodes one stitch. `afterTrim` is non-zero when a trim, colour change or laser-on has been
  // encoded since the last penetration. With `skipUnlessBegun`, nothing happens and 2 is
  // returned while no design has begun on this thread. On return `s` carries what was really
  // written for it as its real stitches, except when that is one record of `s` itself (same
  // point, command, colour, data word and sequin head): then it carries none. Returns
  // kEncodeOk, kEncodeSkipped or kEncodeRefused.
  int encodeStitch(HStitch& s, int afterTrim, int skipUnlessBegun);
  // As encodeStitch for a stitch whose real stitches are given apart, as `real` (a virtual
  // stitch the stitch filter keeps as a range of its design); any real stitches of `s` itself
  // are ignored. What was written is not attached to `s` but left in lastWritten() until the
  // next stitch.
  int encodeGroup(HStitch& s, std::span<const HStitch> real, int afterTrim, int skipUnlessBegun);
  // Writes leading stitches of `run` as encodeGroup(s, {}, afterTrim, 0) writes a plain
  // stitch whose move needs neither rounding nor cutting: as one record of itself, each a
  // group of its own. Goes as far as the format writes such stitches in bulk and leaves the
  // rest, from the first it cannot take, to encodeGroup. `written` tells how many were
  // written. Returns kEncodeOk, or kEncodeRefused when the stream refused them.
  int encodePlainStitches(std::span<const HStitch> run, int afterTrim, int& written);
  // The next stitch of such a run when its move is too long for one record: a plain stitch
  // cut as encodeGroup cuts it, into jumps along the straight move and the stitch itself, when
  // nothing else about it needs the group's steps. `pieces` then holds what was written (the
  // jumps, then the stitch, as encodeGroup leaves them in lastWritten()); it is left empty
  // when the stitch must go to encodeGroup. Returns kEncodeOk, or kEncodeRefused when the
  // stream refused the records.
  int encodeCutPlainStitch(const HStitch& s, int afterTrim, HXArray<HStitch>& pieces);
  // The records written for the last stitch encoded.
  const HXArray<HStitch>& lastWritten() const { return emitted; }
  // True when the last stitch encoded, `s`, was written as nothing or as exactly one record of
  // itself (same point, command, colour, data word and sequin head).
  bool wasWrittenAsItself(const HStitch& s) const;
  int endSegment(EncoderState* state);
  int endDesign(EncoderState* state);
  virtual int flush();

  const StitchStats& getStats() const { return stats; }
  const StitchStats& getSegmentStats() const { return segmentStats; }
  // Whether the segment statistics are kept (they are by default). A design written in one
  // piece has no use for them, and keeping them costs a second update per stitch.
  void setKeepSegmentStats(bool on) { keepSegmentStats = on; }
  // Copies the stop table and its comments; returns the number of entries.
  int getStopTable(HXArray<StopInfo>& stops, HXArray<HString>& comments) const;
  void setMakeStopTable(int on) { makeStopTable = on; }
  void setSeparateCommands(int on) { separateCommands = static_cast<std::uint8_t>(on ? 1 : 0); }
  int getSeparateCommands() const { return separateCommands; }
  // True while jumps must pass through as they stand (a device mode is on, or the options
  // preserve jumps or copy the original).
  int preserveJumps() const;
  // True when a byte stream has been given.
  virtual bool isRealOutput() const { return false; }

  // Splitting (the same for every format). Each operation reads the real stitches of `s`,
  // or in its second form those given as `real` instead.
  int needResplit(const HStitch& s, int trim, int atGroupEnd) {
    return needResplit(s, realStitchesOf(s), trim, atGroupEnd);
  }
  int needResplit(const HStitch& s, std::span<const HStitch> real, int trim, int atGroupEnd);
  int countSplits(const HStitch& s) { return countSplits(s, realStitchesOf(s)); }
  int countSplits(const HStitch& s, std::span<const HStitch> real);
  int splitIntoJumps(HXArray<HStitch>& out, const HStitch& s, int trim, int extra) {
    return splitIntoJumps(out, s, realStitchesOf(s), trim, extra);
  }
  virtual int splitIntoJumps(HXArray<HStitch>& out, const HStitch& s, std::span<const HStitch> real,
                             int trim, int extra);
  virtual void setInCombineSequinCommands(int on);
  virtual void setSplitStitchToJumps();

  // The "a design has begun" flag of this thread.
  static int isDesignBegun();
  static void setDesignBegun(int on);

 protected:
  virtual int vBeginDesign(HCoord<short> start);
  virtual int vEndDesign(EncoderState* state);
  virtual int vBeginSegment(const EncoderState& state);
  virtual int vEndSegment(EncoderState* state);
  virtual int vSendHardStitch(const HStitch& s);
  virtual int outputHeader();
  virtual int outputTrailer();
  virtual int vSendSoftStitch(HStitch& s) = 0;
  // The records of leading stitches of `run`, for a format that writes plain stitches in bulk:
  // each stitch is normal without attributes, and its move from the one before (the first's
  // from `current`) is not longer than `limit` (0: no limit), or the format stops before it;
  // it also stops before a move its plain record cannot carry. Called only once the first
  // record is out and while `current` is a normal stitch. `written` tells how many stitches
  // were written; returns kEncodeOk or kEncodeRefused. The base writes none.
  virtual int vSendPlainStitches(std::span<const HStitch> run, int limit, int& written);
  // The records of a plain stitch's move cut at `points`, for a format that writes them in
  // bulk: a jump to each point but the last, then the stitch to the last. Returns
  // kEncodeSkipped, having written nothing, when the format does not or a record cannot carry
  // its move; else kEncodeOk or kEncodeRefused. The base writes none.
  virtual int vSendPieces(std::span<const HCoord<short>> points);

  // Whether a move of (dx, dy) is longer than `limit` (0 or less: no limit).
  static bool exceeds(long long dx, long long dy, long long limit) {
    return limit >= 1 && dx * dx + dy * dy > limit * limit;
  }

  // The real stitches of `s` as a run (empty when it has none).
  static std::span<const HStitch> realStitchesOf(const HStitch& s) {
    const HXArray<HStitch>& real = s.getRealStitches();
    return {real.data(), static_cast<std::size_t>(real.length())};
  }

  // Non-zero when the stitch is dropped (after granularity rounding and the drop rule).
  // `real` are the real stitches of `c`.
  int filterStitch(HStitch& c, std::span<const HStitch> real);
  int filterStitch(HStitch& c) { return filterStitch(c, realStitchesOf(c)); }
  // Rounds the move from the needle to the granularity.
  void fixStitch(HStitch& c);
  short granulate(short v) const;
  // One record through the format, with penetration style and command conversions.
  int sendHardStitch(const HStitch& s);
  // One command, possibly as several records (two and three stops, coded drops, stop table).
  int sendSoftStitch(HStitch& s);
  // Places the command of `c` relative to its move and cuts the move into jumps as needed.
  int sendStitchWithJumps(HStitch& c, std::span<const HStitch> real, int afterTrim);
  int sendStitchWithJumps(HStitch& c, int afterTrim) {
    return sendStitchWithJumps(c, realStitchesOf(c), afterTrim);
  }
  // Writes the record `c` made for the command `s`: carrying the move to `s` when
  // `carriesMove`, otherwise in place after a jump (a copy of `s`) to `s`'s point. Returns the
  // first non-zero result.
  int sendCommandRecord(const HStitch& s, const HStitch& c, bool carriesMove);

  // The penetration pattern: `count` points (at least 2) from `base` with step `step`, towards
  // the design centre `origin`, appended to `out`.
  static void addPenetrationPattern(HXArray<HCoord<short>>& out, int count, HCoord<short> base,
                                    int step, HCoord<short> origin);

  // The path of a stitch: `current`'s point and the stitch's point, or for a
  // virtual stitch `current`'s point, the bends of its real stitches (points within 10 units
  // of the straight line merged) and its last real stitch. Replaces `path`.
  void buildPath(const HStitch& s, std::span<const HStitch> real,
                 HXArray<HCoord<short>>& path) const;
  void buildPath(const HStitch& s, HXArray<HCoord<short>>& path) const {
    buildPath(s, realStitchesOf(s), path);
  }
  // The leg algorithm: re-splits `path` into about `n` points whose steps are at
  // least `minStep` and at most `maxAxis` per axis and `maxLength` long (0: no limit), snapped
  // to `granularity`; with `penetrateMissing`, missing points become a penetration pattern
  // towards `centre` at the start, otherwise the path keeps the pieces its legs need. The new
  // points replace `path`.
  void resplitPath(HXArray<HCoord<short>>& path, int n, int minStep, int maxAxis, int maxLength,
                   int granularity, HCoord<short> centre, bool penetrateMissing);
  // The drop rule of filterStitch: non-zero when `c` is dropped (it is then auto-cleaned);
  // otherwise `c` has become a movement command and is kept.
  int applyDropRule(HStitch& c, std::span<const HStitch> real);

  // State shared with the format encoders.
  const StitchOptions* options;
  StitchStats stats;
  StitchStats segmentStats;
  int doingChangeover = 0;
  int doingBorer = 0;
  int doingSequin = 0;
  int doingBead = 0;
  int doingLaser = 0;
  int prohibitedATH = 0;
  int started = 0;
  HStitch current;
  int anyOutput = 0;
  int anyStitchOutput = 0;
  int chenilleMode = kChenilleNone;
  int chenilleHeight = 0;
  HXArray<HStitch> emitted;
  HXArray<StopInfo> stopTable;
  HXArray<HString> stopComments;
  int makeStopTable = 0;
  int stitchesAtLastStop = 0;
  int lengthAtLastStop = 0;
  int outputSet = 0;
  HCoord<short> origin;
  int forceResplit = 0;
  std::uint8_t separateCommands = 1;
  bool keepSegmentStats = true;

 private:
  // True when writing `s` comes down to handing it to sendSoftStitch as it is: a plain stitch
  // whose move needs neither rounding nor cutting, with no blank stitch to add before it.
  bool isPlainWrite(const HStitch& s, std::span<const HStitch> real, int afterTrim) const;
  // Whether plain stitches may be written in bulk now (encodePlainStitches,
  // encodeCutPlainStitch).
  bool plainRunAllowed(int afterTrim) const;
  // Feeds the statistics with what was written for `s` when `result` is kEncodeOk.
  void updateStats(const HStitch& s, int result);
  // Writing of sendStitchWithJumps when the move is not cut, and when it is.
  int sendWithoutSplit(HStitch& c, std::span<const HStitch> real, int atDestination, int separate,
                       int trimAsJumps, int afterTrim);
  int sendWithSplit(HStitch& c, std::span<const HStitch> real, int atDestination, int separate,
                    int trimAsJumps, int afterTrim);

  // Scratch arrays reused from stitch to stitch (no allocation per stitch once grown).
  HXArray<HStitch> splitPieces_;
  HXArray<HCoord<short>> pathScratch_;
  HXArray<HCoord<short>> pointScratch_;
  HXArray<int> legCounts_;
  HXArray<double> legLengths_;
};

// An encoder that writes to an output byte stream. Does not own the stream, which must
// outlive the encoder.
class BytestreamStitchEncoder : public StitchEncoder {
 public:
  using StitchEncoder::StitchEncoder;

  void setBytestream(OutputBytestream& out) {
    stream = &out;
    outputSet = 1;
  }
  bool isRealOutput() const override { return outputSet != 0 && stream != nullptr; }
  // kEncodeOk without a stream or when the stream's flush succeeds, else kEncodeRefused.
  int flush() override;

 protected:
  // Writes one byte: kEncodeOk (also without a stream) or kEncodeRefused.
  int outputByte(unsigned char byte) {
    if (stream == nullptr) return kEncodeOk;
    return stream->outputByte(byte) == kStreamOk ? kEncodeOk : kEncodeRefused;
  }
  // Writes one record of `count` bytes in one call: kEncodeOk (also without a stream) or
  // kEncodeRefused (the bytes that fitted are written).
  int outputRecord(const std::uint8_t* bytes, std::size_t count) {
    if (stream == nullptr) return kEncodeOk;
    return stream->outputBytes(bytes, count) == kStreamOk ? kEncodeOk : kEncodeRefused;
  }
  // What vSendPlainStitches and vSendPieces do for a format whose records of a move take at
  // most `MaxSize` bytes: `record(dx, dy, jump, bytes)` writes the record of a stitch (or,
  // with `jump`, of a jump) moving by (dx, dy) and returns its length, or 0 for a move it
  // cannot carry. The records of a batch are collected and handed to the stream in one call.
  template <std::size_t MaxSize, typename Record>
  int sendPlainRecords(std::span<const HStitch> run, int limit, int& written, Record record) {
    std::array<std::uint8_t, kRecordBatch * MaxSize> bytes;
    const std::size_t count = run.size() < kRecordBatch ? run.size() : kRecordBatch;
    int x = current.xval();
    int y = current.yval();
    std::size_t used = 0;
    std::size_t n = 0;
    for (; n < count; ++n) {
      const HStitch& s = run[n];
      const int dx = s.xval() - x;
      const int dy = s.yval() - y;
      if (s.getFlags() != StitchCode::Normal || !s.isPlain() || exceeds(dx, dy, limit)) break;
      const std::size_t size = record(dx, dy, false, bytes.data() + used);
      if (size == 0) break;
      used += size;
      x = s.xval();
      y = s.yval();
    }
    written = static_cast<int>(n);
    return n == 0 ? kEncodeOk : outputRecord(bytes.data(), used);
  }
  template <std::size_t MaxSize, typename Record>
  int sendPieceRecords(std::span<const HCoord<short>> points, Record record) {
    if (points.empty() || points.size() > kRecordBatch) return kEncodeSkipped;
    std::array<std::uint8_t, kRecordBatch * MaxSize> bytes;
    HCoord<short> at = current.getPoint();
    std::size_t used = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const std::size_t size = record(points[i].x - at.x, points[i].y - at.y, i + 1 < points.size(),
                                      bytes.data() + used);
      if (size == 0) return kEncodeSkipped;
      used += size;
      at = points[i];
    }
    return outputRecord(bytes.data(), used);
  }
  static constexpr std::size_t kRecordBatch = 256;

  OutputBytestream* stream = nullptr;
};

// Creates encoders of one format. The caller owns what createEncoder returns (null when
// memory runs out).
class StitchEncoderFactory {
 public:
  virtual ~StitchEncoderFactory() = default;
  virtual StitchEncoder* createEncoder(StitchEncoderOptions& options) = 0;
};

}  // namespace stitchkit
