#pragma once

#include <cmath>
#include <span>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stop_info.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/geometry.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_list.h"

namespace stitchkit {

// Results of every decoder reading operation.
inline constexpr int kDecodeOk = 0;          // a stitch was delivered
inline constexpr int kDecodeEnd = 2;         // end of data
inline constexpr int kDecodeMalformed = 3;   // a record is not well formed
inline constexpr int kDecodeFailure = 4;     // no stream, a read failure, nothing to deliver
inline constexpr int kDecodeOutOfRange = 5;  // a move takes the needle outside a stitch's range

// How the stitch data of a design ended.
enum class DataEnding {
  kNotRead,       // nothing was decoded yet
  kEndRecord,     // the design's end record
  kEndOfData,     // the data ran out without an end record
  kBrokenRecord,  // a record that is not well formed
  kOutOfRange,    // a move that takes the needle outside the range a stitch holds
  kReadFailure,   // the data could not be read
};

struct DecodeEnding {
  DataEnding how = DataEnding::kNotRead;
  long offset = -1;  // where the broken or out-of-range record starts in the data; -1: unknown
};

// Turns the records of one machine format into stitch records.
//
// A format decoder supplies "hard" stitches, one file record each, through vGetHardStitch.
// This base turns them into the "soft" stitches callers receive: it looks ahead and pushes
// back, gathers runs of jumps and recognises trims written as jump loops, pairs stops,
// decodes sequin and bead drops whose head is coded by repetition, assigns needle colours,
// tracks the device modes (sequin, bead, borer, laser, change-over, chenille), judges blank
// stitches, learns three lengths and keeps the design statistics.
//
// Use: beginDesign, then decodeStitch until it returns non-zero, then endDesign when it
// returned kDecodeEnd. The first non-zero result of the format's record reader is sticky:
// once reported it is returned on every later read, so look-ahead past the end never reads
// the stream again.
//
// The decoder keeps a pointer to the caller's option record, which must outlive it. It reads
// the record throughout and writes three learned lengths back into it: MaxLength (largest
// single-axis move), CleanLength (shortest normal stitch) and SplitJumpLength (largest jump
// move).
class StitchDecoder {
 public:
  explicit StitchDecoder(StitchOptions& options);
  StitchDecoder(const StitchDecoder&) = default;
  StitchDecoder& operator=(const StitchDecoder&) = delete;
  virtual ~StitchDecoder();

  // Starts a design at `start` with needle `needle` (1-based). Returns vBeginDesign's result.
  int beginDesign(HCoord<short> start, int needle);
  // Delivers the next soft stitch: kDecodeOk, kDecodeEnd, kDecodeMalformed or
  // kDecodeFailure. After the end command ("Design End") has been delivered it returns
  // kDecodeEnd.
  virtual int decodeStitch(HStitch& s);
  // Closes the statistics; returns vEndDesign's result.
  int endDesign();
  // Delivers into `out` a run of plain stitches (needle movements without a command), exactly
  // as decodeStitch would deliver them one by one, as far as the format can read them in bulk;
  // returns how many. 0 says nothing of the end of the data: decodeStitch delivers the next
  // stitch, whatever it is, and tells how decoding ended.
  int decodePlainStitches(std::span<HStitch> out) {
    return plainRunReady() ? vDecodePlainStitches(out) : 0;
  }

  const StitchStats& getStats() const { return stats_; }
  // True once the design's end record has been delivered.
  bool endRecordSeen() const { return designEnded_ != 0; }
  // Where the record that stopped decoding starts (kDecodeMalformed, kDecodeOutOfRange), -1
  // when no record did or the data cannot tell.
  long failedRecordOffset() const { return failedAt_; }
  // Per-stop details applied to the stops read, in order (the system's own stitch file keeps
  // them). The table survives beginDesign; resetStopTable empties it.
  void setStopTable(const HXArray<StopInfo>& stops, const HXArray<HString>& names);
  void resetStopTable();

  // 1 after construction; the stitch filter clears it for the formats whose files carry no
  // extended records. Only the Barudan decoder reads it.
  void setExtendedVariant(int on) { extendedVariant_ = on ? 1 : 0; }
  int getExtendedVariant() const { return extendedVariant_; }

 protected:
  virtual int vBeginDesign(HCoord<short> start, int needle);
  virtual int vEndDesign();
  // Format-specific treatment of a soft stitch; a non-zero result is returned to the caller.
  virtual int vGetSoftStitch(HStitch& s);
  // Reads one record into `s` (absolute position and command code).
  virtual int vGetHardStitch(HStitch& s);
  // Bulk reading of plain stitches, called only while nothing is pending (no pushed-back
  // record, no gathered jump run, no device mode). A format that can reads consecutive plain
  // records through takePlainStitches. The format's vGetSoftStitch must leave stitches and
  // jumps as they are. The base reads none.
  virtual int vDecodePlainStitches(std::span<HStitch> /*out*/) { return 0; }

