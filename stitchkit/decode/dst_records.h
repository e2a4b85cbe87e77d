#pragma once

#include <array>
#include <cstdint>

// The DST record: three bytes b0 b1 b2 holding a relative move in balanced ternary and two
// command bits. Shared by the DST decoder and encoder so that each bit is written down once.
//
//   byte  bit7   bit6   bit5   bit4   bit3   bit2   bit1   bit0
//   b0    y-1    y+1    y-9    y+9    x-9    x+9    x-1    x+1
//   b1    y-3    y+3    y-27   y+27   x-27   x+27   x-3    x+3
//   b2    J      C      y-81   y+81   x-81   x+81   1      1
//
// A record is well formed when both low bits of b2 are set and neither b0 nor b1 has both of
// its low bits set. One record moves at most 121 units (0.1 mm) on each axis.
namespace stitchkit::dst {

inline constexpr int kRecordSize = 3;
inline constexpr int kMaxMove = 121;
inline constexpr int kHeaderSize = 512;

inline constexpr std::uint8_t kSyncBits = 0x03;     // b2 bits 0 and 1, always set
inline constexpr std::uint8_t kCommandMask = 0xC0;  // b2 bits J and C
inline constexpr std::uint8_t kCommandNormal = 0x00;
inline constexpr std::uint8_t kCommandJump = 0x80;
inline constexpr std::uint8_t kCommandChangeover = 0x40;
inline constexpr std::uint8_t kCommandStop = 0xC0;
inline constexpr std::uint8_t kEndByte2 = 0xF3;         // end of design: 00 00 F3
inline constexpr std::uint8_t kStartByte2Type1 = 0x03;  // empty start records
inline constexpr std::uint8_t kStartByte2Type2 = 0x83;
// b2 of each record kind before the move bits are added.
inline constexpr std::uint8_t kNormalByte2 = kSyncBits | kCommandNormal;          // 0x03
inline constexpr std::uint8_t kJumpByte2 = kSyncBits | kCommandJump;              // 0x83
inline constexpr std::uint8_t kChangeoverByte2 = kSyncBits | kCommandChangeover;  // 0x43
inline constexpr std::uint8_t kStopByte2 = kSyncBits | kCommandStop;              // 0xC3

// One movement bit: its byte (0 to 2), its mask and what it adds to x and y.
struct MoveBit {
  std::uint8_t byte;
  std::uint8_t mask;
  std::int8_t dx;
  std::int8_t dy;
};

inline constexpr std::array<MoveBit, 20> kMoveBits = {{
    {0, 0x01, 1, 0},  {0, 0x02, -1, 0},  {0, 0x04, 9, 0},   {0, 0x08, -9, 0},  {0, 0x10, 0, 9},
    {0, 0x20, 0, -9}, {0, 0x40, 0, 1},   {0, 0x80, 0, -1},  {1, 0x01, 3, 0},   {1, 0x02, -3, 0},
    {1, 0x04, 27, 0}, {1, 0x08, -27, 0}, {1, 0x10, 0, 27},  {1, 0x20, 0, -27}, {1, 0x40, 0, 3},
    {1, 0x80, 0, -3}, {2, 0x04, 81, 0},  {2, 0x08, -81, 0}, {2, 0x10, 0, 81},  {2, 0x20, 0, -81},
}};

constexpr bool isWellFormed(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  return (b2 & kSyncBits) == kSyncBits && (b0 & 0x03) != 0x03 && (b1 & 0x03) != 0x03;
}

// Per-byte move tables built from kMoveBits: kMoveTable[byte][value] = {dx, dy}.
struct Move {
  std::int8_t dx;
  std::int8_t dy;
};

constexpr std::array<std::array<Move, 256>, 3> makeMoveTable() {
  std::array<std::array<Move, 256>, 3> table{};
  for (int byte = 0; byte < 3; ++byte) {
    for (int value = 0; value < 256; ++value) {
      int dx = 0;
      int dy = 0;
      for (const MoveBit& bit : kMoveBits) {
        if (bit.byte == byte && (value & bit.mask) != 0) dx += bit.dx, dy += bit.dy;
      }
      table[byte][value] = Move{static_cast<std::int8_t>(dx), static_cast<std::int8_t>(dy)};
    }
  }
  return table;
}

inline constexpr auto kMoveTable = makeMoveTable();

// The move of a record (before any command rule).
constexpr Move decodeMove(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  const Move m0 = kMoveTable[0][b0];
  const Move m1 = kMoveTable[1][b1];
  const Move m2 = kMoveTable[2][b2];
  return Move{static_cast<std::int8_t>(m0.dx + m1.dx + m2.dx),
              static_cast<std::int8_t>(m0.dy + m1.dy + m2.dy)};
}

// The three record bytes for a move of (dx, dy), each within -121..121, with the command bits
// `commandBits` (kCommandNormal, kCommandJump, ...). The move is written in balanced ternary:
// each weight 1, 3, 9, 27, 81 is added, subtracted or left out. Moves outside the range are
// the caller's error; their excess is dropped.
constexpr std::array<std::uint8_t, 3> encodeRecord(int dx, int dy, std::uint8_t commandBits) {
  std::array<std::uint8_t, 3> bytes{0, 0, static_cast<std::uint8_t>(kSyncBits | commandBits)};
  int values[2] = {dx, dy};
  for (int axis = 0; axis < 2; ++axis) {
    int v = values[axis];
    for (int weight = 1; weight <= 81 && v != 0; weight *= 3) {
      int digit = ((v % 3) + 3) % 3;  // 0, 1 or 2; 2 stands for -1 with a carry
      if (digit == 2) digit = -1;
      v = (v - digit) / 3;
      if (digit == 0) continue;
      for (const MoveBit& bit : kMoveBits) {
        const int add = axis == 0 ? bit.dx : bit.dy;
        if (add == digit * weight) bytes[bit.byte] |= bit.mask;
      }
    }
  }
  return bytes;
}

}  // namespace stitchkit::dst
