#pragma once

#include <gtest/gtest.h>

#include "tests/support/dst_test_records.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <utility>
#include <vector>

#include "stitchkit/decode/dst_decoder.h"
#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/bytestream.h"

// Helpers shared by the decoder tests: DST records from the tests' own statement of the bit
// layout (so that the decoder is checked against an independent copy), a stream that can be
// told to fail, and a driver that runs any decoder over a design and keeps what came out.
namespace stitchkit::decode_test {

using Bytes = std::vector<unsigned char>;

// Command bits of the third record byte.
inline constexpr int kNormalBits = testing_support::kDstNormal;
inline constexpr int kJumpBits = testing_support::kDstJump;
inline constexpr int kChangeoverBits = testing_support::kDstChangeover;
inline constexpr int kStopBits = testing_support::kDstStop;

// One record moving (dx, dy) with the given command bits, from the tests' own statement of the
// bit layout.
inline Bytes record(int dx, int dy, int commandBits = kNormalBits) {
  const std::string r = testing_support::dstRecord(dx, dy, commandBits);
  return Bytes(r.begin(), r.end());
}

inline Bytes normal(int dx, int dy) {
  return record(dx, dy, kNormalBits);
}
inline Bytes jump(int dx, int dy) {
  return record(dx, dy, kJumpBits);
}
inline Bytes stop(int dx = 0, int dy = 0) {
  return record(dx, dy, kStopBits);
}
inline Bytes changeover(int dx = 0, int dy = 0) {
  return record(dx, dy, kChangeoverBits);
}
inline Bytes endRecord() {
  return {0x00, 0x00, 0xF3};
}

// The concatenation of byte lists.
inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes repeat(const Bytes& part, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i)
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

// Serves `bytes`, then answers every further read with the codes of `after` in turn (the
// last one repeating). Counts the reads it is asked for.
class ScriptedStream final : public InputBytestream {
 public:
  ScriptedStream(Bytes bytes, std::vector<int> after)
      : bytes_(std::move(bytes)), after_(std::move(after)) {}

  int inputByte(unsigned char& byte) override {
    ++reads_;
    if (position_ < bytes_.size()) {
      byte = bytes_[position_++];
      return kStreamOk;
    }
    const std::size_t k = failures_ < after_.size() ? failures_ : after_.size() - 1;
    ++failures_;
    return after_[k];
  }
  int reads() const { return reads_; }

 private:
  Bytes bytes_;
  std::vector<int> after_;
  std::size_t position_ = 0;
  std::size_t failures_ = 0;
  int reads_ = 0;
};

// What a delivered stitch looked like.
struct Delivered {
  int code;
  int x;
  int y;
  int colour;
  int head;
  int real;
};

// The outcome of running a decoder over one design.
struct Decoded {
  std::vector<HStitch> stitches;
  int result = -1;     // the non-zero result that ended decoding
  int endResult = -1;  // endDesign's result when decoding ended with kDecodeEnd
  StitchStats stats;

  std::vector<int> codes() const {
    std::vector<int> out;
    for (const HStitch& s : stitches)
      out.push_back(s.getFlags());
    return out;
  }
  std::vector<std::pair<int, int>> points() const {
    std::vector<std::pair<int, int>> out;
    for (const HStitch& s : stitches)
      out.emplace_back(s.xval(), s.yval());
    return out;
  }
  std::vector<int> colours() const {
    std::vector<int> out;
    for (const HStitch& s : stitches)
      out.push_back(s.getColor());
    return out;
  }
  // (code, sequin head) of each drop sequin and drop bead.
  std::vector<std::pair<int, int>> drops() const {
    std::vector<std::pair<int, int>> out;
    for (const HStitch& s : stitches) {
      if (s.isDropSequin() || s.isDropBead()) out.emplace_back(s.getFlags(), s.getSequinHead());
    }
    return out;
  }
  std::vector<int> realCounts() const {
    std::vector<int> out;
    for (const HStitch& s : stitches)
      out.push_back(s.getRealStitchCount());
    return out;
  }
};

// Calls decodeStitch until it returns non-zero, then endDesign when the data ended.
inline Decoded drainDecoder(StitchDecoder& decoder) {
  constexpr int kGuard = 1 << 20;
  Decoded out;
  for (int n = 0; n < kGuard; ++n) {
    HStitch s;
    const int r = decoder.decodeStitch(s);
    if (r != kDecodeOk) {
      out.result = r;
      break;
    }
    out.stitches.push_back(s);
  }
  if (out.result == kDecodeEnd) out.endResult = decoder.endDesign();
  out.stats = decoder.getStats();
  return out;
}

// Runs `decoder` over a whole design: beginDesign, then drainDecoder.
inline Decoded runDecoder(StitchDecoder& decoder, HCoord<short> start = {0, 0}, int needle = 1) {
  EXPECT_EQ(decoder.beginDesign(start, needle), kDecodeOk);
  return drainDecoder(decoder);
}

// The options a DST file is read with.
inline StitchDecoderOptions dstOptions() {
  StitchDecoderOptions o;
  setDefaultDecoderOptions(o);
  o.setFileFormat(kFormatDst);
  return o;
}

// Decodes DST records with `options` (which receive the learned lengths).
inline Decoded decodeDst(const Bytes& bytes, StitchOptions& options, HCoord<short> start = {0, 0},
                         int needle = 1) {
  MemoryInputBytestream stream(bytes);
  KorvanStitchDecoder decoder(options);
  decoder.setBytestream(stream);
  return runDecoder(decoder, start, needle);
}

inline Decoded decodeDst(const Bytes& bytes) {
  StitchDecoderOptions o = dstOptions();
  return decodeDst(bytes, o);
}

}  // namespace stitchkit::decode_test
