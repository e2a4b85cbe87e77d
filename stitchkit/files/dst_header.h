#pragma once

#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_string.h"

// The text header of the DST, DSB and DSZ machine files, and the shorter variant of it that
// the KVB and KVC containers carry.
//
// The DST file header is 512 bytes of single-byte text. Its first 125 bytes are CR-separated
// fields, then the byte 0x1A, then spaces up to byte 511:
//
//   LA:label (16 bytes, left-aligned, space-padded)   ST:stitch count (7)   CO:colour changes (3)
//   +X: -X: +Y: -Y: extents from the start point (5 each)
//   AX: AY: sign and magnitude (5) of the end point's offset from the start point
//   MX:+    0   MY:+    0   PD:******   (fixed)
//
// The label is the file-name part of the design name: no drive, no folder, no extension, with
// characters dropped from its end (whole characters, never part of one) until its narrow form
// is at most 16 bytes.
//
// Field values from the statistics (which should be finished, see StitchStats::finish):
//   ST  stitchCount, bounded to 0..9999999
//   CO  colourChangeCount, bounded to 0..999
//   +X  |maxX - startX|      -X  |startX - minX|
//   +Y  |startY - minY|      -Y  |maxY - startY|      (y is taken the opposite way to x)
//   AX  endX - startX        AY  endY - startY        ('-' when negative, else '+')
// Extents and offset magnitudes are bounded to 99999. Every value is thus bounded to its field
// width (the lower bound 0 of the counts covers statistics with negative counts, for example a
// 16-bit colour-change count that wrapped), so the text always has the same length.
namespace stitchkit {

// Sizes.
inline constexpr int kDstHeaderSize = 512;            // the whole DST file header
inline constexpr int kDstHeaderTextLength = 125;      // its formatted text, 0x1A included
inline constexpr int kInternalDstHeaderLength = 138;  // the container variant's text
inline constexpr int kDstLabelBytes = 16;             // longest label, in bytes

// Results of makeDSTHeader and makeInternalDSTHeader.
inline constexpr int kDstHeaderOk = 0;
// makeDSTHeader: the text is not 125 characters long. makeInternalDSTHeader: the count of
// characters written is not `size`.
inline constexpr int kDstHeaderWrongLength = 2;
// The buffer is null, or the label cannot be made (no memory).
inline constexpr int kDstHeaderNoBuffer = 3;

// Fills the 512 bytes at `header` (which must hold 512 bytes) with the DST file header for a
// design named `name` (a path or a plain name) with the statistics `stats`.
// With `ansiLabel` non-zero the label is the name in Windows-1252; a name that does not
// survive the round trip through that page (it holds characters the page lacks) is instead
// converted with the legacy conversion writeOldWideToMbs (characters up to U+00FF as their
// own byte, others '?'). With `ansiLabel` zero the label is the name in UTF-8.
// Returns kDstHeaderOk, kDstHeaderNoBuffer, or kDstHeaderWrongLength (nothing is then
// guaranteed about the buffer; it does not happen for any statistics, see above).
// `stats` is only read.
int makeDSTHeader(char* header, const HString& name, StitchStats& stats, int ansiLabel);

// Writes the 138-character container variant of the header and a terminating zero at
// `buffer`: the same text as the DST header up to the AY field and its CR, then
// "TP:EG/" and 29 spaces, CR, "JC:3", CR, "DO:". No 0x1A and no space fill.
// `size` is the number of characters expected (callers pass 138); a `size` above 512 is
// lowered to 512. At most `size` characters and a zero are written, so the buffer must hold
// `size` + 1 bytes (139 for 138). The label is made as for makeDSTHeader, but with
// `asciiLabel` non-zero it is the name's ASCII copy (HString::getAscii, characters above 127
// as '?'), and otherwise its UTF-8 form.
// Returns kDstHeaderOk when exactly `size` characters were written (that is, `size` is 138),
// kDstHeaderWrongLength otherwise (the text is then cut to `size` characters, and nothing is
// written for a negative `size`), kDstHeaderNoBuffer for a null buffer or a label that cannot
// be made.
int makeInternalDSTHeader(char* buffer, int size, const HString& name, const StitchStats& stats,
                          int asciiLabel);

}  // namespace stitchkit
