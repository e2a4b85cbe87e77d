#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/encode/stitch_encoder.h"
#include "stitchkit/filter/working_design.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/model/stop_info.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/geometry.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// Results of the filter operations.
inline constexpr int kFilterOk = 0;
inline constexpr int kFilterFailure = -1;  // a coder failed; what was done so far is kept
inline constexpr int kFilterNoCoder = -2;  // the format has no coder

// Decoding reserves room for size / 3 + 16 stitches of a stream that can tell its size, but
// never for more than this many: a stream's size is not trusted to be that of a design.
inline constexpr int kMaxReservedStitches = 1 << 20;

// The decoders the filter can create, one per machine record layout.
enum class DecoderKind : std::uint8_t {
  kNone,          // the format has no decoder
  kDst,           // KorvanStitchDecoder
  kKvb,           // the KVB record decoder
  kBarudan,       // the Barudan record decoder
  kExp,           // the Exp record decoder
  kZangs,         // the Zangs record decoder
  kZskTransport,  // the ZSK transport stream decoder
};

// The decoder that reads files of `format`. `forHsf` asks for the records embedded in the
// system's own stitch file, where formats 29 and 51 have no decoder. kNone for formats
// without one.
DecoderKind decoderKindForFormat(HDiskFileFormat format, bool forHsf);

// The encoders the filter can create, one per machine record layout.
enum class EncoderKind : std::uint8_t {
  kNone,          // the format has no encoder
  kDst,           // KorvanStitchEncoder
  kVrzn,          // the VRZN variant of the DST encoder
  kKvb,           // the KVB record encoder
  kBarudan,       // the Barudan record encoder
  kExp,           // the Exp record encoder
  kZangs,         // the Zangs record encoder
  kZskTransport,  // the ZSK transport stream encoder
};

// The encoder that writes files of `format`; for format 0 the format type "Korvan VRZN"
// selects the VRZN variant. `withContainerFormats` is the choice of encodeStitches, which
// also writes formats 60 and 71 through the KVB encoder; the stitch-file and segment writers
// use the KVB encoder for format 36 only. kNone for formats without an encoder.
EncoderKind encoderKindForFormat(HDiskFileFormat format, const HString& formatType,
                                 bool withContainerFormats);

// Moves a whole design between a byte stream and a stitch container.
//
// The decode side picks the decoder for the options' FileFormat, runs it over the stream,
// collects every stitch it delivers into the container, optionally strips the non-sewing
// commands at both ends and takes over the decoder's statistics.
//
// The encode side picks the encoder for the options' FileFormat, removes stitches too short
// to sew (CleanShort, CleanLength) stretch by stretch, and walks the design group by group:
// each run of jumps with at most one trim-like command, with the stitch or command that ends
// it, is merged into one virtual stitch, placed, encoded, and replaced in the container by
// the records really written. After a write the container therefore holds the design as
// written (split jumps, inserted colour changes and trims, dropped commands) and the
// statistics describe it; this is so also when no stream is given.
//
// A filter works on the caller's container, option record and stream and owns none of them;
// it owns the decoder it created, which it keeps (for getDecoder) until the next decode or
// its own destruction. That decoder points to the stream and the option record, which must
// outlive any use of it. An encoder lives for one encode call only. Failures are results,
// never exceptions.
class StitchFilter {
 public:
  // Keeps `stitches`, records its length, starts at (0, 0) without a decoder. The statistics
  // are those of the stitches (recalcStats(1)), computed when first asked for.
  explicit StitchFilter(StitchWrapper& stitches);
  StitchFilter(const StitchFilter&) = delete;
  StitchFilter& operator=(const StitchFilter&) = delete;
  virtual ~StitchFilter();

  // --- Decoding -------------------------------------------------------------------------------

