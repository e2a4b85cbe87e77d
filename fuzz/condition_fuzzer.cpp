// Feeds arbitrary bytes to the CT0 and CT1 condition block readers and checks what a caller
// relies on besides not crashing:
// - CT0: block to lines, lines to block and block to records never fail; records written and
//   read once more come back unchanged (every field is normalised by one write), and a block
//   built from any line list keeps every key and CR in place.
// - CT1: a block that reads without a fault, laid out again, reads without a fault into the
//   same properties and needle-bar data.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "stitchkit/machine/ct1_block.h"
#include "stitchkit/machine/cto_file.h"

using namespace stitchkit;

namespace {

bool sameGrouping(const HeadGrouping& a, const HeadGrouping& b) {
  if (a.type != b.type || a.headCount != b.headCount) return false;
  for (int head = 0; head < HeadGrouping::kMaxHeads; ++head) {
    if (a.patterns[head].elements != b.patterns[head].elements) return false;
  }
  return true;
}

void fuzzCT0(const std::uint8_t* data, std::size_t size) {
  ConditionBlockFault fault;
  checkCTOBlock(data, size, fault);
  CTOFile block;
  std::memcpy(block.data, data, size < ct0::kBlockSize ? size : ct0::kBlockSize);

  HXArray<HString> lines;
  HeadGrouping grouping;
  NeedleBarData needles;
  MachineRepeatSettings repeat;
  block.decodeCTOFile(lines, grouping, needles, repeat);
  CT0HTFData htf;
  block.getHTFData(htf);
  CT0Properties properties;
  block.getProperties(properties);

  // Any line list gives a block whose lines end where they belong.
  CTOFile rebuilt;
  needles.count = 1;
  rebuilt.setCTOFile(lines, grouping, needles, repeat);
  for (const ct0::Line& line : ct0::kLines) {
    if (rebuilt.data[line.offset + ct0::kKeyLength + line.width] != ct0::kLineEnd) __builtin_trap();
  }

  // Records: one write normalises them; a second write and read changes nothing.
  rebuilt.setHTFData(htf);
  rebuilt.setProperties(properties);
  // Fields that do not parse (the infinity mark) keep the value read into, so each read
  // starts from the record written.
  CT0HTFData once = htf;
  rebuilt.getHTFData(once);
  CT0Properties propertiesOnce = properties;
  rebuilt.getProperties(propertiesOnce);
  MachineRepeatSettings repeatOnce = repeat;
  rebuilt.getMachineRepeatSettings(repeatOnce);
  HeadGrouping groupingOnce;
  groupingOnce.type = grouping.type;
  rebuilt.getNS4(groupingOnce);

  CTOFile again = rebuilt;
  again.setHTFData(once);
  again.setProperties(propertiesOnce);
  again.setNS4(groupingOnce);
  CT0HTFData twice = once;
  again.getHTFData(twice);
  CT0Properties propertiesTwice = propertiesOnce;
  again.getProperties(propertiesTwice);
  HeadGrouping groupingTwice;
  groupingTwice.type = grouping.type;
  again.getNS4(groupingTwice);
  // The repeat settings share the RP lines with the condition record, so they go through a
  // block of their own. Settings switched on without a count are written as switched off.
  CTOFile repeated = rebuilt;
  repeated.setMachineRepeatSettings(repeatOnce);
  MachineRepeatSettings repeatTwice = repeatOnce;
  repeated.getMachineRepeatSettings(repeatTwice);
  const bool repeatInUse =
      repeatOnce.enabled != 0 && (repeatOnce.firstCount != 0 || repeatOnce.secondCount != 0);
  if (!(once == twice) || !(propertiesOnce == propertiesTwice) ||
      (repeatInUse &&
       (repeatTwice.enabled == 0 || repeatOnce.firstCount != repeatTwice.firstCount ||
        repeatOnce.secondCount != repeatTwice.secondCount ||
        repeatOnce.firstOffset != repeatTwice.firstOffset ||
        repeatOnce.secondOffset != repeatTwice.secondOffset)) ||
      !sameGrouping(groupingOnce, groupingTwice)) {
    __builtin_trap();
  }
}

void fuzzCT1(const std::uint8_t* data, std::size_t size) {
  CT1Block block;
  ConditionBlockFault fault;
  if (block.read(data, size, fault) != kConditionOk) {
    if (fault.expected.empty() || fault.offset > size) __builtin_trap();
    return;
  }
  CT1Properties properties;
  block.getProperties(properties);
  NeedleBarData needles;
  block.getNeedleBarData(needles);

  block.layOutHeader();
  const std::vector<unsigned char> bytes = block.bytes();
  CT1Block reread;
  if (reread.read(bytes.data(), bytes.size(), fault) != kConditionOk) __builtin_trap();
  CT1Properties rereadProperties;
  reread.getProperties(rereadProperties);
  NeedleBarData rereadNeedles;
  reread.getNeedleBarData(rereadNeedles);
  if (rereadProperties.machineSpeed != properties.machineSpeed ||
      !(rereadProperties.text1 == properties.text1) ||
      !(rereadProperties.comments == properties.comments) ||
      !(rereadProperties.speeds == properties.speeds) ||
      !(rereadProperties.presserFoot == properties.presserFoot) ||
      !(rereadProperties.threads == block.threads) ||
      !(rereadProperties.records == properties.records) || rereadNeedles.count != needles.count ||
      rereadNeedles.ns1 != needles.ns1 || rereadNeedles.ns2 != needles.ns2 ||
      rereadNeedles.ns3 != needles.ns3) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzCT0(data, size);
  fuzzCT1(data, size);
  return 0;
}
