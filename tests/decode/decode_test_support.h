#pragma once

#include <gtest/gtest.h>

#include "tests/support/dst_test_records.h"
#include "tests/support/stitch_builders.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "stitchkit/decode/dst_decoder.h"
#include "stitchkit/decode/kvb_decoder.h"
#include "stitchkit/decode/kvb_records.h"
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

using testing_support::Bytes;
using testing_support::cat;
using testing_support::repeat;

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

// Serves `bytes`, then answers every further read with the codes of `after` in turn (the
// last one repeating). Counts the reads it is asked for; can tell its position and seek.
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
  long position() const override { return static_cast<long>(position_); }
  int seek(long offset) override {
    if (offset < 0 || offset > static_cast<long>(bytes_.size())) return kStreamFailure;
    position_ = static_cast<std::size_t>(offset);
    return kStreamOk;
  }
  int reads() const { return reads_; }

 private:
  Bytes bytes_;
  std::vector<int> after_;
  std::size_t position_ = 0;
  std::size_t failures_ = 0;
  int reads_ = 0;
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

// Calls decodeStitch until it returns non-zero, then endDesign when the data ended. With
// `bulk`, runs of plain stitches are taken as the stitch filter takes them, a few at a time
// so that runs are cut at every point.
inline Decoded drainDecoder(StitchDecoder& decoder, bool bulk = true) {
  constexpr int kGuard = 1 << 20;
  Decoded out;
  for (int n = 0; n < kGuard; ++n) {
    std::array<HStitch, 7> batch;
    const int plain = bulk ? decoder.decodePlainStitches(batch) : 0;
    if (plain > 0) {
      out.stitches.insert(out.stitches.end(), batch.begin(), batch.begin() + plain);
      continue;
    }
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
inline Decoded runDecoder(StitchDecoder& decoder, HCoord<short> start = {0, 0}, int needle = 1,
                          bool bulk = true) {
  EXPECT_EQ(decoder.beginDesign(start, needle), kDecodeOk);
  return drainDecoder(decoder, bulk);
}

// The records of a format decoder: below the soft-stitch rules (rawRecord) or each taken
// relative to the one before, as the framework does (readRecord).
template <class D>
class RecordReader : public D {
 public:
  using D::D;
  int rawRecord(HStitch& s) { return this->vGetHardStitch(s); }
  int readRecord(HStitch& s) { return this->getNextHardStitch(s); }
};

// A KVB file header: blanks, "DO:" at 263 followed by `needles` (zero-filled to 256 bytes),
// "DA:" at 523 followed by `attributes` (blank-filled to 360 bytes).
inline Bytes kvbHeader(const std::vector<int>& needles = {}, const std::string& attributes = "") {
  Bytes h(1536, ' ');
  std::copy_n("DO:", 3, h.begin() + 263);
  std::fill(h.begin() + 266, h.begin() + 522, 0);
  std::copy(needles.begin(), needles.end(), h.begin() + 266);
  std::copy_n("DA:", 3, h.begin() + 523);
  std::copy(attributes.begin(), attributes.end(), h.begin() + 526);
  return h;
}

// The KVB decoder over KVB records alone, read behind a header as a KVB file holds them. The
// header's needle-order table lists needles 1, 3 and 5, the needles of the common test
// designs; without a stream the records fail to read.
class KvbRecordsDecoder : public KorvanKVBStitchDecoder {
 public:
  using KorvanKVBStitchDecoder::KorvanKVBStitchDecoder;

 protected:
  int vBeginDesign(HCoord<short> start, int needle) override {
    if (getBytestream() != &file_) {
      file_.records = getBytestream();
      setBytestream(file_);
    }
    return KorvanKVBStitchDecoder::vBeginDesign(start, needle);
  }

 private:
  struct File final : InputBytestream {
    int inputByte(unsigned char& byte) override {
      if (at < kvb::kRecordsOffset) {
        byte = header[static_cast<std::size_t>(at++)];
        return kStreamOk;
      }
      const int r = records == nullptr ? kStreamFailure : records->inputByte(byte);
      at += r == kStreamOk ? 1 : 0;
      return r;
    }
    long position() const override { return at; }
    int seek(long offset) override {
      if (offset < 0 || (offset >= kvb::kRecordsOffset && records != nullptr &&
                         records->seek(offset - kvb::kRecordsOffset) != kStreamOk)) {
        return kStreamFailure;
      }
      at = offset;
      return kStreamOk;
    }
    std::span<const unsigned char> buffered() override {
      return at < kvb::kRecordsOffset || records == nullptr ? std::span<const unsigned char>()
                                                            : records->buffered();
    }
    void consume(std::size_t count) override {
      records->consume(count);
      at += static_cast<long>(count);
    }

    Bytes header = kvbHeader({1, 3, 5});
    InputBytestream* records = nullptr;
    long at = 0;
  };
  File file_;
};

// The options a file of `format` is read with.
inline StitchDecoderOptions readOptions(HDiskFileFormat format) {
  StitchDecoderOptions o;
  setDefaultDecoderOptions(o);
  o.setFileFormat(format);
  return o;
}

// Reads every hard record of `bytes` (relative to the one before) until a read returns
// non-zero; `variant` >= 0 is the decoder's extended variant.
template <class D>
Decoded readHard(const Bytes& bytes, StitchOptions& o, HCoord<short> start = {0, 0}, int needle = 1,
                 int variant = -1) {
  MemoryInputBytestream stream(bytes);
  RecordReader<D> reader(o);
  reader.setBytestream(stream);
  if (variant >= 0) reader.setExtendedVariant(variant);
  EXPECT_EQ(reader.beginDesign(start, needle), kDecodeOk);
  Decoded out;
  for (int guard = 0; guard < (1 << 20); ++guard) {
    HStitch s;
    out.result = reader.readRecord(s);
    if (out.result != kDecodeOk) break;
    out.stitches.push_back(s);
  }
  return out;
}

// Runs decoder D over `bytes`; `variant` >= 0 is its extended variant.
template <class D>
Decoded decodeWith(const Bytes& bytes, StitchOptions& o, HCoord<short> start = {0, 0},
                   int needle = 1, int variant = -1) {
  MemoryInputBytestream stream(bytes);
  D decoder(o);
  decoder.setBytestream(stream);
  if (variant >= 0) decoder.setExtendedVariant(variant);
  return runDecoder(decoder, start, needle);
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
                         int needle = 1, bool bulk = true) {
  MemoryInputBytestream stream(bytes);
  KorvanStitchDecoder decoder(options);
  decoder.setBytestream(stream);
  return runDecoder(decoder, start, needle, bulk);
}

inline Decoded decodeDst(const Bytes& bytes) {
  StitchDecoderOptions o = dstOptions();
  return decodeDst(bytes, o);
}

}  // namespace stitchkit::decode_test
