#pragma once

#include "stitchkit/files/extra_properties.h"
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

// Writing whole design files. Every function sets the option record's HardLength to 127 first
// (the caller's record is changed) and writes through the stitch filter's encode pipeline, so
// on return the stitch container holds the design as written (split jumps, inserted colour
// changes and removed commands included). DST, DSB, DSZ and ZSK files (by name) get the 512-byte
// header, written provisionally, then rewritten from the statistics after encoding, and one 0x1A
// byte after the records. A failure after the file was opened leaves it as far as it was written.
namespace stitchkit {

// Results of makeStitchFormatFile.
inline constexpr int kWriteOk = 0;
inline constexpr int kWriteCannotCreate = 1;  // HSF: the file cannot be created
inline constexpr int kWriteFailed = 2;        // not writable by the plain path, header or
                                              // stream failure
inline constexpr int kWriteIncompatible = 4;  // options do not suit the format, or encoding failed
inline constexpr int kWriteNoContainerWriter = 6;  // the container writer of this format
                                                   // is not part of this build (every
                                                   // container format has one today)
inline constexpr int kWriteUnknownExtension = 8;   // not an extension these functions write

// A short English sentence for a result of makeStitchFormatFile.
const char* writeResultMessage(int result);

// The format makeStitchFormatFile chooses for `path` by its extension (kFormatHsf for the HSF
// writer), or kFormatNone when it writes no file for that name.
HDiskFileFormat writeFormatOfPath(const HString& path);

// What this build really writes, from the tables makeStitchFormatFile chooses by. A file
// name counts when the writer encodes its format itself and a file of that name reads back
// as the same format (readsFileName): an extension whose own writer is not part of this
// build (.PES, .PCS, ...) gives false even where the writer would fill it with the records
// of another format. .KVB, .KVC and .EDF names count (an EDF package is read back by
// decodeEDFFile, not by name). A format code counts when the format-given makeStitchFormatFile
// encodes it.
bool writesFileName(const HString& path);
bool writesFormat(HDiskFileFormat format);

// By extension: .DST and .KRV (HardLength 121), .DSB, .BAR, .DSZ, .ZSK, .EXP, .PCS, .PES,
// .TXT, ".Z" and two digits (ZSK transport), .KVB, .KVC, .EDF, .HSF; the first four
// characters of the extension are compared, ignoring case (".twn" must match whole and is
// not written). A caller's record keeps its FileFormat, which then chooses the encoder; it
// must be compatible with the extension's format. An .HSF name is written by makeHsfFile
// (hsf_file.h), with the default HSF palette when `palette` is empty; the result is that
// writer's (kWriteCannotCreate when the file cannot be created). .KVB, .KVC and .EDF names go to
// the KVB, KVC and EDF writers (kvb_file.h, edf_package.h) with the attachment as the KVC
// file's attached section or the package's design graphics.
// `written`, when given, receives on success the statistics of what was written (the
// figures of the file's header), so that a caller need not compute them again.
// `systemError`, when given, receives the system's error number (errno) when the file could
// not be created, written or closed (the result is then kWriteFailed, also when the failure
// came in the middle of the records: a full disk is not taken for options that do not suit
// the format), and 0 for every other result.
int makeStitchFormatFile(const HString& path, const HString& designName, StitchWrapper& stitches,
                         const ThreadPalette& palette, HXArray<HString>& names,
                         const ExtraProperties& extra, double designValue, StitchOptions* options,
                         int traceDesign, int ansiLabel, const HeadGrouping& heads,
                         const MachineRepeatSettings& repeat, const HStitch* firstStitch,
                         const HString* attachmentPath, StitchStats* written = nullptr,
                         int* systemError = nullptr);
int makeStitchFormatFile(const HString& path, const HString& designName, HXArray<HStitch>& stitches,
                         const ThreadPalette& palette, HXArray<HString>& names,
                         const ExtraProperties& extra, double designValue, StitchOptions* options,
                         int traceDesign, int ansiLabel, const HeadGrouping& heads,
                         const MachineRepeatSettings& repeat, const HStitch* firstStitch,
                         const HString* attachmentPath);
int makeStitchFormatFile(const HString& path, HXArray<HStitch>& stitches,
                         const ThreadPalette& palette, HXArray<HString>& names, double designValue,
                         StitchOptions* options, int traceDesign, const HeadGrouping& heads);

// By format: codes 0, 6, 15, 20 (HardLength 121) and 1, 3, 16, 17, 21 are written with the
// header when `writeHeader` is non-zero; 2 never has one; 36, 60 and 52 go to their container
// writers; any other code gives kWriteFailed.
// `written` and `systemError` as above.
int makeStitchFormatFile(const HString& path, const HString& designName,
                         const HDiskFileFormat& format, StitchWrapper& stitches,
                         const ThreadPalette& palette, HXArray<HString>& names,
                         const ExtraProperties& extra, int writeHeader, StitchOptions* options,
                         int traceDesign, int ansiLabel, const HeadGrouping& heads,
                         const MachineRepeatSettings& repeat, const HStitch* firstStitch,
                         StitchStats* written = nullptr, int* systemError = nullptr);
int makeStitchFormatFile(const HString& path, const HDiskFileFormat& format,
                         HXArray<HStitch>& stitches, const ThreadPalette& palette,
                         HXArray<HString>& names, const ExtraProperties& extra, int writeHeader,
                         StitchOptions* options, int traceDesign, int ansiLabel,
                         const HeadGrouping& heads, const MachineRepeatSettings& repeat,
                         const HStitch* firstStitch);
int makeStitchFormatFile(const HString& path, const HDiskFileFormat& format,
                         HXArray<HStitch>& stitches, const ThreadPalette& palette,
                         HXArray<HString>& names, int writeHeader, StitchOptions* options);

}  // namespace stitchkit
