#include "stitchkit/formats/file_format_detection.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "stitchkit/decode/barudan_records.h"
#include "stitchkit/decode/dst_records.h"
#include "stitchkit/decode/exp_records.h"
#include "stitchkit/decode/zangs_records.h"
#include "stitchkit/files/hsf_file.h"
#include "stitchkit/formats/file_format_registry.h"

namespace stitchkit {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kRecordsLooked = 256;
// Exp records are checked to the end of the file, which is read up to this size.
constexpr std::size_t kBytesRead = 16u * 1024u * 1024u;
constexpr std::uint8_t kEndOfFileMark = 0x1A;
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

// Exp records have no bits of their own to check, so the whole file must be a sequence of
// them, every control record with a control byte the Exp table knows, up to its last byte
// (or an end-of-file mark after the last record).
bool expFits(Bytes data) {
  if (!data.empty() && data.size() % 2 == 1 && data.back() == kEndOfFileMark) {
    data = data.first(data.size() - 1);
  }
  std::size_t at = 0;
  while (at + exp::kStitchRecordSize <= data.size()) {
    if (data[at] != exp::kEscape) {
      at += exp::kStitchRecordSize;
      continue;
    }
    const std::uint8_t control = data[at + 1];
    const auto* row =
        std::find_if(exp::kControlRows.begin(), exp::kControlRows.end(),
                     [control](const exp::ControlRow& r) { return r.control == control; });
    if (row == exp::kControlRows.end()) return false;
    at += exp::kStitchRecordSize + static_cast<std::size_t>(exp::operandSize(row->operand));
  }
  return at > 0 && at == data.size();
}

// An HSF file written by a version that says so ("V9..." first) whose information header
// names the records it carries.
bool hsfFits(Bytes data) {
  if (data.size() < 2 || data[0] != 'V' || data[1] != '9') return false;
  const Bytes head = data.first(std::min<std::size_t>(data.size(), 256));
  std::istringstream in(std::string(head.begin(), head.end()));
  HchInfoHeader header;
  return readHchInfoHeader(in, header) == kHsfOk &&
         convertHchInfoHeaderToFileFormat(header) != kFormatNone;
}

struct Candidate {
  HDiskFileFormat format;
  bool headed;
  bool (*fits)(Bytes records);
};

// In the order they are tried.
constexpr Candidate kCandidates[] = {
    {kFormatHsf, false, hsfFits},   {kFormatDst, true, dstFits},  {kFormatDsb, true, barudanFits},
    {kFormatDsz, true, zangsFits},  {kFormatDst, false, dstFits}, {kFormatDsb, false, barudanFits},
    {kFormatDsz, false, zangsFits}, {kFormatExp, false, expFits},
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
  std::vector<std::uint8_t> bytes;
  try {
    std::ifstream in(toNativePath(path), std::ios::binary | std::ios::ate);
    if (!in) return {};
    const std::streamoff size = in.tellg();
    if (size <= 0) return {};
    bytes.resize(std::min(static_cast<std::size_t>(size), kBytesRead));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
  } catch (const std::exception&) {
    return {};
  }
  const Bytes data(bytes);
  // A variant counts as the code its written extension reads as: its family's head.
  const HString writtenAs = HFileFormat::convertFileFormatToExt(expected);
  const HDiskFileFormat head =
      writtenAs.length() > 1 ? HFileFormat::convertExtToFileFormat(writtenAs) : expected;
  // Other makers' formats share the Exp record; it is taken only for a name that says Exp or
  // names no format.
  const bool expAllowed = head == kFormatExp || head == kFormatNone || head == kFormatNoExtension;
  for (const Candidate& candidate : kCandidates) {
    if (candidate.format == head && fits(candidate, data)) {
      return {candidate.format, candidate.headed};
    }
  }
  for (const Candidate& candidate : kCandidates) {
    if ((candidate.format != kFormatExp || expAllowed) && fits(candidate, data)) {
      return {candidate.format, candidate.headed};
    }
  }
  return {};
}

}  // namespace stitchkit
