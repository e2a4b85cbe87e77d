#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/thread_palette.h"

// The HSF stitch file: the system's own stitch file. It holds the stitches in one machine
// encoding (DST, DSB, DSZ or Exp records) framed by a 60-byte header, and after them what a
// plain machine file cannot carry: the real command and comment behind every stop, a list of
// names and the thread palette. The byte layout is in hsf_records.h.
//
// The functions work on the caller's containers, palette and option record and own none of
// them; files and streams are opened, used and closed (or left as found) within the call.
namespace stitchkit {

// Results of the HSF functions.
inline constexpr int kHsfOk = 0;
inline constexpr int kHsfCannotOpen = 1;  // the file cannot be opened (read) or created (write)
// Reading: the header or a section after the stitch data cannot be read, holds a count above
// its limit (10,000,000 stops or comments, 32,767 threads), a negative one or a length that
// runs past the end of the file, or the stream cannot be put at the stitch data. Writing: the
// stream refused a write or a seek.
inline constexpr int kHsfBadData = 2;
// The option record cannot read or write the file's encoding, or encoding failed.
inline constexpr int kHsfIncompatible = 4;
inline constexpr int kHsfNoDecoder = 6;  // the file's encoding has no decoder

// The file header, widened to this form for the 16-byte header of old HCH files.
struct HchInfoHeader {
  char version[8] = {};  // "V9.99" for files written here; "V9.00" for an old header
  char kind = 0;         // 'A' for files written here; old files carry their own letter
  std::int32_t stitchCount = 0;
  std::uint8_t encoding = 0;  // what the records are (convertHchInfoHeaderToFileFormat)
  std::int16_t plusX = 0;     // maxX - startX
  std::int16_t minusX = 0;    // startX - minX
  std::int16_t plusY = 0;     // maxY - startY
  std::int16_t minusY = 0;    // startY - minY
  std::uint8_t oldExtra = 0;  // 0; byte 14 of an old header
  // The low byte of the command count; the encoding byte of an old header.
  std::uint8_t commandCountByte = 0;
  // File offsets of the sections, 0 for a section that is absent.
  std::int32_t threadCodeOffset = 0;
  std::int32_t stopTableOffset = 0;
  std::int32_t nameListOffset = 0;
  std::int16_t firstNeedle = 0;  // 1-based; 1 for an old header
  std::int32_t stopCommentOffset = 0;
  std::int32_t threadPropertyOffset = 0;
  double designValue = 0.0;  // 0.0 stands for none
};

// Reads the header of an HSF or old HCH file from the start of `in` (a first byte 'V' or 'v'
// marks the 60-byte header, any other the 16-byte old one, which is widened: version "V9.00",
// the old encoding byte moved to commandCountByte and replaced for the kinds B, E, M, T, U
// and Z, no sections, first needle 1). Returns kHsfOk, or kHsfBadData when the header cannot
// be read whole or the stream cannot be put back; the stream is left where it was found.
int readHchInfoHeader(std::istream& in, HchInfoHeader& header);

// The disk format of the records behind a header, by its kind letter and encoding byte;
// kFormatNone for combinations that name none.
HDiskFileFormat convertHchInfoHeaderToFileFormat(const HchInfoHeader& header);

// Writes `stitches` as an HSF file at `path` (emptied first).
// The records are written with the caller's option record when its FileFormat is of the DST
// family with HardLength below 122, or of the DSB, DSZ or Exp family with HardLength below
// 128; otherwise with a default record for DSB records (HardLength 127). The header's
// encoding byte always names the records really written, so the file reads back in the
// encoding it holds. `designValue` -1.0 is written as none. The stop table, its comments,
// `names` and `palette` are written when they are not empty. The container is rewritten to
// the design as written (see StitchFilter::encodeStitchesAsHsf); `written`, when given,
// receives the statistics of what was written.
// Returns kHsfOk; kHsfIncompatible when the record can write none of the formats 0, 1, 2 and
// 3, or encoding failed (an empty design among others); kHsfCannotOpen; kHsfBadData.
// A failure after the file was created leaves it as far as it was written.
int makeHsfFile(const HString& path, StitchWrapper& stitches, const ThreadPalette& palette,
                const HXArray<HString>& names, double designValue, StitchOptions* options,
                int traceDesign, StitchStats* written = nullptr);
int makeHsfFile(const HString& path, HXArray<HStitch>& stitches, const ThreadPalette& palette,
                const HXArray<HString>& names, double designValue, StitchOptions* options,
                int traceDesign, StitchStats* written = nullptr);
// The same into a stream that can seek back to its start, where the file begins.
int makeHsfStream(std::ostream& out, StitchWrapper& stitches, const ThreadPalette& palette,
                  const HXArray<HString>& names, double designValue, StitchOptions* options,
                  int traceDesign, StitchStats* written = nullptr);

// Reads the HSF or old HCH file at `path`: `stitches` receive the design (stops carry their
// real commands and comments again), `stats` the decoder's statistics, `names` the name list
// and `designValue` the header's value (-1.0 for none). With a `palette` it receives the
// file's threads, completed with the thread catalogue's default threads up to the highest
// needle used (at most 100 threads). `options` must be compatible with the format of the
// records (convertHchInfoHeaderToFileFormat); its FileFormat chooses the decoder, which writes
// the lengths it learns into it. A record that is broken ends the design as the end of data.
// Returns kHsfOk; kHsfCannotOpen; kHsfBadData; kHsfIncompatible (options); kHsfNoDecoder.
int decodeHsfFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& names, double& designValue,
                  ThreadPalette* palette);
int decodeHsfFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& names, double& designValue,
                  ThreadPalette* palette);
// The name host programs call; the same as decodeHsfFile.
int DecodeHsfFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& names, double& designValue,
                  ThreadPalette* palette);
// The same from a stream at whose start the file begins (kHsfCannotOpen when it is not good).
int decodeHsfStream(std::istream& in, StitchWrapper& stitches, StitchOptions& options,
                    StitchStats& stats, HXArray<HString>& names, double& designValue,
                    ThreadPalette* palette);

// The palette makeStitchFormatFile gives an HSF file written without threads: one entry per
// needle block (20 when `needleBlocks` is 0, at most 40), each with a thread code of the
// fixed default list and a default colour.
ThreadPalette makeDefaultHsfPalette(std::uint64_t needleBlocks);

}  // namespace stitchkit
