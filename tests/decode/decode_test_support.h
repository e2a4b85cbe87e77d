#pragma once

#include <gtest/gtest.h>

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

// Helpers shared by the decoder tests: a little DST record writer of its own (so that the
// decoder is checked against an independent statement of the bit layout), a stream that can
// be told to fail, and a driver that runs any decoder over a design and keeps what came out.
namespace stitchkit::decode_test {

using Bytes = std::vector<unsigned char>;

// Command bits of the third record byte.
inline constexpr int kNormalBits = 0x00;
inline constexpr int kJumpBits = 0x80;
inline constexpr int kChangeoverBits = 0x40;
inline constexpr int kStopBits = 0xC0;

// One movement bit as the machine defines it: byte, mask, what it adds to x and y.
struct BitWeight {
  int byte;
  int mask;
  int dx;
  int dy;
};

// clang-format off
inline constexpr BitWeight kBitWeights[20] = {
    {0, 0x01,  1,  0}, {0, 0x02, -1,  0}, {0, 0x04,  9,  0}, {0, 0x08, -9,  0},
    {0, 0x10,  0,  9}, {0, 0x20,  0, -9}, {0, 0x40,  0,  1}, {0, 0x80,  0, -1},
    {1, 0x01,  3,  0}, {1, 0x02, -3,  0}, {1, 0x04, 27,  0}, {1, 0x08, -27, 0},
    {1, 0x10,  0, 27}, {1, 0x20,  0, -27}, {1, 0x40, 0,  3}, {1, 0x80,  0, -3},
    {2, 0x04, 81,  0}, {2, 0x08, -81, 0}, {2, 0x10,  0, 81}, {2, 0x20,  0, -81},
};
// clang-format on

// Sets the bit of weight `weight` (one of +-1, 3, 9, 27, 81) on the x (or y) axis.
inline void setWeightBit(unsigned char (&b)[3], bool xAxis, int weight) {
  for (const BitWeight& bit : kBitWeights) {
    if ((xAxis ? bit.dx : bit.dy) == weight && (xAxis ? bit.dy : bit.dx) == 0) {
      b[bit.byte] = static_cast<unsigned char>(b[bit.byte] | bit.mask);
      return;
    }
  }
  ADD_FAILURE() << "no bit of weight " << weight;
}

// Writes `value` (-121..121) in balanced ternary on one axis.
inline void encodeAxis(unsigned char (&b)[3], bool xAxis, int value) {
  int rest = value;
  for (int weight = 1; weight <= 81; weight *= 3) {
    const int digit = ((rest % 3) + 3) % 3;  // 0, 1 or 2 (2 stands for -1)
    if (digit == 1) {
      setWeightBit(b, xAxis, weight);
      rest = (rest - 1) / 3;
    } else if (digit == 2) {
      setWeightBit(b, xAxis, -weight);
      rest = (rest + 1) / 3;
    } else {
      rest /= 3;
    }
  }
  EXPECT_EQ(rest, 0) << "move " << value << " does not fit one record";
}

// One record moving (dx, dy) with the given command bits.
inline Bytes record(int dx, int dy, int commandBits = kNormalBits) {
  unsigned char b[3] = {0, 0, 0};
  encodeAxis(b, true, dx);
  encodeAxis(b, false, dy);
  b[2] = static_cast<unsigned char>(b[2] | 0x03 | commandBits);
  return {b[0], b[1], b[2]};
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
