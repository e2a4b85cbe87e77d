#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <memory>
#include <string>

#include "stitchkit/files/kvb_file.h"
#include "stitchkit/files/kvb_file_internal.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/platform/bytestream.h"

namespace stitchkit {
namespace {

using namespace kvbfile;

// A table-of-contents number: upper-case hexadecimal, leading blanks skipped, read up to the
// first character that is not a digit; 0 when there is none.
std::size_t tocNumber(const unsigned char* toc, std::size_t offset) {
  std::size_t value = 0;
  std::size_t i = 0;
  while (i < kNumberWidth && toc[offset + i] == ' ')
    ++i;
  for (; i < kNumberWidth; ++i) {
    const unsigned char c = toc[offset + i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) break;
    value = value * 16 + static_cast<std::size_t>(digit);
  }
  return value;
}

void putTocNumber(char* toc, std::size_t offset, std::size_t value) {
  char text[kNumberWidth + 1];
  std::snprintf(text, sizeof text, "%07zX", value & 0xFFFFFFF);
  std::memcpy(toc + offset, text, kNumberWidth);
}

// Where a section lies in the file: `found` false when the table names none, `fits` false
// when what it names runs past the end of the file.
struct SectionPlace {
  bool found = false;
  bool fits = true;
  std::size_t offset = 0;
  std::size_t length = 0;
};

SectionPlace placeOf(std::span<const unsigned char> file, std::size_t offsetField,
                     std::size_t lengthField, std::size_t flagField) {
  SectionPlace place;
  if (flagField != 0 && file[flagField] != '1') return place;
  place.offset = tocNumber(file.data(), offsetField);
  place.length = tocNumber(file.data(), lengthField);
  if (place.offset == 0 || place.length == 0) return place;
  place.found = true;
  place.fits = place.offset <= file.size() && place.length <= file.size() - place.offset;
  return place;
}

SectionPlace placeOf(std::span<const unsigned char> file, const SectionFields& fields) {
  return placeOf(file, fields.offset, fields.length, fields.flag);
}

// A decimal number of an entry's fixed-width field; 0 when it holds none.
std::int16_t entryNumber(const unsigned char* entry, const Tt0NumberField& field) {
  const std::string text(reinterpret_cast<const char*>(entry + field.offset), field.width);
  return static_cast<std::int16_t>(std::strtol(text.c_str(), nullptr, 10));
}

void putEntryNumber(char* entry, const Tt0NumberField& field, int value) {
  char text[16];
  const int n = std::snprintf(text, sizeof text, "%*d", static_cast<int>(field.width), value);
  // A number wider than its field keeps its last digits.
  std::memcpy(entry + field.offset, text + (n - static_cast<int>(field.width)), field.width);
}

bool writeBytes(std::ostream& out, const void* bytes, std::size_t size) {
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// Appends `size` bytes at the end of `out` and fills the section's fields of the table.
bool appendSection(std::ostream& out, char* toc, const SectionFields& fields, const void* bytes,
                   std::size_t size) {
  out.seekp(0, std::ios::end);
  const std::streamoff at = out.tellp();
  if (at < 0 || !writeBytes(out, bytes, size)) return false;
  toc[fields.flag] = '1';
  putTocNumber(toc, fields.offset, static_cast<std::size_t>(at));
  putTocNumber(toc, fields.length, size);
  return true;
}

}  // namespace

namespace detail {

std::vector<unsigned char> makeTT0Block(const HList<TT0Info>& entries) {
  const std::size_t first = kTt0LeadSize + kTt0KeySize;
  std::vector<unsigned char> block(
      first + kTt0EntrySize * static_cast<std::size_t>(entries.length()) + 1, ' ');
  std::memcpy(block.data() + kTt0LeadSize, kTt0Key, kTt0KeySize);
  char* entry = reinterpret_cast<char*>(block.data() + first);
  for (const TT0Info& info : entries) {
    const HMultiByteString name = info.name.getAscii();
    std::memcpy(entry, name.c_str(), std::min(name.size(), kTt0NameSize));
    for (std::size_t i = 0; i < 8; ++i)
      putEntryNumber(entry, kTt0Numbers[i], info.numbers[i]);
    entry[kTt0FlagOffset] = info.flag != 0 ? '1' : '0';
    std::time_t when = static_cast<std::time_t>(info.time);
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
      when = std::time(nullptr);
      localtime_r(&when, &local);
    }
    char text[kTt0TimeSize + 1];
    if (std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local) == kTt0TimeSize) {
      std::memcpy(entry + kTt0TimeOffset, text, kTt0TimeSize);
    }
    entry[kTt0EntrySize - 1] = static_cast<char>(kCr);
    entry += kTt0EntrySize;
  }
  block.back() = kEndMark;
  return block;
}

void readTT0Block(std::span<const unsigned char> block, HList<TT0Info>& entries) {
  const std::size_t first = kTt0LeadSize + kTt0KeySize;
  for (std::size_t at = first; block.size() >= at && block.size() - at >= kTt0EntrySize;
       at += kTt0EntrySize) {
    const unsigned char* entry = block.data() + at;
    TT0Info info;
    std::string name(reinterpret_cast<const char*>(entry), kTt0NameSize);
    name.erase(name.find_last_not_of(' ') + 1);
    info.name = HString(name.c_str());
    for (std::size_t i = 0; i < 8; ++i)
      info.numbers[i] = entryNumber(entry, kTt0Numbers[i]);
    info.flag = entry[kTt0FlagOffset] == '1' ? 1 : 0;
    const std::string text(reinterpret_cast<const char*>(entry + kTt0TimeOffset), kTt0TimeSize);
    std::tm local{};
    if (std::sscanf(text.c_str(), "%4d%2d%2d%2d%2d%2d", &local.tm_year, &local.tm_mon,
                    &local.tm_mday, &local.tm_hour, &local.tm_min, &local.tm_sec) == 6) {
      local.tm_year -= 1900;
      local.tm_mon -= 1;
      local.tm_isdst = -1;
      const std::time_t when = std::mktime(&local);
      if (when != static_cast<std::time_t>(-1)) info.time = when;
    }
    entries.append(info);
  }
}

int appendKVCSections(std::ostream& out, const CTOFile& ct0, const std::vector<unsigned char>& ct1,
                      const LT0File* lt0, const HString* attachPath, const ExtraProperties& extra) {
  char toc[kTocSize];
  std::memset(toc, ' ', sizeof toc);
  std::memcpy(toc, kTocVersion, 4);
  std::memcpy(toc + kTocKindOffset, kTocKind, 3);
  const auto now = static_cast<std::uint32_t>(std::time(nullptr));
  for (std::size_t i = 0; i < 4; ++i)
    toc[kTimeOffset + i] = static_cast<char>(now >> (8 * i));
  for (const std::size_t field :
       {kSectionsStartOffset, kCt0OffsetField, kCt0LengthField, kFifth.length, kTt0.length}) {
    putTocNumber(toc, field, 0);
  }
  for (const SectionFields& fields : {kAttached, kLt0, kFifth, kTt0})
    toc[fields.flag] = '0';

  out.seekp(0, std::ios::end);
  const std::streamoff start = out.tellp();
  if (start < 0 || !writeBytes(out, ct0.data, sizeof ct0.data)) return kKvbWriteFailed;
  putTocNumber(toc, kSectionsStartOffset, static_cast<std::size_t>(start));
  putTocNumber(toc, kCt0OffsetField, static_cast<std::size_t>(start));
  putTocNumber(toc, kCt0LengthField, sizeof ct0.data);

  std::vector<unsigned char> attached;
  if (attachPath != nullptr && !attachPath->isEmpty() && readWholeFile(*attachPath, attached) &&
      !appendSection(out, toc, kAttached, attached.data(), attached.size())) {
    return kKvbWriteFailed;
  }
  if (lt0 != nullptr && !appendSection(out, toc, kLt0, lt0->data.data(), lt0->data.size())) {
    return kKvbWriteFailed;
  }
  if (!appendSection(out, toc, kCt1, ct1.data(), ct1.size())) return kKvbWriteFailed;
  if (!extra.fifth.empty() &&
      !appendSection(out, toc, kFifth, extra.fifth.data(), extra.fifth.size())) {
    return kKvbWriteFailed;
  }
  if (!extra.timeInfo.isEmpty()) {
    const std::vector<unsigned char> tt0 = makeTT0Block(extra.timeInfo);
    if (!appendSection(out, toc, kTt0, tt0.data(), tt0.size())) return kKvbWriteFailed;
  }
  out.seekp(0);
  return writeBytes(out, toc, sizeof toc) ? kKvbWriteOk : kKvbWriteFailed;
}

int decodeKVCBytes(std::span<const unsigned char> file, const KvcOutputs& out) {
  if (out.options.getFileFormat() != kFormatKvb) return kKvbReadWrongFormat;
  if (file.size() < kTocSize) return kKvbReadShort;
  const bool wholeHeader = file.size() >= kPaletteOffset + kPaletteSize;
  if (out.palette != nullptr && !wholeHeader) return kKvbReadShort;

  // Every section the table names must lie inside the file.
  const std::size_t sectionsStart = tocNumber(file.data(), kSectionsStartOffset);
  const SectionPlace ct0 = placeOf(file, kCt0OffsetField, kCt0LengthField, 0);
  const SectionPlace ct1 = placeOf(file, kCt1);
  const SectionPlace lt0 = placeOf(file, kLt0);
  const SectionPlace tt0 = placeOf(file, kTt0);
  if (sectionsStart > file.size() || !ct0.fits || !ct1.fits || !lt0.fits || !tt0.fits) {
    return kKvbReadShort;
  }
  if (out.sections != nullptr) {
    // A section is counted only where it lies inside the file.
    auto length = [](const SectionPlace& place) {
      return place.found && place.fits ? place.length : 0;
    };
    *out.sections = KvcSections{length(ct0), length(placeOf(file, kAttached)), length(lt0),
                                length(ct1), length(placeOf(file, kFifth)),    length(tt0)};
  }

  unsigned char needleList[kNeedleListSize] = {};
  int startNeedle = 1;
  if (wholeHeader) {
    std::memcpy(needleList, file.data() + kNeedleListOffset, kNeedleListSize);
    if (out.palette != nullptr) {
      if (needleList[0] != 0) startNeedle = needleList[0];
      ThreadPalette rebuilt = paletteFromArea(file.data() + kPaletteOffset, true);
      if (!rebuilt.isEmpty()) *out.palette = std::move(rebuilt);
    }
  }

  // The records end where the sections begin.
  MemoryInputBytestream stream(file.data(), sectionsStart != 0 ? sectionsStart : file.size());
  StitchFilter filter(out.stitches);
  const int decoded = filter.decodeStitches(out.options, startNeedle, stream);
  if (decoded == kFilterNoCoder) return kKvbReadWrongFormat;
  if (decoded != kFilterOk) return kKvbReadDecodeFailed;
  auto needles = std::make_unique<NeedleBarData>();
  needles->init(needleList);
  out.stats = filter.getStats();

  if (ct0.found) {
    // A longer section than the block is outside the format; the block's bytes are read.
    auto block = std::make_unique<CTOFile>();
    block->empty();
    std::memcpy(block->data, file.data() + ct0.offset, std::min(ct0.length, sizeof block->data));
    block->decodeCTOFile(out.ct0Lines, out.grouping, *needles, out.repeat);
    if (out.ct0 != nullptr) block->getProperties(*out.ct0);
  }
  if (ct1.found) {
    CT1Block block;
    ConditionBlockFault fault;
    if (block.read(file.data() + ct1.offset, ct1.length, fault) == kConditionOk) {
      if (out.ct1 != nullptr) block.getProperties(*out.ct1);
      block.getNeedleBarData(*needles);
    }
  }
  needles->getNeedleBarData(out.stitches,
                            out.palette != nullptr ? out.palette->getFirstPunchThreadIndex() : -1);
  if (lt0.found && lt0.length >= lt0::kListOffset) {
    for (std::size_t i = 0; i < lt0::kBlockCount; ++i) {
      LT0LaserBlock block;
      std::memcpy(block.bytes.data(),
                  file.data() + lt0.offset + lt0::kBlocksOffset + i * lt0::kBlockSize,
                  lt0::kBlockSize);
      out.laserBlocks.append(block);
    }
  }
  if (tt0.found && out.timeInfo != nullptr) {
    readTT0Block(file.subspan(tt0.offset, tt0.length), *out.timeInfo);
  }
  return kKvbReadOk;
}

}  // namespace detail

int decodeKVCFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, HList<LT0LaserBlock>& laserBlocks,
                  ThreadPalette* palette, CT0Properties* ct0, CT1Properties* ct1,
                  HList<TT0Info>* timeInfo, KvcSections* sections) {
  try {
    if (options.getFileFormat() != kFormatKvb) return kKvbReadWrongFormat;
    std::vector<unsigned char> file;
    if (!detail::readWholeFile(path, file)) return kKvbReadCannotOpen;
    return detail::decodeKVCBytes(file, {stitches, options, stats, ct0Lines, grouping, repeat,
                                         laserBlocks, palette, ct0, ct1, timeInfo, sections});
  } catch (const std::exception&) {
    return kKvbReadDecodeFailed;
  }
}

int decodeKVCFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, HList<LT0LaserBlock>& laserBlocks,
                  ThreadPalette* palette, CT0Properties* ct0, CT1Properties* ct1,
                  HList<TT0Info>* timeInfo) {
  StitchArrayWrapper wrapper(stitches);
  return decodeKVCFile(path, wrapper, options, stats, ct0Lines, grouping, repeat, laserBlocks,
                       palette, ct0, ct1, timeInfo);
}

}  // namespace stitchkit
