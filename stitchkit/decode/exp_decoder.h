#pragma once

#include "stitchkit/decode/stitch_decoder.h"

namespace stitchkit {

// Reads the two-byte records of an EXP stitch file and of the formats written in the same
// byte form. The file has no header: the first read finds the record alignment itself by
// scanning for the first escape byte (0x80), then seeks back, so the stream must be able to
// tell its position and seek. Stitch records move by (dx, -dy); control records carry the
// commands listed in exp_records.h. A record cut short by the end of the data reads as end of
// data; an unknown control byte reads as a stop that does not move.
class ExpStitchDecoder : public BytestreamStitchDecoder {
 public:
  explicit ExpStitchDecoder(StitchOptions& options) : BytestreamStitchDecoder(options) {}
  ExpStitchDecoder(const ExpStitchDecoder& other) = default;
  ~ExpStitchDecoder() override;

 protected:
  int vBeginDesign(HCoord<short> start, int needle) override;
  int vGetSoftStitch(HStitch& s) override;
  int vGetHardStitch(HStitch& s) override;
  int vDecodePlainStitches(std::span<HStitch> out) override;

 private:
  // Reads two bytes into buf[offset] and buf[offset + 1]: kDecodeFailure for a null buffer or
  // an offset beyond 4, else readBytes' result.
  int readTwoBytes(unsigned char* buf, int offset);
  // Positions the stream at the first record: kDecodeOk, kDecodeEnd when the data holds no
  // non-zero byte, or kDecodeFailure.
  int align();

  int synced = 0;
};

class ExpStitchDecoderFactory : public StitchDecoderFactory {
 public:
  StitchDecoder* createDecoder(StitchOptions& options) override;
};

}  // namespace stitchkit
