#pragma once

#include <cstdint>
#include <memory>

#include "stitchkit/decode/stitch_decoder.h"
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

// Moves a whole design between a byte stream and a stitch container.
//
// The decode side picks the decoder for the options' FileFormat, runs it over the stream,
// collects every stitch it delivers into the container, optionally strips the non-sewing
// commands at both ends and takes over the decoder's statistics.
//
// A filter works on the caller's container, option record and stream and owns none of them;
// it owns the decoder it created, which it keeps (for getDecoder) until the next decode or
// its own destruction. That decoder points to the stream and the option record, which must
// outlive any use of it. Failures are results, never exceptions.
class StitchFilter {
 public:
  // Keeps `stitches`, records its length, starts at (0, 0) without a decoder and computes the
  // statistics afresh from the stitches (recalcStats(1)).
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

  // --- Shared ---------------------------------------------------------------------------------

  const StitchStats& getStats() const { return stats_; }
  StitchWrapper& getStitches() const { return stitches_; }
  // The container's length as last recorded by the filter.
  int getStitchCount() const { return stitchCount_; }
  // Computes the statistics afresh from all stitches of the container
  // (StitchStats::setupStitchStats with `countEmptyParent`, without thread per stitch and
  // feeding real stitches). Leaves reset statistics when memory runs out.
  void recalcStats(int countEmptyParent);

 private:
  // The common body of decodeStitches (`stops` and `stopNames` null) and decodeStitchesAsHsf.
  int decode(StitchOptions& options, const HXArray<StopInfo>* stops,
             const HXArray<HString>* stopNames, int needle, InputBytestream& stream);
  // Reserves room for the stitches a stream of its size can hold.
  void reserveFor(const InputBytestream& stream);
  void stripBeginEnd();

  StitchWrapper& stitches_;
  int stitchCount_ = 0;
  HCoord<short> startPoint_{0, 0};
  StitchStats stats_;

  // Decode side.
  std::unique_ptr<BytestreamStitchDecoder> decoder_;
};

}  // namespace stitchkit
