#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/encode/stitch_encoder.h"

namespace stitchkit {

// Writes the two-byte stitch records of an EXP stitch file, also used for the formats written
// in the same byte form. The file has no header or trailer. A plain stitch is (dx, -dy); every
// command is introduced by the escape byte 0x80 (see exp_records.h). Commands the format has
// no record for are mapped onto stops, jumps, trims or plain stitches; a command that does not
// carry a move is written at its point after a jump there.
//
// Options read: StopsAsNeedles (colour changes written as stops), MaxNeedles (needles above it
// are folded onto the machine's needles), MelcoDiscardEnd (the design end written as a
// zero-length stitch) and GNDllWrite (the design end written as a jump).
class ExpStitchEncoder : public BytestreamStitchEncoder {
 public:
  explicit ExpStitchEncoder(const StitchOptions& opts);
  ExpStitchEncoder(const ExpStitchEncoder& other) = default;
  ~ExpStitchEncoder() override;

 protected:
  int vBeginDesign(HCoord<short> start) override;
  int vSendHardStitch(const HStitch& s) override;
  int vSendSoftStitch(HStitch& s) override;
  int vSendPlainStitches(std::span<const HStitch> run, int limit, int& written) override;
  int vSendPieces(std::span<const HCoord<short>> points) override;

 private:
  // Appends dx and -dy, one byte each: kEncodeOk, or kEncodeRefused when either does not fit
  // a signed byte (nothing is appended then).
  int makeXY(short dx, short dy);
  // makeXY, then writes the record.
  int sendBytes(short dx, short dy);
  // Writes the record's bytes in order: kEncodeOk (also without a stream) or kEncodeRefused at
  // the first byte the stream refuses.
  int sendBytes();
  void append(std::uint8_t byte) { record[recordLength++] = byte; }

  // The record being built and how many of its bytes are filled.
  std::array<std::uint8_t, 6> record{};
  int recordLength = 0;
};

class ExpStitchEncoderFactory : public StitchEncoderFactory {
 public:
  StitchEncoder* createEncoder(StitchEncoderOptions& options) override;
};

}  // namespace stitchkit