  // Replaces the container's contents by the design read from `stream` with the decoder for
  // options.getFileFormat(), starting with needle `needle` (1-based). The decoder writes the
  // MaxLength, CleanLength and SplitJumpLength it learns into `options`.
  // With StripBeginEnd set, trailing ends, jumps, needle-ups and trims and leading design
  // starts, jumps, needle-ups and trims are dropped and the statistics are computed from what
  // is left; otherwise they are the decoder's.
  // Returns kFilterOk when the data ended normally, kFilterFailure when a record was
  // malformed or the stream failed (the stitches before it stay in the container) and
  // kFilterNoCoder, with an empty container, when the format has no decoder.
  int decodeStitches(StitchOptions& options, int needle, InputBytestream& stream);

  // As decodeStitches, for the records embedded in the system's own stitch file: the stops
  // read take their real commands from `stops` and their comments from `stopNames`, in
  // order; a malformed record ends the design like the end of data (kFilterOk); nothing is
  // stripped and the statistics are always the decoder's.
  int decodeStitchesAsHsf(StitchOptions& options, const HXArray<StopInfo>& stops,
                          const HXArray<HString>& stopNames, int needle, InputBytestream& stream);

  // The decoder of the last decode, owned by this filter; null before the first decode and
  // after one whose format had no decoder.
  BytestreamStitchDecoder* getDecoder() const { return decoder_.get(); }

  // Replaces the container range first..last (inclusive; empty when last < first) by `s`
  // opened up into the machine stitches it stands for: its leading jumps and needle-ups, then
  // one stitch with the command of `s` carrying the middle of its real stitches, then its
  // trailing jumps and needle-ups. A stitch without real stitches, a drop sequin and a drop
  // bead take the range alone. `s` may be an element of the container. Returns the index of
  // the last element of the new range, or -1 when memory ran out (the container may then be
  // partly changed).
  // A step of the encode pipeline; public so that it can also be driven on its own.
  int devirtualizeStitch(HStitch& s, int first, int last);

  // --- Encoding -------------------------------------------------------------------------------

  // Writes the container to `out` with the encoder for options.getFileFormat(). A first
  // stitch that is a design start gives the start point and is not written. With a null
  // `out` nothing is written, but the container and the statistics are rewritten as if it
  // had been. The encoder keeps a reference to `options` while the call runs.
  // Returns kFilterOk; kFilterFailure when the container is empty, the encoder failed or the
  // stream refused a write (the container is left as far as it was rewritten); kFilterNoCoder
  // when the format has no encoder.
  int encodeStitches(const StitchOptions& options, OutputBytestream* out);

  // As encodeStitches, for the records embedded in the system's own stitch file: every stitch
  // is written, a leading design start included (it still gives the start point), commands
  // other than stitches and jumps are written as stops, and the stop table with the real
  // command behind each stop is copied into `stops` and `stopComments`.
  int encodeStitchesAsHsf(StitchOptions& options, HXArray<StopInfo>& stops,
                          HXArray<HString>& stopComments, OutputBytestream* out);

  // Writes the container as one segment of a design written in several parts that share the
  // machine state in `state`: the segment starts at the state's position and needle (with
  // `first`, as the beginning of the design), and `state` receives the machine state at its
  // end (with `last`, the end of the design is written). `forceResplit` makes the encoder cut
  // every merged move afresh. The statistics become those of the segment. Results as
  // encodeStitches.
  int encodeStitchSegment(EncoderState& state, int first, int last, StitchOptions& options,
                          int forceResplit, OutputBytestream* out);

  // With a non-zero value, the next encodes first trace the design's extents with preserved
  // jumps and stop at the start point. Returns the previous value.
  int setTraceDesign(int on);

  // The middle of the bounding box of all stitch points, each axis (min + max) / 2 truncated
  // towards zero; (0, 0) for an empty container.
  HCoord<short> getCentre() const;
  HCoord<short> getCentre();

  // --- Shared ---------------------------------------------------------------------------------

