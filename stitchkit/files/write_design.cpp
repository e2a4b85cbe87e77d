#include "stitchkit/files/write_design.h"

#include <errno.h>

#include <exception>
#include <fstream>
#include <optional>

#include "stitchkit/files/dst_header.h"
#include "stitchkit/files/edf_package.h"
#include "stitchkit/files/file_names_internal.h"
#include "stitchkit/files/hsf_file.h"
#include "stitchkit/files/kvb_file.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/zsk_transport_file.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/platform/bytestream.h"

namespace stitchkit {
namespace {

constexpr short kDstHardLength = 121;
constexpr char kEndOfFileMark = 0x1A;

// Extensions in the order they are tried. `wholeMatch` rows must match the whole extension;
// the others match on its first four characters.
struct ExtensionRow {
  const wchar_t* extension;
  HDiskFileFormat format;
  bool dstHardLength;
  bool wholeMatch;
};

constexpr ExtensionRow kLeadingExtensions[] = {
    {L".DST", kFormatDst, true, false},  {L".KVB", kFormatKvb, false, false},
    {L".KVC", kFormatKvc, false, false}, {L".EDF", kFormatEdf, false, false},
    {L".twn", kFormatTwn, false, true},  {L".DSB", kFormatDsb, false, false},
    {L".DSZ", kFormatDsz, false, false}, {L".KRV", kFormatDst, true, false},
    {L".BAR", kFormatDsb, false, false}, {L".ZSK", kFormatDsz, false, false},
};
// After the numbered ZSK transport names.
constexpr ExtensionRow kTrailingExtensions[] = {
    {L".EXP", kFormatExp, false, false},          {L".PCS", HDiskFileFormat(28), false, false},
    {L".PES", HDiskFileFormat(76), false, false}, {L".HSF", kFormatHsf, false, false},
    {L".TXT", HDiskFileFormat(35), false, false},
};
constexpr ExtensionRow kZskTransportRow = {L".Z00", kFormatZskTransport, false, true};

// A format the format-given makeStitchFormatFile writes on the plain path.
struct FormatRow {
  HDiskFileFormat format;
  bool dstHardLength;
  bool headed;  // the file gets the 512-byte header when the caller asks for it
};

constexpr FormatRow kPlainFormats[] = {
    {kFormatDst, true, true},           {kFormatDstVariant6, true, true},
    {kFormatDstVariant15, true, true},  {kFormatDstVariant20, true, true},
    {kFormatDsb, false, true},          {kFormatDsz, false, true},
    {kFormatDsbVariant16, false, true}, {kFormatDszVariant17, false, true},
    {kFormatDsbVariant21, false, true}, {kFormatExp, false, false},
};

const FormatRow* findPlainFormat(HDiskFileFormat format) {
  for (const FormatRow& row : kPlainFormats) {
    if (row.format == format) return &row;
  }
  return nullptr;
}

bool hasEncoder(HDiskFileFormat format) {
  return encoderKindForFormat(format, HString(), false) != EncoderKind::kNone;
}

using detail::extensionOf;

bool matches(const HString& ext, const ExtensionRow& row) {
  return row.wholeMatch ? ext.compareNoCase(row.extension) == 0
                        : detail::extensionStartsWith(ext, row.extension);
}

const ExtensionRow* findExtension(const HString& ext) {
  for (const ExtensionRow& row : kLeadingExtensions) {
    if (matches(ext, row)) return &row;
  }
  if (detail::isNumberedExtension(ext, L'Z')) return &kZskTransportRow;
  for (const ExtensionRow& row : kTrailingExtensions) {
    if (matches(ext, row)) return &row;
  }
  return nullptr;
}

// The formats whose files are written by a container writer rather than the plain path.
bool isContainerFormat(std::int32_t format) {
  return format == kFormatHsf || format == kFormatKvb || format == kFormatKvc ||
         format == kFormatEdf || format == kFormatZskTransport;
}

// The caller's option record, or a default one owned by the call; HardLength 127 either way.
class CallOptions {
 public:
  explicit CallOptions(StitchOptions* given) : record_(given != nullptr ? given : &own_.emplace()) {
    record_->setHardLength(kDefaultHardLength);
  }
  bool isOwn() const { return own_.has_value(); }
  StitchOptions* operator->() const { return record_; }
  StitchOptions& operator*() const { return *record_; }

