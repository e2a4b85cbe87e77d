#pragma once

#include "stitchkit/encode/stitch_encoder.h"

namespace stitchkit {

// Writes the stitch records of a ZSK transport file (format code 52; layout in
// zsk_transport_records.h). The framed header and thread table records are written by the
// file writer in front of them.
//
// Each stitch becomes a move record when it moves (a move of nothing has no record, also for
// a stitch), with the jump bit for everything but a stitch, and then a function record when it
// is a command the format has a function for; a sequin drop carries its move in its own drop
// record. A design whose first stitch is not on
// the first needle starts with a needle change. When the stitch filter announces a sequin end
// and the next sequin start with a small gap between them, the end, the jumps and the start
// become one stitch to the start's point.
//
// A move longer than 255 units on an axis has no record: such a stitch is refused
// (kEncodeRefused, nothing written); the splitting of the encode pipeline keeps moves within
// HardLength.
class ZSKTransportStitchEncoder : public BytestreamStitchEncoder {
 public:
  explicit ZSKTransportStitchEncoder(const StitchOptions& opts);
  ZSKTransportStitchEncoder(const ZSKTransportStitchEncoder& other) = default;
  ~ZSKTransportStitchEncoder() override;

  // A combined sequin gap follows; `smallGap` says whether its jumps may be left out.
  void setInCombineSequinCommands(int smallGap) override;

 protected:
  int vBeginDesign(HCoord<short> start) override;
  int vSendHardStitch(const HStitch& s) override;
  int vSendSoftStitch(HStitch& s) override;
  int vSendPlainStitches(std::span<const HStitch> run, int limit, int& written) override;
  int vSendPieces(std::span<const HCoord<short>> points) override;

 private:
  int inCombine_ = 0;
  int combinable_ = 0;
  int atDesignStart_ = 0;
};

}  // namespace stitchkit