  // One record as a format's bulk reader sees it: a normal stitch or a jump moving (dx, dy),
  // `size` bytes long.
  struct PlainRecord {
    int dx = 0;
    int dy = 0;
    bool jump = false;
    std::size_t size = 0;
  };
  // Stitches as decodeStitch delivers them (the needle's colour, the learned lengths, the
  // statistics) for the records `read(at, record)` finds at byte offsets at = 0, ... of the
  // data in hand, until it returns false (a record it cannot read that way: a command, one the
  // data in hand cuts) or `out` is full. Takes a jump only when a normal stitch follows it: a
  // jump on its own forms no trim, a run of jumps is left to the full rules. Stops without
  // taking it at a move that leaves the range of a stitch or, when blanks are judged, a stitch
  // that goes nowhere. `consumed` receives the bytes of the records taken; returns how many.
  // Takes none when the last stitch delivered is not where the last record left the needle.
  template <typename Read>
  int takePlainStitches(std::span<HStitch> out, Read read, std::size_t& consumed);

  // The next hard stitch: from the push-back stack, or read (applying the stop table).
  int getNextHardStitch(HStitch& s);
  // Gives a hard stitch back; the stitch pushed last is read first.
  void pushHardStitch(const HStitch& s) { pushback_.push(s); }

  // The soft-stitch rules: 0 accepts `s`, 1 rejects it (its real stitches are dropped and
  // nothing is learned from it, but it is still delivered).
  int filterStitch(HStitch& s);
  // Sequin head coded by repeating a drop-sequin record at one point. Returns 1 when further
  // records were consumed into `s`.
  int DropSequinProcessing(HStitch& s, int depth);
  // Combined sequin and bead drops coded by repetition. Returns 1 when further records were
  // consumed into `s`.
  int DropSequinBeadProcessing(HStitch& s, int depth);

  // Puts `s` at `from` moved by (dx, dy): kDecodeOk, or kDecodeOutOfRange (`s` unchanged) when
  // a coordinate would leave the range of a stitch's 16 bits. A design that wide is not one a
  // machine sews; wrapping would turn it into a different design without a word.
  static int moveFrom(const HStitch& from, int dx, int dy, HStitch& s) {
    const int x = from.xval() + dx;
    const int y = from.yval() + dy;
    if (x < kMinCoordinate || x > kMaxCoordinate || y < kMinCoordinate || y > kMaxCoordinate) {
      return kDecodeOutOfRange;
    }
    s.setPoint(static_cast<short>(x), static_cast<short>(y));
    return kDecodeOk;
  }
  void setFailedRecordOffset(long offset) { failedAt_ = offset; }

  StitchOptions& options() const { return *options_; }
  // The needle in use (1-based).
  int currentNeedle() const { return currentNeedle_; }
  const HStitch& lastStitch() const { return lastStitch_; }
  const HStitch& lastHardStitch() const { return lastHardStitch_; }
  bool isSequinMode() const { return sequinMode_ != 0; }
  bool isBeadMode() const { return beadMode_ != 0; }
  bool isBorerMode() const { return borerMode_ != 0; }
  bool isLaserMode() const { return laserMode_ != 0; }
  bool isChangeoverMode() const { return changeoverMode_ != 0; }
  // True while the stop table still holds an entry for the next stop read.
  bool stopTableHasEntry() const { return stopIndex_ < stopTable_.length(); }

 private:
  int getHardStitch(HStitch& s);
  int getSoftStitch(HStitch& s);
  bool plainRunReady() const {
    return !designEnded_ && hardStatus_ == 0 && runIndex_ >= run_.length() && pushback_.isEmpty() &&
           !(changeoverMode_ | sequinMode_ | beadMode_ | borerMode_ | laserMode_) &&
           !options_->getCopyOriginal();
  }
  // The longest move and the shortest stitch learned from a plain stitch's move.
  void learnPlainMove(int dx, int dy);
  void processSoftStitch(HStitch& s);
  void jumpTrimProcess(HXArray<HStitch>& run) const;
  bool isBlankKept() const;
  void filterStop(HStitch& s, bool& openedPair);
  void filterDropSequin(HStitch& s);

  StitchOptions* options_;
  int currentNeedle_ = 1;
  int designEnded_ = 0;
  StitchStats stats_;
  HStitch lastStitch_;
  HStitch lastHardStitch_;
  int firstStitchSeen_ = 0;
  int needleUp_ = 1;
  int sequinMode_ = 0;
  int beadMode_ = 0;
  int borerMode_ = 0;
  int laserMode_ = 0;
  int changeoverMode_ = 0;
  int athProhibited_ = 0;
  int chenilleMode_ = 0;
  int chenilleHeight_ = 0;
  HXArray<StopInfo> stopTable_;
  HXArray<HString> stopNames_;
  int stopIndex_ = 0;
  HStitch hardStitch_;
  HStack<HStitch> pushback_;
  int hardStatus_ = 0;
  HXArray<HStitch> run_;
  int runIndex_ = 0;
  int stopPairPending_ = 0;
  int extendedVariant_ = 1;
  long failedAt_ = -1;

