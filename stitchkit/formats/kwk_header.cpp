#include "stitchkit/formats/kwk_header.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <utility>

namespace stitchkit {
namespace {

using namespace kwk;

// Values of a fresh header besides its zero bytes.
struct FloatValue {
  std::size_t offset;
  float value;
};
constexpr FloatValue kFloats[] = {{60, 1.0f}, {64, 1.0f}, {68, 1.0f}, {72, 1.0f}, {102, 50.0f}};
struct WordValue {
  std::size_t offset;
  std::uint16_t value;
};
constexpr WordValue kWords[] = {{80, 100}, {82, 100}, {90, 40}, {98, 2}};

// The version classes: the first version text of each class from 1 up; a text above the last
// class's top is class 8.
constexpr const char* kVersionStarts[] = {"V3.07", "V3.90", "V4.06", "V6.39",
                                          "V7.00", "V7.77", "V7.78"};
constexpr const char* kLastVersion = "V8.80";
constexpr std::size_t kVersionLength = 5;

void putWord(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void putLong(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getLong(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

bool readAll(HStream& stream, void* bytes, int size) {
  return stream.read(bytes, size) == size;
}

bool writeAll(HStream& stream, const void* bytes, int size) {
  return stream.write(bytes, size) == size;
}

// Compares the first five characters of the version text with `version`, ignoring case.
int compareVersion(const std::uint8_t* text, const char* version) {
  for (std::size_t i = 0; i < kVersionLength; ++i) {
    const int a = std::toupper(text[i]);
    const int b = std::toupper(static_cast<unsigned char>(version[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  return 0;
}

}  // namespace

void KwkHeader::initialize() {
  clearAttachedFiles();
  image.fill(0);
  for (const FloatValue& f : kFloats)
    putLong(image.data() + f.offset, std::bit_cast<std::uint32_t>(f.value));
  for (const WordValue& w : kWords)
    putWord(image.data() + w.offset, w.value);
}

void KwkHeader::clearAttachedFiles() {
  attached_.clear();
  attached_.shrink_to_fit();
}

void KwkHeader::copyFrom(const KwkHeader& other) {
  image = other.image;
  attached_ = other.attached_;
}

void KwkHeader::applyFallbacks() {
  for (auto [value, target] : {std::pair{kFirstFallback, kFirstFallbackFloat},
                               std::pair{kSecondFallback, kSecondFallbackFloat}}) {
    const auto fallback =
        static_cast<std::int16_t>(image[value] | static_cast<std::uint16_t>(image[value + 1]) << 8);
    if (std::bit_cast<float>(getLong(image.data() + target)) == 0.0f && fallback != 0) {
      putLong(image.data() + target, std::bit_cast<std::uint32_t>(static_cast<float>(fallback)));
    }
  }
}

int KwkHeader::read(HStream& stream) {
  if (!readAll(stream, image.data(), static_cast<int>(kImageSize))) return kKwkShortRead;
  applyFallbacks();
  return readAttachedFiles(stream);
}

int KwkHeader::read880(HStream& stream) {
  std::uint8_t skipped[8];
  if (!readAll(stream, image.data(), 102) || !readAll(stream, skipped, 8) ||
      !readAll(stream, image.data() + 102, 4) || !readAll(stream, image.data() + 106, 4) ||
      !readAll(stream, image.data() + 110, 8)) {
    return kKwkShortRead;
  }
  applyFallbacks();
  return readAttachedFiles(stream);
}

int KwkHeader::readAttachedFiles(HStream& stream) {
  clearAttachedFiles();
  std::int16_t count = 0;
  if (readShort(stream, count) != kHStreamOk) return kKwkShortRead;
  if (count > kMaxAttachedFiles || count < 0) return kKwkTooManyFiles;
  std::vector<AttachedFile> files(static_cast<std::size_t>(count), AttachedFile{});
  for (AttachedFile& file : files) {
    std::int16_t length = 0;
    if (readShort(stream, length) != kHStreamOk) return kKwkShortRead;
    const int kept = std::min(static_cast<int>(static_cast<std::uint16_t>(length)),
                              static_cast<int>(kAttachedFileSize));
    if (!readAll(stream, file.data(), kept)) return kKwkShortRead;
  }
  attached_ = std::move(files);
  return kKwkOk;
}

int KwkHeader::write(HStream& stream) const {
  if (!writeAll(stream, image.data(), static_cast<int>(kImageSize))) return kKwkWriteFailed;
  return writeAttachedFiles(stream);
}

int KwkHeader::writeAttachedFiles(HStream& stream) const {
  if (writeShort(stream, static_cast<std::int16_t>(attached_.size())) != kHStreamOk) {
    return kKwkWriteFailed;
  }
  for (const AttachedFile& file : attached_) {
    if (writeShort(stream, static_cast<std::int16_t>(kAttachedFileSize)) != kHStreamOk ||
        !writeAll(stream, file.data(), static_cast<int>(kAttachedFileSize))) {
      return kKwkWriteFailed;
    }
  }
  return kKwkOk;
}

int KwkHeader::checkVersion() const {
  int versionClass = 0;
  for (const char* start : kVersionStarts) {
    if (compareVersion(image.data(), start) < 0) return versionClass;
    ++versionClass;
  }
  return compareVersion(image.data(), kLastVersion) <= 0 ? versionClass : versionClass + 1;
}

void KwkFileEntry::set(std::int16_t entryId, std::int16_t type, std::int32_t first,
                       std::int32_t second) {
  id = entryId;
  dataType = type;
  bits1 = static_cast<std::uint32_t>(first);
  bits2 = static_cast<std::uint32_t>(second);
}

void KwkFileEntry::set(std::int16_t entryId, std::int16_t type, float first, float second) {
  id = entryId;
  dataType = type;
  bits1 = std::bit_cast<std::uint32_t>(first);
  bits2 = std::bit_cast<std::uint32_t>(second);
}

float KwkFileEntry::fdata1() const {
  return std::bit_cast<float>(bits1);
}

float KwkFileEntry::fdata2() const {
  return std::bit_cast<float>(bits2);
}

HStream& operator<<(HStream& stream, const KwkFileEntry& entry) {
  writeShort(stream, entry.id);
  writeShort(stream, entry.dataType);
  writeLong(stream, static_cast<std::int32_t>(entry.bits1));
  writeLong(stream, static_cast<std::int32_t>(entry.bits2));
  return stream;
}

HStream& operator>>(HStream& stream, KwkFileEntry& entry) {
  std::int32_t first = static_cast<std::int32_t>(entry.bits1);
  std::int32_t second = static_cast<std::int32_t>(entry.bits2);
  readShort(stream, entry.id);
  readShort(stream, entry.dataType);
  readLong(stream, first);
  readLong(stream, second);
  entry.bits1 = static_cast<std::uint32_t>(first);
  entry.bits2 = static_cast<std::uint32_t>(second);
  return stream;
}

int isOldOutlineFile(const HString& path) {
  HString upper = path;
  upper.makeUpper();
  return upper.length() >= 4 && upper.subString(upper.length() - 4) == L".KWK" ? 1 : 0;
}

}  // namespace stitchkit
