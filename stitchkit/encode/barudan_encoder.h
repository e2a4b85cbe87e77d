#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/encode/stitch_encoder.h"

namespace stitchkit {

// Writes the three-byte records of a Barudan stitch file (format codes 1, 16, 21, 58, 59 and
// 73). The 512-byte header of a .DSB file is written by whoever opens the file.
//
// Each record is a function byte carrying the command and the signs of the move, then |dy|
// and |dx| (at most 127 each). Colour changes name their needle: needles 1 to 9 directly,
// needles 10 and up after a prefix record. With WriteBarudanZ the machine also takes upper
// trims and needles up to 15; without it upper trims become trims and needles fold onto 7.
// Commands the machine must see in place are written at a zero move after a jump to their
// point; the others carry the move unless commands are written separately.
class BarudanStitchEncoder : public BytestreamStitchEncoder {
 public:
  explicit BarudanStitchEncoder(const StitchOptions& opts);
  BarudanStitchEncoder(const BarudanStitchEncoder& other) = default;
  ~BarudanStitchEncoder() override;

 protected:
  int vSendHardStitch(const HStitch& s) override;
  int vSendSoftStitch(HStitch& s) override;

 private:
  // Sets the sign bits of b0 and the magnitudes b1 = |dy|, b2 = |dx|: kEncodeOk, or
  // kEncodeRefused when a magnitude exceeds 127 (the record is then left as it was). An axis
  // that does not move keeps the sign bit the function byte came with.
  int makeXY(short dx, short dy);
  // makeXY, then writes the record.
  int sendBytes(short dx, short dy);
  // Writes b0, b1, b2 in this order: kEncodeOk (also without a stream) or kEncodeRefused.
  int sendBytes();
  // The needle in use after folding `colour` onto the machine's needles.
  unsigned short foldColour(unsigned short colour) const;

  // The record being built: b0, b1, b2.
  std::array<std::uint8_t, 3> record{};
};

class BarudanStitchEncoderFactory : public StitchEncoderFactory {
 public:
  StitchEncoder* createEncoder(StitchEncoderOptions& options) override;
};

}  // namespace stitchkit
