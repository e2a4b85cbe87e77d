#include "stitchkit/files/edf_package.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "stitchkit/files/edf_key_internal.h"
#include "stitchkit/files/edf_package_internal.h"
#include "stitchkit/files/edf_records.h"
#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/replacement_file.h"

namespace stitchkit {

using namespace edf;

namespace detail {

bool readFully(HFile& file, unsigned char* bytes, std::size_t size) {
  constexpr std::size_t kPiece = 1u << 30;
  while (size > 0) {
    const int piece = static_cast<int>(std::min(size, kPiece));
    if (file.read(bytes, piece) != piece) return false;
    bytes += piece;
    size -= static_cast<std::size_t>(piece);
  }
  return true;
}

bool writeFully(HFile& file, const unsigned char* bytes, std::size_t size) {
  constexpr std::size_t kPiece = 1u << 30;
  while (size > 0) {
    const int piece = static_cast<int>(std::min(size, kPiece));
    if (file.write(bytes, piece) != piece) return false;
    bytes += piece;
    size -= static_cast<std::size_t>(piece);
  }
  return true;
}

std::size_t edfNumber(const unsigned char* directory, std::size_t offset) {
  std::size_t value = 0;
  std::size_t i = 0;
  while (i < kNumberWidth && directory[offset + i] == ' ')
    ++i;
  for (; i < kNumberWidth; ++i) {
    const unsigned char c = directory[offset + i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) break;
    value = value * 16 + static_cast<std::size_t>(digit);
  }
  return value;
}

bool decipherEnvelope(const HString& path, std::vector<unsigned char>& payload) {
  HFile in;
  if (!in.open(path, kGenericRead, kOpenExisting, kShareRead)) return false;
  unsigned char header[kEnvelopeSize];
  if (!readFully(in, header, kEnvelopeSize) || std::memcmp(header, kMagic, kMagicSize) != 0 ||
      header[kVersionOffset] == 0) {
    return false;
  }
  auto field = [&header](std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value |= static_cast<std::uint32_t>(header[offset + i]) << (8 * i);
    return static_cast<std::int64_t>(value);
  };
  const std::int64_t offset = field(kPayloadOffsetField);
  const std::int64_t length = field(kPayloadLengthField);
  const std::int64_t size = in.length();
  if (size < 0 || offset > size || length > size - offset || !in.seek(offset)) return false;
  payload.resize(static_cast<std::size_t>(length));
  return readFully(in, payload.data(), payload.size()) &&
         edfCipher().apply(payload.data(), payload.size(), payload.data());
}

}  // namespace detail

namespace {

using detail::edfNumber;
using detail::readFully;
using detail::writeFully;

constexpr std::size_t kCopyBlock = 64 * 1024;

// Copies up to `length` bytes from `in`'s position to `out`; returns the count read. `failed`
// is set when a write fails.
std::size_t copyBytes(HFile& in, HFile& out, std::size_t length, bool& failed) {
  std::vector<unsigned char> block(std::min(length, kCopyBlock));
  std::size_t copied = 0;
  while (copied < length) {
    const int want = static_cast<int>(std::min(block.size(), length - copied));
    const int got = in.read(block.data(), want);
    if (got <= 0) break;
    if (!writeFully(out, block.data(), static_cast<std::size_t>(got))) {
      failed = true;
      break;
    }
    copied += static_cast<std::size_t>(got);
    if (got < want) break;
  }
  return copied;
}

void putNumber(unsigned char* directory, std::size_t offset, std::size_t value) {
  char text[kNumberWidth + 1];
  std::snprintf(text, sizeof text, "%07zX", value);
  std::memcpy(directory + offset, text, kNumberWidth);
}

// A member file opened for packing, or why not.
struct MemberFile {
  HFile file;
  std::int64_t length = 0;
  int result = kEdfOk;
};

MemberFile openMember(const HString& path) {
  MemberFile member;
  if (!fileExists(path)) {
    member.result = kEdfMissing;
  } else if (!member.file.open(path, kGenericRead, kOpenExisting, kShareRead) ||
             (member.length = member.file.length()) < 0) {
    member.result = kEdfCannotOpen;
  }
  return member;
}

// The first of `paths` that names a file that is not empty, opened; nothing when none does.
std::optional<MemberFile> openOptionalMember(std::initializer_list<HString> paths) {
  for (const HString& path : paths) {
    MemberFile member = openMember(path);
    if (member.result == kEdfMissing || (member.result == kEdfOk && member.length == 0)) continue;
    return member;
  }
  return std::nullopt;
}

// Writes the plain payload: directory, KVB without its header area, CT0, then the optional
// members, each recorded in the directory.
int writePlainPayload(HFile& out, MemberFile& kvb, MemberFile& ct0,
                      std::optional<MemberFile>& graphics, std::optional<MemberFile>& ad0) {
  unsigned char directory[kDirectorySize];
  std::memset(directory, ' ', sizeof directory);
  std::memcpy(directory, kDirectoryVersion, 4);
  std::memcpy(directory + kDirectoryKindOffset, kDirectoryKind, 3);
  if (!writeFully(out, directory, kDirectorySize)) return kEdfFailed;

  bool failed = false;
  std::size_t end = kDirectorySize;
  if (kvb.length > static_cast<std::int64_t>(kKvbHeaderArea)) {
    const auto length = static_cast<std::size_t>(kvb.length) - kKvbHeaderArea;
    if (!kvb.file.seek(kKvbHeaderArea) || copyBytes(kvb.file, out, length, failed) != length) {
      return failed ? kEdfFailed : kEdfCannotOpen;
    }
    end += length;
  }
  if (end > kLargestNumber) return kEdfFailed;
  putNumber(directory, kKvbEndField, end);

  auto pack = [&](MemberFile& member, std::size_t offsetField, std::size_t lengthField) {
    const auto length = static_cast<std::size_t>(member.length);
    if (copyBytes(member.file, out, length, failed) != length) {
      return failed ? kEdfFailed : kEdfCannotOpen;
    }
    if (end > kLargestNumber || length > kLargestNumber) return kEdfFailed;
    putNumber(directory, offsetField, end);
    putNumber(directory, lengthField, length);
    end += length;
    return kEdfOk;
  };
  if (const int r = pack(ct0, kCt0OffsetField, kCt0LengthField); r != kEdfOk) return r;
  for (auto [member, fields] : {std::pair{&graphics, kGraphics}, std::pair{&ad0, kAd0}}) {
    directory[fields.flag] = member->has_value() ? '1' : '0';
    if (!member->has_value()) continue;
    if (const int r = pack(**member, fields.offset, fields.length); r != kEdfOk) return r;
  }
  if (end > kLargestNumber) return kEdfFailed;
  return out.seek(0) && writeFully(out, directory, kDirectorySize) ? kEdfOk : kEdfFailed;
}

int buildPackage(const HString& envelopePath, const HString& basePath) {
  MemberFile kvb = openMember(basePath + HString(kKvbExtension));
  if (kvb.result != kEdfOk) return kvb.result;
  MemberFile ct0 = openMember(basePath + HString(kCt0Extension));
  if (ct0.result != kEdfOk) return ct0.result;
  std::optional<MemberFile> graphics = openOptionalMember(
      {basePath + HString(kGraphicsExtension), basePath + HString(kGraphicsFallbackExtension)});
  std::optional<MemberFile> ad0 = openOptionalMember({basePath + HString(kAd0Extension)});
  for (const std::optional<MemberFile>* member : {&graphics, &ad0}) {
    if (member->has_value() && (*member)->result != kEdfOk) return (*member)->result;
  }

  HTemporaryFileManager manager(HString(L"qvm"), 0);
  const HString temporaryPath = manager.getFilePath();
  if (temporaryPath.isEmpty()) return kEdfFailed;
  const TemporaryFile temporary(temporaryPath);
  HFile out;
  if (!out.open(temporary.path(), kGenericWrite, kCreateAlways, kShareRead)) return kEdfFailed;
  if (const int r = writePlainPayload(out, kvb, ct0, graphics, ad0); r != kEdfOk) return r;
  if (!out.close()) return kEdfFailed;
  return EncryptEDFFile(temporary.path(), envelopePath) == 1 ? kEdfOk : kEdfFailed;
}

// Enciphers the open `in` into the new envelope `out`.
bool encipherInto(HFile& in, std::int64_t length, HFile& out) {
  std::vector<unsigned char> payload(static_cast<std::size_t>(length));
  if (!readFully(in, payload.data(), payload.size()) ||
      !edfCipher().apply(payload.data(), payload.size(), payload.data())) {
    return false;
  }
  unsigned char header[kEnvelopeSize] = {};
  std::memcpy(header, kMagic, kMagicSize);
  header[kVersionOffset] = kVersion;
  for (std::size_t i = 0; i < 4; ++i) {
    header[kPayloadOffsetField + i] = static_cast<unsigned char>(kEnvelopeSize >> (8 * i));
    header[kPayloadLengthField + i] = static_cast<unsigned char>(payload.size() >> (8 * i));
  }
  return out.seek(kEnvelopeSize) && writeFully(out, payload.data(), payload.size()) &&
         out.seek(0) && writeFully(out, header, kEnvelopeSize) && out.close();
}

// The plain payload of the package at `envelopePath` in a temporary file, removed when this
// object goes. A package that cannot be deciphered leaves the file empty, so that reading its
// directory fails.
class PlainPayload {
 public:
  explicit PlainPayload(const HString& envelopePath) {
    HTemporaryFileManager manager(HString(L"qvm"), 0);
    const HString path = manager.getFilePath();
    if (path.isEmpty()) return;
    file_.emplace(path);
    std::vector<unsigned char> payload;
    if (!detail::decipherEnvelope(envelopePath, payload)) return;
    HFile out;
    if (out.open(path, kGenericWrite, kCreateAlways, kShareRead)) {
      writeFully(out, payload.data(), payload.size());
      out.close();
    }
  }

