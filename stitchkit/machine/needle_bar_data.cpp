#include "stitchkit/machine/needle_bar_data.h"

#include <algorithm>
#include <cstring>

namespace stitchkit {

namespace {

// Blocks whose needle bytes init() takes from a caller's list.
constexpr int kInitNeedles = 256;

// Needle characters: plain needles cycle through 18 characters ('1' to '9', 'A' to 'I'),
// chenille needles through 12 ('J' to 'N', 'P' to 'V'), punch tools through 18 ('a' to 'r').
constexpr int kPlainNeedles = 18;
constexpr int kChenilleNeedles = 12;
constexpr int kPunchNeedles = 18;

// The stitch kinds of chenille blocks and their first chenille character.
struct ChenilleKind {
  std::uint8_t code;
  char character;
};
constexpr ChenilleKind kChenilleKinds[] = {
    {StitchCode::ChenilleChain, 'C'},           {StitchCode::ChenilleMoss, 'L'},
    {StitchCode::ChenilleCoiling, 'M'},         {StitchCode::ChenilleTaping, 'T'},
    {StitchCode::LockChenilleStandard, '1'},    {StitchCode::LockChenilleTaping, '2'},
    {StitchCode::LockChenilleCoiling, '3'},     {StitchCode::LockChenilleZigZag4, '4'},
    {StitchCode::LockChenilleZigZag4 + 1, '5'}, {StitchCode::LockChenilleZigZag4 + 2, '6'},
    {StitchCode::LockChenilleZigZag4 + 3, '7'}, {StitchCode::LockChenilleZigZag4 + 4, '8'},
    {StitchCode::LockChenilleZigZag9, '9'},     {StitchCode::LockChenilleTucking, 'A'},
    {StitchCode::LockChenilleFrilling, 'B'},
};

// The chenille data character: the data word modulo 11, '0' to '9' or 'H' for 10.
constexpr int kChenilleDataModulus = 11;
constexpr char kChenilleDataTen = 'H';

bool isChenilleNeedle(const HStitch& stitch) {
  return stitch.isMoss() || stitch.isChain() || stitch.isChenilleCoiling() ||
         stitch.isChenilleTaping();
}

void setHeadCodeIfChanged(HStitch& stitch, int code) {
  if (stitch.getHeadCode() != code) stitch.setHeadCode(code);
}

// Gives `stitch` the codes of one entry. The stop code applies to stops, colour changes and
// the chenille commands that open blocks, and only when `withStop` is set.
void applyEntry(HStitch& stitch, const NeedleBarData& data, int entry, int stopPosition,
                bool withStop, int firstPunchThread) {
  const auto& ns1 = data.ns1[static_cast<std::size_t>(entry)];
  setHeadCodeIfChanged(stitch, headCodeOfNeedleBarCode(ns1[0]));
  stitch.setColor(static_cast<unsigned short>(colourOfNeedleBarCode(ns1[1], firstPunchThread)));
  if (withStop && stopPosition < NeedleBarData::kMaxBlocks &&
      (stitch.isStop() || stitch.isColorChange() || stitch.isMoss() || stitch.isChain())) {
    const char stop = data.ns2[static_cast<std::size_t>(stopPosition)];
    stitch.setAutoColourChangeOffset(stop >= '1' && stop <= '9' ? stop - '0' : 0);
  }
  const auto& ns3 = data.ns3[static_cast<std::size_t>(entry)];
  for (const ChenilleKind& kind : kChenilleKinds) {
    if (kind.character != ns3[0]) continue;
    stitch.setFlags(kind.code);
    const char value = ns3[1];
    stitch.setData(value >= '0' && value <= '9' ? static_cast<unsigned short>(value - '0')
                   : value == kChenilleDataTen  ? 10
                                                : 0);
    break;
  }
}

}  // namespace

char needleBarHeadCode(const HStitch& stitch) {
  const int code = stitch.getHeadCode();
  if (code >= 1 && code <= 7) return static_cast<char>('1' + code);
  if (code == 10) return '0';
  if (code >= 20 && code <= 39) return static_cast<char>('A' + (code - 20));
  return '1';
}

int headCodeOfNeedleBarCode(char code) {
  if (code == '0') return 10;
  if (code >= '2' && code <= '8') return code - '1';
  if (code >= 'A' && code <= 'T') return code - 'A' + 20;
  return 0;
}

char needleBarNeedleCode(const HStitch& stitch, int firstPunchThread) {
  const int colour = stitch.getColor();
  if (isChenilleNeedle(stitch)) {
    const int r = colour % kChenilleNeedles;
    return static_cast<char>(r < 5 ? 'J' + r : 'K' + r);
  }
  if (stitch.isLockStitchChenille()) return static_cast<char>('W' + (colour & 1));
  if (firstPunchThread != -1 && colour >= firstPunchThread) {
    return static_cast<char>('a' + (colour - firstPunchThread) % kPunchNeedles);
  }
  const int r = colour % kPlainNeedles;
  return static_cast<char>(r < 9 ? '1' + r : '8' + r);
}

int colourOfNeedleBarCode(char code, int firstPunchThread) {
  if (code >= '1' && code <= '9') return code - '1';
  if (code >= 'A' && code <= 'I') return code - 'A' + 9;
  if (code == 'W' || code == 'X') return code - 'W';
  if (code >= 'J' && code <= 'N') return code - 'J';
  if (code >= 'P' && code <= 'V') return code - 'P' + 5;
  if (code >= 'a' && code <= 'r' && firstPunchThread >= 0) return firstPunchThread + code - 'a';
  return 0;
}

char needleBarStopCode(const HStitch& stitch) {
  if (!stitch.isStop() && !stitch.isColorChange()) return '0';
  const int offset = stitch.getAutoColourChangeOffset();
  if (offset >= 1 && offset <= 9) return static_cast<char>('0' + offset);
  return stitch.isStop() ? '1' : '0';
}

std::array<char, 2> needleBarChenilleCodes(const HStitch& stitch) {
  if (stitch.isColorChange()) return {' ', ' '};
  for (const ChenilleKind& kind : kChenilleKinds) {
    if (kind.code != stitch.getFlags()) continue;
    const int value = stitch.getData() % kChenilleDataModulus;
    return {kind.character, static_cast<char>(value < 10 ? '0' + value : kChenilleDataTen)};
  }
  return {' ', ' '};
}

namespace detail {

HStitch borerBlockStitch(const StitchWrapper& stitches, int index, int borerNeedle, int depth) {
  HStitch coded(stitches[index]);
  coded.setFlags(StitchCode::ChangeNeedle);
  if (stitches[index].isBorerOn() || depth > 0) {
    coded.setColor(static_cast<unsigned short>(std::max(0, borerNeedle - 1)));
    return coded;
  }
  for (int i = index + 1; i < stitches.length(); ++i) {
    if (stitches[i].isNormal() || stitches[i].isJump()) {
      coded.setColor(stitches[i].getColor());
      break;
    }
  }
  return coded;
}

}  // namespace detail

void NeedleBarData::init() {
  count = 0;
  needles.fill(0);
  for (auto& entry : ns1)
    entry = {' ', ' '};
  ns2.fill(' ');
  for (auto& entry : ns3)
    entry = {' ', ' '};
}

void NeedleBarData::init(const unsigned char* list) {
  init();
  if (list == nullptr) return;
  std::memcpy(needles.data(), list, kInitNeedles);
  for (int i = 0; i < kInitNeedles && list[i] != 0; ++i) {
    ns1[static_cast<std::size_t>(i)] = {'1', static_cast<char>('0' + list[i])};
    ++count;
  }
}

void NeedleBarData::setNeedleBarData(const StitchWrapper& stitches, const StitchOptions& options,
                                     const HStitch* first, int firstPunchThread) {
  count = 0;
  const NeedleBlockWalk walk = walkNeedleBlocks(
      stitches, options, first, [&](int entry, int stopPosition, const HStitch& opening) {
        const auto at = static_cast<std::size_t>(entry);
        needles[at] = static_cast<std::uint8_t>(opening.getColor() + 1);
        ns1[at] = {needleBarHeadCode(opening), needleBarNeedleCode(opening, firstPunchThread)};
        ns2[static_cast<std::size_t>(stopPosition < 0 ? 0 : stopPosition)] =
            needleBarStopCode(opening);
        ns3[at] = needleBarChenilleCodes(opening);
      });
  count = walk.count;
  if (walk.stopPosition < count) ns2[static_cast<std::size_t>(walk.stopPosition)] = '0';
}

void NeedleBarData::getNeedleBarData(StitchWrapper& stitches, int firstPunchThread) const {
  if (stitches.length() == 0) return;
  applyEntry(stitches[0], *this, 0, 0, stitches[0].isColorChange(), firstPunchThread);
  int entry = 0;
  int stopPosition = 0;
  for (int i = 1; i < stitches.length() && entry < kMaxBlocks; ++i) {
    const HStitch& previous = stitches[i - 1];
    HStitch& stitch = stitches[i];
    stitch.setColor(previous.getColor());
    setHeadCodeIfChanged(stitch, previous.getHeadCode());
    if (entry == 0 && stitch.isNormal()) entry = 1;
    if (stitch.isColorChange() || stitch.isMoss() || stitch.isChain()) {
      applyEntry(stitch, *this, entry, stopPosition, true, firstPunchThread);
      ++entry;
      ++stopPosition;
    }
  }
}

}  // namespace stitchkit
