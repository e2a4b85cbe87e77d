#pragma once

#include <cstddef>
#include <string>

namespace stitchkit {

// Results of the functions that load a condition block (CT0 or CT1) from outside.
inline constexpr int kConditionOk = 0;
inline constexpr int kConditionNotOpened = 2;  // the file does not open
inline constexpr int kConditionMalformed = 3;  // the bytes are not a block; see the fault

// Where a condition block read from outside first breaks its layout: the byte offset from the
// start of the block and what should stand there ("key \"DC1:\"", "a decimal number", ...).
struct ConditionBlockFault {
  std::size_t offset = 0;
  std::string expected;
};

}  // namespace stitchkit
