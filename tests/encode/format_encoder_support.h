#pragma once

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "stitchkit/encode/stitch_encoder.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/bytestream.h"
#include "tests/support/stitch_builders.h"

// Drivers for the format encoders: one record or command written straight through the
// format's own operations, or a design written through the encoder framework.
namespace stitchkit::format_test {

using testing_support::Bytes;
using testing_support::cat;
using testing_support::Points;
using testing_support::stitch;

// The format's two writing operations made reachable.
template <class E>
class Writer : public E {
 public:
  using E::E;
  using E::vSendHardStitch;
  using E::vSendSoftStitch;
};

struct Written {
  Bytes bytes;
  int result = -1;
};

// Writes `s` with the needle at (0, 0) through vSendSoftStitch (soft) or vSendHardStitch.
template <class E>
Written writeOne(const HStitch& s, const StitchOptions& o, bool soft, int separate = 1,
                 int stopTable = 0) {
  Written out;
  VectorOutputBytestream stream(out.bytes);
  Writer<E> writer(o);
  writer.setBytestream(stream);
  writer.setSeparateCommands(separate);
  writer.setMakeStopTable(stopTable);
  EXPECT_EQ(writer.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch copy = s;
  out.result = soft ? writer.vSendSoftStitch(copy) : writer.vSendHardStitch(copy);
  return out;
}

struct Encoded {
  Bytes bytes;
  std::vector<int> results;   // of each encodeStitch
  std::vector<HStitch> sent;  // the stitches as encodeStitch left them
  EncoderState state;         // as endDesign leaves it
};

// Writes `stitches` as one design from (0, 0) through the encoder framework. With
// `trackTrims` each stitch is told whether a trim, stop or colour change came before it.
template <class E>
Encoded encodeWith(const StitchOptions& o, std::vector<HStitch> stitches, int separate = 1,
                   bool withStream = true, bool trackTrims = false, int stopTable = 0) {
  Encoded out;
  VectorOutputBytestream stream(out.bytes);
  E encoder(o);
  if (withStream) encoder.setBytestream(stream);
  encoder.setSeparateCommands(separate);
  encoder.setMakeStopTable(stopTable);
  StitchEncoder::setDesignBegun(0);
  EXPECT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  int afterTrim = 0;
  for (HStitch& s : stitches) {
    out.results.push_back(encoder.encodeStitch(s, trackTrims ? afterTrim : 0, 0));
    if (s.isNormal()) afterTrim = 0;
    if (s.isTrim() || s.isColorChange() || s.isStop()) afterTrim = 1;
    out.sent.push_back(s);
  }
  EXPECT_EQ(encoder.endDesign(&out.state), kEncodeOk);
  return out;
}

struct PlainWritten {
  Bytes bytes;      // written for the run
  int written = 0;  // stitches of the run taken in bulk
  int result = -1;
};

// Writes `run` through the bulk path for plain stitches, batch after batch as long as it takes
// any, after a first stitch at (0, 0) that opens the design.
template <class E>
PlainWritten writePlain(const StitchOptions& o, const std::vector<HStitch>& run) {
  Bytes all;
  VectorOutputBytestream stream(all);
  E encoder(o);
  encoder.setBytestream(stream);
  StitchEncoder::setDesignBegun(0);
  EXPECT_EQ(encoder.beginDesign({0, 0}, {0, 0}, 0), kEncodeOk);
  HStitch first(0, 0);
  EXPECT_EQ(encoder.encodeStitch(first, 0, 0), kEncodeOk);
  const std::size_t opening = all.size();
  PlainWritten out;
  for (int taken = 1; taken > 0 && out.written < static_cast<int>(run.size());) {
    const std::span<const HStitch> rest(run.data() + out.written, run.size() - out.written);
    out.result = encoder.encodePlainStitches(rest, 0, taken);
    out.written += taken;
  }
  out.bytes.assign(all.begin() + static_cast<std::ptrdiff_t>(opening), all.end());
  return out;
}

inline bool allOk(const std::vector<int>& results) {
  for (const int r : results)
    if (r != kEncodeOk) return false;
  return true;
}

}  // namespace stitchkit::format_test
