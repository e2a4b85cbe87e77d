#include "stitchkit/files/read_design.h"

#include "stitchkit/files/file_names_internal.h"

#include <errno.h>

#include <algorithm>
#include <array>

#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <system_error>

#include "stitchkit/designio/design_codec.h"
#include "stitchkit/designio/st_des.h"
#include "stitchkit/files/hsf_file.h"
#include "stitchkit/files/kvb_file.h"
#include "stitchkit/files/zsk_transport_file.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/h_file.h"

namespace stitchkit {

namespace {

// The machine files of the DST, DSB and DSZ families start with a header of this size.
constexpr long kMachineHeaderSize = 512;
// The longest move of a DST record.
constexpr short kDstHardLength = 121;
// Extensions are told apart by this many characters, dot included.

// Where a file goes once its format is known.
enum class Route {
  kFilter,        // the stitch filter over the file's records
  kHsf,           // the system's own stitch file reader
  kKvb,           // the KVB container reader
  kKvc,           // the KVC container reader
  kZskTransport,  // the ZSK transport file reader
  kGeneralLoader  // the general design loader for other makers' formats
};

// One extension that decodeFile recognises.
// Whether the file starts with the machine header is detail::carriesMachineHeader's to say.
struct ExtensionRow {
  const wchar_t* extension;
  bool dstOptions;  // HardLength 121 and stops as needle changes
  HDiskFileFormat format;
  Route route;
};

constexpr ExtensionRow kExtensions[] = {
    {L".DST", true, kFormatDst, Route::kFilter},  {L".KRV", true, kFormatDst, Route::kFilter},
    {L".KVB", false, kFormatKvb, Route::kKvb},    {L".KVC", false, kFormatKvc, Route::kKvc},
    {L".DSB", false, kFormatDsb, Route::kFilter}, {L".BAR", false, kFormatDsb, Route::kFilter},
    {L".DSZ", false, kFormatDsz, Route::kFilter}, {L".ZSK", false, kFormatDsz, Route::kFilter},
    {L".EXP", false, kFormatExp, Route::kFilter}, {L".HSF", false, kFormatHsf, Route::kHsf},
};

// ZSK transport files are numbered: ".Z" or ".z" and two decimal digits, nothing more.
constexpr ExtensionRow kZskTransportRow = {L".Z00", false, kFormatZskTransport,
                                           Route::kZskTransport};

// One extension that decodeDSTFile reads.
struct DstFileRow {
  const wchar_t* extension;
  int stopsAsNeedles;
  short hardLength;
  HDiskFileFormat format;
};

constexpr DstFileRow kDstFileExtensions[] = {
    {L".DST", 1, kDstHardLength, kFormatDst},
    {L".DSB", 0, kDefaultHardLength, kFormatDsb},
    {L".DSZ", 0, kDefaultHardLength, kFormatDsz},
};

// A format the format-given decodeFile reads through the stitch filter.
struct FormatRow {
  HDiskFileFormat format;
  bool dstOptions;  // HardLength 121 and stops as needle changes
  bool headed;      // the file starts with the 512-byte header
};

constexpr FormatRow kFilterFormats[] = {
    {kFormatDst, true, true},           {kFormatDstVariant15, true, true},
    {kFormatDstVariant20, true, true},  {kFormatDstVariant6, false, true},
    {kFormatDsb, false, true},          {kFormatDsbVariant16, false, true},
    {kFormatDsbVariant21, false, true}, {kFormatDsz, false, true},
    {kFormatDszVariant17, false, true}, {kFormatExp, false, false},
};

const FormatRow* findFilterFormat(HDiskFileFormat format) {
  for (const FormatRow& row : kFilterFormats) {
    if (row.format == format) return &row;
  }
  return nullptr;
}

using detail::extensionOf;

bool extensionIs(const HString& ext, const wchar_t* wanted) {
  return detail::extensionStartsWith(ext, wanted);
}

const ExtensionRow* findExtension(const HString& ext) {
  for (const ExtensionRow& row : kExtensions) {
    if (extensionIs(ext, row.extension)) return &row;
  }
  if (detail::isNumberedExtension(ext, L'Z')) return &kZskTransportRow;
  return nullptr;
}

// Everything a container reader or the general loader may fill.
struct ReaderCall {
  const HString& path;
  StitchWrapper& stitches;
  StitchOptions& options;
  bool ownOptions;  // the options are the function's own, to be chosen for the file
  StitchStats& stats;
  HXArray<HString>& names;
  HeadGrouping& heads;
  MachineRepeatSettings& repeats;
  ThreadPalette* palette;
  double* scale;
};

// The HSF reader. A call without a record of its own reads the records the file's header
// names; the header's design value lands in the call's scale.
int readHsf(const ReaderCall& call) {
  if (call.ownOptions) {
    std::ifstream in(toNativePath(call.path), std::ios::in | std::ios::binary);
    HchInfoHeader header;
    if (in.is_open() && readHchInfoHeader(in, header) == kHsfOk) {
      call.options.setFileFormat(convertHchInfoHeaderToFileFormat(header));
    }
  }
  double designValue = 0.0;
  return decodeHsfFile(call.path, call.stitches, call.options, call.stats, call.names,
                       call.scale != nullptr ? *call.scale : designValue, call.palette);
}

// The KVB and KVC readers. A call without a record of its own reads the KVB records both
// containers hold. Laser blocks and the CT1 properties have no place in the call and are
// dropped.
int readKvbContainer(const ReaderCall& call, bool kvc) {
  if (call.ownOptions) call.options.setFileFormat(kFormatKvb);
  HList<LT0LaserBlock> laserBlocks;
  if (kvc) {
    return decodeKVCFile(call.path, call.stitches, call.options, call.stats, call.names, call.heads,
                         call.repeats, laserBlocks, call.palette, nullptr, nullptr, nullptr);
  }
  return decodeKVBFile(call.path, call.stitches, call.options, call.stats, call.names, call.heads,
                       call.repeats, laserBlocks, call.palette, nullptr);
}

// The general loader's point types and the stitch codes they become; any other type is a
// plain stitch.
struct LoaderCode {
  std::uint8_t type;
  std::uint8_t code;
};
constexpr LoaderCode kLoaderCodes[] = {
    {1, 1},  {2, 3},   {3, 6},   {4, 2},   {5, 8},   {6, 9},   {7, 4},
    {8, 5},  {9, 10},  {10, 26}, {11, 27}, {12, 28}, {15, 15}, {16, 16},
    {22, 7}, {26, 12}, {27, 18}, {28, 19}, {29, 20}, {30, 17},
};

// The stitch code of each point type, as a table indexed by the type.
constexpr std::array<std::uint8_t, 256> kCodeOfType = [] {
  std::array<std::uint8_t, 256> codes{};
  codes.fill(StitchCode::Normal);
  for (const LoaderCode& row : kLoaderCodes)
    codes[row.type] = row.code;
  return codes;
}();

// Other makers' designs through the design-I/O layer: the points become stitches (positions
// truncated towards zero), the threads the palette, and the statistics are those of the
// whole design.
int loadGeneral(const ReaderCall& call) {
  CStDes design;
  STDESSETTINGS settings;
  CStDes::LoadDefaultSettings(settings);
  CSize size;
  if (!design.Load(call.path, settings, size, nullptr)) return kReadNoReader;
  // The stitches go to the caller's container a batch at a time, counted as they go.
  call.stitches.clear();
  call.stitches.reserve(static_cast<int>(design.points.size()));
  std::array<HStitch, 1024> batch;
  std::size_t filled = 0;
  bool first = true;
  auto coordinate = [](float v) { return static_cast<short>(std::clamp(v, -32768.0f, 32767.0f)); };
  for (const StDesPoint& point : design.points) {
    HStitch& s = batch[filled++];
    s = HStitch(coordinate(point.x), coordinate(point.y), kCodeOfType[point.type]);
    s.setColor(point.colour, true);
    if (first) {
      call.stats.start(s);
      first = false;
    } else {
      call.stats.update(s, 1, 0);
    }
    if (filled == batch.size()) {
      call.stitches.appendAll(batch);
      filled = 0;
    }
  }
  call.stitches.appendAll(std::span<const HStitch>(batch.data(), filled));
  if (first) {
    call.stats.reset();
  } else {
    call.stats.finish();
  }
  if (call.palette != nullptr) {
    for (int i = 0; i < design.threads.GetSize(); ++i) {
      const THREAD& t = design.threads.GetAt(i);
      call.palette->add(ThreadProperty(ThreadProperty::rgb(t.red(), t.green(), t.blue()), t.name,
                                       t.code, t.manufacturer));
    }
  }
  return kReadOk;
}

// Hands a whole file to the reader of `route` and returns the reader's file-level result.
// A reader that is not part of the library yet reports kReadNoReader, as a failed one does.
int runReader(Route route, const ReaderCall& call) {
  switch (route) {
    case Route::kHsf:
      return readHsf(call);
    case Route::kKvb:
      return readKvbContainer(call, false);
    case Route::kKvc:
      return readKvbContainer(call, true);
    case Route::kZskTransport:
      if (call.ownOptions) call.options.setFileFormat(kFormatZskTransport);
      return decodeZSKTransportFile(call.path, call.stitches, call.options, call.stats,
                                    call.palette);
    case Route::kGeneralLoader:
      return loadGeneral(call);
    case Route::kFilter:
      break;
  }
  return kReadNoReader;
}

// The option record of one call: the caller's, or a default decoder record of its own.
class CallOptions {
 public:
  // False when the call's own record cannot be created.
  bool prepare(StitchOptions* callers, bool defaultDecoderOptions) {
    if (callers != nullptr) {
      record_ = callers;
      return true;
    }
    try {
      own_ = std::make_unique<StitchOptions>();
      if (defaultDecoderOptions) setDefaultDecoderOptions(*own_);
    } catch (const std::exception&) {
      return false;
    }
    record_ = own_.get();
    return true;
  }