  const StitchStats& getStats() const;
  // How the stitch data of the last decode ended.
  const DecodeEnding& decodeEnding() const { return decodeEnding_; }
  StitchWrapper& getStitches() const { return stitches_; }
  // The container's length as last recorded by the filter.
  int getStitchCount() const { return stitchCount_; }
  // Computes the statistics afresh from all stitches of the container
  // (StitchStats::setupStitchStats with `countEmptyParent`, without thread per stitch and
  // feeding real stitches). Leaves reset statistics when memory runs out.
  void recalcStats(int countEmptyParent);

 protected:
  // Encodes the container from index `start` with `encoder`, which has begun its design or
  // segment. Takes the clean-up parameters from `options`, writes a first colour change when
  // `forceFirst` and ForceFirstColourChange ask for one, then cleans and encodes group by
  // group, replacing each group by what was written. `afterTrim` is in and out: a trim,
  // colour change or laser-on has been encoded since the last penetration. `cleanFlag`
  // spares the first normal stitch of the first stretch from the clean-up. `reserved` is
  // not read. Returns 0, -1 (no encoder, `start` outside the container, out of memory) or the
  // encoder's first non-zero result.
  int revirtualizeAndEncode(BytestreamStitchEncoder* encoder, int start, int forceFirst,
                            int reserved, const StitchOptions& options, int& afterTrim,
                            int cleanFlag);
  // Merges the stitches first..last into `out`. A single stitch is copied without real
  // stitches. A longer range gives a stitch with the command and attributes of its last
  // stitch that is neither a jump nor a needle-up (of its last stitch when all are), at the
  // point of its last stitch, carrying copies of all its stitches as real stitches.
  void virtualizeStitch(HStitch& out, int first, int last);
  // The last index of the group that starts at `start`: a run of jumps and needle-ups with at
  // most one trim-like command and, when there is none, the stitch that ends the run. Further
  // trim-like commands in the run are turned into jumps in the container. `preserveJumps`
  // ends a group at every movement; `trimAsJump` treats trims and upper trims like jump trims;
  // `keepBlankJumps` ends a group at a movement that does not move.
  int findGroupEnd(int start, int preserveJumps, int trimAsJump, int keepBlankJumps);
  // With trims written as jumps, a run of `jumpsPerTrim` or more moving jumps that starts at
  // `start` (and not before it) and is not already part of a trim is what a machine trims on: its
  // first jump is made a trim, so that the run is written as a trim and comes out as a run of at
  // least that many jumps again, instead of being merged with its neighbours and cut by length.
  void markJumpRunAsTrim(int start);
  // Moves each trim that follows a run of jumps to the start of the run: the trim and the
  // run's first jump swap their command codes, the points stay. Returns 0.
  int moveTrimsBeforeJumps();
  // Inserts before the stitch at `index`, with its colour, preserved jumps around the
  // design's extents (from the statistics) back to the start point and a stop there.
  // Returns 0.
  int traceDesign(int index);

  // Encode-side parameters: taken from the options by revirtualizeAndEncode (and the segment
  // state) and read by the short-stitch clean-up.
  int previousIsCommand = 0;  // the stitch before index 0 is a command
  int trace = 0;              // trace the design before the next encode
  int cleanLength = 0;        // stitches shorter than this are cleaned; 0: no clean-up
  int cleanLengthSquared = 0;
  int hardLength = 0;    // longest move of one record
  int jumpsPerTrim = 0;  // a run of this many jumps stands for a trim; 0: none does
  int preserveBlanks = kPreserveBlanksNone;  // which zero-length stitches are kept
  int filterBlankJumps = 1;                  // runs of zero-length jumps are thinned

 private:
  // Tests drive the clean-up steps on their own.
  friend struct StitchFilterTestPeer;

