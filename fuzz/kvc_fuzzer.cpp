// Feeds arbitrary bytes to the KVC reader: a table of contents whose offsets and lengths point
// anywhere, broken palettes and records. Besides not crashing, what was read must be whole:
// laser blocks come in sets of 50, and every TT0 entry has a name of at most 24 characters.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "stitchkit/files/kvb_file_internal.h"

using namespace stitchkit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  HXArray<HStitch> stitches;
  StitchArrayWrapper wrapper(stitches);
  StitchOptions options;
  setDefaultDecoderOptions(options);
  options.setFileFormat(kFormatKvb);
  StitchStats stats;
  HXArray<HString> lines;
  HeadGrouping grouping;
  MachineRepeatSettings repeat;
  HList<LT0LaserBlock> laser;
  ThreadPalette palette;
  CT0Properties ct0;
  CT1Properties ct1;
  HList<TT0Info> times;
  KvcSections sections;
  const int result = detail::decodeKVCBytes(std::span<const unsigned char>(data, size),
                                            {wrapper, options, stats, lines, grouping, repeat,
                                             laser, &palette, &ct0, &ct1, &times, &sections});
  if (result == kKvbReadOk) {
    if (laser.length() % static_cast<int>(lt0::kBlockCount) != 0) std::abort();
    for (const TT0Info& entry : times) {
      if (entry.name.length() > static_cast<int>(kvbfile::kTt0NameSize)) std::abort();
    }
    if (palette.length() > static_cast<int>(kvbfile::kPaletteEntries)) std::abort();
    for (const std::size_t length : {sections.ct0, sections.attached, sections.lt0, sections.ct1,
                                     sections.fifth, sections.tt0}) {
      if (length > size) std::abort();
    }
  }
  return 0;
}
