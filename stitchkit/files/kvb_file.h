#pragma once

#include "stitchkit/files/extra_properties.h"
#include "stitchkit/files/kvb_file_records.h"
#include "stitchkit/files/laser_condition_file.h"
#include "stitchkit/machine/ct1_block.h"
#include "stitchkit/machine/cto_file.h"
#include "stitchkit/machine/head_grouping.h"
#include "stitchkit/machine/machine_repeat_settings.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/thread_palette.h"

// The system's own machine containers (layouts in kvb_file_records.h).
//
// A KVB file is the 1536-byte header and the KVB stitch records; its machine conditions travel
// in side files named after it: ".CT0" (CT0 block), ".LT0" (laser condition record) and ".CT1"
// (CT1 block). A KVC file holds the same header and records followed by the condition blocks
// as sections, found through a table of contents over the first 128 bytes.
//
// Every offset and length a reader takes from a file is checked against the file's size
// before it is used; no buffer is sized by a field that was not.
namespace stitchkit {

// Results of the readers.
inline constexpr int kKvbReadOk = 0;
inline constexpr int kKvbReadCannotOpen = 1;
inline constexpr int kKvbReadShort = 2;  // header, needle list, palette, table of contents or
                                         // a section the table names cannot be read in full
inline constexpr int kKvbReadDecodeFailed = 4;
inline constexpr int kKvbReadWrongFormat = 6;  // the options' format is not 36, or no decoder

// Results of the writers.
inline constexpr int kKvbWriteOk = 0;
inline constexpr int kKvbWriteFailed = 2;    // a write failed, or the LT0 record failed
inline constexpr int kKvbWriteNoMemory = 3;  // the header buffer cannot be allocated
inline constexpr int kKvbWriteEncodeFailed = 4;
inline constexpr int kKvbWriteWrongFormat = 8;  // KVB: format not 36; KVC: neither 36 nor 60

// Fills the 1536 bytes at `header`: blanks, zero needle list, "A.00", the current time, the
// palette area (at most 72 threads: 'E' normal, 'P' punch, an unused thread stays blank).
void initKVBHeader(char* header, const ThreadPalette& palette);

// Reads a KVB file with the stitch options `options` (format 36). With `palette`, the needle
// list and palette area must be there in full; a palette area that starts with four blanks
// leaves the caller's palette as it was. The side files fill `ct0Lines`, `grouping`,
// `repeat`, `laserBlocks` and `ct1`; a missing side file leaves its outputs untouched.
int decodeKVBFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, HList<LT0LaserBlock>& laserBlocks,
                  ThreadPalette* palette, CT1Properties* ct1);
int decodeKVBFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, HList<LT0LaserBlock>& laserBlocks,
                  ThreadPalette* palette, CT1Properties* ct1);

// Lengths in bytes of the sections a KVC file's table of contents names, 0 for one it does
// not name or puts past the end of the file.
struct KvcSections {
  std::size_t ct0 = 0;
  std::size_t attached = 0;
  std::size_t lt0 = 0;
  std::size_t ct1 = 0;
  std::size_t fifth = 0;
  std::size_t tt0 = 0;
};

// Reads a KVC file (options' format 36, the records' format). Sections come from the table of
// contents; one the table does not name leaves its outputs untouched. `ct0` receives the
// CT0 block's ST lines, `timeInfo` the TT0 entries (appended), `sections` (when given) what
// the table of contents names.
int decodeKVCFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, HList<LT0LaserBlock>& laserBlocks,
                  ThreadPalette* palette, CT0Properties* ct0, CT1Properties* ct1,
                  HList<TT0Info>* timeInfo, KvcSections* sections = nullptr);
int decodeKVCFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, HList<LT0LaserBlock>& laserBlocks,
                  ThreadPalette* palette, CT0Properties* ct0, CT1Properties* ct1,
                  HList<TT0Info>* timeInfo);

// What the KVB and KVC writers are given.
struct KvbWriteRequest {
  const HString& path;
  const HString& designPath;
  StitchWrapper& stitches;  // normalised in place and rewritten to what was written
  const ThreadPalette& palette;
  const HXArray<HString>& ct0Lines;
  const StitchOptions& options;
  const HeadGrouping& grouping;
  const HStitch* first;  // stands in for the first stitch as the start of block 0
  const ExtraProperties& extra;
  const MachineRepeatSettings& repeat;
  int trace;                  // StitchFilter::setTraceDesign
  int asciiLabel;             // makeInternalDSTHeader's label flag
  const HString* attachPath;  // KVC only: a file whose bytes become the attached section
  StitchStats* written;       // when given, the statistics of what was written
};

// The output file is created under the path as given (blanks around it removed). When the
// name ends in ".KVB", ".KVC" or ".EDF" (in any case), the design name in the internal header
// is the text between the first '(' of the path and the next ')' or '.', else the design path
// when it differs from the output path, else the output path; otherwise it is the upper-cased
// path. Its file-name part (at most 256 characters) is used.
//
// The KVB writer also replaces the ".CT0" and ".CT1" side files and deletes the ".LT0" one,
// writing it again when the extra properties hold laser blocks and the design laser stitches.
int writeKVBFile(const KvbWriteRequest& request);
// The KVC writer writes no side files.
int writeKVCFile(const KvbWriteRequest& request);

// A KVB file with an empty palette, no condition lines and default extra properties; a null
// `options` stands for a default record (whose format is not 36: result 8).
int makeKVBFormatFile(const HString& path, const HString& designPath, HXArray<HStitch>& stitches,
                      const StitchOptions* options, int trace, const HeadGrouping& grouping,
                      const MachineRepeatSettings& repeat, const HStitch* first);

// The output path and design name the writers choose (see above); exposed for the tests.
void kvbOutputNames(const HString& path, const HString& designPath, HString& filePath,
                    HString& labelName);

}  // namespace stitchkit
