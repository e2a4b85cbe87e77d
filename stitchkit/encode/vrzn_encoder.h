#pragma once

#include "stitchkit/encode/dst_encoder.h"

namespace stitchkit {

// Writes DST stitch records for the VRZN machine variant (format code 0 with the format type
// "Korvan VRZN").
//
// The records are those of the DST encoder, with a narrower set of record kinds: stitch
// (b2 = 0x03), jump (0x83, also sequin and bead drops), stop (0xC3), change over (0x43) and
// end (0xF3). A record of any other kind (a colour change kept as itself, a needle-up, ...)
// cannot be written and is refused. Every command that does not move the needle itself is
// written in place after a jump to its point, whether commands are written separately or not.
//
// With SplitStitchToJumps, a normal stitch longer than MaxLength is not cut along its path:
// it becomes straight, equal jumps, the last of which carries the stitch.
//
// The encoder keeps the DST encoder's record of what the machine was last told about chenille
// and hands it on from segment to segment the same way.
class KorvanVRZNStitchEncoder : public KorvanStitchEncoder {
 public:
  explicit KorvanVRZNStitchEncoder(const StitchOptions& opts);
  KorvanVRZNStitchEncoder(const KorvanVRZNStitchEncoder& other) = default;
  ~KorvanVRZNStitchEncoder() override;

  // A normal stitch longer than MaxLength (while long stitches are cut into jumps) becomes
  // three equal straight jumps (four with `extra`); with `trim`, JumpsPerTrim decides the
  // count and, with PenetrateAtTrims, a zig-zag of penetrations towards the design centre
  // comes first. Any other stitch is split by the framework along its path. Returns the
  // number of pieces in `out`.
  using StitchEncoder::splitIntoJumps;
  int splitIntoJumps(HXArray<HStitch>& out, const HStitch& s, std::span<const HStitch> real,
                     int trim, int extra) override;
  // Cuts long normal stitches into jumps from now on, whatever the options say.
  void setSplitStitchToJumps() override;

  // Writes a normal stitch longer than MaxLength (while long stitches are cut into jumps) as
  // jumps at one third and two thirds of the move and then the stitch itself, straight through
  // the record writer. Returns the last write's result, stopping at the first that fails.
  // Anything else writes nothing and returns kEncodeOk.
  virtual int splitStitchToJumps(HStitch& s);

  // Appends to `points` the penetration pattern of `count` points (at least 2) starting from
  // the first point of `points`, with step `step` towards `toward`: out and back along one
  // axis, ending where it started. Nothing is appended to an empty array.
  static void addZigZag(HXArray<HCoord<short>>& points, int count, int step, HCoord<short> toward);

 protected:
  int vSendHardStitch(const HStitch& s) override;
  int vSendSoftStitch(HStitch& s) override;

  // Long normal stitches are cut into straight jumps.
  int splitToJumps = 0;

 private:
  // True when `s` is a normal stitch farther than MaxLength from the needle and long stitches
  // are cut into straight jumps.
  bool isCutIntoJumps(const HStitch& s) const;
  // A command written as a stop record, in place after a jump to its point.
  int sendStopInPlace(const HStitch& s);

  // The zig-zag points of splitIntoJumps, reused from stitch to stitch.
  HXArray<HCoord<short>> zigZag_;
};

}  // namespace stitchkit
