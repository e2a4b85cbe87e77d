#pragma once

#include <cstddef>

#include "stitchkit/files/kvb_file.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_string.h"

// EDF packages (layout in edf_records.h): a design's KVB file, its CT0 condition file and
// optionally a design-graphics file and an AD0 file, packed into one enciphered file.
//
// Packages are enciphered with this library's own fixed key (edf_key.cpp): they are read by
// this library, not by other systems' EDF readers.
//
// The plain payload of a package being built or read lives in a temporary file ("qvm" and
// six characters, in the system's temporary directory), which is removed before the call
// returns, whatever the result.
namespace stitchkit {

// Results of the package functions (EncryptEDFFile has its own).
inline constexpr int kEdfOk = 0;
inline constexpr int kEdfFailed = 2;      // temporary file, enciphering, directory or member
inline constexpr int kEdfMissing = 6;     // the envelope (or a member file to pack) is missing
inline constexpr int kEdfCannotOpen = 7;  // a file exists but cannot be opened or read

// Enciphers the plain payload file `plainPath` into the envelope file `envelopePath`.
// Returns 1 when written, 0 when not (a partly written envelope is removed).
int EncryptEDFFile(const HString& plainPath, const HString& envelopePath);

// Packs basePath + ".KVB", ".CT0", ".QPF" (or ".QPT" when that is missing or empty) and
// ".AD0" into the package `envelopePath`. The KVB and CT0 files are required (kEdfMissing when
// absent, kEdfCannotOpen when they cannot be opened); the others are packed when not empty.
// A KVB file shorter than its 128-byte header area is packed as an empty member. kEdfFailed
// when the temporary file cannot be written, the payload outgrows the directory's numbers or
// enciphering fails.
int makeEDFFromKVBandCT0(const HString& envelopePath, const HString& basePath);

// Extract one member into `outPath`. The package must carry design graphics (its flag '1'),
// as every package made for a machine does; otherwise nothing is written and the result is
// kEdfFailed. The KVB member comes back with a blank 128-byte header area. An empty member
// writes nothing (kEdfFailed); a member cut short writes what there is and gives kEdfFailed.
// kEdfMissing when the envelope does not exist, kEdfCannotOpen when the temporary file cannot
// be opened.
int makeKVBFromEDFFile(const HString& envelopePath, const HString& outPath);
int makeCT0FromEDFFile(const HString& envelopePath, const HString& outPath);
int makeIconFromEDFFile(const HString& envelopePath, const HString& outPath);

// Fills `designName`, stitchCount, needleCount and the extents of `stats` from the text header
// at the start of the KVB member; nothing else of `stats` changes. kEdfMissing when the
// envelope does not exist, kEdfCannotOpen when the header cannot be read in full.
int makeStatsFromEDFFile(const HString& envelopePath, StitchStats& stats, HString& designName);

// What a package held, as decodeEDFFile found it (lengths in bytes; 0 for an absent member).
struct EdfMembers {
  std::size_t kvb = 0;  // the KVB member, without the header area
  std::size_t ct0 = 0;
  std::size_t graphics = 0;
  std::size_t ad0 = 0;
};

// Reads the design of a package: its KVB member with its CT0 member beside it, through
// decodeKVBFile (kvb_file.h), whose outputs and results these are. The options' format must
// be 71 (EDF) or 36 (KVB); it is left as it was. Unlike the extractors this reads packages
// without design graphics. `members`, when given, receives what the package held.
int decodeEDFFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, ThreadPalette* palette, EdfMembers* members);

// The EDF writer: writes the design as a KVB file with its CT0 file in the temporary
// directory, with the file `request.attachPath` names (when given and not empty) as its
// design graphics, and packs them into `request.path`. The options' format must be 71 or 36
// (else kKvbWriteWrongFormat); the design name follows the KVB writer's rule for the package's
// path. Results are the KVB writer's; a package that cannot be made gives kKvbWriteFailed.
int writeEDFFile(const KvbWriteRequest& request);

}  // namespace stitchkit
