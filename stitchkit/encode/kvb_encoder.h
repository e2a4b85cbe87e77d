#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/encode/stitch_encoder.h"

namespace stitchkit {

// Writes the three-byte stitch records of a KVB file (format code 36; the stitch filter also
// writes codes 60 and 71 with it). The 1536-byte file header is written by whoever opens the
// file, in front of the records.
//
// A record carries its move as two signed bytes and its command as a function byte
// (kvb_records.h). Nearly every command has a byte of its own, so few are rewritten: the
// byte is chosen by command and by the state of the machine (change-over mode, an
// ATH-prohibited stretch, what the record before was). Sequin and bead starts and ends are
// written where they stand, after a jump to their point.
class KorvanKVBStitchEncoder : public BytestreamStitchEncoder {
 public:
  explicit KorvanKVBStitchEncoder(const StitchOptions& opts);
  KorvanKVBStitchEncoder(const KorvanKVBStitchEncoder& other) = default;
  ~KorvanKVBStitchEncoder() override;

 protected:
  int vBeginSegment(const EncoderState& state) override;
  // kEncodeSkipped for a record the machine's rules leave out, kEncodeRefused for a move one
  // record cannot carry (nothing is written then) or a byte the stream refuses.
  int vSendHardStitch(const HStitch& s) override;
  int vSendSoftStitch(HStitch& s) override;
  int vSendPlainStitches(std::span<const HStitch> run, int limit, int& written) override;
  int vSendPieces(std::span<const HCoord<short>> points) override;

 private:
  // The function byte of `s` moving by (dx, dy), or -1 when the record is not written.
  int functionByte(const HStitch& s, int dx, int dy) const;
  // Puts the move into the record: b0 = dx, b1 = -dy, each cut to its low byte.
  void makeXY(short dx, short dy);
  // makeXY, then writes the record.
  int sendBytes(short dx, short dy);
  // Writes b0, b1, b2 in this order: kEncodeOk (also without a stream) or kEncodeRefused.
  int sendBytes();

  // The record being built: b0, b1, b2.
  std::array<std::uint8_t, 3> record_{};
  // The machine was last told to switch change-over mode on: the next change-over ends it.
  int changeoverOn_ = 0;
};

}  // namespace stitchkit
