#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// Layout of the CT1 condition block, shared by its writer and reader.
//
// A 256-byte text header of CR-ended lines at fixed offsets, then the variable sections it
// lists, each its 4-character key, its data and a CR (the thread section ends with the CR of
// its last entry), then the end mark 0x1A. A directory line holds a flag ('1' present, '0'
// absent) and the section's offset from the start of the block as 7 lower-case hexadecimal
// digits.
namespace stitchkit::ct1 {

inline constexpr std::size_t kHeaderSize = 256;
inline constexpr std::size_t kKeyLength = 4;
inline constexpr char kLineEnd = '\x0D';
inline constexpr char kEndMark = '\x1A';

// A header line: its key and the offset of its CR.
struct Line {
  std::string_view key;
  std::size_t offset;
  std::size_t lineEnd;
};

inline constexpr Line kFR1 = {"FR1:", 0, 7};
inline constexpr Line kNS5 = {"NS5:", 16, 23};  // block count at 20, 3 characters
inline constexpr Line kTH1 = {"TH1:", 80, 92};  // '0' at 84
inline constexpr Line kTH2 = {"TH2:", 96, 105};
inline constexpr Line kRM3 = {"RM3:", 112, 120};  // machine speed at 116, 4 characters
inline constexpr Line kTD2 = {"TD2:", 192, 202};  // thread text length at 196, count at 200
inline constexpr Line kNS6 = {"NS6:", 203, 212};  // flag at 207, needle count at 208

inline constexpr std::size_t kBlockCountWidth = 3;
inline constexpr std::size_t kSpeedWidth = 4;
inline constexpr std::size_t kThreadTextWidth = 4;
inline constexpr std::size_t kThreadCountOffset = 200;
inline constexpr std::size_t kThreadCountWidth = 2;
inline constexpr std::size_t kNeedleCountWidth = 4;

// A directory line: its key at `offset`, the flag after the key, the section offset after the
// flag, the CR after that.
struct Section {
  std::string_view directoryKey;
  std::size_t offset;
  std::string_view key;  // the key the section itself starts with
};
inline constexpr std::size_t kFlagPosition = 4;
inline constexpr std::size_t kOffsetPosition = 5;
inline constexpr std::size_t kOffsetWidth = 7;
inline constexpr std::size_t kDirectoryLineEnd = 12;

// The sections in the order they follow the header.
enum SectionIndex : std::size_t { kRM2, kPF2, kCO2, kCO4, kCO6, kAB2, kTD3, kNS8, kNSA, kNSC };
inline constexpr std::array<Section, 10> kSections = {{
    {"RM1:", 32, "RM2:"},   // per block: speed, 4 characters
    {"PF1:", 48, "PF2:"},   // per block: 16-byte presser-foot record
    {"CO1:", 64, "CO2:"},   // per block: comment, 256 UTF-16 characters
    {"CO3:", 128, "CO4:"},  // first text, 256 UTF-16 characters
    {"CO5:", 144, "CO6:"},  // second text, 256 UTF-16 characters
    {"AB1:", 160, "AB2:"},  // 32-byte records
    {"TD1:", 176, "TD3:"},  // thread entries: manufacturer,name,code separated by ','
    {"NS7:", 213, "NS8:"},  // NS1 codes of blocks 256 and up
    {"NS9:", 226, "NSA:"},  // NS2 codes of blocks 256 and up
    {"NSB:", 239, "NSC:"},  // NS3 codes of blocks 256 and up
}};

inline constexpr std::size_t kSpeedRecordSize = 4;
inline constexpr std::size_t kPresserFootRecordSize = 16;
inline constexpr std::size_t kTextCharacters = 256;
inline constexpr std::size_t kTextBytes = 2 * kTextCharacters;
inline constexpr std::size_t kRecordSize = 32;
inline constexpr std::size_t kRecordCount = 16;

// Presser-foot record fields: validity at 0, then, when valid, the lower dead point (2
// characters), the fixed-stroke flag, the stroke (3), the start timing (2) and the second
// foot's lower dead point (2); numbers right-aligned, the rest blanks.
inline constexpr std::size_t kFootValid = 0;
inline constexpr std::size_t kFootLowerDeadPoint = 1;
inline constexpr std::size_t kFootFixedStroke = 3;
inline constexpr std::size_t kFootStroke = 4;
inline constexpr std::size_t kFootStartTiming = 7;
inline constexpr std::size_t kFootSecondLowerDeadPoint = 9;

// A 32-byte record nobody filled: "9999" at 0, '0' at 4, blanks.
inline constexpr std::string_view kDefaultRecordStart = "99990";
inline constexpr std::size_t kRecordFlag = 4;

// Blocks whose needle-bar codes the CT0 block holds; the CT1 block carries the rest.
inline constexpr int kBlocksInCT0 = 256;
inline constexpr int kMaxNeedleBlocks = 999;
inline constexpr std::size_t kMaxThreads = 72;
inline constexpr int kMaxThreadText = 9999;

inline constexpr int kNoSpeed = 9999;
inline constexpr int kLowestSpeed = 250;
inline constexpr int kHighestSpeed = 1500;
inline constexpr int kSpeedStep = 50;

}  // namespace stitchkit::ct1
