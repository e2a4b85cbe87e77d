#pragma once

#include <cstdint>

namespace stitchkit {

// Presser-foot settings of a needle block, carried by a thread or by the stitch that opens
// the block. Units and ranges are the machine's: lower dead points 3 to 63 (second foot 5 to
// 25), fixed stroke 20 to 250 in steps of 5, start timing 0 to 60 in steps of 5 or 99.
struct PresserFootSettings {
  bool valid = false;
  bool fixedStroke = false;
  std::int16_t lowerDeadPoint = 0;
  std::int16_t stroke = 0;
  std::int16_t startTiming = 0;
  std::int16_t secondFootLowerDeadPoint = 0;

  bool operator==(const PresserFootSettings&) const = default;
};

}  // namespace stitchkit
