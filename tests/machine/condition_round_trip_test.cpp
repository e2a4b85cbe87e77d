#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stitchkit/files/read_design.h"
#include "stitchkit/machine/ct1_block.h"
#include "stitchkit/machine/cto_file.h"

// A design's needle-bar data and head grouping written into a CT0 and a CT1 block, read back
// from their bytes, and applied to the design's stitches again.
namespace stitchkit {
namespace {

constexpr int kHeadCodes[] = {0, 1, 7, 10, 20, 39};

HeadGrouping freeHeads(int heads) {
  HeadGrouping grouping;
  grouping.type = kHeadGroupTypeFreePattern;
  grouping.headCount = static_cast<std::uint16_t>(heads);
  for (int head = 0; head < heads; ++head)
    grouping.patterns[head].elements[(head * 9) % 64] = grouping.patterns[head].elements[63] = 1;
  return grouping;
}

// 300 colour blocks: colour changes over 18 needles with head codes and automatic colour
// change offsets, every tenth block a moss block with a chenille height.
HXArray<HStitch> manyBlocks() {
  HXArray<HStitch> design;
  design.add(HStitch(0, 0));
  design.add(HStitch(1, 1));  // block 0 counts from its first sewn stitch after the start
  for (int block = 1; block < 300; ++block) {
    const bool moss = block % 10 == 5;
    const auto colour = static_cast<unsigned short>(moss ? block % 12 : block % 18);
    const int head = kHeadCodes[block % 6];
    HStitch opening(0, 0, moss ? StitchCode::ChenilleMoss : StitchCode::ChangeNeedle, colour);
    opening.setHeadCode(head);
    if (moss) {
      opening.setData(static_cast<unsigned short>(block % 11));
    } else {
      opening.setAutoColourChangeOffset(block % 4);
    }
    design.add(opening);
    for (short i = 0; i < 2; ++i) {
      HStitch sewn(i, i, StitchCode::Normal, colour);
      sewn.setHeadCode(head);
      design.add(sewn);
    }
  }
  return design;
}

struct ReadBack {
  NeedleBarData needles;
  HeadGrouping grouping;
  CT1Block ct1;
};

// Writes both blocks for `design` and reads them back from their bytes.
ReadBack writeAndRead(const HXArray<HStitch>& design, const HeadGrouping& grouping,
                      NeedleBarData& written) {
  HXArray<HStitch> copy = design;
  const StitchArrayWrapper stitches(copy);
  const StitchOptions options;
  written.setNeedleBarData(stitches, options, nullptr, -1);
  CTOFile ct0;
  HXArray<HString> lines;
  lines.add("KVB");
  lines.add("");
  ct0.setCTOFile(lines, grouping, written, MachineRepeatSettings());
  CT1Block ct1;
  ct1.build(stitches, ThreadPalette(), options, CT1Properties(), written);
  const std::vector<unsigned char> ct1Bytes = ct1.bytes();

  ReadBack read;
  ConditionBlockFault fault;
  CTOFile ct0Read;
  std::memcpy(ct0Read.data, ct0.data, sizeof ct0.data);
  EXPECT_EQ(checkCTOBlock(reinterpret_cast<const unsigned char*>(ct0Read.data), sizeof ct0Read.data,
                          fault),
            kConditionOk);
  MachineRepeatSettings repeat;
  ct0Read.decodeCTOFile(lines, read.grouping, read.needles, repeat);
  EXPECT_EQ(read.ct1.read(ct1Bytes.data(), ct1Bytes.size(), fault), kConditionOk) << fault.offset;
  read.ct1.getNeedleBarData(read.needles);
  return read;
}

void expectSameAssignment(const NeedleBarData& read, const NeedleBarData& written) {
  EXPECT_EQ(read.count, written.count);
  EXPECT_EQ(read.ns1, written.ns1);
  EXPECT_EQ(read.ns2, written.ns2);
  EXPECT_EQ(read.ns3, written.ns3);
}

void expectSameGrouping(const HeadGrouping& read, const HeadGrouping& written) {
  EXPECT_EQ(read.type, written.type);
  EXPECT_EQ(read.headCount, written.headCount);
  for (int head = 0; head < HeadGrouping::kMaxHeads; ++head)
    EXPECT_EQ(read.patterns[head].elements, written.patterns[head].elements) << head;
}

// The design with its needle assignment wiped: colours, head codes, offsets, chenille heights.
HXArray<HStitch> wiped(const HXArray<HStitch>& design) {
  HXArray<HStitch> out = design;
  for (HStitch& s : out) {
    s.setColor(0);
    if (s.getHeadCode() != 0) s.setHeadCode(0);
    if (s.getAutoColourChangeOffset() != 0) s.setAutoColourChangeOffset(0);
    if (s.isMoss()) s.setData(0);
  }
  return out;
}

TEST(ConditionRoundTrip, ThreeHundredBlocksComeBackThroughBothBlocks) {
  const HXArray<HStitch> design = manyBlocks();
  const HeadGrouping grouping = freeHeads(3);
  NeedleBarData written;
  const ReadBack read = writeAndRead(design, grouping, written);
  ASSERT_EQ(written.count, 300);
  expectSameAssignment(read.needles, written);
  expectSameGrouping(read.grouping, grouping);
  EXPECT_EQ(std::string(&read.ct1.header[16], 7), "NS5:256");
  EXPECT_EQ(std::string(&read.ct1.header[203], 9), "NS6:1 300");
  EXPECT_EQ(read.ct1.ns1MoreLength, 88);
  EXPECT_EQ(read.ct1.ns2MoreLength, 44);
  EXPECT_EQ(read.ct1.ns3MoreLength, 88);

  HXArray<HStitch> applied = wiped(design);
  StitchArrayWrapper stitches(applied);
  read.needles.getNeedleBarData(stitches, -1);
  for (int i = 0; i < design.length(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(applied[i].getColor(), design[i].getColor());
    EXPECT_EQ(applied[i].getHeadCode(), design[i].getHeadCode());
    EXPECT_EQ(applied[i].getAutoColourChangeOffset(), design[i].getAutoColourChangeOffset());
    EXPECT_EQ(applied[i].getData(), design[i].getData());
    ASSERT_EQ(applied[i].getFlags(), design[i].getFlags());
  }
}

TEST(ConditionRoundTrip, SampleDesignKeepsItsNeedleAssignment) {
  const std::string path = std::string(STITCHKIT_SAMPLES_DIR) + "/dst/catalogue__01Peacock.dst";
  HXArray<HStitch> design;
  StitchStats stats;
  double scale = 1.0;
  ASSERT_EQ(decodeFile(utf8ToStr(path), design, stats, scale, nullptr, nullptr, nullptr, nullptr),
            kReadOk);
  const HeadGrouping grouping = freeHeads(HeadGrouping::kMaxHeads);
  NeedleBarData written;
  const ReadBack read = writeAndRead(design, grouping, written);
  ASSERT_GT(written.count, 15);
  expectSameAssignment(read.needles, written);
  expectSameGrouping(read.grouping, grouping);

  HXArray<HStitch> applied = wiped(design);
  StitchArrayWrapper stitches(applied);
  read.needles.getNeedleBarData(stitches, -1);
  for (int i = 0; i < design.length(); ++i)
    ASSERT_EQ(applied[i].getColor(), design[i].getColor() % 18) << "stitch " << i;
}

}  // namespace
}  // namespace stitchkit