  static constexpr int kMinCoordinate = -32768;
  static constexpr int kMaxCoordinate = 32767;
};

template <typename Read>
int StitchDecoder::takePlainStitches(std::span<HStitch> out, Read read, std::size_t& consumed) {
  consumed = 0;
  if (lastStitch_.getPoint() != lastHardStitch_.getPoint()) return 0;
  // The state the loop changes, in locals so that it stays in registers.
  StitchOptions& o = *options_;
  const unsigned short colour = static_cast<unsigned short>(currentNeedle_ - 1);
  int x = lastStitch_.xval();
  int y = lastStitch_.yval();
  int maxLength = o.getMaxLength();
  int clean = o.getCleanLength();
  int splitJumpLength = o.getSplitJumpLength();
  bool sewn = false;
  std::uint8_t lastCode = StitchCode::Normal;
  std::size_t at = 0;
  int n = 0;
  const int capacity = static_cast<int>(out.size());
  for (PlainRecord r; n < capacity && read(at, r); ++n) {
    if (r.jump) {
      PlainRecord next;
      if (!read(at + r.size, next) || next.jump) break;
    }
    const int nx = x + r.dx;
    const int ny = y + r.dy;
    if (nx != static_cast<short>(nx) || ny != static_cast<short>(ny)) break;
    if (!r.jump && (r.dx | r.dy) == 0 && clean != 0) break;
    x = nx;
    y = ny;
    lastCode = r.jump ? StitchCode::Jump : StitchCode::Normal;
    out[static_cast<std::size_t>(n)].assignPlain(static_cast<short>(x), static_cast<short>(y),
                                                 lastCode, colour);
    const int ax = r.dx < 0 ? -r.dx : r.dx;
    const int ay = r.dy < 0 ? -r.dy : r.dy;
    const int d = ax > ay ? ax : ay;
    if (d > maxLength) maxLength = d;
    if (r.jump) {
      if (d > splitJumpLength) splitJumpLength = d;
    } else {
      sewn = true;
      const long long squared = static_cast<long long>(ax) * ax + static_cast<long long>(ay) * ay;
      if (squared < static_cast<long long>(clean) * clean) {
        clean = static_cast<int>(std::sqrt(static_cast<double>(squared)));
      }
    }
    at += r.size;
  }
  if (n == 0) return 0;

  consumed = at;
  o.setMaxLength(static_cast<short>(maxLength > 32767 ? 32767 : maxLength));
  o.setCleanLength(static_cast<short>(clean));
  o.setSplitJumpLength(static_cast<short>(splitJumpLength > 32767 ? 32767 : splitJumpLength));
  stats_.updatePlainRun(out.first(static_cast<std::size_t>(n)));
  if (sewn) {
    firstStitchSeen_ = 1;
    needleUp_ = 0;
  }
  lastStitch_.assignPlain(static_cast<short>(x), static_cast<short>(y), lastCode, colour);
  lastHardStitch_.assignPlain(static_cast<short>(x), static_cast<short>(y), lastCode, colour);
  return n;
}

// A decoder that reads its records from an input byte stream. Does not own the stream, which
// must outlive the decoder (and any later use of it).
class BytestreamStitchDecoder : public StitchDecoder {
 public:
  using StitchDecoder::StitchDecoder;

  void setBytestream(InputBytestream& stream) { stream_ = &stream; }
  InputBytestream* getBytestream() const { return stream_; }

 protected:
  // Reads `count` bytes into buf[offset...]: kDecodeOk, kDecodeEnd when the data ends first,
  // kDecodeFailure on a read failure, a null buffer or stream, or negative arguments.
  int readBytes(unsigned char* buf, int offset, int count);
  // Reads one byte: kDecodeOk, kDecodeEnd or kDecodeFailure.
  int readByte(unsigned char& byte);
  // Notes that the record of `recordBytes` bytes just read stopped decoding; returns `result`.
  int failRecord(int result, int recordBytes) {
    const long at = stream_ == nullptr ? -1 : stream_->position();
    setFailedRecordOffset(at < recordBytes ? -1 : at - recordBytes);
    return result;
  }

 private:
  InputBytestream* stream_ = nullptr;
};

// Creates decoders of one format. The caller owns what createDecoder returns.
class StitchDecoderFactory {
 public:
  virtual ~StitchDecoderFactory() = default;
  virtual StitchDecoder* createDecoder(StitchOptions& options) = 0;
};

}  // namespace stitchkit
