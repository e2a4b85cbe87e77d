#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/decode/zsk_transport_records.h"
#include "stitchkit/platform/h_list.h"

namespace stitchkit {

// Reads the stitch records of a ZSK transport file (format code 52; layout in
// zsk_transport_records.h). It is given the stream of the whole file: beginDesign loads the
// whole file into memory (at most kMaxLoadedBytes), reads the leading framed records (the
// design header and the thread table, available afterwards through getZSKHeader and
// getZSKNeedleInfo) and decodes the stitch records from the loaded bytes. The stream's
// position is left where it was.
//
// Records that carry no stitch (remarks, framed records after the stitches have begun,
// functions this decoder does not know) are passed over. A speed function becomes a speed up
// or slow down against the speed before it (10 at the start), or a stitch in place when the
// speed stays. The data must end with the end function: data that runs out before it ends
// decoding with kDecodeFailure, a record cut short or of an unknown kind with
// kDecodeMalformed (failedRecordOffset tells where it starts).
class ZSKTransportStitchDecoder : public BytestreamStitchDecoder {
 public:
  // The most that beginDesign loads: a longer stream is refused with kDecodeFailure. No
  // design sewn by a machine comes near it (a million stitches take about 3 MiB).
  static constexpr std::size_t kMaxLoadedBytes = std::size_t{64} << 20;

  explicit ZSKTransportStitchDecoder(StitchOptions& options);
  // The copy holds its own copy of the loaded bytes.
  ZSKTransportStitchDecoder(const ZSKTransportStitchDecoder& other) = default;
  ~ZSKTransportStitchDecoder() override;

  // The design header as read (spaces until one is read) and the thread entries in file order.
  const zsk::ZSKTransportHeader& getZSKHeader() const { return header_; }
  const HList<zsk::ZSKNeedle>& getZSKNeedleInfo() const { return needles_; }

 protected:
  // kDecodeFailure without a stream, for an empty stream, one above kMaxLoadedBytes or one
  // that cannot be read from its start.
  int vBeginDesign(HCoord<short> start, int needle) override;
  int vGetHardStitch(HStitch& s) override;
  int vDecodePlainStitches(std::span<HStitch> out) override;

 private:
  // Loads the whole stream into data_: kDecodeOk or kDecodeFailure.
  int load(InputBytestream& stream);
  // Decodes the record at position_ into `s` and moves past it. `delivered` is false for a
  // record that carries no stitch.
  int decodeRecord(HStitch& s, bool& delivered);
  int malformed() {
    setFailedRecordOffset(static_cast<long>(position_));
    return kDecodeMalformed;
  }

  std::vector<std::uint8_t> data_;
  std::size_t position_ = 0;  // the next byte to decode
  bool loaded_ = false;
  int currentSpeed_ = zsk::kInitialSpeed;
  zsk::ZSKTransportHeader header_;
  HList<zsk::ZSKNeedle> needles_;
};

}  // namespace stitchkit
