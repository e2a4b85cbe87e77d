#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/model/stitch.h"

// The KVB stitch record and the parts of the KVB file header the stitch decoder reads. Shared
// by the KVB decoder and encoder so that each function byte is written down once.
//
// A record is three bytes: b0 the x move and b1 the y move negated, each a signed byte (two's
// complement), then b2 the function byte. Reading takes y = previous y - b1. The records start
// at byte 1536 of the file; before them the header holds a needle-order table (the 1-based
// needle of each colour block) behind the tag "DO:" and an attribute block behind "DA:".
namespace stitchkit::kvb {

inline constexpr int kRecordSize = 3;
inline constexpr long kRecordsOffset = 1536;

inline constexpr long kNeedleOrderTagOffset = 263;
inline constexpr long kAttributesTagOffset = 523;
inline constexpr int kTagSize = 3;
inline constexpr std::array<unsigned char, kTagSize> kNeedleOrderTag = {'D', 'O', ':'};
inline constexpr std::array<unsigned char, kTagSize> kAttributesTag = {'D', 'A', ':'};
inline constexpr int kNeedleOrderSize = 256;
inline constexpr int kAttributesSize = 360;
// Attribute bytes that, when not blank, make the needle-order table count even when its first
// entry is 0.
inline constexpr std::array<int, 6> kTableAttributeBytes = {1, 2, 3, 6, 7, 8};

// The moves one record carries: x as b0, y as -b1.
inline constexpr int kMinMoveX = -128;
inline constexpr int kMaxMoveX = 127;
inline constexpr int kMinMoveY = -127;
inline constexpr int kMaxMoveY = 128;

constexpr bool fitsRecord(int dx, int dy) {
  return dx >= kMinMoveX && dx <= kMaxMoveX && dy >= kMinMoveY && dy <= kMaxMoveY;
}

// --- Function bytes as read ---------------------------------------------------------------

// What a record's function byte adds to its command code.
enum class Extra : std::uint8_t {
  None,
  NeedleChange,    // the colour comes from the needle-order table
  NoMove,          // the end of the design: the record does not move
  ThenSlowDown,    // a jump, then the same point again as a slow down
  ThenSpeedUp,     // a jump, then the same point again as a speed up
  DataByte,        // the command's data byte is `data`
  ArbitraryBlock,  // the arbitrary block number is the function byte
};

struct Function {
  std::uint8_t code = StitchCode::Stop;
  Extra extra = Extra::None;
  std::uint8_t data = 0;
};

// Function bytes from `first` to `last` with a step of `step`; the data byte of each is its
// distance from `dataBase` (DataByte rows only).
struct FunctionRow {
  std::uint8_t first;
  std::uint8_t last;
  std::uint8_t step;
  std::uint8_t code;
  Extra extra;
  std::uint8_t dataBase;
};

// clang-format off
inline constexpr FunctionRow kFunctionRows[] = {
    {0x80, 0x80, 1, StitchCode::Normal,             Extra::None,           0},
    {0x90, 0x90, 1, StitchCode::Jump,               Extra::None,           0},
    {0x31, 0x31, 1, StitchCode::ChangeNeedle,       Extra::NeedleChange,   0},
    {0x81, 0x81, 1, StitchCode::ChangeNeedle,       Extra::NeedleChange,   0},
    {0x36, 0x36, 1, StitchCode::Trim,               Extra::None,           0},
    {0x86, 0x86, 1, StitchCode::Trim,               Extra::None,           0},
    {0x37, 0x37, 1, StitchCode::UpperTrim,          Extra::None,           0},
    {0x87, 0x87, 1, StitchCode::UpperTrim,          Extra::None,           0},
    {0x40, 0x40, 1, StitchCode::Stop,               Extra::None,           0},
    {0x50, 0x50, 1, StitchCode::Stop,               Extra::None,           0},
    {0x4B, 0x4B, 1, StitchCode::Stop,               Extra::None,           0},
    {0x8C, 0x8C, 1, StitchCode::SlowDown,           Extra::None,           0},
    {0x8D, 0x8D, 1, StitchCode::SpeedUp,            Extra::None,           0},
    {0x9C, 0x9C, 1, StitchCode::Jump,               Extra::ThenSlowDown,   0},
    {0x9D, 0x9D, 1, StitchCode::Jump,               Extra::ThenSpeedUp,    0},
    {0x2A, 0x2A, 1, StitchCode::BorerIn,            Extra::None,           0},
    {0x3A, 0x3A, 1, StitchCode::BorerIn,            Extra::None,           0},
    {0x71, 0x74, 1, StitchCode::BorerIn,            Extra::None,           0},
    {0x2B, 0x2B, 1, StitchCode::BorerOut,           Extra::None,           0},
    {0x3B, 0x3B, 1, StitchCode::BorerOut,           Extra::None,           0},
    {0x3F, 0x3F, 1, StitchCode::DesignEnd,          Extra::NoMove,         0},
    {0x8F, 0x8F, 1, StitchCode::DesignEnd,          Extra::NoMove,         0},
    {0x4D, 0x4D, 1, StitchCode::SequinStart,        Extra::None,           0},
    {0x38, 0x38, 1, StitchCode::SequinEnd,          Extra::None,           0},
    {0x88, 0x88, 1, StitchCode::SequinEnd,          Extra::None,           0},
    {0x39, 0x39, 1, StitchCode::DropSequin,         Extra::DataByte,       0x39},
    {0x89, 0x89, 1, StitchCode::DropSequin,         Extra::DataByte,       0x89},
    {0x69, 0x6F, 1, StitchCode::DropSequin,         Extra::DataByte,       0x68},
    {0x68, 0x68, 1, StitchCode::DropSequinW,        Extra::DataByte,       0x68},
    {0x65, 0x65, 1, StitchCode::BeadStart,          Extra::None,           0},
    {0x66, 0x66, 1, StitchCode::BeadEnd,            Extra::None,           0},
    {0x61, 0x64, 1, StitchCode::DropBead,           Extra::DataByte,       0x61},
    {0x2C, 0x2C, 1, StitchCode::KvbFunction2C,      Extra::None,           0},
    {0x46, 0x46, 1, StitchCode::LaserOn,            Extra::None,           0},
    {0x47, 0x48, 1, StitchCode::LaserOff,           Extra::None,           0},
    {0x2D, 0x2D, 1, StitchCode::Normal,             Extra::None,           0},
    {0x44, 0x45, 1, StitchCode::Normal,             Extra::None,           0},
    {0x49, 0x49, 1, StitchCode::Normal,             Extra::None,           0},
    {0x54, 0x55, 1, StitchCode::Normal,             Extra::None,           0},
    {0x43, 0x43, 1, StitchCode::Tension,            Extra::None,           0},
    {0x53, 0x53, 1, StitchCode::TensionJump,        Extra::None,           0},
    {0x4E, 0x4E, 1, StitchCode::ATHProhibitedStart, Extra::None,           0},
    {0x5E, 0x5E, 1, StitchCode::ATHProhibitedStart, Extra::None,           0},
    {0x4F, 0x4F, 1, StitchCode::ATHProhibitedEnd,   Extra::None,           0},
    {0x5F, 0x5F, 1, StitchCode::ATHProhibitedEnd,   Extra::None,           0},
    {0x67, 0x67, 1, StitchCode::Cut,                Extra::None,           0},
    {0x77, 0x77, 1, StitchCode::CutJump,            Extra::None,           0},
    {0xA0, 0xAE, 2, StitchCode::ArbitraryOn,        Extra::ArbitraryBlock, 0},
    {0xA1, 0xAF, 2, StitchCode::ArbitraryOff,       Extra::ArbitraryBlock, 0},
};
// clang-format on

// Every function byte read: the rows above, a stop for any byte they do not name.
constexpr std::array<Function, 256> makeFunctions() {
  std::array<Function, 256> table{};
  for (const FunctionRow& row : kFunctionRows) {
    for (int b = row.first; b <= row.last; b += row.step) {
      const auto data =
          static_cast<std::uint8_t>(row.extra == Extra::DataByte ? b - row.dataBase : 0);
      table[static_cast<std::size_t>(b)] = Function{row.code, row.extra, data};
    }
  }
  return table;
}

inline constexpr auto kFunctions = makeFunctions();

// A record that is a plain stitch or a plain jump, nothing more: the bulk reader takes it.
constexpr bool isPlain(const Function& f) {
  return f.extra == Extra::None && (f.code == StitchCode::Normal || f.code == StitchCode::Jump);
}

// --- Function bytes as written --------------------------------------------------------------

inline constexpr std::uint8_t kNormal = 0x80;
inline constexpr std::uint8_t kJump = 0x90;
inline constexpr std::uint8_t kNeedleChange = 0x81;
inline constexpr std::uint8_t kTrim = 0x86;
inline constexpr std::uint8_t kUpperTrim = 0x87;
inline constexpr std::uint8_t kSlowDown = 0x8C;
inline constexpr std::uint8_t kSpeedUp = 0x8D;
inline constexpr std::uint8_t kStopAfterStitch = 0x40;
inline constexpr std::uint8_t kStop = 0x50;  // also every command without a function byte
inline constexpr std::uint8_t kEnd = 0x8F;
inline constexpr std::uint8_t kBorerIn = 0x2A;
inline constexpr std::uint8_t kBorerOut = 0x2B;
inline constexpr std::uint8_t kSequinStart = 0x4D;
inline constexpr std::uint8_t kSequinEnd = 0x88;
inline constexpr std::uint8_t kDropSequin = 0x89;          // also a drop in change-over mode
inline constexpr std::uint8_t kDropSequinHeadBase = 0x68;  // + head 1 to 7
inline constexpr std::uint8_t kDropSequinW = 0x68;
inline constexpr std::uint8_t kBeadStart = 0x65;
inline constexpr std::uint8_t kBeadEnd = 0x66;
inline constexpr std::uint8_t kDropBead = 0x61;  // + head 1 to 3; also a bead drop in
                                                 // change-over mode
inline constexpr std::uint8_t kFunction2C = 0x2C;
inline constexpr std::uint8_t kLaserOn = 0x46;
inline constexpr std::uint8_t kLaserOff = 0x47;
inline constexpr std::uint8_t kLaserPause = 0x48;
inline constexpr std::uint8_t kTension = 0x43;
inline constexpr std::uint8_t kTensionJump = 0x53;
inline constexpr std::uint8_t kCut = 0x67;
inline constexpr std::uint8_t kCutJump = 0x77;
inline constexpr std::uint8_t kATHProhibitedStart = 0x4E;
inline constexpr std::uint8_t kATHProhibitedEnd = 0x4F;
inline constexpr int kMaxSequinHead = 7;
inline constexpr int kMaxBeadHead = 3;

// The function byte of each command code whose byte does not depend on the machine's state;
// codes the writer works out from its state are marked by their usual byte and chosen again.
// Every code without a row is written as a stop.
constexpr std::array<std::uint8_t, 256> makeWrittenBytes() {
  std::array<std::uint8_t, 256> table{};
  table.fill(kStop);
  table[StitchCode::Normal] = kNormal;
  for (int code = StitchCode::FirstStitchVariant; code <= StitchCode::LastStitchVariant; ++code) {
    table[static_cast<std::size_t>(code)] = kNormal;
  }
  table[StitchCode::Jump] = kJump;
  table[StitchCode::ChangeNeedle] = kNeedleChange;
  table[StitchCode::ChenilleChain] = kNeedleChange;
  table[StitchCode::ChenilleMoss] = kNeedleChange;
  for (int code = StitchCode::ChenilleCoiling; code <= StitchCode::LockChenilleZigZag9; ++code) {
    table[static_cast<std::size_t>(code)] = kNeedleChange;
  }
  table[StitchCode::LockChenilleTucking] = kNeedleChange;
  table[StitchCode::LockChenilleFrilling] = kNeedleChange;
  table[StitchCode::Trim] = kTrim;
  table[StitchCode::JumpTrim] = kTrim;
  table[StitchCode::UpperTrim] = kUpperTrim;
  table[StitchCode::SlowDown] = kSlowDown;
  table[StitchCode::SpeedUp] = kSpeedUp;
  table[StitchCode::Stop] = kStop;
  table[StitchCode::TwoStop] = kStop;
  table[StitchCode::ThreeStop] = kStop;
  table[StitchCode::DesignEnd] = kEnd;
  table[StitchCode::BorerIn] = kBorerIn;
  table[StitchCode::BorerOut] = kBorerOut;
  table[StitchCode::ChangeOver] = kSequinStart;
  table[StitchCode::SequinStart] = kSequinStart;
  table[StitchCode::SequinEnd] = kSequinEnd;
  table[StitchCode::DropSequin] = kDropSequin;
  table[StitchCode::LaserOn] = kLaserOn;
  table[StitchCode::LaserOff] = kLaserOff;
  table[StitchCode::LaserPause] = kLaserPause;
  table[StitchCode::KvbFunction2C] = kFunction2C;
  table[StitchCode::Tension] = kTension;
  table[StitchCode::TensionJump] = kTensionJump;
  table[StitchCode::Cut] = kCut;
  table[StitchCode::CutJump] = kCutJump;
  table[StitchCode::ATHProhibitedStart] = kATHProhibitedStart;
  table[StitchCode::ATHProhibitedEnd] = kATHProhibitedEnd;
  table[StitchCode::BeadStart] = kBeadStart;
  table[StitchCode::BeadEnd] = kBeadEnd;
  table[StitchCode::DropBead] = kDropBead;
  table[StitchCode::DropSequinW] = kDropSequin;
  return table;
}

inline constexpr auto kWrittenBytes = makeWrittenBytes();

}  // namespace stitchkit::kvb