 private:
  std::optional<StitchOptions> own_;
  StitchOptions* record_;
};

int writeHeader(std::ofstream& out, const HString& designName, const StitchStats& stats,
                int ansiLabel) {
  char header[kDstHeaderSize];
  StitchStats copy(stats);
  const int r = makeDSTHeader(header, designName, copy, ansiLabel);
  if (r != kDstHeaderOk) return r;
  out.seekp(0);
  out.write(header, kDstHeaderSize);
  return out ? kWriteOk : kWriteFailed;
}

// The plain path: the encode pipeline into the file, framed by the header when `headed`.
// A failure of the file itself gives kWriteFailed with its errno in `systemError`.
int writePlainFile(const HString& path, const HString& designName, StitchFilter& filter,
                   const StitchOptions& options, bool headed, int ansiLabel, StitchStats* written,
                   int& systemError) {
  errno = 0;
  std::ofstream out(toNativePath(path), std::ios::binary | std::ios::trunc);
  // errno is that of the last system call that failed, set by the stream's open, write or
  // close; EIO stands in when the stream failed without one.
  const auto fileFailed = [&systemError] {
    systemError = errno != 0 ? errno : EIO;
    return kWriteFailed;
  };
  if (!out) return fileFailed();
  if (headed) {
    // A blank header holds the place of the one written from what was really written; it
    // also tells early whether the label can be made at all.
    const int r = writeHeader(out, designName, StitchStats(), ansiLabel);
    if (!out) return fileFailed();
    if (r != kWriteOk) return r;
  }
  FileOutputBytestream stream(out);
  const int encoded = filter.encodeStitches(options, &stream);
  if (stream.systemError() != 0) {
    systemError = stream.systemError();
    return kWriteFailed;
  }
  if (!out) return fileFailed();
  if (encoded != 0) return kWriteIncompatible;
  if (headed) {
    out.seekp(0, std::ios::end);
    out.put(kEndOfFileMark);
    if (!out) return fileFailed();
    // The counts and extents of the header are those of what was written.
    const int r = writeHeader(out, designName, filter.getStats(), ansiLabel);
    if (!out) return fileFailed();
    if (r != kWriteOk) return r;
  }
  out.close();
  if (!out) return fileFailed();
  if (written != nullptr) *written = filter.getStats();
  return kWriteOk;
}

// The formats written through the KVB writer: KVB itself, KVC and EDF packages.
bool isKvbContainer(std::int32_t format) {
  return format == kFormatKvb || format == kFormatKvc || format == kFormatEdf;
}

// The KVB, KVC or EDF writer, its result in this file's terms.
int writeKvbContainer(const KvbWriteRequest& request, std::int32_t format, int& systemError) {
  errno = 0;
  const int r = format == kFormatKvc   ? writeKVCFile(request)
                : format == kFormatEdf ? writeEDFFile(request)
                                       : writeKVBFile(request);
  switch (r) {
    case kKvbWriteOk:
      return kWriteOk;
    case kKvbWriteEncodeFailed:
    case kKvbWriteWrongFormat:
      return kWriteIncompatible;
    default:
      systemError = errno != 0 ? errno : EIO;
      return kWriteFailed;
  }
}

// The ZSK transport writer, its result in this file's terms.
int writeZskTransport(const HString& path, const HString& designName, StitchWrapper& stitches,
                      const ThreadPalette& palette, const StitchOptions& options, int trace,
                      StitchStats* written, int& systemError) {
  errno = 0;
  switch (makeZSKTransportFile(path, designName, stitches, palette, &options, trace, written)) {
    case kZskWriteOk:
      return kWriteOk;
    case kZskWriteEncodeFailed:
    case kZskWriteWrongFormat:
      return kWriteIncompatible;
    default:
      systemError = errno != 0 ? errno : EIO;
      return kWriteFailed;
  }
}

}  // namespace

const char* writeResultMessage(int result) {
  switch (result) {
    case kWriteOk:
      return "written";
    case kWriteCannotCreate:
      return "the file cannot be created";
    case kWriteFailed:
      return "the file or its header cannot be written in this format";
    case kWriteIncompatible:
      return "the options do not suit the format, or encoding failed";
    case kWriteNoContainerWriter:
      return "writing this container format is not available yet";
    case kWriteUnknownExtension:
      return "the extension names no format that can be written";
    default:
      return "unknown result";
  }
}

HDiskFileFormat writeFormatOfPath(const HString& path) {
  const ExtensionRow* row = findExtension(extensionOf(path));
  return row == nullptr || row->format == kFormatTwn ? kFormatNone : row->format;
}

bool writesFileName(const HString& path) {
  const ExtensionRow* row = findExtension(extensionOf(path));
  if (row != nullptr && row->format == kFormatHsf) return readsFileName(path);
  if (row != nullptr && (isKvbContainer(row->format) || row->format == kFormatZskTransport)) {
    return true;
  }
  return row != nullptr && !isContainerFormat(row->format) && hasEncoder(row->format) &&
         readsFileName(path) && readFormatOfPath(path) == row->format;
}

bool writesFormat(HDiskFileFormat format) {
  if (isKvbContainer(format)) return format != kFormatEdf;
  if (format == kFormatZskTransport) return true;
  return findPlainFormat(format) != nullptr && hasEncoder(format);
}

int makeStitchFormatFile(const HString& path, const HString& designName, StitchWrapper& stitches,
                         const ThreadPalette& palette, HXArray<HString>& names,
                         const ExtraProperties& extra, double designValue, StitchOptions* options,
                         int traceDesign, int ansiLabel, const HeadGrouping& heads,
                         const MachineRepeatSettings& repeat, const HStitch* firstStitch,
                         const HString* attachmentPath, StitchStats* written, int* systemError) {
  int ignoredError = 0;
  int& error = systemError != nullptr ? *systemError : ignoredError;
  error = 0;
  try {
    CallOptions opts(options);
    const HString ext = extensionOf(path);
    StitchFilter filter(stitches);
    filter.setTraceDesign(traceDesign);

    const ExtensionRow* row = findExtension(ext);
    if (row != nullptr && row->dstHardLength) opts->setHardLength(kDstHardLength);
    if (row != nullptr && row->format == kFormatHsf) {
      // A design without threads gets the default palette, one thread per needle block.
      const ThreadPalette defaults = palette.isEmpty()
                                         ? makeDefaultHsfPalette(filter.getStats().needleCount)
                                         : ThreadPalette();
      errno = 0;
      const int r = makeHsfFile(path, stitches, palette.isEmpty() ? defaults : palette, names,
                                designValue, &*opts, traceDesign, written);
      if (r == kHsfCannotOpen || r == kHsfBadData) error = errno != 0 ? errno : EIO;
      return r;
    }
    if (row == nullptr || row->format == kFormatTwn) return kWriteUnknownExtension;
    if (opts.isOwn()) opts->setFileFormat(row->format);
    if (!opts->isCompatible(row->format)) return kWriteIncompatible;
    if (isKvbContainer(row->format)) {
      return writeKvbContainer(
          {path, designName, stitches, palette, names, *opts, heads, firstStitch, extra, repeat,
           traceDesign, ansiLabel, attachmentPath, written},
          row->format, error);
    }
    if (row->format == kFormatZskTransport) {
      return writeZskTransport(path, designName, stitches, palette, *opts, traceDesign, written,
                               error);
    }
    if (isContainerFormat(row->format)) return kWriteNoContainerWriter;
    return writePlainFile(path, designName, filter, *opts, detail::carriesMachineHeader(ext),
                          ansiLabel, written, error);
  } catch (const std::exception&) {
    return kWriteFailed;
  }
}

int makeStitchFormatFile(const HString& path, const HString& designName, HXArray<HStitch>& stitches,
                         const ThreadPalette& palette, HXArray<HString>& names,
                         const ExtraProperties& extra, double designValue, StitchOptions* options,
                         int traceDesign, int ansiLabel, const HeadGrouping& heads,
                         const MachineRepeatSettings& repeat, const HStitch* firstStitch,
                         const HString* attachmentPath) {
  StitchArrayWrapper wrapper(stitches);
  return makeStitchFormatFile(path, designName, wrapper, palette, names, extra, designValue,
                              options, traceDesign, ansiLabel, heads, repeat, firstStitch,
                              attachmentPath);
}

int makeStitchFormatFile(const HString& path, HXArray<HStitch>& stitches,
                         const ThreadPalette& palette, HXArray<HString>& names, double designValue,
                         StitchOptions* options, int traceDesign, const HeadGrouping& heads) {
  return makeStitchFormatFile(path, path, stitches, palette, names, ExtraProperties(), designValue,
                              options, traceDesign, 0, heads, MachineRepeatSettings(), nullptr,
                              nullptr);
}

int makeStitchFormatFile(const HString& path, const HString& designName,
                         const HDiskFileFormat& format, StitchWrapper& stitches,
                         const ThreadPalette& palette, HXArray<HString>& names,
                         const ExtraProperties& extra, int writeHeader, StitchOptions* options,
                         int traceDesign, int ansiLabel, const HeadGrouping& heads,
                         const MachineRepeatSettings& repeat, const HStitch* firstStitch,
                         StitchStats* written, int* systemError) {
  int ignoredError = 0;
  int& error = systemError != nullptr ? *systemError : ignoredError;
  error = 0;
  try {
    StitchOptions defaults;
    defaults.setFileFormat(format);
    CallOptions opts(options != nullptr ? options : &defaults);
    // A package (EDF) is written by name only.
    if (isKvbContainer(format) && format != kFormatEdf) {
      return writeKvbContainer(
          {path, designName, stitches, palette, names, *opts, heads, firstStitch, extra, repeat,
           traceDesign, ansiLabel, nullptr, written},
          format, error);
    }
    if (format == kFormatZskTransport) {
      return writeZskTransport(path, designName, stitches, palette, *opts, traceDesign, written,
                               error);
    }
    if (!opts->isCompatible(format)) return kWriteIncompatible;
    StitchFilter filter(stitches);
    filter.setTraceDesign(traceDesign);
    const FormatRow* row = findPlainFormat(format);
    if (row == nullptr) return kWriteFailed;
    if (row->dstHardLength) opts->setHardLength(kDstHardLength);
    return writePlainFile(path, designName, filter, *opts, row->headed && writeHeader != 0,
                          ansiLabel, written, error);
  } catch (const std::exception&) {
    return kWriteFailed;
  }
}

int makeStitchFormatFile(const HString& path, const HDiskFileFormat& format,
                         HXArray<HStitch>& stitches, const ThreadPalette& palette,
                         HXArray<HString>& names, const ExtraProperties& extra, int writeHeader,
                         StitchOptions* options, int traceDesign, int ansiLabel,
                         const HeadGrouping& heads, const MachineRepeatSettings& repeat,
                         const HStitch* firstStitch) {
  StitchArrayWrapper wrapper(stitches);
  return makeStitchFormatFile(path, path, format, wrapper, palette, names, extra, writeHeader,
                              options, traceDesign, ansiLabel, heads, repeat, firstStitch);
}

int makeStitchFormatFile(const HString& path, const HDiskFileFormat& format,
                         HXArray<HStitch>& stitches, const ThreadPalette& palette,
                         HXArray<HString>& names, int writeHeader, StitchOptions* options) {
  return makeStitchFormatFile(path, format, stitches, palette, names, ExtraProperties(),
                              writeHeader, options, 0, 0, HeadGrouping(), MachineRepeatSettings(),
                              nullptr);
}

}  // namespace stitchkit