  // Works on the design in `work_` for the length of one operation, unless an enclosing one
  // does already. The encode steps change the design only through `work_`.
  class DesignScope;
  // The stitch at `index`, in the working design while one is bound, else in the container.
  const HStitch& at(int index) const { return work_.isBound() ? work_[index] : stitches_[index]; }
  // The merged stitch of the group first..last as the encoder sees it: the command and
  // attributes of its last stitch that is neither a jump nor a needle-up (of its last stitch
  // when all are), at the point of its last stitch. Its real stitches are groupReal().
  void makeGroupHead(HStitch& out, int first, int last) const;
  // The real stitches of that merged stitch: the group itself, none for a single stitch.
  std::span<const HStitch> groupReal(int first, int last);
  // Replaces first..last by `head` opened up into the records `real`: its leading movements,
  // one stitch with the command of `head` carrying the middle records as its real stitches,
  // its trailing movements. `keepLoneMiddle` false lets a middle that is one record of the
  // opened stitch itself stand for itself, without a real-stitch copy. Returns the new last
  // index.
  int openGroup(const HStitch& head, std::span<const HStitch> real, bool keepLoneMiddle, int first,
                int last);
  // Replaces first..last by what `encoder` wrote for `head`, as devirtualizeStitch does with
  // those records as the real stitches of `head`. Returns the new last index.
  int replaceByWritten(const HStitch& head, const StitchEncoder& encoder, int first, int last);
  // The design centre the encoder steps extra trim penetrations towards; worked out only when
  // `options` let such steps leave their base point.
  HCoord<short> centreFor(const StitchOptions& options) const;
  // Computes the statistics now if they were left for later.
  void ensureStats() const;

  // What differs between the three encode operations.
  struct EncodeRequest;
  // The common body of encodeStitches, encodeStitchesAsHsf and encodeStitchSegment.
  int encode(const EncodeRequest& request);
  // The clean-up parameters revirtualizeAndEncode takes from `options` before it walks.
  void takeCleanParameters(const StitchOptions& options);

  // Cleans from `start` up to the next command: thins runs of zero-length stitches and
  // removes clusters of short stitches. `end` (in: the last index to look at, the last index
  // of the container when not valid) is left where the walk stopped. With `skipNext` set the
  // first normal stitch is left alone (it follows a trim); the flag is cleared on use.
  // Returns the number of stitches removed.
  int cleanShortStitches(int start, int& end, int preserveJumps, int& skipNext);
  // 1 when stitch `b`, following stitch `a`, is short enough to be removed.
  int cleanStitch(int a, int b, int preserveJumps) const;
  // Removes the cluster of short stitches around stitch `i` so that the stitch before it is
  // followed by the first stitch far enough away. `i` is left after the kept anchor; `end`
  // follows the removals. Returns the number of stitches removed.
  int fixShortStitch(int& i, int& start, int& end, int preserveJumps);
  // Moves between stitches; an index below 0 stands for the start point, and any index at or
  // beyond the end gives 0. The one-index forms measure from the stitch before.
  int getDeltaX(int i) const;
  int getDeltaX(int a, int b) const;
  int getDeltaY(int i) const;
  int getDeltaY(int a, int b) const;
  int getDeltaSquared(int i) const;
  int getDeltaSquared(int a, int b) const;
  HCoord<short> pointAt(int index) const;

  // The common body of decodeStitches (`stops` and `stopNames` null) and decodeStitchesAsHsf.
  int decode(StitchOptions& options, const HXArray<StopInfo>* stops,
             const HXArray<HString>* stopNames, int needle, InputBytestream& stream);
  // Reserves room for the stitches a stream of its size can hold.
  void reserveFor(const InputBytestream& stream);
  void stripBeginEnd();

  StitchWrapper& stitches_;
  detail::WorkingDesign work_;
  int stitchCount_ = 0;
  HCoord<short> startPoint_{0, 0};
  mutable StitchStats stats_;
  mutable bool statsPending_ = true;  // stats_ are to be computed from the stitches

  // Decode side.
  std::unique_ptr<BytestreamStitchDecoder> decoder_;
  DecodeEnding decodeEnding_;

  // Encode side: pieces of a split trim, reused from group to group.
  HXArray<HStitch> pieces_;
};

}  // namespace stitchkit
