#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/encode/stitch_encoder.h"

namespace stitchkit {

// Writes the three-byte stitch records of a DST stitch file (format codes 0, 6, 15 and 20).
// The 512-byte file header is written by whoever opens the file, in front of the records.
//
// DST knows five record kinds: stitch (b2 = 0x03), jump (0x83, also every drop), change over
// (0x43), end (0xF3) and stop (0xC3, everything else). Every command is mapped onto one of
// them; commands the machine must see in place are written at a zero move after a jump to
// their point. Chenille mode changes can also be written in the older stop-pattern form.
//
// The encoder keeps its own record of what the machine was last told about chenille (mode and
// height), separate from the framework's; it is this record that a segment hands on to the
// next one.
class KorvanStitchEncoder : public BytestreamStitchEncoder {
 public:
  explicit KorvanStitchEncoder(const StitchOptions& opts);
  KorvanStitchEncoder(const KorvanStitchEncoder& other) = default;
  ~KorvanStitchEncoder() override;

 protected:
  // Adds the move bits of (dx, dy) to the record: kEncodeOk, or kEncodeRefused when a move is
  // outside -121..121 (the record is then left as it was).
  int makeXY(short dx, short dy);
  // makeXY, then writes the record; nothing is written when the move is out of range.
  int sendBytes(short dx, short dy);
  // Writes b0, b1, b2 in this order: kEncodeOk (also without a stream) or kEncodeRefused at the
  // first byte the stream refuses.
  int sendBytes();

  int vBeginDesign(HCoord<short> start) override;
  int vBeginSegment(const EncoderState& state) override;
  int vEndSegment(EncoderState* state) override;
  int vSendHardStitch(const HStitch& s) override;
  int vSendSoftStitch(HStitch& s) override;
  int vSendPlainStitches(std::span<const HStitch> run, int limit, int& written) override;
  int vSendPieces(std::span<const HCoord<short>> points) override;

  // The record being built: b0, b1, b2.
  std::array<std::uint8_t, 3> record{};
  // What the machine was last told about chenille.
  ChenilleModeType ownChenilleMode = kChenilleNone;
  int ownChenilleHeight = 0;

 private:
  // Clears the move bits and sets b2 to `byte2`.
  void clearRecord(std::uint8_t byte2) { record = {0, 0, byte2}; }
  // The commands that become a stop record: the pad jump, the older chenille form and the
  // mode bookkeeping. kEncodeOk to go on and write `c`, or the result that ends the command.
  int sendStopCommand(const HStitch& s, HStitch& c);

  // The last record written is a jump with no move, which is also how a trim is written.
  bool blankJumpLast_ = false;
  // ... and it is the record of a trim in place.
  bool trimInPlaceLast_ = false;
};

class KorvanStitchEncoderFactory : public StitchEncoderFactory {
 public:
  StitchEncoder* createEncoder(StitchEncoderOptions& options) override;
};

}  // namespace stitchkit
