#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"

namespace stitchkit {

// The machine's assignment of every colour block of a design: which needle bar and head group
// sews it, whether a stop or an automatic colour change ends it, and which chenille mode it
// uses. Built from a stitch list when a design is written (setNeedleBarData) and applied back
// to a decoded stitch list (getNeedleBarData). The condition blocks store the three code areas
// as text: ns1 and ns3 two characters per block, ns2 one.
//
// A plain record of exactly 5998 bytes without padding, copied bytewise.
#pragma pack(push, 1)
struct NeedleBarData {
  static constexpr int kMaxBlocks = 999;

  // Count 0, every needle byte 0, every code blank.
  NeedleBarData() { init(); }

  void init();
  // init(), then, when `needles` is not null, takes its first 256 bytes as the needle bytes
  // and counts the blocks up to the first zero byte among them, giving each the codes '1'
  // (head) and '0' plus the byte (needle). `needles` must hold 256 bytes.
  void init(const unsigned char* needles);

  // Builds the record from `stitches`. `first`, when not null, stands in for the list's first
  // stitch as the start of block 0. `firstPunchThread` is the palette's first punch thread
  // index (ThreadPalette::getFirstPunchThreadIndex), or -1 when there is none. The borer
  // needle of `options` (getHasBorerNeedle, getBorerNeedle) makes borer commands open blocks.
  // Stops at 999 blocks.
  void setNeedleBarData(const StitchWrapper& stitches, const StitchOptions& options,
                        const HStitch* first, int firstPunchThread);
  // Applies the record to a decoded list: every stitch takes the needle and head code of its
  // block, and the stitch that opens a block (a colour change, moss or chain) also its stop
  // and chenille codes.
  void getNeedleBarData(StitchWrapper& stitches, int firstPunchThread) const;

  std::int32_t count;                               // colour blocks recorded, 0 to 999
  std::array<std::uint8_t, kMaxBlocks> needles;     // per block: colour index + 1
  std::array<std::array<char, 2>, kMaxBlocks> ns1;  // head code, needle character
  std::array<char, kMaxBlocks> ns2;                 // stop / automatic colour change
  std::array<std::array<char, 2>, kMaxBlocks> ns3;  // chenille mode, chenille data
};
#pragma pack(pop)

static_assert(sizeof(NeedleBarData) == 5998, "NeedleBarData is stored byte for byte");

// The single-character codes of one block, written from the stitch that opens it and read
// back onto a stitch.
char needleBarHeadCode(const HStitch& stitch);
char needleBarNeedleCode(const HStitch& stitch, int firstPunchThread);
char needleBarStopCode(const HStitch& stitch);
// The two chenille characters; blanks for anything but a chenille kind.
std::array<char, 2> needleBarChenilleCodes(const HStitch& stitch);
// The colour a needle character stands for; 0 for characters without one.
int colourOfNeedleBarCode(char code, int firstPunchThread);
// The head code a head character stands for; 0 for characters without one.
int headCodeOfNeedleBarCode(char code);

// Calls `onBlock(entry, stopPosition, opening)` for every block that a stitch list opens,
// under the rules of setNeedleBarData: first for block 0 with entry 0 and stopPosition -1,
// then for each later block with the entry it fills and the position of the stop code it
// writes (the stop code of a stitch describes the block it ends). `opening` is the stitch the
// codes are taken from; for borer commands a colour change made for the borer needle. With an
// empty list nothing is called and both counts are 0.
struct NeedleBlockWalk {
  int count = 0;         // blocks recorded (block 0 counts once a normal stitch is sewn)
  int stopPosition = 0;  // stop codes written after block 0's
};
template <typename OnBlock>
NeedleBlockWalk walkNeedleBlocks(const StitchWrapper& stitches, const StitchOptions& options,
                                 const HStitch* first, OnBlock&& onBlock);

namespace detail {
// The stitch a borer command's block is coded from (see walkNeedleBlocks); `depth` is the
// borer depth after the command.
HStitch borerBlockStitch(const StitchWrapper& stitches, int index, int borerNeedle, int depth);
}  // namespace detail

template <typename OnBlock>
NeedleBlockWalk walkNeedleBlocks(const StitchWrapper& stitches, const StitchOptions& options,
                                 const HStitch* first, OnBlock&& onBlock) {
  if (stitches.length() == 0) return {};
  const HStitch& start = first != nullptr ? *first : stitches[0];
  onBlock(0, -1, start);
  unsigned current = start.getColor();
  const bool hasBorer = options.getHasBorerNeedle() != 0;
  const int borerNeedle = options.getBorerNeedle();
  int depth = 0;
  int count = 0;
  int stopPosition = 0;
  for (int i = 1; i < stitches.length() && count < NeedleBarData::kMaxBlocks; ++i) {
    const HStitch& stitch = stitches[i];
    if (count == 0 && stitch.isNormal()) count = 1;
    HStitch coded;
    bool opens = false;
    if (hasBorer && (stitch.isBorerOn() || stitch.isBorerOff())) {
      depth += stitch.isBorerOn() ? 1 : -1;
      coded = detail::borerBlockStitch(stitches, i, borerNeedle, depth);
      opens = true;
    } else {
      opens = stitch.isColorChange() || stitch.isChenille() || stitch.isLockStitchChenille() ||
              (stitch.getColor() != current && !stitch.isJumpTrim() && !stitch.isStop());
      if (opens) coded = stitch;
    }
    if (!opens) continue;
    current = coded.getColor();
    onBlock(count, stopPosition, coded);
    ++count;
    ++stopPosition;
  }
  return {count, stopPosition};
}

}  // namespace stitchkit
