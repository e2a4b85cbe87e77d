#pragma once

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
