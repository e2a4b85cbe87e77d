#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/decode/stitch_decoder.h"

namespace stitchkit {

// Reads the three-byte records of a Zangs (DSZ family) stitch file (format codes 3 and 17).
// The stream must be positioned after the 512-byte file header. The first record read aligns
// the decoder: bytes are shifted in until one with its top bit set ends a record.
//
// Each record moves by its own absolute values and direction bits and carries a five-bit
// command. Two commands depend on the sequin state this decoder keeps: command 20 starts
// sequin mode and then drops sequins; commands 30 and 31 end sequin mode, or outside it pull
// the borer out. Needle changes beyond needle 6 take an extension record; when the record that
// follows is not an extension it is kept and delivered by the next read.
class ZangsStitchDecoder : public BytestreamStitchDecoder {
 public:
  explicit ZangsStitchDecoder(StitchOptions& options) : BytestreamStitchDecoder(options) {}
  ZangsStitchDecoder(const ZangsStitchDecoder& other) = default;
  ~ZangsStitchDecoder() override;

 protected:
  int vBeginDesign(HCoord<short> start, int needle) override;
  int vGetSoftStitch(HStitch& s) override;
  int vGetHardStitch(HStitch& s) override;

 private:
  // Reads one record into `record_`, unless the record read last is to be delivered again.
  // Returns kDecodeOk, kDecodeMalformed for a record that is not well formed, or the read's
  // failure; the same result is returned again when the record is reused.
  int readThreeBytes();
  // Shifts bytes into `record_` until one with its top bit set arrives in the last position.
  int align();

  int synced_ = 0;
  int sequinOn_ = 0;
  std::array<std::uint8_t, 3> record_{};
  int reuseRecord_ = 0;
  int readStatus_ = kDecodeOk;
};

class ZangsStitchDecoderFactory : public StitchDecoderFactory {
 public:
  StitchDecoder* createDecoder(StitchOptions& options) override;
};

}  // namespace stitchkit
