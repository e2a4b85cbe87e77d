#pragma once

#include "stitchkit/decode/stitch_decoder.h"

namespace stitchkit {

// Reads the records of a DST stitch file (format codes 0, 6, 15 and 20). The stream must be
// positioned after the 512-byte file header. The first record read aligns the decoder:
// leading bytes that cannot end a record are skipped. Command codes come from the record's
// command bits and the device modes: 0x00 normal; 0x80 jump, or a drop sequin / drop bead
// while that mode is on; 0xC0 stop, or with b2 = 0xF3 the end of the design (which does not
// move); 0x40 toggles the device that ReadChangeoverType names (sequin, borer, laser, bead)
// or is a plain change over.
class KorvanStitchDecoder : public BytestreamStitchDecoder {
 public:
  explicit KorvanStitchDecoder(StitchOptions& options) : BytestreamStitchDecoder(options) {}

 protected:
  int vBeginDesign(HCoord<short> start, int needle) override;
  int vGetHardStitch(HStitch& s) override;
  int vDecodePlainStitches(std::span<HStitch> out) override;

 private:
  // Reads one record into buf: kDecodeOk, kDecodeMalformed for bad sync bits, or the read's
  // failure.
  int readThreeBytes(unsigned char* buf);
  int align(unsigned char* buf);

  int synced_ = 0;
};

class KorvanStitchDecoderFactory : public StitchDecoderFactory {
 public:
  StitchDecoder* createDecoder(StitchOptions& options) override;
};

}  // namespace stitchkit