  StitchOptions& operator*() const { return *record_; }
  StitchOptions* operator->() const { return record_; }
  bool isOwn() const { return own_ != nullptr; }

 private:
  std::unique_ptr<StitchOptions> own_;
  StitchOptions* record_ = nullptr;
};

// An open design file and the byte stream over it.
class DesignFile {
 public:
  // False when `path` cannot be opened for reading as a file; error() then holds errno.
  bool open(const HString& path) {
    const std::string native = toNativePath(path);
    std::error_code ec;
    if (std::filesystem::is_directory(native, ec)) {
      error_ = EISDIR;
      return false;
    }
    errno = 0;
    file_.open(native, std::ios::in | std::ios::binary);
    if (!file_.is_open()) {
      error_ = errno != 0 ? errno : EIO;
      return false;
    }
    stream_.emplace(file_);
    return true;
  }
  void close() {
    stream_.reset();
    file_.close();
  }

  // Puts the stream after the machine file header.
  bool skipHeader() {
    return stream_->seek(kMachineHeaderSize) == kStreamOk &&
           stream_->position() == kMachineHeaderSize;
  }

  InputBytestream& stream() { return *stream_; }
  int error() const { return error_; }

 private:
  int error_ = 0;
  std::ifstream file_;
  std::optional<FileInputBytestream> stream_;
};

// Runs the stitch filter over the file; `noDecoder` is the result for a format without a
// decoder.
int runFilter(StitchWrapper& stitches, StitchStats& stats, StitchOptions& options,
              InputBytestream& stream, int noDecoder, DecodeEnding* ending = nullptr) {
  StitchFilter filter(stitches);
  const int r = filter.decodeStitches(options, 1, stream);
  if (ending != nullptr) *ending = filter.decodeEnding();
  if (r == kFilterOk) {
    stats = filter.getStats();
    return kReadOk;
  }
  return r == kFilterNoCoder ? noDecoder : kReadFailed;
}

void setDstOptions(StitchOptions& options) {
  options.setHardLength(kDstHardLength);
  options.setStopsAsNeedles(1);
}

}  // namespace

const char* readResultMessage(int result) {
  switch (result) {
    case kReadOk:
      return "success";
    case kReadCannotOpen:
      return "the file cannot be opened";
    case kReadHeaderSkipFailed:
      return "the file header, or a part of the file it points to, cannot be read in full";
    case kReadNoOptions:
      return "the option record cannot be created";
    case kReadFailed:
      return "the options do not suit the format, or decoding failed";
    case kReadWrongExtension:
      return "the extension is not one of .DST, .DSB or .DSZ";
    case kReadNoReader:
      return "the format has no reader, or its reader failed";
    default:
      return "unknown result";
  }
}

HDiskFileFormat readFormatOfPath(const HString& path) {
  const ExtensionRow* row = findExtension(extensionOf(path));
  return row == nullptr ? kFormatNone : row->format;
}

bool readsFileName(const HString& path) {
  const ExtensionRow* row = findExtension(extensionOf(path));
  if (row == nullptr) return findDesignCodec(path) != nullptr;
  return row->route == Route::kHsf || row->route == Route::kKvb || row->route == Route::kKvc ||
         row->route == Route::kZskTransport ||
         (row->route == Route::kFilter &&
          decoderKindForFormat(row->format, false) != DecoderKind::kNone);
}

bool readsFormat(HDiskFileFormat format) {
  if (format == kFormatHsf || format == kFormatKvb || format == kFormatKvc ||
      format == kFormatZskTransport) {
    return true;
  }
  return findFilterFormat(format) != nullptr &&
         decoderKindForFormat(format, false) != DecoderKind::kNone;
}

int decodeDSTFile(const wchar_t* path, StitchWrapper& stitches, StitchStats& stats) {
  try {
    CallOptions options;
    if (!options.prepare(nullptr, false)) return kReadNoOptions;
    if (path == nullptr) return kReadCannotOpen;
    const HString name(path);
    DesignFile file;
    if (!file.open(name)) return kReadCannotOpen;
    if (!file.skipHeader()) return kReadHeaderSkipFailed;
    stitches.clear();

    const HString ext = extensionOf(name);
    const DstFileRow* row = nullptr;
    for (const DstFileRow& candidate : kDstFileExtensions) {
      if (extensionIs(ext, candidate.extension)) row = &candidate;
    }
    if (row == nullptr) return kReadWrongExtension;
    options->setStopsAsNeedles(row->stopsAsNeedles);
    options->setHardLength(row->hardLength);
    options->setFileFormat(row->format);
    return runFilter(stitches, stats, *options, file.stream(), kReadWrongExtension);
  } catch (const std::exception&) {
    return kReadFailed;
  }
}

int decodeDSTFile(const wchar_t* path, HXArray<HStitch>& stitches, StitchStats& stats) {
  StitchArrayWrapper wrapper(stitches);
  return decodeDSTFile(path, wrapper, stats);
}

int decodeFile(const HString& path, StitchWrapper& stitches, StitchStats& stats, double& scale,
               ThreadPalette* palette, StitchOptions* options, HeadGrouping* heads,
               MachineRepeatSettings* repeats, int* systemError, DecodeEnding* ending) {
  if (systemError != nullptr) *systemError = 0;
  if (ending != nullptr) *ending = {};
  try {
    HeadGrouping localHeads;
    MachineRepeatSettings localRepeats;
    HXArray<HString> names;
    CallOptions opts;
    if (!opts.prepare(options, true)) return kReadNoOptions;
    opts->setHardLength(kDefaultHardLength);

    DesignFile file;
    if (!file.open(path)) {
      if (systemError != nullptr) *systemError = file.error();
      return kReadCannotOpen;
    }
    scale = 0.5;

    const ReaderCall call{path,
                          stitches,
                          *opts,
                          opts.isOwn(),
                          stats,
                          names,
                          heads != nullptr ? *heads : localHeads,
                          repeats != nullptr ? *repeats : localRepeats,
                          palette,
                          &scale};
    const ExtensionRow* row = findExtension(extensionOf(path));
    if (row == nullptr) {
      file.close();
      return runReader(Route::kGeneralLoader, call);
    }
    if (row->route == Route::kHsf) {
      file.close();
      const int r = runReader(Route::kHsf, call);
      return r >= kReadOk && r <= kReadWrongExtension ? r : kReadNoReader;
    }
    if (detail::carriesMachineHeader(extensionOf(path)) && !file.skipHeader()) {
      return kReadHeaderSkipFailed;
    }
    if (row->dstOptions) setDstOptions(*opts);

    if (opts.isOwn()) opts->setFileFormat(row->format);
    if (!opts->isCompatible(row->format)) return kReadFailed;
    if (row->route != Route::kFilter) {
      file.close();
      return runReader(row->route, call);
    }
    return runFilter(stitches, stats, *opts, file.stream(), kReadNoReader, ending);
  } catch (const std::exception&) {
    return kReadFailed;
  }
}

int decodeFile(const HString& path, HXArray<HStitch>& stitches, StitchStats& stats, double& scale,
               ThreadPalette* palette, StitchOptions* options, HeadGrouping* heads,
               MachineRepeatSettings* repeats, int* systemError, DecodeEnding* ending) {
  StitchArrayWrapper wrapper(stitches);
  return decodeFile(path, wrapper, stats, scale, palette, options, heads, repeats, systemError,
                    ending);
}

int decodeFile(const HString& path, HDiskFileFormat format, StitchWrapper& stitches,
               StitchStats& stats, HXArray<HString>& names, ThreadPalette* palette, int skipHeader,
               StitchOptions* options, HeadGrouping* heads, MachineRepeatSettings* repeats) {
  try {
    HeadGrouping localHeads;
    MachineRepeatSettings localRepeats;
    CallOptions opts;
    if (!opts.prepare(options, true)) return kReadNoOptions;
    if (opts.isOwn()) opts->setFileFormat(format);
    opts->setHardLength(kDefaultHardLength);

    const ReaderCall call{path,
                          stitches,
                          *opts,
                          opts.isOwn(),
                          stats,
                          names,
                          heads != nullptr ? *heads : localHeads,
                          repeats != nullptr ? *repeats : localRepeats,
                          palette,
                          nullptr};
    if (format == kFormatHsf) return runReader(Route::kHsf, call);
    if (format == kFormatKvb) return runReader(Route::kKvb, call);
    if (format == kFormatKvc) return runReader(Route::kKvc, call);
    if (format == kFormatZskTransport) return runReader(Route::kZskTransport, call);

    if (!opts->isCompatible(format)) return kReadFailed;
    DesignFile file;
    if (!file.open(path)) return kReadCannotOpen;

    const FormatRow* row = findFilterFormat(format);
    if (row == nullptr) return kReadNoReader;
    if (row->dstOptions) setDstOptions(*opts);
    if (row->headed && skipHeader != 0 && !file.skipHeader()) return kReadHeaderSkipFailed;
    return runFilter(stitches, stats, *opts, file.stream(), kReadNoReader);
  } catch (const std::exception&) {
    return kReadFailed;
  }
}

int decodeFile(const HString& path, HDiskFileFormat format, HXArray<HStitch>& stitches,
               StitchStats& stats, HXArray<HString>& names, ThreadPalette* palette, int skipHeader,
               StitchOptions* options, HeadGrouping* heads, MachineRepeatSettings* repeats) {
  StitchArrayWrapper wrapper(stitches);
  return decodeFile(path, format, wrapper, stats, names, palette, skipHeader, options, heads,
                    repeats);
}

}  // namespace stitchkit
