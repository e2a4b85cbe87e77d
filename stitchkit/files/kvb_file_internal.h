#pragma once

#include <cstddef>
#include <ctime>
#include <ostream>
#include <span>
#include <vector>

#include "stitchkit/files/kvb_file.h"

// What the KVB and KVC readers and writers share. Not part of the installed interface.
namespace stitchkit::detail {

// Everything a KVC reader fills.
struct KvcOutputs {
  StitchWrapper& stitches;
  StitchOptions& options;
  StitchStats& stats;
  HXArray<HString>& ct0Lines;
  HeadGrouping& grouping;
  MachineRepeatSettings& repeat;
  HList<LT0LaserBlock>& laserBlocks;
  ThreadPalette* palette;
  CT0Properties* ct0;
  CT1Properties* ct1;
  HList<TT0Info>* timeInfo;
  KvcSections* sections;
};

// Reads a whole KVC file held in memory (decodeKVCFile after the file was read).
int decodeKVCBytes(std::span<const unsigned char> file, const KvcOutputs& out);

// The TT0 block for `entries` (leading part, key, entries, 0x1A), and the entries of a block.
std::vector<unsigned char> makeTT0Block(const HList<TT0Info>& entries);
void readTT0Block(std::span<const unsigned char> block, HList<TT0Info>& entries);

// The palette of a header's palette area, as the KVB reader (`kvc` false: entries land at
// their own index, gaps filled with unused black threads) or the KVC reader (`kvc` true: every
// entry that is not blank in order, punch threads named) rebuilds it. Empty when the area
// starts with four blanks.
ThreadPalette paletteFromArea(const unsigned char* area, bool kvc);

// Appends the KVC sections after the stitch data of `out` (positioned anywhere) and writes the
// table of contents over the first 128 bytes. `lt0` is null when no laser record is written.
// Returns kKvbWriteOk or kKvbWriteFailed.
int appendKVCSections(std::ostream& out, const CTOFile& ct0, const std::vector<unsigned char>& ct1,
                      const LT0File* lt0, const HString* attachPath, const ExtraProperties& extra);

// The whole of a file, at most its first `limit` bytes, or false when it cannot be opened or
// read.
bool readWholeFile(const HString& path, std::vector<unsigned char>& bytes,
                   std::size_t limit = static_cast<std::size_t>(-1));

}  // namespace stitchkit::detail
