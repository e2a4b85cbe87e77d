#include "stitchkit/files/chenille_condition_file.h"

#include <algorithm>
#include <array>
#include <string>

#include "stitchkit/platform/h_file.h"

namespace stitchkit {

namespace {

// Commands that write no line and end a run of chain or moss lines: sewing, moving, trims,
// design start and end, sequins, lasers, stitch variants and beads.
constexpr std::uint8_t kSilentCodes[] = {
    StitchCode::Normal,
    StitchCode::Jump,
    StitchCode::Trim,
    StitchCode::DesignEnd,
    StitchCode::ChangeOver,
    StitchCode::DesignStart,
    StitchCode::UpperTrim,
    StitchCode::NeedleUp,
    StitchCode::JumpTrim,
    StitchCode::ChenilleHeight,
    StitchCode::SequinStart,
    StitchCode::SequinEnd,
    StitchCode::DropSequin,
    StitchCode::LaserOn,
    StitchCode::LaserOff,
    26,
    27,
    28,
    29,
    30,
    StitchCode::LaserPause,
    StitchCode::BeadStart,
    StitchCode::BeadEnd,
    StitchCode::DropBead,
};

constexpr std::array<bool, 256> silentCodeTable() {
  std::array<bool, 256> table{};
  for (const std::uint8_t code : kSilentCodes)
    table[code] = true;
  return table;
}
constexpr std::array<bool, 256> kIsSilent = silentCodeTable();

constexpr int kChenilleColours = 6;
constexpr int kNeedleColours = 15;
constexpr unsigned kMaxHeight = 9;
constexpr char kLineEnd = '\x0D';

void appendChenilleLine(std::string& out, const HStitch& stitch) {
  out += static_cast<char>('a' + stitch.getColor() % kChenilleColours);
  out += stitch.isChain() ? 'C' : 'L';
  out += static_cast<char>('0' + std::min<unsigned>(stitch.getData(), kMaxHeight));
  out += '-';
  out += kLineEnd;
}

void appendNeedleLine(std::string& out, const HStitch& stitch) {
  const int needle = stitch.getColor() % kNeedleColours + 1;
  out += static_cast<char>(needle <= 9 ? '0' + needle : 'A' + needle - 10);
  out += "---";
  out += kLineEnd;
}

}  // namespace

int makeChenilleConditionFile(const HString& path, StitchWrapper& stitches, const HStitch& chenille,
                              int keepRepeats) {
  HString fileName = path;
  fixname(fileName, L".CC0");
  HFile file;
  if (!file.open(fileName, kGenericWrite, kCreateAlways, 0)) return kChenilleFileWriteFailed;

  std::string text;
  bool chainWritten = false;
  bool mossWritten = false;
  bool lineWritten = false;
  for (int i = 0; i < stitches.length(); ++i) {
    HStitch stitch(stitches[i], 0);
    if (stitch.isNormal() && !lineWritten) {
      stitch = HStitch(chenille, 0);
      if (!stitch.isChain() && !stitch.isMoss()) stitch.setFlags(StitchCode::Stop);
    }
    if (kIsSilent[stitch.getFlags()]) {
      chainWritten = mossWritten = false;
      continue;
    }
    if (stitch.isChain() || stitch.isMoss()) {
      bool& same = stitch.isChain() ? chainWritten : mossWritten;
      bool& other = stitch.isChain() ? mossWritten : chainWritten;
      if (keepRepeats == 0 && same) continue;
      same = true;
      other = false;
      appendChenilleLine(text, stitch);
    } else {
      chainWritten = mossWritten = false;
      appendNeedleLine(text, stitch);
    }
    lineWritten = true;
  }
  const bool written =
      file.write(text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
  const bool closed = file.close();
  return written && closed ? kChenilleFileOk : kChenilleFileWriteFailed;
}

}  // namespace stitchkit
