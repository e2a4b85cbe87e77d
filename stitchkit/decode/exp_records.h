#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/model/stitch.h"

// The EXP record layout, shared by the EXP decoder and encoder so that each byte value is
// written down once.
//
// A stitch record is two bytes: signed dx, signed dy (dy counts upwards; stitch records in
// memory count y downwards, so the design's y moves by -dy). Its first byte is never the escape
// byte 0x80. A control record is the escape byte, a control byte, and then the operand bytes that
// control byte calls for:
//
//   80 ctrl dx dy    a command that moves (stop, needle up, jump, needle change, end)
//   80 80 fn 00      a machine function (trim, slow down, speed up, borer in/out); no move
//   80 A0 / 80 A1    chenille chain / moss; no move
//   80 A4 lo hi      chenille height with its data word; no move
//
// A control byte the table does not know reads as a stop with no operand and no move.
namespace stitchkit::exp {

inline constexpr std::uint8_t kEscape = 0x80;
// A stitch record: dx, dy.
inline constexpr int kStitchRecordSize = 2;
// Longest record: escape, control byte, two operand bytes.
inline constexpr int kMaxRecordSize = 4;
// One record moves at most one signed byte per axis.
inline constexpr int kMinMove = -128;
inline constexpr int kMaxMove = 127;

// What follows a control byte.
enum class Operand : std::uint8_t {
  None,      // nothing; the record does not move
  Move,      // dx, dy
  Function,  // a function byte and a byte that is ignored; the record does not move
  DataWord,  // low byte, high byte of the command's data word; the record does not move
};

inline constexpr int operandSize(Operand operand) {
  return operand == Operand::None ? 0 : 2;
}

// One row of the control byte table. The row of the function escape carries no code of its own:
// its command comes from the function byte (kFunctionRows).
struct ControlRow {
  std::uint8_t control;
  std::uint8_t code;
  Operand operand;
};

// Control byte of a needle change to needle n (1 to 7): 2n + 1, that is 0x03 to 0x0F.
inline constexpr int kMaxNeedle = 7;
inline constexpr std::uint8_t needleControl(int needle) {
  return static_cast<std::uint8_t>(2 * needle + 1);
}
// Colour (zero-based) of a needle-change control byte.
inline constexpr int needleChangeColour(std::uint8_t control) {
  return ((control & 0x0E) >> 1) - 1;
}

inline constexpr std::uint8_t kFunctionEscape = 0x80;

// The control bytes. Where a command has more than one control byte, the first row is the one
// written.
// clang-format off
inline constexpr std::array<ControlRow, 16> kControlRows = {{
    {0x01, StitchCode::Stop, Operand::Move},
    {0x02, StitchCode::NeedleUp, Operand::Move},
    {0x04, StitchCode::Jump, Operand::Move},
    {0x06, StitchCode::Jump, Operand::Move},
    {needleControl(1), StitchCode::ChangeNeedle, Operand::Move},
    {needleControl(2), StitchCode::ChangeNeedle, Operand::Move},
    {needleControl(3), StitchCode::ChangeNeedle, Operand::Move},
    {needleControl(4), StitchCode::ChangeNeedle, Operand::Move},
    {needleControl(5), StitchCode::ChangeNeedle, Operand::Move},
    {needleControl(6), StitchCode::ChangeNeedle, Operand::Move},
    {needleControl(7), StitchCode::ChangeNeedle, Operand::Move},
    {0x10, StitchCode::DesignEnd, Operand::Move},
    {kFunctionEscape, StitchCode::Stop, Operand::Function},
    {0xA0, StitchCode::ChenilleChain, Operand::None},
    {0xA1, StitchCode::ChenilleMoss, Operand::None},
    {0xA4, StitchCode::ChenilleHeight, Operand::DataWord},
}};
// clang-format on

// What an unknown control byte reads as.
inline constexpr ControlRow kUnknownControl = {0x00, StitchCode::Stop, Operand::None};

// The function bytes after 80 80. An unknown function byte reads as a stop.
struct FunctionRow {
  std::uint8_t function;
  std::uint8_t code;
};

inline constexpr std::array<FunctionRow, 5> kFunctionRows = {{
    {0x01, StitchCode::SlowDown},
    {0x02, StitchCode::SpeedUp},
    {0x05, StitchCode::BorerIn},
    {0x06, StitchCode::BorerOut},
    {0x07, StitchCode::Trim},
}};

inline constexpr std::uint8_t kUnknownFunctionCode = StitchCode::Stop;
// The byte written after the function byte.
inline constexpr std::uint8_t kFunctionPad = 0x00;

// Lookup tables over every byte value, built from the rows above.
inline constexpr std::array<ControlRow, 256> makeControlTable() {
  std::array<ControlRow, 256> table{};
  for (int b = 0; b < 256; ++b) {
    table[b] = kUnknownControl;
    table[b].control = static_cast<std::uint8_t>(b);
  }
  for (const ControlRow& row : kControlRows)
    table[row.control] = row;
  return table;
}

inline constexpr std::array<std::uint8_t, 256> makeFunctionTable() {
  std::array<std::uint8_t, 256> table{};
  for (std::uint8_t& code : table)
    code = kUnknownFunctionCode;
  for (const FunctionRow& row : kFunctionRows)
    table[row.function] = row.code;
  return table;
}

inline constexpr auto kControlTable = makeControlTable();
inline constexpr auto kFunctionTable = makeFunctionTable();

// How a command code is written: the control byte and its operand, and for a machine function
// the function byte. `known` is false for a code that has no record.
struct CommandRecord {
  bool known;
  std::uint8_t control;
  Operand operand;
  std::uint8_t function;
};

// The record of `code`. A needle change's control byte depends on the needle (needleControl);
// this gives the first needle's.
inline constexpr CommandRecord commandRecord(std::uint8_t code) {
  for (const ControlRow& row : kControlRows) {
    if (row.operand != Operand::Function && row.code == code) {
      return {true, row.control, row.operand, 0};
    }
  }
  for (const FunctionRow& row : kFunctionRows) {
    if (row.code == code) return {true, kFunctionEscape, Operand::Function, row.function};
  }
  return {false, 0, Operand::None, 0};
}

}  // namespace stitchkit::exp
