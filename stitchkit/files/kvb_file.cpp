#include "stitchkit/files/kvb_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>

#include "stitchkit/files/dst_header.h"
#include "stitchkit/files/kvb_file_internal.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/h_file.h"

namespace stitchkit {
namespace {

using namespace kvbfile;

constexpr int kMaxLabelName = 256;

HString sidePath(const HString& path, const wchar_t* ext) {
  HString side = path;
  fixname(side, ext);
  return side;
}

// Moves each trim that follows a run of jumps to the front of the run: the first jump of the
// run not yet used takes the trim's code and the trim's place becomes a jump.
void moveTrimsBeforeJumps(StitchWrapper& stitches) {
  int runStart = -1;
  for (int i = 0; i < stitches.length(); ++i) {
    HStitch& s = stitches[i];
    if (s.isJump()) {
      if (runStart < 0) runStart = i;
      continue;
    }
    if ((s.isTrim() || s.isUpperTrim() || s.isJumpTrim()) && runStart >= 0 && runStart < i) {
      stitches[runStart].setFlags(s.getFlags());
      s.setFlags(StitchCode::Jump);
      ++runStart;
      continue;
    }
    runStart = -1;
  }
}

bool hasLaserStitch(const StitchWrapper& stitches) {
  for (int i = 0; i < stitches.length(); ++i) {
    const HStitch& s = stitches[i];
    if (s.isLaserOn() || s.isLaserOff() || s.isLaserPause()) return true;
  }
  return false;
}

bool writeFile(const HString& path, const void* bytes, std::size_t size) {
  std::ofstream out(toNativePath(path), std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
  out.close();
  return static_cast<bool>(out);
}

void removeFile(const HString& path) {
  std::error_code ignored;
  std::filesystem::remove(toNativePath(path), ignored);
}

// The laser condition record when the design calls for one, or null.
int buildLaserRecord(const KvbWriteRequest& r, std::unique_ptr<LT0File>& record) {
  if (r.extra.laserBlocks.isEmpty() || !hasLaserStitch(r.stitches)) return kKvbWriteOk;
  record = std::make_unique<LT0File>();
  return makeLaserConditionFile(*record, r.extra.laserBlocks, r.extra.laserStitchList) ==
                 kLaserFileOk
             ? kKvbWriteOk
             : kKvbWriteFailed;
}

int writeContainer(const KvbWriteRequest& r, bool kvc) {
  const std::int32_t format = r.options.getFileFormat();
  if (format != kFormatKvb && !(kvc && format == kFormatKvc)) return kKvbWriteWrongFormat;
  moveTrimsBeforeJumps(r.stitches);

  HString filePath;
  HString labelName;
  kvbOutputNames(r.path, r.designPath, filePath, labelName);
  std::unique_ptr<char[]> header(new (std::nothrow) char[kHeaderSize]);
  if (!header) return kKvbWriteNoMemory;
  initKVBHeader(header.get(), r.palette);

  auto needles = std::make_unique<NeedleBarData>();
  needles->setNeedleBarData(r.stitches, r.options, r.first, r.palette.getFirstPunchThreadIndex());
  if (needles->count > 0) {
    std::memcpy(header.get() + kNeedleListOffset, needles->needles.data(), kNeedleListSize);
  }
  auto ct0 = std::make_unique<CTOFile>();
  ct0->empty();
  ct0->setCTOFile(r.ct0Lines, r.grouping, *needles, r.repeat);
  ct0->setProperties(r.extra.ct0);

  std::ofstream out(toNativePath(filePath), std::ios::binary | std::ios::trunc);
  if (!out) return kKvbWriteFailed;
  out.write(header.get(), kHeaderSize);
  if (!out) return kKvbWriteFailed;

  StitchStats stats;
  {
    StitchFilter filter(r.stitches);
    filter.setTraceDesign(r.trace);
    FileOutputBytestream stream(out);
    const int encoded = filter.encodeStitches(r.options, &stream);
    if (stream.flush() != kStreamOk || stream.systemError() != 0 || !out) return kKvbWriteFailed;
    if (encoded != kFilterOk) return kKvbWriteEncodeFailed;
    stats = filter.getStats();
  }
  out.seekp(0, std::ios::end);
  out.put(static_cast<char>(kEndMark));

  char text[kDstTextSize + 1];
  if (makeInternalDSTHeader(text, static_cast<int>(kDstTextSize), labelName, stats, r.asciiLabel) !=
      kDstHeaderOk) {
    return kKvbWriteFailed;
  }
  out.seekp(static_cast<std::streamoff>(kDstTextOffset));
  out.write(text, kDstTextSize);
  if (!out) return kKvbWriteFailed;
  if (r.written != nullptr) *r.written = stats;

  std::unique_ptr<LT0File> laser;
  CT1Block ct1;
  ct1.build(r.stitches, r.palette, r.options, r.extra.ct1, *needles);
  const std::vector<unsigned char> ct1Bytes = ct1.bytes();

  if (kvc) {
    if (buildLaserRecord(r, laser) != kKvbWriteOk) return kKvbWriteFailed;
    const int appended =
        detail::appendKVCSections(out, *ct0, ct1Bytes, laser.get(), r.attachPath, r.extra);
    if (appended != kKvbWriteOk) return appended;
    out.close();
    return out ? kKvbWriteOk : kKvbWriteFailed;
  }

  out.close();
  if (!out) return kKvbWriteFailed;
  if (!writeFile(sidePath(filePath, L"CT0"), ct0->data, sizeof ct0->data)) return kKvbWriteFailed;
  removeFile(sidePath(filePath, L"LT0"));
  if (buildLaserRecord(r, laser) != kKvbWriteOk) return kKvbWriteFailed;
  if (laser && !writeFile(sidePath(filePath, L"LT0"), laser->data.data(), laser->data.size())) {
    return kKvbWriteFailed;
  }
  removeFile(sidePath(filePath, L"CT1"));
  if (!writeFile(sidePath(filePath, L"CT1"), ct1Bytes.data(), ct1Bytes.size())) {
    return kKvbWriteFailed;
  }
  return kKvbWriteOk;
}

}  // namespace

void initKVBHeader(char* header, const ThreadPalette& palette) {
  std::memset(header, ' ', kHeaderSize);
  std::memset(header + kNeedleListOffset, 0, kNeedleListSize);
  std::memcpy(header, kKvbVersion, 4);
  const auto now = static_cast<std::uint32_t>(std::time(nullptr));
  for (std::size_t i = 0; i < 4; ++i) {
    header[kTimeOffset + i] = static_cast<char>((now >> (8 * i)) & 0xFF);
  }
  header[kPaletteTagOffset] = static_cast<char>(kCr);
  std::memcpy(header + kPaletteTagOffset + 1, "DA:", 3);
  for (int i = 0; i < palette.length() && i < static_cast<int>(kPaletteEntries); ++i) {
    const ThreadProperty& thread = palette[i];
    if (thread.type == ThreadType::kUnused) continue;
    char* entry = header + kPaletteOffset + kPaletteEntrySize * static_cast<std::size_t>(i);
    entry[0] = thread.type == ThreadType::kPunch ? 'P' : 'E';
    entry[1] = static_cast<char>(thread.red());
    entry[2] = static_cast<char>(thread.green());
    entry[3] = static_cast<char>(thread.blue());
  }
  header[kPaletteEndOffset] = static_cast<char>(kCr);
  header[kPaletteEndOffset + 1] = static_cast<char>(kEndMark);
}

void kvbOutputNames(const HString& path, const HString& designPath, HString& filePath,
                    HString& labelName) {
  HString trimmed = path;
  trimmed.trimLeft();
  trimmed.trimRight();
  HString upper = trimmed;
  upper.makeUpper();
  HString designName;
  const HString ext = upper.subString(upper.length() >= 4 ? upper.length() - 4 : 0);
  // The file keeps the name it was given: where names differ only in case, the upper-cased
  // name would be another file, which the caller could not find under the name they gave.
  filePath = trimmed;
  if (upper.length() > 4 && (ext == L".KVB" || ext == L".KVC" || ext == L".EDF")) {
    const int open = path.findString(L"(");
    if (open >= 0) {
      const int close = path.findOneOf(L").", open + 1);
      HString inner = path.subString(open + 1, close < 0 ? -1 : close - open - 1);
      inner.trimLeft();
      inner.trimRight();
      designName = inner;
    }
    if (designName.isEmpty()) designName = designPath != path ? designPath : path;
  } else {
    designName = upper;
  }
  HString drive;
  HString dir;
  HString name;
  HString extension;
  StringUtils::splitPath(designName, drive, dir, name, extension);
  labelName = name.subString(0, kMaxLabelName);
}

namespace detail {

bool readWholeFile(const HString& path, std::vector<unsigned char>& bytes, std::size_t limit) {
  std::error_code ec;
  const std::string native = toNativePath(path);
  if (std::filesystem::is_directory(native, ec)) return false;
  std::ifstream in(native, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  in.seekg(0);
  const std::size_t count = std::min(static_cast<std::size_t>(size), limit);
  bytes.resize(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  return static_cast<bool>(in) || count == 0;
}

ThreadPalette paletteFromArea(const unsigned char* area, bool kvc) {
  ThreadPalette rebuilt;
  if (std::memcmp(area, "    ", 4) == 0) return rebuilt;
  int punchCount = 0;
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    const unsigned char* entry = area + i * kPaletteEntrySize;
    const unsigned char type = entry[0];
    if (kvc ? type == ' ' : std::strchr("ECLGP", type) == nullptr || type == 0) continue;
    ThreadProperty thread;
    thread.colour = ThreadProperty::rgb(entry[1], entry[2], entry[3]);
    if (type == 'P') {
      thread.type = ThreadType::kPunch;
      if (kvc) {
        thread.manufacturer = L"Korvan ZEL";
        thread.name.set(L"P%d", ++punchCount);
        thread.thickness = 10.0;
      }
    }
    if (!kvc) {
      ThreadProperty unused;
      unused.type = ThreadType::kUnused;
      while (rebuilt.length() < static_cast<int>(i))
        rebuilt.add(unused);
    }
    rebuilt.add(thread);
  }
  return rebuilt;
}

}  // namespace detail

int decodeKVBFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, HList<LT0LaserBlock>& laserBlocks,
                  ThreadPalette* palette, CT1Properties* ct1) {
  try {
    if (options.getFileFormat() != kFormatKvb) return kKvbReadWrongFormat;
    std::vector<unsigned char> file;
    if (!detail::readWholeFile(path, file)) return kKvbReadCannotOpen;

    unsigned char needleList[kNeedleListSize] = {};
    const bool wholeHeader = file.size() >= kPaletteOffset + kPaletteSize;
    if (palette != nullptr && !wholeHeader) return kKvbReadShort;
    int startNeedle = 1;
    if (wholeHeader) {
      std::memcpy(needleList, file.data() + kNeedleListOffset, kNeedleListSize);
      if (palette != nullptr) {
        if (needleList[0] != 0) startNeedle = needleList[0];
        ThreadPalette rebuilt = detail::paletteFromArea(file.data() + kPaletteOffset, false);
        if (!rebuilt.isEmpty()) *palette = std::move(rebuilt);
      }
    }

    MemoryInputBytestream stream(file);
    StitchFilter filter(stitches);
    const int decoded = filter.decodeStitches(options, startNeedle, stream);
    if (decoded == kFilterNoCoder) return kKvbReadWrongFormat;
    if (decoded != kFilterOk) return kKvbReadDecodeFailed;
    auto needles = std::make_unique<NeedleBarData>();
    needles->init(needleList);
    stats = filter.getStats();

    readCTOFile(sidePath(path, L"CT0"), ct0Lines, grouping, *needles, repeat);
    std::vector<unsigned char> side;
    if (detail::readWholeFile(sidePath(path, L"LT0"), side, lt0::kRecordSize) &&
        side.size() >= lt0::kListOffset) {
      for (std::size_t i = 0; i < lt0::kBlockCount; ++i) {
        LT0LaserBlock block;
        std::memcpy(block.bytes.data(), side.data() + lt0::kBlocksOffset + i * lt0::kBlockSize,
                    lt0::kBlockSize);
        laserBlocks.append(block);
      }
    }
    CT1Block block;
    ConditionBlockFault fault;
    if (block.load(sidePath(path, L"CT1"), fault) == kConditionOk) {
      if (ct1 != nullptr) block.getProperties(*ct1);
      block.getNeedleBarData(*needles);
    }
    needles->getNeedleBarData(stitches,
                              palette != nullptr ? palette->getFirstPunchThreadIndex() : -1);
    return kKvbReadOk;
  } catch (const std::exception&) {
    return kKvbReadDecodeFailed;
  }
}

int decodeKVBFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, HList<LT0LaserBlock>& laserBlocks,
                  ThreadPalette* palette, CT1Properties* ct1) {
  StitchArrayWrapper wrapper(stitches);
  return decodeKVBFile(path, wrapper, options, stats, ct0Lines, grouping, repeat, laserBlocks,
                       palette, ct1);
}

int writeKVBFile(const KvbWriteRequest& request) {
  try {
    return writeContainer(request, false);
  } catch (const std::bad_alloc&) {
    return kKvbWriteNoMemory;
  } catch (const std::exception&) {
    return kKvbWriteFailed;
  }
}

int writeKVCFile(const KvbWriteRequest& request) {
  try {
    return writeContainer(request, true);
  } catch (const std::bad_alloc&) {
    return kKvbWriteNoMemory;
  } catch (const std::exception&) {
    return kKvbWriteFailed;
  }
}

int makeKVBFormatFile(const HString& path, const HString& designPath, HXArray<HStitch>& stitches,
                      const StitchOptions* options, int trace, const HeadGrouping& grouping,
                      const MachineRepeatSettings& repeat, const HStitch* first) {
  const StitchOptions defaults;
  const ThreadPalette palette;
  const HXArray<HString> lines;
  const ExtraProperties extra;
  StitchArrayWrapper wrapper(stitches);
  return writeKVBFile({path, designPath, wrapper, palette, lines,
                       options != nullptr ? *options : defaults, grouping, first, extra, repeat,
                       trace, 0, nullptr, nullptr});
}

}  // namespace stitchkit
