#include "stitchkit/platform/compound_file.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <optional>

// Layout (little-endian):
//
// Header (512 bytes): 0 signature D0 CF 11 E0 A1 B1 1A E1; 0x1E sector shift (9 or 12);
// 0x20 mini sector shift (6); 0x2C number of FAT sectors; 0x30 first directory sector;
// 0x38 mini stream cutoff (4096); 0x3C first mini FAT sector; 0x40 number of mini FAT
// sectors; 0x44 first DIFAT sector; 0x48 number of DIFAT sectors; 0x4C the first 109 FAT
// sector numbers. Sector n starts at byte (n + 1) << sector shift.
//
// A DIFAT sector holds FAT sector numbers and, in its last 4 bytes, the next DIFAT sector.
// The FAT gives each sector's successor; chains end with 0xFFFFFFFE.
//
// Directory entry (128 bytes): 0 name in UTF-16LE (up to 31 characters and a terminator);
// 64 name length in bytes, terminator included; 66 type (1 storage, 2 stream, 5 root);
// 68 left sibling, 72 right sibling, 76 child (entry numbers, 0xFFFFFFFF for none);
// 116 first sector; 120 size (64-bit; the high half is ignored for 512-byte sectors).
// Entry 0 is the root: its first sector and size are those of the mini stream. A stream
// shorter than the cutoff lives in the mini stream, chained through the mini FAT.
namespace stitchkit {
namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderSize = 512;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
constexpr std::size_t kHeaderFatEntries = 109;
constexpr std::size_t kEntrySize = 128;
constexpr std::uint8_t kStreamEntry = 2;
constexpr std::size_t kNameBytes = 64;

std::uint32_t u32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t u16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> file) : file_(file) {}

  int open() {
    if (file_.size() < kHeaderSize || std::memcmp(file_.data(), kSignature, 8) != 0) {
      return kCompoundNotCompound;
    }
    const unsigned shift = u16(file_, 0x1E);
    const unsigned miniShift = u16(file_, 0x20);
    if ((shift != 9 && shift != 12) || miniShift != 6) return kCompoundNotCompound;
    sectorSize_ = std::size_t{1} << shift;
    sectorCount_ = file_.size() / sectorSize_ - (file_.size() >= sectorSize_ ? 1 : 0);
    miniCutoff_ = u32(file_, 0x38);
    return loadFat() ? kCompoundOk : kCompoundBroken;
  }

  int read(std::u16string_view name, std::vector<std::uint8_t>& out) {
    std::vector<std::uint8_t> directory;
    if (!readChain(fat_, u32(file_, 0x30), sectorSize_, directory, 0)) return kCompoundBroken;
    const std::size_t entries = directory.size() / kEntrySize;
    if (entries == 0) return kCompoundBroken;
    const std::span<const std::uint8_t> dir(directory);
    const std::optional<std::size_t> found = findChild(dir, entries, name);
    if (!found) return kCompoundNoStream;
    const std::span<const std::uint8_t> entry = dir.subspan(*found * kEntrySize, kEntrySize);
    const std::uint32_t first = u32(entry, 116);
    // The high half of the size is not used with 512-byte sectors; a larger size than the file
    // can hold is refused when the chain runs out.
    const std::uint64_t size =
        sectorSize_ == 512 ? u32(entry, 120)
                           : (static_cast<std::uint64_t>(u32(entry, 124)) << 32) | u32(entry, 120);
    if (size > file_.size()) return kCompoundBroken;
    std::vector<std::uint8_t> bytes;
    if (size < miniCutoff_) {
      if (!readMini(dir.subspan(0, kEntrySize), first, static_cast<std::size_t>(size), bytes)) {
        return kCompoundBroken;
      }
    } else if (!readChain(fat_, first, sectorSize_, bytes, static_cast<std::size_t>(size))) {
      return kCompoundBroken;
    }
    out = std::move(bytes);
    return kCompoundOk;
  }

 private:
  // The FAT: the sectors the header and the DIFAT chain list, read in order.
  bool loadFat() {
    const std::uint32_t fatSectors = u32(file_, 0x2C);
    if (fatSectors > sectorCount_) return false;
    std::vector<std::uint32_t> sectors;
    for (std::size_t i = 0; i < kHeaderFatEntries && sectors.size() < fatSectors; ++i)
      sectors.push_back(u32(file_, 0x4C + 4 * i));
    std::uint32_t difat = u32(file_, 0x44);
    const std::size_t perDifat = sectorSize_ / 4 - 1;
    for (std::size_t steps = 0; sectors.size() < fatSectors; ++steps) {
      if (steps >= sectorCount_ || !inFile(difat)) return false;
      const std::span<const std::uint8_t> block = sector(difat);
      for (std::size_t i = 0; i < perDifat && sectors.size() < fatSectors; ++i)
        sectors.push_back(u32(block, 4 * i));
      difat = u32(block, sectorSize_ - 4);
    }
    fat_.reserve(sectors.size() * (sectorSize_ / 4));
    for (const std::uint32_t s : sectors) {
      if (!inFile(s)) return false;
      const std::span<const std::uint8_t> block = sector(s);
      for (std::size_t i = 0; i < sectorSize_; i += 4)
        fat_.push_back(u32(block, i));
    }
    return true;
  }

  bool inFile(std::uint32_t s) const { return s < sectorCount_; }

  std::span<const std::uint8_t> sector(std::uint32_t s) const {
    return file_.subspan((static_cast<std::size_t>(s) + 1) * sectorSize_, sectorSize_);
  }

  // Follows a chain through `table` from `first`, taking `unit`-byte pieces of the file
  // (regular sectors) into `out`, `size` bytes (0: to the end of the chain). Pieces beyond
  // the file, a chain longer than there are sectors, or one that ends short fail.
  bool readChain(const std::vector<std::uint32_t>& table, std::uint32_t first, std::size_t unit,
                 std::vector<std::uint8_t>& out, std::size_t size) const {
    std::uint32_t s = first;
    for (std::size_t steps = 0; s != kEndOfChain && (size == 0 || out.size() < size); ++steps) {
      if (steps >= sectorCount_ || !inFile(s) || s >= table.size()) return false;
      const std::span<const std::uint8_t> block = sector(s).subspan(0, unit);
      out.insert(out.end(), block.begin(), block.end());
      s = table[s];
    }
    if (size == 0) return true;
    if (out.size() < size) return false;
    out.resize(size);
    return true;
  }

  // A stream in the mini stream: the root entry's chain holds the mini stream, the mini FAT
  // chains its 64-byte sectors.
  bool readMini(std::span<const std::uint8_t> root, std::uint32_t first, std::size_t size,
                std::vector<std::uint8_t>& out) const {
    std::vector<std::uint8_t> miniFatBytes;
    std::vector<std::uint8_t> miniStream;
    if (!readChain(fat_, u32(file_, 0x3C), sectorSize_, miniFatBytes, 0) ||
        !readChain(fat_, u32(root, 116), sectorSize_, miniStream, 0)) {
      return false;
    }
    constexpr std::size_t kMiniSector = 64;
    std::uint32_t s = first;
    const std::size_t miniSectors = miniStream.size() / kMiniSector;
    const std::size_t entries = miniFatBytes.size() / 4;
    for (std::size_t steps = 0; out.size() < size; ++steps) {
      if (steps >= miniSectors || s >= miniSectors || s >= entries) return false;
      const auto* at = miniStream.data() + static_cast<std::size_t>(s) * kMiniSector;
      out.insert(out.end(), at, at + kMiniSector);
      s = u32(miniFatBytes, 4 * static_cast<std::size_t>(s));
    }
    out.resize(size);
    return true;
  }

  // The stream child of the root named `name`: the root's children form a binary tree through
  // the sibling links, walked with a bound on the steps so that a cycle ends the search.
  static std::optional<std::size_t> findChild(std::span<const std::uint8_t> dir,
                                              std::size_t entries, std::u16string_view name) {
    const std::uint32_t child = u32(dir, 76);
    if (child >= entries) return std::nullopt;
    std::vector<std::uint32_t> pending = {child};
    for (std::size_t visits = 0; !pending.empty() && visits < entries; ++visits) {
      const std::uint32_t index = pending.back();
      pending.pop_back();
      const std::span<const std::uint8_t> entry = dir.subspan(index * kEntrySize, kEntrySize);
      if (entry[66] == kStreamEntry && sameName(entry, name)) return index;
      for (const std::uint32_t sibling : {u32(entry, 68), u32(entry, 72)}) {
        if (sibling < entries) pending.push_back(sibling);
      }
    }
    return std::nullopt;
  }

  static bool sameName(std::span<const std::uint8_t> entry, std::u16string_view name) {
    const std::size_t length = u16(entry, 64);
    if (length != (name.size() + 1) * 2 || length > kNameBytes) return false;
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (upper(static_cast<char16_t>(u16(entry, 2 * i))) != upper(name[i])) return false;
    }
    return true;
  }

  std::span<const std::uint8_t> file_;
  std::size_t sectorSize_ = 512;
  std::size_t sectorCount_ = 0;
  std::uint32_t miniCutoff_ = 4096;
  std::vector<std::uint32_t> fat_;
};

}  // namespace

int readCompoundStream(std::span<const std::uint8_t> file, std::u16string_view name,
                       std::vector<std::uint8_t>& stream) {
  try {
    Reader reader(file);
    if (const int r = reader.open(); r != kCompoundOk) return r;
    return reader.read(name, stream);
  } catch (const std::exception&) {
    return kCompoundBroken;
  }
}

}  // namespace stitchkit
