#pragma once

#include <cstddef>
#include <cstdint>

#include "stitchkit/machine/condition_block_fault.h"
#include "stitchkit/machine/ct0_records.h"
#include "stitchkit/machine/head_grouping.h"
#include "stitchkit/machine/machine_repeat_settings.h"
#include "stitchkit/machine/needle_bar_data.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// The numeric machine conditions of the DC, RP and OF lines of a CT0 block, in block order.
// The one-character lines read and write as small codes (see CTOFile::getHTFData). The
// values are only stored and converted; the machine gives them their meaning.
struct CT0HTFData {
  std::int32_t dc1 = 0;       // 50 to 200
  std::int32_t dc2 = 0;       // 50 to 200
  std::int32_t dc3 = 0;       // 0 to 359
  std::int32_t dc4 = 0;       // 0 'Y', otherwise 'N'
  std::int32_t dc5 = 0;       // 1 'R', otherwise 'S'
  std::int32_t rp0 = 0;       // 1 'U', 2 'P', otherwise 'N'
  std::int32_t rp1 = 0;       // 1 to 99; above 99 the infinity mark
  std::int32_t rp2 = 0;       // as rp1
  std::int32_t rp3 = 0;       // -99999 to 99999
  std::int32_t rp4 = 0;       // as rp3
  std::int32_t rp5 = 0;       // 1 'Y', otherwise 'X'
  std::int32_t rp6 = 0;       // 0 'S', otherwise 'J'
  std::int32_t rp7 = 0;       // 1 'X', 2 'Y', 3 'Z', otherwise 'N'
  std::int32_t of1First = 0;  // each OF value -99999 to 99999
  std::int32_t of1Second = 0;
  std::int32_t of2First = 0;
  std::int32_t of2Second = 0;
  std::int32_t of3First = 0;
  std::int32_t of3Second = 0;

  bool operator==(const CT0HTFData&) const = default;
};

// The switchable pair of the ST lines: ST0 '1' switches it on, ST1 holds the two values.
struct CT0Properties {
  std::int32_t enabled = 0;
  std::int32_t first = 0;   // -99999 to 99999
  std::int32_t second = 0;  // -99999 to 99999

  bool operator==(const CT0Properties&) const = default;
};

// The CT0 condition block: the 1936 bytes a multi-head machine reads beside a design, holding
// its conditions as fixed-position text (layout in ct0_records.h). A plain record copied
// bytewise; every operation works on the bytes in place and none can fail.
//
// Callers see the block in two further forms: the line list (element 0 "KVB", element 1 the
// header text, then one element per line of ct0::kLines, key and data with trailing blanks
// removed, empty lines left out) and the typed records. NS3 and NS4 travel only in the block.
struct CTOFile {
  // A block of blanks (as empty() leaves it).
  CTOFile() { empty(); }

  // Every byte a blank.
  void empty();
  // The default header and lines; the NS lines and the time keep their bytes.
  void fillDefault();

  HXArray<HString> serialize() const;
  // Copies the lines of a line list into the block: for each line but NS2, the first element
  // after element 0 containing its key, from its start, at most key and data long, then the
  // line's CR. Does nothing unless the list has two elements or more and starts with "KVB".
  void deserialize(const HXArray<HString>& lines);

  // A complete block: defaults, the lines, the current time, the head grouping, needle-bar
  // data and repeat settings.
  void setCTOFile(const HXArray<HString>& lines, const HeadGrouping& grouping,
                  const NeedleBarData& needles, const MachineRepeatSettings& repeat);
  // The reverse of setCTOFile. The needle-bar count is not in the block and stays as it was.
  void decodeCTOFile(HXArray<HString>& lines, HeadGrouping& grouping, NeedleBarData& needles,
                     MachineRepeatSettings& repeat) const;

  // Creation time, seconds since 1970-01-01 UTC (stored as 32 bits).
  void setTimeDate(long seconds);
  std::uint32_t getTimeDate() const;

  void getHeadType(HeadGroupType& type) const;
  void setHeadType(const HeadGroupType& type);

  // Each NS line back to its key, blank text (NS4: zero bytes) and CR. NS1 keeps its head
  // group character.
  void initNS1();
  void initNS2();
  void initNS3();
  void initNS4();

  // The needle-bar text areas: NS1 with ns1, NS2 with ns2, NS3 with ns3. The set operations
  // copy only when the record counts at least one block.
  void getNS1(NeedleBarData& needles) const;
  void getNS2(NeedleBarData& needles) const;
  void getNS3(NeedleBarData& needles) const;
  void setNS1(const NeedleBarData& needles);
  void setNS2(const NeedleBarData& needles);
  void setNS3(const NeedleBarData& needles);
  // The head patterns, only for the free-pattern type (8); other types leave both sides
  // untouched.
  void getNS4(HeadGrouping& grouping) const;
  void setNS4(const HeadGrouping& grouping);

  // The RP lines. Nothing but RP0 is read or written while repeating is off.
  void getMachineRepeatSettings(MachineRepeatSettings& repeat) const;
  void setMachineRepeatSettings(const MachineRepeatSettings& repeat);

  // The DC, RP and OF lines. A number that does not parse leaves its member as it was.
  void getHTFData(CT0HTFData& data) const;
  void setHTFData(const CT0HTFData& data);

  // The ST lines. The values are read only when ST0 is '1'; one that does not parse leaves
  // its member as it was.
  void getProperties(CT0Properties& properties) const;
  void setProperties(const CT0Properties& properties);

  char data[ct0::kBlockSize];
};

static_assert(sizeof(CTOFile) == ct0::kBlockSize, "CTOFile is stored byte for byte");

// Checks that `size` bytes at `bytes` are a CT0 block: at least 1936 bytes, every line's key and CR
// at its offset, and every numeric field a number, blanks or (for the repeat counts) the
// infinity mark. Returns kConditionOk, or kConditionMalformed with `fault` filled.
int checkCTOBlock(const unsigned char* bytes, std::size_t size, ConditionBlockFault& fault);

// Reads the CT0 file at `path` into `block` and checks it (checkCTOBlock). Returns
// kConditionOk, kConditionNotOpened or kConditionMalformed with `fault` filled; on a fault
// `block` holds what was read.
int loadCTOFile(const HString& path, CTOFile& block, ConditionBlockFault& fault);

// Reads the CT0 file at `path` into a blank block (a short file leaves the rest blank) and
// decodes it (CTOFile::decodeCTOFile). Returns kConditionOk or kConditionNotOpened.
int readCTOFile(const HString& path, HXArray<HString>& lines, HeadGrouping& grouping,
                NeedleBarData& needles, MachineRepeatSettings& repeat);

}  // namespace stitchkit
