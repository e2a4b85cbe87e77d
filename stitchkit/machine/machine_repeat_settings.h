#pragma once

#include <cstdint>

namespace stitchkit {

// How a design is repeated on the machine: a grid of copies along two axes, with the offset
// between copies. Travels with a design in the machine condition block (its RP lines) and in
// the containers that hold one. A plain record with its members in a fixed order. It is never
// stored byte for byte (the condition block holds it as text), so it keeps natural alignment
// and its members can be bound to references like any others.
struct MachineRepeatSettings {
  std::int16_t direction = 0;       // 0: repeats run along x first, 1: along y first
  std::int32_t firstCount = 1;      // copies along the first axis
  std::int32_t secondCount = 1;     // copies along the second axis
  std::uint8_t firstAxisFlag = 0;   // the first axis is repeated
  std::uint8_t secondAxisFlag = 0;  // the second axis is repeated
  double reserved1 = 0.0;           // kept for host programs; not in the condition block
  double reserved2 = 0.0;           // kept for host programs; not in the condition block
  double firstOffset = 0.0;         // distance between copies along the first axis
  double secondOffset = 0.0;        // distance between copies along the second axis
  std::uint8_t enabled = 0;         // repeating is switched on
  std::uint32_t colour = 0xC7C7C7;  // display colour of the copies, 0x00RRGGBB
};

}  // namespace stitchkit
