#pragma once

#include "stitchkit/designio/st_des.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/geometry.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/thread_palette.h"

// Exchange with other makers' design files through the design-I/O layer (CStDes): the
// translation of stitch codes, thread brands and format versions between the two.
namespace stitchkit {

// Results of makeGNFile, decodeGNFile and decodeEMBFile.
inline constexpr int kExchangeOk = 0;
inline constexpr int kExchangeNoFile = 1;  // an empty path, or no such file
inline constexpr int kExchangeFailed = 2;  // the design-I/O layer could not load or save it

// The settings version a PES-family format (41 to 89) is written with; 0 for other formats.
int designSettingsVersion(HDiskFileFormat format);

// Writes `stitches` and `palette` to `path` in the format its extension names. `format` gives
// the version written for the PES family (41 to 89), the EMD variant for 53, and clears the
// format flag for 27. `settingsResult`, when given, receives the version the settings hold
// after saving. `options` is not used by the translation.
int makeGNFile(const HString& path, HDiskFileFormat& format, HXArray<HStitch>& stitches,
               const ThreadPalette& palette, const StitchOptions& options, CSize& size,
               int* settingsResult);

// Reads `path` into `stitches` (appended), `palette` (replaced) and `stats`. `format` is set
// from the version the file had where it names a PES-family format and left otherwise. An
// ".emb" design is framed by a start stitch (code 11) and an end (code 7) where it lacks
// them. `options` and `mode` are not used by the translation.
int decodeGNFile(const HString& path, HXArray<HStitch>& stitches, StitchStats& stats,
                 ThreadPalette& palette, StitchOptions& options, int mode, HDiskFileFormat& format,
                 CSize& size);

// Loads `path` into the caller's `design` and its threads into `palette` (replaced).
int decodeEMBFile(const HString& path, CStDes& design, ThreadPalette& palette, CSize& size);

// Results of readEmbFileIcon.
inline constexpr int kEmbIconOk = 0;
inline constexpr int kEmbIconFailed = 2;

// Reads the preview picture an EMB file keeps in its "DESIGN_ICON" stream (EMB files are
// structured-storage compound files) into `icon`, resized to fit. A file that does not open,
// is larger than kMaxCompoundFileSize, is not a compound file, or has no such stream gives
// kEmbIconFailed and leaves `icon` unchanged.
int readEmbFileIcon(const HString& path, HXArray<unsigned char>& icon);

}  // namespace stitchkit
