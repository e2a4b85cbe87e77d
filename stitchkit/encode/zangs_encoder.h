#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/encode/stitch_encoder.h"

namespace stitchkit {

// Writes the three-byte stitch records of a Zangs (DSZ family) stitch file (format codes 3
// and 17). The 512-byte file header is written by whoever opens the file, in front of the
// records.
//
// Each record carries its move as two magnitudes and two direction bits, and one of these
// functions: stitch, jump, stop, needle change, end, trim, upper trim, borer in, borer out
// (also sequin end) and sequin (start and drops). Needles 7 to 14 take the extended needle
// change record; for needles 8 to 14 it is written as a prefix record with no move, followed
// by the needle change to needle - 7. Commands the machine cannot express become stops.
class ZangsStitchEncoder : public BytestreamStitchEncoder {
 public:
  explicit ZangsStitchEncoder(const StitchOptions& opts);
  ZangsStitchEncoder(const ZangsStitchEncoder& other) = default;
  ~ZangsStitchEncoder() override;

 protected:
  int vSendHardStitch(const HStitch& s) override;
  int vSendSoftStitch(HStitch& s) override;

 private:
  // Puts the move into the record: |dy| into b0, |dx| into b1 and the direction bits into
  // b2. kEncodeRefused when a magnitude does not fit the record (nothing is changed then).
  int makeXY(short dx, short dy);
  // makeXY, then writes the record.
  int sendBytes(short dx, short dy);
  // Writes b0, b1, b2 in this order: kEncodeOk (also without a stream) or kEncodeRefused at
  // the first byte the stream refuses.
  int sendBytes();

  // The record being built: b0 (|dy|), b1 (|dx|), b2 (function and direction bits).
  std::array<std::uint8_t, 3> record_{};
};

class ZangsStitchEncoderFactory : public StitchEncoderFactory {
 public:
  StitchEncoder* createEncoder(StitchEncoderOptions& options) override;
};

}  // namespace stitchkit
