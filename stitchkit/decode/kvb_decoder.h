#pragma once

#include <array>
#include <cstdint>

#include "stitchkit/decode/stitch_decoder.h"

namespace stitchkit {

// Reads the stitch records of a KVB file (format code 36). Unlike the DST decoder it is given
// the stream of the whole file and positions it itself: beginDesign reads the needle-order
// table and the attribute block from the header, then leaves the stream at the first record.
//
// Each three-byte record moves by two signed bytes and names its command by a function byte
// (kvb_records.h). A needle change takes its needle from the needle-order table, one entry per
// colour block in turn, when the header fills that table; otherwise the needle in use stays.
// A jump with a speed command is delivered as the jump and then the speed command at the same
// point.
class KorvanKVBStitchDecoder : public BytestreamStitchDecoder {
 public:
  explicit KorvanKVBStitchDecoder(StitchOptions& options);
  KorvanKVBStitchDecoder(const KorvanKVBStitchDecoder& other) = default;
  ~KorvanKVBStitchDecoder() override;

 protected:
  // kDecodeFailure without a stream; kDecodeMalformed when the header's tags or tables cannot
  // be read (the stream is then left where it was).
  int vBeginDesign(HCoord<short> start, int needle) override;
  int vGetHardStitch(HStitch& s) override;
  int vDecodePlainStitches(std::span<HStitch> out) override;

 private:
  int readThreeBytes(unsigned char* buf) { return readBytes(buf, 0, 3); }
  // Reads a tag of the header at `offset` and the `size` bytes behind it into `into`.
  bool readTable(long offset, const std::array<unsigned char, 3>& tag, unsigned char* into,
                 int size);
  // Whether the first record, an empty one, is the start record the writer put first.
  bool isStartRecord() const;

  std::array<std::uint8_t, 3> record_{};
  int pendingRecord_ = 0;
  int firstRecordDone_ = 0;
  std::array<std::uint8_t, 256> needleOrder_{};
  std::array<std::uint8_t, 360> attributes_{};
  int needleOrderIndex_ = -1;
};

}  // namespace stitchkit
