#pragma once

#include "stitchkit/decode/stitch_decoder.h"

namespace stitchkit {

// Reads the three-byte records of a Barudan stitch file (format codes 1, 16, 21, 58, 59 and
// 73). A .DSB file must be positioned after its 512-byte header; a .BAR file is read from its
// first byte. The first record read aligns the decoder: leading bytes without bit 7 set are
// skipped.
//
// Each record carries a command and a move of up to 127 units on each axis. Whether the move
// of a command other than a stitch, jump, trim or upper trim is applied depends on the format:
// only the formats without extended records (extendedVariant cleared) move them. A stop moves
// in every format while the stop table has an entry for it. Needles 10 to 19 take a second
// record after the needle-change command 18.
//
// After the first record, a record that is not well formed ends the design as end of data;
// as the first record it is malformed.
class BarudanStitchDecoder : public BytestreamStitchDecoder {
 public:
  explicit BarudanStitchDecoder(StitchOptions& options) : BytestreamStitchDecoder(options) {}
  BarudanStitchDecoder(const BarudanStitchDecoder& other) = default;
  ~BarudanStitchDecoder() override;

 protected:
  int vBeginDesign(HCoord<short> start, int needle) override;
  int vGetHardStitch(HStitch& s) override;

 private:
  // Reads one record into buf[offset..offset+2]: kDecodeOk, kDecodeEnd for a record that is
  // not well formed, the read's failure, or kDecodeFailure for a null buffer or an offset
  // above 3.
  int readThreeBytes(unsigned char* buf, int offset);
  // Reads the first record, skipping bytes up to the first with bit 7 set.
  int align(unsigned char* buf);

  int synced_ = 0;
};

class BarudanStitchDecoderFactory : public StitchDecoderFactory {
 public:
  StitchDecoder* createDecoder(StitchOptions& options) override;
};

}  // namespace stitchkit
