#include "stitchkit/formats/file_format_detection.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <span>
#include <vector>

#include "stitchkit/decode/barudan_records.h"
#include "stitchkit/decode/dst_records.h"
#include "stitchkit/decode/exp_records.h"
#include "stitchkit/decode/zangs_records.h"
#include "stitchkit/formats/file_format_registry.h"

namespace stitchkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kRecordsLooked = 256;
constexpr std::size_t kBytesRead = dst::kHeaderSize + kRecordsLooked * exp::kMaxRecordSize;
constexpr std::uint8_t kHeaderStart[] = {'L', 'A', ':'};

// Every complete three-byte record (up to kRecordsLooked) passes `wellFormed`, and there is one.
bool threeByteRecordsFit(Bytes data, bool (*wellFormed)(std::uint8_t, std::uint8_t, std::uint8_t)) {
  const std::size_t records = std::min(data.size() / 3, kRecordsLooked);
  for (std::size_t i = 0; i < records; ++i) {
    if (!wellFormed(data[3 * i], data[3 * i + 1], data[3 * i + 2])) return false;
  }
  return records > 0;
}

bool dstFits(Bytes data) {
  return threeByteRecordsFit(data, dst::isWellFormed);
}
bool barudanFits(Bytes data) {
  return threeByteRecordsFit(data, barudan::isWellFormed);
}
bool zangsFits(Bytes data) {
  return threeByteRecordsFit(data, zangs::isWellFormed);
}

// Every control record names a control byte the Exp table knows.
bool expFits(Bytes data) {
  std::size_t at = 0;
  std::size_t records = 0;
  while (records < kRecordsLooked && at + exp::kStitchRecordSize <= data.size()) {
    if (data[at] != exp::kEscape) {
      at += exp::kStitchRecordSize;
    } else {
      const std::uint8_t control = data[at + 1];
      const auto* row =
          std::find_if(exp::kControlRows.begin(), exp::kControlRows.end(),
                       [control](const exp::ControlRow& r) { return r.control == control; });
      if (row == exp::kControlRows.end()) return false;
      at += exp::kStitchRecordSize + static_cast<std::size_t>(exp::operandSize(row->operand));
    }
    ++records;
  }
  return records > 0;
}

struct Candidate {
  HDiskFileFormat format;
  bool headed;
  bool (*fits)(Bytes records);
};

// In the order they are tried. An HSF file is recognised by its information header, which the
// HSF reader parses; its row belongs first.
constexpr Candidate kCandidates[] = {
    {kFormatDst, true, dstFits},  {kFormatDsb, true, barudanFits},  {kFormatDsz, true, zangsFits},
    {kFormatDst, false, dstFits}, {kFormatDsb, false, barudanFits}, {kFormatDsz, false, zangsFits},
    {kFormatExp, false, expFits},
};

bool startsWithHeader(Bytes data) {
  return data.size() >= dst::kHeaderSize &&
         std::equal(std::begin(kHeaderStart), std::end(kHeaderStart), data.begin());
}

bool fits(const Candidate& candidate, Bytes data) {
  if (candidate.headed != startsWithHeader(data)) return false;
  return candidate.fits(candidate.headed ? data.subspan(dst::kHeaderSize) : data);
}

}  // namespace

DetectedFormat detectStitchFormatFromContent(const HString& path, HDiskFileFormat expected) {
  std::vector<std::uint8_t> bytes(kBytesRead);
  try {
    std::ifstream in(toNativePath(path), std::ios::binary);
    if (!in) return {};
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
  } catch (const std::exception&) {
    return {};
  }
  const Bytes data(bytes);
  // A variant counts as the code its written extension reads as: its family's head.
  const HDiskFileFormat head =
      HFileFormat::convertExtToFileFormat(HFileFormat::convertFileFormatToExt(expected));
  for (const Candidate& candidate : kCandidates) {
    if (candidate.format == head && fits(candidate, data))
      return {candidate.format, candidate.headed};
  }
  for (const Candidate& candidate : kCandidates) {
    if (fits(candidate, data)) return {candidate.format, candidate.headed};
  }
  return {};
}

}  // namespace stitchkit
