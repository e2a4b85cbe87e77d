#pragma once

#include <array>
#include <cstdint>

// The Zangs (DSZ family) record: three bytes b0 b1 b2 holding an absolute move per axis, two
// direction bits and a five-bit command. Shared by the Zangs decoder and encoder so that each
// byte value is written down once.
//
//   byte  bit7  bit6     bit5     bit4..0
//   b0    0     |dy| (bits 6..0)
//   b1    0     |dx| (bits 6..0)
//   b2    1     x neg    y pos    command
//
// A record is well formed when bit 7 of b0 and b1 is clear and bit 7 of b2 is set. Every
// record moves: x by -b1 when the x bit is set, else +b1; y by +b0 when the y bit is set,
// else -b0. Needles beyond 6 take a second record: command 18 or 19 is followed by an
// extension record whose command selects the needle and whose move is added to the first.
namespace stitchkit::zangs {

inline constexpr int kRecordSize = 3;
inline constexpr int kHeaderSize = 512;
// Largest move one record carries on one axis.
inline constexpr int kMaxMove = 0x7F;

inline constexpr std::uint8_t kMoveMask = 0x7F;     // b0, b1
inline constexpr std::uint8_t kFlagBit = 0x80;      // clear in b0 and b1, set in b2
inline constexpr std::uint8_t kXNegative = 0x40;    // b2
inline constexpr std::uint8_t kYPositive = 0x20;    // b2
inline constexpr std::uint8_t kCommandMask = 0x1F;  // b2
// Bits of b2 that carry the needle of a needle change record.
inline constexpr std::uint8_t kNeedleBits = 0x1E;

constexpr bool isWellFormed(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  return (b0 & kFlagBit) == 0 && (b1 & kFlagBit) == 0 && (b2 & kFlagBit) != 0;
}

constexpr int moveX(std::uint8_t b1, std::uint8_t b2) {
  return (b2 & kXNegative) != 0 ? -(b1 & kMoveMask) : (b1 & kMoveMask);
}

constexpr int moveY(std::uint8_t b0, std::uint8_t b2) {
  return (b2 & kYPositive) != 0 ? (b0 & kMoveMask) : -(b0 & kMoveMask);
}

// --- Commands (b2 & kCommandMask) as read ---------------------------------------------------

enum class Command : std::uint8_t {
  Normal,
  Jump,
  Stop,
  Needle,          // needle change to colour ((b2 & kNeedleBits) >> 1) - 2
  End,             // end of design
  ExtendedNeedle,  // needle change continued by an extension record
  Sequin,          // sequin start outside sequin mode, drop sequin inside it
  UpperTrim,
  Trim,
  BorerIn,
  BorerOut,  // borer out outside sequin mode, sequin end inside it
};

inline constexpr std::array<Command, 32> kCommands = {{
    Command::Normal,          // 0
    Command::Jump,            // 1
    Command::Stop,            // 2
    Command::Stop,            // 3
    Command::Needle,          // 4
    Command::Needle,          // 5
    Command::Needle,          // 6
    Command::Needle,          // 7
    Command::Needle,          // 8
    Command::Needle,          // 9
    Command::Needle,          // 10
    Command::Needle,          // 11
    Command::Needle,          // 12
    Command::Needle,          // 13
    Command::Needle,          // 14
    Command::Needle,          // 15
    Command::End,             // 16
    Command::End,             // 17
    Command::ExtendedNeedle,  // 18
    Command::ExtendedNeedle,  // 19
    Command::Sequin,          // 20
    Command::Stop,            // 21
    Command::UpperTrim,       // 22
    Command::UpperTrim,       // 23
    Command::Stop,            // 24
    Command::Stop,            // 25
    Command::Trim,            // 26
    Command::Trim,            // 27
    Command::BorerIn,         // 28
    Command::BorerIn,         // 29
    Command::BorerOut,        // 30
    Command::BorerOut,        // 31
}};

constexpr Command commandOf(std::uint8_t b2) {
  return kCommands[b2 & kCommandMask];
}

// Colour (0-based) of a needle change record: 0 to 5.
constexpr int needleColour(std::uint8_t b2) {
  return ((b2 & kNeedleBits) >> 1) - 2;
}

// Colour of an extended needle change whose extension record is a needle change: 7 to 12.
constexpr int extendedNeedleColour(std::uint8_t b2) {
  return ((b2 & kNeedleBits) >> 1) + 5;
}

// Colour of a needle change whose extension record is not one (needle 7), and of one whose
// extension record is itself an extended needle change (needle 14).
inline constexpr int kExtendedNeedleAloneColour = 6;
inline constexpr int kExtendedNeedleTwiceColour = 13;

// --- b2 as written, before the direction bits -----------------------------------------------

inline constexpr std::uint8_t kNormalByte2 = 0x80;
inline constexpr std::uint8_t kJumpByte2 = 0x81;
inline constexpr std::uint8_t kStopByte2 = 0x83;
inline constexpr std::uint8_t kEndByte2 = 0x90;
inline constexpr std::uint8_t kExtendedNeedleByte2 = 0x93;
inline constexpr std::uint8_t kSequinByte2 = 0x94;
inline constexpr std::uint8_t kUpperTrimByte2 = 0x97;
inline constexpr std::uint8_t kTrimByte2 = 0x9B;
inline constexpr std::uint8_t kBorerInByte2 = 0x9D;
inline constexpr std::uint8_t kBorerOutByte2 = 0x9F;

// Needles one record names directly (1 to 6); needle 7 is kExtendedNeedleByte2 alone, needles
// 8 to 14 take that as a prefix record followed by the byte of needle - 7.
inline constexpr int kDirectNeedles = 6;
inline constexpr int kPrefixNeedleOffset = 7;
inline constexpr int kMaxNeedle = 14;

// b2 of a needle change to needle n, 1 to 6: (2n + 2) | 0x81.
constexpr std::uint8_t directNeedleByte2(int needle) {
  return static_cast<std::uint8_t>((2 * needle + 2) | kJumpByte2);
}

}  // namespace stitchkit::zangs
