#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <utility>
#include <vector>

#include "stitchkit/encode/stitch_encoder.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "tests/support/stitch_builders.h"

// Helpers shared by the encoder framework tests: a format-neutral encoder that records every
// hard record it is given, and a compact form of those records to compare against.
namespace stitchkit::encode_test {

// One hard record as the format saw it.
struct Rec {
  int code = 0;
  int x = 0;
  int y = 0;
  int colour = 0;
  int head = 0;

  bool operator==(const Rec&) const = default;
};

inline void PrintTo(const Rec& r, std::ostream* os) {
  *os << "{code " << r.code << " at (" << r.x << "," << r.y << ") colour " << r.colour << " head "
      << r.head << "}";
}

// The same record without colour and head, for tests that only look at codes and points.
struct Move {
  int code = 0;
  int x = 0;
  int y = 0;

  bool operator==(const Move&) const = default;
};

inline void PrintTo(const Move& m, std::ostream* os) {
  *os << "{code " << m.code << " at (" << m.x << "," << m.y << ")}";
}

using Moves = std::vector<Move>;
using Points = std::vector<std::pair<int, int>>;

// Records every hard record; vSendSoftStitch hands the command straight to sendHardStitch,
// so the framework's behaviour is seen without a real format. The protected parts of the
// framework are made public for the tests.
class RecordingEncoder : public StitchEncoder {
 public:
  using StitchEncoder::StitchEncoder;

  std::vector<Rec> records;
  // When >= 0, the record with this index (counted over all attempts) and every later one is
  // refused with kEncodeRefused.
  int refuseFrom = -1;
  int attempts = 0;

  Moves moves() const {
    Moves out;
    for (const Rec& r : records)
      out.push_back({r.code, r.x, r.y});
    return out;
  }
  std::vector<int> codes() const {
    std::vector<int> out;
    for (const Rec& r : records)
      out.push_back(r.code);
    return out;
  }

  using StitchEncoder::addPenetrationPattern;
  using StitchEncoder::buildPath;
  using StitchEncoder::current;
  using StitchEncoder::filterStitch;
  using StitchEncoder::granulate;
  using StitchEncoder::resplitPath;
  using StitchEncoder::sendHardStitch;

 protected:
  int vSendHardStitch(const HStitch& s) override {
    const int index = attempts++;
    if (refuseFrom >= 0 && index >= refuseFrom) return kEncodeRefused;
    records.push_back({s.getFlags(), s.xval(), s.yval(), s.getColor(), s.getSequinHead()});
    return kEncodeOk;
  }
  int vSendSoftStitch(HStitch& s) override { return sendHardStitch(s); }
};

// Options of a plain machine: records carry 127 units, no host-dependent blank stitches.
inline StitchEncoderOptions plainOptions() {
  StitchEncoderOptions o;
  o.setHardLength(127);
  o.setInsertBlankStitchAfterTrim(0);
  o.setInsertBlankStitchAtBegin(0);
  return o;
}

inline HStitch at(int x, int y, int code = StitchCode::Normal, int colour = 0) {
  return HStitch(static_cast<short>(x), static_cast<short>(y), static_cast<std::uint8_t>(code),
                 static_cast<unsigned short>(colour));
}

// A stitch whose real stitches are `real` (a virtual stitch).
inline HStitch virtualStitch(int x, int y, int code, const std::vector<HStitch>& real) {
  HStitch s = at(x, y, code);
  HXArray<HStitch> list;
  for (const HStitch& r : real)
    list.add(r);
  s.setRealStitches(list);
  return s;
}

inline Moves realMoves(const HStitch& s) {
  Moves out;
  for (const HStitch& r : s.getRealStitches())
    out.push_back({r.getFlags(), r.xval(), r.yval()});
  return out;
}

inline Moves pieceMoves(const HXArray<HStitch>& pieces) {
  Moves out;
  for (const HStitch& r : pieces)
    out.push_back({r.getFlags(), r.xval(), r.yval()});
  return out;
}

inline Points pointList(const HXArray<HCoord<short>>& points) {
  Points out;
  for (const HCoord<short>& p : points)
    out.emplace_back(p.x, p.y);
  return out;
}

// Begins a design at (0, 0) with the design centre `centre` and the "a design has begun"
// flag of this thread cleared, so that every test starts alike.
inline void begin(RecordingEncoder& e, HCoord<short> centre = HCoord<short>(), int resplit = 0) {
  StitchEncoder::setDesignBegun(0);
  ASSERT_EQ(e.beginDesign(HCoord<short>(), centre, resplit), kEncodeOk);
}

}  // namespace stitchkit::encode_test
