#pragma once

#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/machine/head_grouping.h"
#include "stitchkit/machine/machine_repeat_settings.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/thread_palette.h"

// Reading whole design files into a stitch container.
//
// The functions choose the format (given by the caller or taken from the file name), prepare
// the decoder options, skip the 512-byte header of the DST, DSB and DSZ families and run the
// stitch filter over the file, or hand the file to the reader of its container format.
//
// Extensions are compared case-insensitively on their first four characters, dot included,
// so any extension that begins with ".DST" counts as ".DST".
//
// Options: when `options` is null a function uses a record of its own, the default decoder
// options for the chosen format. A caller's record is used and changed in place, also when
// the call fails: HardLength and StopsAsNeedles are set for the format, the decoder writes
// the MaxLength, CleanLength and SplitJumpLength it learns, and FileFormat is left as it is
// (it must be compatible with the file's format and names the decoder that reads it).
//
// Each function exists for a StitchWrapper and for an HXArray<HStitch>; the array form wraps
// the array and does the same. Files are opened, read and closed within the call. A failed
// decode leaves the stitches read before the failure in the container.
namespace stitchkit {

// Results of the reading functions.
inline constexpr int kReadOk = 0;
inline constexpr int kReadCannotOpen = 1;        // the file cannot be opened
inline constexpr int kReadHeaderSkipFailed = 2;  // the stream cannot be put at byte 512; for
                                                 // KVB and KVC: the header or a section the
                                                 // table of contents names is cut short
inline constexpr int kReadNoOptions = 3;         // the option record cannot be created
inline constexpr int kReadFailed = 4;            // options incompatible, or decoding failed
inline constexpr int kReadWrongExtension = 5;    // decodeDSTFile only: not a name it reads
inline constexpr int kReadNoReader = 6;          // no reader for the format, or it failed

// A short English sentence for a result of the reading functions; "unknown result" for any
// other value.
const char* readResultMessage(int result);

// The disk format decodeFile chooses for `path` by its extension (kFormatHsf for the HSF
// reader), or kFormatNone when the name goes to the general design loader.
HDiskFileFormat readFormatOfPath(const HString& path);

// What this build reads, from the tables decodeFile chooses by: true when decodeFile reads a
// file of this name (by its extension) through its own decoder or the HSF, KVB, KVC or ZSK
// transport reader, and when the format-given decodeFile reads files of `format`. Names and formats
// that go to another container reader or the general design loader, which this build does not have,
// give false.
bool readsFileName(const HString& path);
bool readsFormat(HDiskFileFormat format);

// Reads a DST, DSB or DSZ file (by its extension) after its 512-byte header, with the default
// options for that format. The container is emptied once the header has been skipped; a
// name with another extension, or a format whose decoder is not available, gives
// kReadWrongExtension.
int decodeDSTFile(const wchar_t* path, StitchWrapper& stitches, StitchStats& stats);
int decodeDSTFile(const wchar_t* path, HXArray<HStitch>& stitches, StitchStats& stats);

// Reads a design file whose format is taken from its name:
//   .DST (after the header) and .KRV (from byte 0): DST records, HardLength 121 and stops as
//   needle changes; .DSB (after the header) and .BAR: Barudan records; .DSZ and .ZSK (both
//   after the header): Zangs records; .EXP: Exp records; ".Z" or ".z" and two decimal digits
//   (exactly four characters): a ZSK transport file; .KVB, .KVC and .HSF: container files;
//   any other name goes to the general design loader.
// An .HSF file goes to decodeHsfFile (hsf_file.h) with `scale` in the place of its design
// value, so `scale` receives the file's design value (-1.0 for none); without a caller's
// record the reader decodes the records the file's header names. Results of that reader
// above kReadWrongExtension become kReadNoReader. .KVB and .KVC files go to decodeKVBFile and
// decodeKVCFile (kvb_file.h) and ZSK transport files to decodeZSKTransportFile
// (zsk_transport_file.h), whose results are returned as they are.
// `scale` is set to 0.5 otherwise. `palette`, when given, receives the threads a container carries;
// `heads` and `repeats`, when given, the head grouping and repeat settings it carries.
// `systemError`, when given, receives the system's error number (errno) with
// kReadCannotOpen (ENOENT, EACCES, EISDIR, ENAMETOOLONG, ...), and 0 with any other result.
// `ending`, when given, receives how the stitch records ended (left as not read for the
// containers and the general loader): a result of kReadFailed with a broken or out-of-range
// record there says which record it was.
int decodeFile(const HString& path, StitchWrapper& stitches, StitchStats& stats, double& scale,
               ThreadPalette* palette, StitchOptions* options, HeadGrouping* heads,
               MachineRepeatSettings* repeats, int* systemError = nullptr,
               DecodeEnding* ending = nullptr);
int decodeFile(const HString& path, HXArray<HStitch>& stitches, StitchStats& stats, double& scale,
               ThreadPalette* palette, StitchOptions* options, HeadGrouping* heads,
               MachineRepeatSettings* repeats, int* systemError = nullptr,
               DecodeEnding* ending = nullptr);

// Reads a design file of the given format: the DST formats 0, 15 and 20 (HardLength 121,
// stops as needle changes), 6, the Barudan formats 1, 16 and 21 and the Zangs formats 3 and
// 17 after their header when `skipHeader` is non-zero; Exp (2) from byte 0 in every case;
// the containers KVB (36) and KVC (60), whose readers also fill `names` (the CT0 lines),
// `palette`, `heads` and `repeats`; ZSK transport files (52), whose reader fills `palette`.
// Any other format gives kReadNoReader.
int decodeFile(const HString& path, HDiskFileFormat format, StitchWrapper& stitches,
               StitchStats& stats, HXArray<HString>& names, ThreadPalette* palette, int skipHeader,
               StitchOptions* options, HeadGrouping* heads, MachineRepeatSettings* repeats);
int decodeFile(const HString& path, HDiskFileFormat format, HXArray<HStitch>& stitches,
               StitchStats& stats, HXArray<HString>& names, ThreadPalette* palette, int skipHeader,
               StitchOptions* options, HeadGrouping* heads, MachineRepeatSettings* repeats);

}  // namespace stitchkit
