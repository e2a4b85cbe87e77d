#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "stitchkit/machine/condition_block_fault.h"
#include "stitchkit/machine/ct1_records.h"
#include "stitchkit/machine/needle_bar_data.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/presser_foot.h"
#include "stitchkit/platform/thread_palette.h"

namespace stitchkit {

// A presser-foot record of the CT1 block: '1' or '0' for valid, then the settings as
// right-aligned text (layout in ct1_records.h).
using CT1PresserFootRecord = std::array<char, ct1::kPresserFootRecordSize>;
// One of the 16 further 32-byte records, carried unchanged.
using CT1Record = std::array<char, ct1::kRecordSize>;

// One thread description: three texts in the multibyte code page.
struct CT1ThreadEntry {
  HMultiByteString manufacturer;
  HMultiByteString name;
  HMultiByteString code;

  bool operator==(const CT1ThreadEntry&) const = default;
};

// The machine conditions a caller gives to and gets from a CT1 block.
struct CT1Properties {
  std::int32_t speedEnabled = 0;
  std::int32_t machineSpeed = ct1::kNoSpeed;  // stitches per minute, 9999 for none
  HXArray<HString> comments;                  // per colour block
  std::int32_t text1Enabled = 0;
  HString text1;
  std::int32_t text2Enabled = 0;
  HString text2;
  HXArray<CT1Record> records;
  HXArray<CT1ThreadEntry> threads;
  HXArray<std::int32_t> speeds;               // per colour block, 9999 for none
  HXArray<CT1PresserFootRecord> presserFoot;  // per colour block
};

// The presser-foot record for `settings`, each value brought into its range and step.
CT1PresserFootRecord makeCT1PresserFootRecord(const PresserFootSettings& settings);

// The CT1 condition block: what the fixed CT0 block has no room for. The record is built from
// a design (build), laid out as bytes (bytes, append) and read back (read, load), then handed
// to the caller (getProperties, getNeedleBarData). Lists hold one entry per colour block.
struct CT1Block {
  CT1Block() { init(); }

  // Empty lists, blank overflow areas of length 0, machine speed 9999, the default header.
  void init();

  // The whole record for a design: init, buildFromStitches, setProperties, setThreads,
  // setNeedleBarOverflow, layOutHeader.
  void build(const StitchWrapper& stitches, const ThreadPalette& palette,
             const StitchOptions& options, const CT1Properties& properties,
             const NeedleBarData& needles);

  // The per-block comments, presser-foot records and speeds of the colour blocks (the blocks
  // of NeedleBarData::setNeedleBarData), and the caller's 32-byte records completed to 16.
  // A list that says nothing is left empty so that its section is not written.
  void buildFromStitches(const StitchWrapper& stitches, const ThreadPalette& palette,
                         const StitchOptions& options, const CT1Properties& properties);
  // Machine speed and the two texts.
  void setProperties(const CT1Properties& properties);
  // Thread descriptions of the first 72 threads, as long as their text stays within 9999
  // bytes.
  void setThreads(const ThreadPalette& palette);
  // The needle-bar count and the codes of blocks 256 and up.
  void setNeedleBarOverflow(const NeedleBarData& needles);
  // Writes the header from the record: counts, flags and section offsets. The thread text
  // length is counted from the entries, which are cut to 72 and 9999 bytes of text.
  void layOutHeader();

  // The block's bytes: the header, the present sections, the end mark.
  std::vector<unsigned char> bytes() const;
  // Writes bytes() to `out`; kStreamOk or the stream's failure.
  int append(OutputBytestream& out) const;

  // Reads a block of `size` bytes, checking every key, flag, offset and number before using
  // it; counts are capped at 999 blocks and nothing is read beyond `size`. A machine speed
  // outside 250 to 1500 reads as none (9999), as the writer would lay it out. Returns
  // kConditionOk or kConditionMalformed with `fault` filled (the record is then partly
  // read).
  int read(const unsigned char* data, std::size_t size, ConditionBlockFault& fault);
  // Reads the CT1 file at `path` (at most 1 MiB): kConditionOk, kConditionNotOpened or
  // kConditionMalformed.
  int load(const HString& path, ConditionBlockFault& fault);

  // The speed flag, machine speed and texts; each list that is not empty replaces the
  // caller's.
  void getProperties(CT1Properties& properties) const;
  // The count, and the codes of blocks 256 and up when the block carries them.
  void getNeedleBarData(NeedleBarData& needles) const;

  std::array<char, ct1::kHeaderSize> header;
  std::int32_t blockCount;
  HXArray<std::int32_t> speeds;
  HXArray<CT1PresserFootRecord> presserFoot;
  HXArray<HString> comments;
  std::int32_t machineSpeed;
  std::int32_t text1Present;
  std::int32_t text2Present;
  HString text1;
  HString text2;
  HXArray<CT1Record> records;
  HXArray<CT1ThreadEntry> threads;
  std::int32_t threadTextLength;
  std::int32_t needleCount;
  std::array<char, 2 * ct1::kMaxNeedleBlocks> ns1More;
  std::int32_t ns1MoreLength;
  std::array<char, ct1::kMaxNeedleBlocks> ns2More;
  std::int32_t ns2MoreLength;
  std::array<char, 2 * ct1::kMaxNeedleBlocks> ns3More;
  std::int32_t ns3MoreLength;
};

}  // namespace stitchkit
