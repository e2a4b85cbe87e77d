#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "stitchkit/decode/zsk_transport_records.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/thread_palette.h"

// ZSK transport files (format code 52, extension ".Z" and two digits): the framed design
// header, the thread table when the design has threads, then the stitch records (layout in
// zsk_transport_records.h). The reader loads the whole file, at most
// ZSKTransportStitchDecoder::kMaxLoadedBytes; a longer file fails to decode.
namespace stitchkit {

// Results of the reader.
inline constexpr int kZskReadOk = 0;
inline constexpr int kZskReadCannotOpen = 1;
inline constexpr int kZskReadDecodeFailed = 4;  // also a file above the loading cap
inline constexpr int kZskReadWrongFormat = 6;   // the options' format is not 52

// Results of the writer.
inline constexpr int kZskWriteOk = 0;
inline constexpr int kZskWriteFailed = 2;        // the file cannot be created or written
inline constexpr int kZskWriteEncodeFailed = 4;  // the stitches cannot be encoded
inline constexpr int kZskWriteWrongFormat = 8;   // no options, or their format is not 52

// Fills `header` for a design written to `path` at local time `when`: the tag, the two
// characters after the dot of the extension, the base name (cut to 20 characters), the date
// and time three times, MinRealLength and MaxRealLength of `options`, the stitch count,
// extents and end point of `stats`.
void makeZSKTransportHeader(zsk::ZSKTransportHeader& header, const HString& path,
                            const StitchStats& stats, const StitchOptions& options,
                            std::time_t when);

// The threads of a file's thread table, in order: colour, name (15 bytes), code and
// manufacturer (8 bytes each), as ANSI text without trailing blanks.
ThreadPalette paletteFromZSKNeedles(const HList<zsk::ZSKNeedle>& needles);

// Writes `stitches` to `path` with `options` (format 52; null stands for a default record,
// whose format is not 52). The header is made from `designPath`'s name. At most 255 threads
// of `palette` are listed. The stitches are rewritten to what was written (see StitchFilter);
// `written`, when given, receives the statistics of the header. A failed write leaves the
// file as far as it was written.
int makeZSKTransportFile(const HString& path, const HString& designPath, StitchWrapper& stitches,
                         const ThreadPalette& palette, const StitchOptions* options, int trace,
                         StitchStats* written = nullptr);

// Reads the design of `path` with `options` (format 52). On success `stats` receives its
// statistics and, when given, `palette` is replaced by the file's threads (empty when it has
// none); on failure neither is touched, and the stitches read before the failure stay.
int decodeZSKTransportFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                           StitchStats& stats, ThreadPalette* palette);
int decodeZSKTransportFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                           StitchStats& stats, ThreadPalette* palette);

// What a design header says, for a description of the file.
struct ZSKTransportDesignInfo {
  bool tagged = false;  // the header carries this writer's tag: the numbers below are read
                        // only then (other writers lay them out otherwise)
  std::string name;     // design name, trailing blanks removed
  std::string written;  // date and time of writing, as the file holds it
  int minRealLength = 0;
  int maxRealLength = 0;
  std::uint32_t stitchCount = 0;
  short minX = 0, minY = 0, maxX = 0, maxY = 0, endX = 0, endY = 0;
};
ZSKTransportDesignInfo describeZSKTransportHeader(const zsk::ZSKTransportHeader& header);

// Reads only the framed records at the start of `path` (the design header and thread
// table). Returns kZskReadOk, kZskReadCannotOpen, or kZskReadDecodeFailed when the file is
// empty, above the loading cap or holds no design header.
int readZSKTransportDescription(const HString& path, zsk::ZSKTransportHeader& header,
                                HList<zsk::ZSKNeedle>& needles);

}  // namespace stitchkit
