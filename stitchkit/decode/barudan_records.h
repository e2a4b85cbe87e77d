#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "stitchkit/model/stitch.h"

// The Barudan record: three bytes b0 b1 b2. Shared by the Barudan decoder and encoder so that
// each bit and each command byte is written down once.
//
//   byte  bit7  bit6            bit5            bits 4-0
//   b0    1     y sign (1: +)   x sign (1: -)   command
//   b1    0     |dy|, 0 to 127
//   b2    0     |dx|, 0 to 127
//
// A record is well formed when bit 7 of b0 is set and bit 7 of b1 and of b2 is clear. Needles
// 1 to 9 have a command of their own; needles 10 to 19 are written as the prefix command 18,
// which carries the move, followed by an extension record whose command is that of needle
// n - 10 (command 8, otherwise the stop, standing for needle 10).
namespace stitchkit::barudan {

inline constexpr int kRecordSize = 3;
inline constexpr int kMaxMove = 127;
// A .DSB file has a header of this size in front of its records; a .BAR file has none.
inline constexpr int kDsbHeaderSize = 512;

inline constexpr std::uint8_t kLeadBit = 0x80;      // b0 bit 7, always set
inline constexpr std::uint8_t kYPositive = 0x40;    // b0 bit 6: y moves up
inline constexpr std::uint8_t kXNegative = 0x20;    // b0 bit 5: x moves left
inline constexpr std::uint8_t kCommandMask = 0x1F;  // b0 bits 4-0
inline constexpr std::uint8_t kMoveMask = 0x7F;     // b1, b2: the move magnitude

constexpr bool isWellFormed(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  return (b0 & kLeadBit) != 0 && (b1 & kLeadBit) == 0 && (b2 & kLeadBit) == 0;
}

// The command numbers (b0 & kCommandMask) that the encoder writes and the decoder reads by
// name. The needle commands are listed in kNeedleCommands.
namespace command {
inline constexpr std::uint8_t kNormal = 0;
inline constexpr std::uint8_t kJump = 1;
inline constexpr std::uint8_t kSlowDown = 2;  // 3 reads the same
inline constexpr std::uint8_t kSpeedUp = 4;   // 5 reads the same
inline constexpr std::uint8_t kUpperTrim = 6;
inline constexpr std::uint8_t kTrim = 7;
inline constexpr std::uint8_t kStop = 8;
inline constexpr std::uint8_t kChain = 9;  // written for chenille chain (reads as needle 1)
inline constexpr std::uint8_t kMoss = 10;  // written for chenille moss (reads as needle 2)
inline constexpr std::uint8_t kNeedlePrefix = 18;
inline constexpr std::uint8_t kFrameOut = 23;
inline constexpr std::uint8_t kEnd = 24;
inline constexpr std::uint8_t kBorerIn = 28;
inline constexpr std::uint8_t kBorerOut = 30;
}  // namespace command

inline constexpr int kCommandCount = 32;

// The function byte of a command as the encoder starts it: both sign bits set, which is also
// how a record without a move is written. Frame out is written with both sign bits clear.
constexpr std::uint8_t functionByte(std::uint8_t cmd) {
  return static_cast<std::uint8_t>(kLeadBit | kYPositive | kXNegative | cmd);
}
inline constexpr std::uint8_t kFrameOutByte = kLeadBit | command::kFrameOut;             // 0x97
inline constexpr std::uint8_t kNeedlePrefixByte = functionByte(command::kNeedlePrefix);  // 0xF2
// A jump that does not move; the blank jumps some machines put around a change over.
inline constexpr std::array<std::uint8_t, kRecordSize> kBlankJump = {functionByte(command::kJump),
                                                                     0x00, 0x00};

// The command of needle i (1 to 9), and after the prefix record that of needle 10 + i (0 to
// 9). Needles 1 to 7 are commands 9 to 15, needles 8 and 9 commands 16 and 17.
inline constexpr std::array<std::uint8_t, 10> kNeedleCommands = {8,  9,  10, 11, 12,
                                                                 13, 14, 15, 16, 17};
// Needles 1 to 19 can be written; from kPrefixedNeedle on a prefix record goes first.
inline constexpr int kPrefixedNeedle = 10;
inline constexpr int kMaxNeedle = kPrefixedNeedle + static_cast<int>(kNeedleCommands.size()) - 1;

// --- Reading ------------------------------------------------------------------------------

// When a record's move is applied.
enum class MoveRule : std::uint8_t {
  Always,
  Never,
  UnlessExtended,     // only for the formats without extended records (extendedVariant 0)
  WhileStopTableHas,  // always while the stop table has an entry for this stop, else as
                      // UnlessExtended
};

// Colour of a command's stitch: a needle index, or one of these.
inline constexpr std::int8_t kColourInUse = -1;      // the needle in use
inline constexpr std::int8_t kColourExtension = -2;  // from the extension record that follows

struct CommandRule {
  std::uint8_t code;  // StitchCode
  std::int8_t colour;
  MoveRule moves;
};

// What each command reads as. Commands without a row of their own (19 to 22, 25 to 27, 29,
// 31) are stops that move only in the formats without extended records.
constexpr std::array<CommandRule, kCommandCount> makeCommandRules() {
  std::array<CommandRule, kCommandCount> rules{};
  for (CommandRule& r : rules)
    r = {StitchCode::Stop, kColourInUse, MoveRule::UnlessExtended};
  rules[command::kNormal] = {StitchCode::Normal, kColourInUse, MoveRule::Always};
  rules[command::kJump] = {StitchCode::Jump, kColourInUse, MoveRule::Always};
  rules[command::kSlowDown] = {StitchCode::SlowDown, kColourInUse, MoveRule::UnlessExtended};
  rules[command::kSlowDown + 1] = rules[command::kSlowDown];
  rules[command::kSpeedUp] = {StitchCode::SpeedUp, kColourInUse, MoveRule::UnlessExtended};
  rules[command::kSpeedUp + 1] = rules[command::kSpeedUp];
  rules[command::kUpperTrim] = {StitchCode::UpperTrim, kColourInUse, MoveRule::Always};
  rules[command::kTrim] = {StitchCode::Trim, kColourInUse, MoveRule::Always};
  rules[command::kStop] = {StitchCode::Stop, kColourInUse, MoveRule::WhileStopTableHas};
  for (std::size_t needle = 1; needle < kNeedleCommands.size(); ++needle) {
    rules[kNeedleCommands[needle]] = {
        StitchCode::ChangeNeedle, static_cast<std::int8_t>(needle - 1), MoveRule::UnlessExtended};
  }
  rules[command::kNeedlePrefix] = {StitchCode::ChangeNeedle, kColourExtension,
                                   MoveRule::UnlessExtended};
  rules[command::kFrameOut] = {StitchCode::FrameOut, kColourInUse, MoveRule::UnlessExtended};
  rules[command::kEnd] = {StitchCode::DesignEnd, kColourInUse, MoveRule::Never};
  rules[command::kBorerIn] = {StitchCode::BorerIn, kColourInUse, MoveRule::UnlessExtended};
  rules[command::kBorerOut] = {StitchCode::BorerOut, kColourInUse, MoveRule::UnlessExtended};
  return rules;
}
inline constexpr auto kCommandRules = makeCommandRules();

// Colour given by the command of the extension record after a prefix: needle 10 + i for the
// command of kNeedleCommands[i], needle 10 for any other command.
constexpr std::array<std::uint8_t, kCommandCount> makeExtensionColours() {
  std::array<std::uint8_t, kCommandCount> colours{};
  for (std::uint8_t& c : colours)
    c = kPrefixedNeedle - 1;
  for (std::size_t i = 0; i < kNeedleCommands.size(); ++i) {
    colours[kNeedleCommands[i]] = static_cast<std::uint8_t>(kPrefixedNeedle - 1 + i);
  }
  return colours;
}
inline constexpr auto kExtensionColours = makeExtensionColours();

// --- Writing ------------------------------------------------------------------------------

// Highest command code the encoder has a function byte for.
inline constexpr int kMaxWrittenCode = 65;

// Function byte of each command code (before the sign bits follow the move); 0 for codes
// that cannot be written. A colour change has its own bytes, by needle (kNeedleCommands).
constexpr std::array<std::uint8_t, kMaxWrittenCode + 1> makeFunctionBytes() {
  std::array<std::uint8_t, kMaxWrittenCode + 1> bytes{};
  bytes[StitchCode::Normal] = functionByte(command::kNormal);
  bytes[StitchCode::Jump] = functionByte(command::kJump);
  bytes[StitchCode::Trim] = functionByte(command::kTrim);
  bytes[StitchCode::SlowDown] = functionByte(command::kSlowDown);
  bytes[StitchCode::SpeedUp] = functionByte(command::kSpeedUp);
  bytes[StitchCode::DesignEnd] = functionByte(command::kEnd);
  bytes[StitchCode::BorerIn] = functionByte(command::kBorerIn);
  bytes[StitchCode::BorerOut] = functionByte(command::kBorerOut);
  bytes[StitchCode::UpperTrim] = functionByte(command::kUpperTrim);
  bytes[StitchCode::ChenilleChain] = functionByte(command::kChain);
  bytes[StitchCode::ChenilleMoss] = functionByte(command::kMoss);
  bytes[StitchCode::FrameOut] = kFrameOutByte;
  // Commands the machine only needs to stop for.
  for (const std::uint8_t code :
       {StitchCode::Stop, StitchCode::ChangeOver, StitchCode::SequinStart, StitchCode::SequinEnd,
        StitchCode::LaserOn, StitchCode::LaserOff, StitchCode::LaserPause, std::uint8_t{50},
        std::uint8_t{51}, std::uint8_t{52}, StitchCode::BeadStart, StitchCode::BeadEnd}) {
    bytes[code] = functionByte(command::kStop);
  }
  return bytes;
}
inline constexpr auto kFunctionBytes = makeFunctionBytes();

}  // namespace stitchkit::barudan