  // Opens the payload for reading; false when it cannot be.
  bool open(HFile& in) const {
    return file_.has_value() && in.open(file_->path(), kGenericRead, kOpenExisting, kShareRead);
  }

 private:
  std::optional<TemporaryFile> file_;
};

enum class Member { kKvb, kCt0, kGraphics };

int extractMember(const HString& envelopePath, const HString& outPath, Member member) {
  if (!fileExists(envelopePath)) return kEdfMissing;
  const PlainPayload payload(envelopePath);
  HFile in;
  if (!payload.open(in)) return kEdfCannotOpen;
  unsigned char directory[kDirectorySize];
  if (!readFully(in, directory, kDirectorySize) || directory[kGraphics.flag] != '1') {
    return kEdfFailed;
  }
  std::size_t offset = kDirectorySize;
  std::size_t length = 0;
  switch (member) {
    case Member::kKvb: {
      const std::size_t end = edfNumber(directory, kKvbEndField);
      length = end > kDirectorySize ? end - kDirectorySize : 0;
      break;
    }
    case Member::kCt0:
      offset = edfNumber(directory, kCt0OffsetField);
      length = edfNumber(directory, kCt0LengthField);
      break;
    case Member::kGraphics:
      offset = edfNumber(directory, kGraphics.offset);
      length = edfNumber(directory, kGraphics.length);
      break;
  }
  if (length == 0 || !in.seek(static_cast<std::int64_t>(offset))) return kEdfFailed;
  HFile out;
  if (!out.open(outPath, kGenericWrite, kCreateAlways, kShareRead)) return kEdfFailed;
  if (member == Member::kKvb && length >= kKvbHeaderArea) {
    const std::vector<unsigned char> blank(kKvbHeaderArea, ' ');
    if (!writeFully(out, blank.data(), blank.size())) return kEdfFailed;
  }
  bool failed = false;
  const std::size_t copied = copyBytes(in, out, length, failed);
  return out.close() && !failed && copied == length ? kEdfOk : kEdfFailed;
}

// A decimal number of the statistics block: leading blanks, an optional sign, digits.
int statsNumber(const unsigned char* block, StatsNumber field) {
  std::size_t i = 0;
  while (i < field.width && block[field.offset + i] == ' ')
    ++i;
  bool negative = false;
  if (i < field.width && (block[field.offset + i] == '-' || block[field.offset + i] == '+')) {
    negative = block[field.offset + i] == '-';
    ++i;
  }
  int value = 0;
  for (; i < field.width; ++i) {
    const unsigned char c = block[field.offset + i];
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

short coordinate(int value) {
  return static_cast<short>(std::clamp(value, -32768, 32767));
}

}  // namespace

int EncryptEDFFile(const HString& plainPath, const HString& envelopePath) {
  try {
    HFile in;
    if (!in.open(plainPath, kGenericRead, kOpenExisting, kShareRead)) return 0;
    const std::int64_t length = in.length();
    if (length < 0 || length > std::numeric_limits<std::uint32_t>::max()) return 0;
    HFile out;
    if (!out.open(envelopePath, kGenericWrite, kCreateAlways, kShareRead)) return 0;
    bool written = false;
    try {
      written = encipherInto(in, length, out);
    } catch (const std::exception&) {
      written = false;
    }
    if (written) return 1;
    out.close();
    std::error_code ignored;
    std::filesystem::remove(toNativePath(envelopePath), ignored);
    return 0;
  } catch (const std::exception&) {
    return 0;
  }
}

int makeEDFFromKVBandCT0(const HString& envelopePath, const HString& basePath) {
  try {
    return buildPackage(envelopePath, basePath);
  } catch (const std::exception&) {
    return kEdfFailed;
  }
}

int makeKVBFromEDFFile(const HString& envelopePath, const HString& outPath) {
  try {
    return extractMember(envelopePath, outPath, Member::kKvb);
  } catch (const std::exception&) {
    return kEdfFailed;
  }
}

int makeCT0FromEDFFile(const HString& envelopePath, const HString& outPath) {
  try {
    return extractMember(envelopePath, outPath, Member::kCt0);
  } catch (const std::exception&) {
    return kEdfFailed;
  }
}

int makeIconFromEDFFile(const HString& envelopePath, const HString& outPath) {
  try {
    return extractMember(envelopePath, outPath, Member::kGraphics);
  } catch (const std::exception&) {
    return kEdfFailed;
  }
}

int makeStatsFromEDFFile(const HString& envelopePath, StitchStats& stats, HString& designName) {
  try {
    if (!fileExists(envelopePath)) return kEdfMissing;
    const PlainPayload payload(envelopePath);
    HFile in;
    unsigned char block[kStatsSize];
    if (!payload.open(in) || !in.seek(kDirectorySize) || !readFully(in, block, kStatsSize)) {
      return kEdfCannotOpen;
    }
    const auto* label = reinterpret_cast<const char*>(block + kStatsLabelOffset);
    std::string name(label, strnlen(label, kStatsLabelSize));
    name.erase(name.find_last_not_of(' ') + 1);
    designName = utf8ToStr(name);
    stats.stitchCount = statsNumber(block, kStatsStitches);
    stats.needleCount = static_cast<std::uint64_t>(std::max(statsNumber(block, kStatsColours), 0));
    stats.maxX = coordinate(statsNumber(block, kStatsPlusX));
    stats.minX = coordinate(-statsNumber(block, kStatsMinusX));
    stats.maxY = coordinate(statsNumber(block, kStatsPlusY));
    stats.minY = coordinate(-statsNumber(block, kStatsMinusY));
    return kEdfOk;
  } catch (const std::exception&) {
    return kEdfCannotOpen;
  }
}

}  // namespace stitchkit
