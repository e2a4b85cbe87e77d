#include "stitchkit/jobs/design_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "stitchkit/decode/exp_records.h"
#include "stitchkit/decode/zangs_records.h"
#include "stitchkit/designio/design_codec.h"
#include "stitchkit/designio/pes_codec.h"
#include "stitchkit/files/design_exchange.h"
#include "stitchkit/files/edf_package.h"
#include "stitchkit/files/extra_properties.h"
#include "stitchkit/files/kvb_file.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/formats/file_format_registry.h"
#include "stitchkit/jobs/machine_lookup.h"
#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/replacement_file.h"

namespace stitchkit {
namespace {

// The PES version written when the name gives the PES family and the request no version.
constexpr auto kWrittenPesFormat = static_cast<HDiskFileFormat>(41);
// The code ".pes" reads as, the head of the PES family.
constexpr auto kPesFamily = static_cast<HDiskFileFormat>(89);

JobStatus failed(int result, std::string message) {
  return JobStatus{result, std::move(message)};
}

// The system's words for a failure with an error number, else `message`.
std::string describeFailure(std::string_view action, int systemError, std::string_view message) {
  if (systemError == 0) return std::string(message);
  return std::string(action) + ": " + std::strerror(systemError);
}

// ---- Containers ----

constexpr const wchar_t* kSideFiles[] = {L"CT0", L"LT0", L"CT1"};

HString sideOf(const HString& path, const wchar_t* side) {
  HString sidePath = path;
  fixname(sidePath, side);
  return sidePath;
}

// The length of the file at `path`, 0 when there is none.
std::size_t fileBytes(const HString& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(toNativePath(path), error);
  return error ? 0 : static_cast<std::size_t>(size);
}

std::string_view kindName(ContainerKind kind) {
  switch (kind) {
    case ContainerKind::kKvb:
      return "KVB";
    case ContainerKind::kKvc:
      return "KVC";
    case ContainerKind::kEdf:
      return "EDF";
    case ContainerKind::kNone:
      break;
  }
  return "";
}

std::string partName(ContainerKind kind, const std::string& part) {
  switch (kind) {
    case ContainerKind::kKvb:
      return part + " side file";
    case ContainerKind::kKvc:
      return part + " section";
    default:
      return part + " member";
  }
}

std::string describeContainerFailure(ContainerKind kind, int result) {
  const std::string name(kindName(kind));
  switch (result) {
    case kKvbReadCannotOpen:
      return kind == ContainerKind::kEdf ? "the package does not open" : "the file does not open";
    case kKvbReadShort:
      return kind == ContainerKind::kEdf
                 ? "not an EDF package this library can decipher, or its directory or a member "
                   "is cut short"
                 : "the " + name + " header, palette or a section is cut short";
    case kKvbReadDecodeFailed:
      return "the KVB stitch records do not decode";
    default:
      return "no KVB reader for it (result " + std::to_string(result) + ")";
  }
}

// Reads a container's design and what travelled with it; a result of the KVB readers.
int readContainer(const HString& path, DesignFile& design) {
  StitchDecoderOptions options;
  options.setFileFormat(design.container == ContainerKind::kEdf ? kFormatEdf : kFormatKvb);
  StitchArrayWrapper wrapper(design.stitches);
  HList<LT0LaserBlock> laserBlocks;
  const ContainerKind kind = design.container;
  int result = kKvbReadOk;
  switch (kind) {
    case ContainerKind::kKvb:
      result = decodeKVBFile(path, wrapper, options, design.stats, design.conditionLines,
                             design.grouping, design.repeat, laserBlocks, &design.palette, nullptr);
      for (const wchar_t* side : kSideFiles) {
        const HString sidePath = sideOf(path, side);
        design.parts.push_back({partName(kind, strToUtf8(HString(side))),
                                fileExists(sidePath) ? fileBytes(sidePath) : 0});
      }
      break;
    case ContainerKind::kKvc: {
      KvcSections sections;
      result = decodeKVCFile(path, wrapper, options, design.stats, design.conditionLines,
                             design.grouping, design.repeat, laserBlocks, &design.palette, nullptr,
                             nullptr, nullptr, &sections);
      const std::pair<const char*, std::size_t> named[] = {
          {"CT0", sections.ct0},     {"attached file", sections.attached},
          {"LT0", sections.lt0},     {"CT1", sections.ct1},
          {"fifth", sections.fifth}, {"TT0", sections.tt0}};
      for (const auto& [name, bytes] : named)
        design.parts.push_back({partName(kind, name), bytes});
      break;
    }
    case ContainerKind::kEdf: {
      EdfMembers members;
      result = decodeEDFFile(path, wrapper, options, design.stats, design.conditionLines,
                             design.grouping, design.repeat, &design.palette, &members);
      const std::pair<const char*, std::size_t> named[] = {{"KVB", members.kvb},
                                                           {"CT0", members.ct0},
                                                           {"design-graphics", members.graphics},
                                                           {"AD0", members.ad0}};
      for (const auto& [name, bytes] : named)
        design.parts.push_back({partName(kind, name), bytes});
      break;
    }
    case ContainerKind::kNone:
      return kKvbReadWrongFormat;
  }
  return result;
}

// The KVB writer puts the side files beside the file it writes: these move the ones written
// beside `written` (a temporary name) to sit beside `target`, removing a side file of
// `target` that was not written again (0 or the system's error number); or remove them.
int moveSideFiles(const HString& written, const HString& target) {
  for (const wchar_t* side : kSideFiles) {
    const std::string from = toNativePath(sideOf(written, side));
    const std::string to = toNativePath(sideOf(target, side));
    std::error_code error;
    if (std::filesystem::exists(from, error)) {
      std::filesystem::rename(from, to, error);
    } else {
      std::filesystem::remove(to, error);
    }
    if (error) return error.value();
  }
  return 0;
}

void removeSideFiles(const HString& written) {
  for (const wchar_t* side : kSideFiles) {
    std::error_code ignored;
    std::filesystem::remove(toNativePath(sideOf(written, side)), ignored);
  }
}

// ---- Writing ----

// What this build writes, for the refusal of a name or code it does not: the extensions of
// the format table that it writes by name, and the codes it writes by code.
std::string writtenFormatsText() {
  std::string extensions;
  std::string codes;
  for (const DiskFormatInfo& row : diskFormatTable()) {
    for (std::string_view ext : row.readFrom) {
      const HString name = utf8ToStr("x" + std::string(ext));
      if (ext.empty() || (!writesFileName(name) && findDesignCodec(name) == nullptr)) continue;
      extensions += ' ';
      extensions += ext;
    }
    if (writesFormat(row.code) || writesOtherMakerFormat(row.code))
      codes += ' ' + std::to_string(static_cast<int>(row.code));
  }
  return "this build writes" + extensions + " (by format code:" + codes + ")";
}

// The records that name needles and the highest needle one of them holds: a needle above it
// is refused (Exp) or written as a stop (Zangs). With a MaxNeedles of 1 or more both encoders
// first fold a needle above it onto needle (n - 1) % MaxNeedles + 1; the Exp encoder writes
// every colour change as a stop with StopsAsNeedles.
struct NeedleRecord {
  EncoderKind encoder;
  int maxNeedle;
  bool stopsAsNeedlesAvoids;
};
constexpr NeedleRecord kNeedleRecords[] = {
    {EncoderKind::kExp, exp::kMaxNeedle, true},
    {EncoderKind::kZangs, zangs::kMaxNeedle, false},
};

// Why the design cannot be written as it should with `options` (machine format `machine`),
// when a colour change names a needle the format's record cannot hold, or nothing.
std::optional<std::string> needleProblem(const HXArray<HStitch>& stitches,
                                         const StitchOptions& options, const std::string& machine) {
  const HDiskFileFormat format = options.getFileFormat();
  const EncoderKind encoder = encoderKindForFormat(format, options.getFormatType(), true);
  const auto* record =
      std::find_if(std::begin(kNeedleRecords), std::end(kNeedleRecords),
                   [encoder](const NeedleRecord& r) { return r.encoder == encoder; });
  if (record == std::end(kNeedleRecords) ||
      (record->stopsAsNeedlesAvoids && options.getStopsAsNeedles() != 0)) {
    return std::nullopt;
  }
  const int maxNeedles = options.getMaxNeedles();
  int highest = 0;
  for (int i = 0; i < stitches.length(); ++i) {
    if (!stitches[i].isColorChange()) continue;
    const int colour = stitches[i].getColor();
    const int written =
        maxNeedles >= 1 && colour + 1 > maxNeedles ? colour % maxNeedles + 1 : colour + 1;
    if (written > record->maxNeedle) highest = std::max(highest, colour + 1);
  }
  if (highest == 0) return std::nullopt;
  const DiskFormatInfo* row = findDiskFormat(format);
  const std::string limit = std::to_string(record->maxNeedle);
  std::string text = "the design needs needle " + std::to_string(highest) + " but format " +
                     std::to_string(static_cast<int>(format));
  if (row != nullptr && !row->writtenAs.empty()) text += " (" + std::string(row->writtenAs) + ")";
  text += " holds at most " + limit + " needles and machine format '" + machine + "' (MaxNeedles " +
          std::to_string(maxNeedles) +
          ") does not fold them: choose a machine format that does, or fold the needles with "
          "MaxNeedles=" +
          limit;
  return text;
}

// Machines refuse, or run on past, a design without an end record: a design that has none
// gets one at its last point, in its last colour. Returns true when the end was added.
bool addMissingDesignEnd(HXArray<HStitch>& stitches) {
  if (stitches.length() == 0) return false;
  const HStitch& last = stitches[stitches.length() - 1];
  if (last.isEndRewind()) return false;
  stitches.add(HStitch(last.xval(), last.yval(), StitchCode::DesignEnd, last.getColor()));
  return true;
}

// The statistics of the written file as a reader makes of it: by its name, or as format
// `format` (after the header of a format that has one) when it was written by code under a
// name that reads as another format or none. The stitches are read into `stitches`, whose
// storage is reused.
std::optional<StitchStats> readBack(const HString& path, std::optional<HDiskFileFormat> format,
                                    HXArray<HStitch>& stitches) {
  StitchStats stats;
  int result = kReadNoReader;
  if (const ContainerKind kind = containerKindOf(path); !format && kind != ContainerKind::kNone) {
    DesignFile contents;
    contents.container = kind;
    result = readContainer(path, contents);
    stats = contents.stats;
    stitches = std::move(contents.stitches);
  } else if (!format || (readsFileName(path) && readFormatOfPath(path) == *format)) {
    double scale = 1.0;
    result = decodeFile(path, stitches, stats, scale, nullptr, nullptr, nullptr, nullptr);
  } else {
    HXArray<HString> names;
    result =
        decodeFile(path, *format, stitches, stats, names, nullptr, 1, nullptr, nullptr, nullptr);
  }
  if (result != kReadOk) return std::nullopt;
  return stats;
}

// What a request comes to before any design is at hand: the format written, whether it goes
// through the design-I/O layer, and the machine format's options.
struct Plan {
  HDiskFileFormat target = kFormatNone;
  bool otherMaker = false;
  std::string machine;
  StitchOptions options;
};

// The code another maker's file is written as through the design-I/O layer: the request's,
// which must be of the family the name's extension reads as, else that family's code (for the
// PES family the version its writer lays out). kFormatNone for other names.
JobStatus designFormat(const std::string& path, const HString& widePath,
                       const WriteRequest& request, Plan& plan) {
  if (findDesignCodec(widePath) == nullptr) {
    if (request.format && writesOtherMakerFormat(*request.format)) {
      return failed(kJobBadRequest, "format " + std::to_string(static_cast<int>(*request.format)) +
                                        " is written only under its own extension (" +
                                        std::string(findDiskFormat(*request.format)->writtenAs) +
                                        ")");
    }
    return {};
  }
  HString lower = widePath;
  lower.makeLower();
  const HDiskFileFormat named = HFileFormat::getFileFormatFromFile(lower, 1);
  plan.otherMaker = true;
  if (!request.format) {
    plan.target =
        HFileFormat::isFileFormatCompatible(kWrittenPesFormat, named) == kFileFormatCompatible
            ? kWrittenPesFormat
            : named;
    return {};
  }
  if (HFileFormat::isFileFormatCompatible(*request.format, named) != kFileFormatCompatible) {
    return failed(kJobBadRequest, "format " + std::to_string(static_cast<int>(*request.format)) +
                                      " is not written as " + path + ": give a code of its family");
  }
  plan.target = *request.format;
  return {};
}

// The machine format to write the target with: the one the request names, which must write
// the format, or the catalogue's best for it. A format without a factory set (and no
// installed machine format for it) is written with the writer's defaults and an empty name.
JobStatus chooseMachine(const WriteRequest& request, Plan& plan) {
  if (!request.machine.empty()) {
    bool isFactory = false;
    const std::optional<StitchOptions> found = findMachine(request.machine, plan.target, isFactory);
    if (!found) return failed(kJobBadRequest, "no machine format '" + request.machine + "'");
    if (!found->isCompatible(plan.target)) {
      return failed(kJobBadRequest, "machine format '" + request.machine + "' writes format " +
                                        std::to_string(found->getFileFormat()) + ", not format " +
                                        std::to_string(static_cast<int>(plan.target)));
    }
    plan.machine = request.machine;
    plan.options = *found;
    return {};
  }
  HString name;
  const int chosen = GetBestCompatibleMachineFormat(plan.target, name, plan.options);
  if (chosen != kMachineFormatOk && chosen != kMachineFormatNotSupported) {
    return failed(kJobWriteFailed, "no machine format can be chosen for format " +
                                       std::to_string(static_cast<int>(plan.target)) +
                                       " (catalogue result " + std::to_string(chosen) + ")");
  }
  plan.machine = strToUtf8(name);
  return {};
}

JobStatus planWrite(const std::string& path, const WriteRequest& request, Plan& plan) {
  const HString widePath = fromNativePath(path);
  if (JobStatus status = designFormat(path, widePath, request, plan); !status) return status;
  const bool writable = plan.otherMaker ||
                        (request.format ? writesFormat(*request.format) : writesFileName(widePath));
  if (!writable) {
    return failed(kJobWriteFailed, (request.format ? "format " + std::to_string(*request.format)
                                                   : std::string("this name's format")) +
                                       " cannot be written: " + writtenFormatsText());
  }
  if (!plan.otherMaker) plan.target = request.format.value_or(writeFormatOfPath(widePath));
  if (JobStatus status = chooseMachine(request, plan); !status) return status;
  for (const auto& [key, value] : request.settings) {
    if (std::optional<std::string> problem = applyOptionSetting(plan.options, key, value)) {
      return failed(kJobBadRequest, "option " + key + ": " + *problem);
    }
  }
  return {};
}

}  // namespace

ContainerKind containerKindOf(const HString& path) {
  HString upper = path;
  upper.makeUpper();
  if (upper.length() < 4) return ContainerKind::kNone;
  const HString ext = upper.subString(upper.length() - 4);
  if (ext == L".KVB") return ContainerKind::kKvb;
  if (ext == L".KVC") return ContainerKind::kKvc;
  if (ext == L".EDF") return ContainerKind::kEdf;
  return ContainerKind::kNone;
}

std::string_view containerKindName(ContainerKind kind) {
  return kindName(kind);
}

std::string describeReadFailure(int result, int systemError, const DecodeEnding& ending) {
  if (systemError != 0) return describeFailure("cannot be opened", systemError, "");
  const std::string at = ending.offset >= 0 ? " at byte " + std::to_string(ending.offset) : "";
  switch (ending.how) {
    case DataEnding::kBrokenRecord:
      return "the stitch record" + at + " is not well formed";
    case DataEnding::kOutOfRange:
      return "the stitch record" + at +
             " moves the needle more than 3276.7 mm from the start, beyond what a stitch holds";
    case DataEnding::kReadFailure:
      if (result == kReadFailed) return "the stitch data cannot be read";
      break;
    default:
      break;
  }
  return readResultMessage(result);
}

bool writesOtherMakerFormat(HDiskFileFormat code) {
  const DiskFormatInfo* row = findDiskFormat(code);
  if (row == nullptr || row->writtenAs.size() < 2 ||
      findDesignCodec(utf8ToStr("x" + std::string(row->writtenAs))) == nullptr) {
    return false;
  }
  return HFileFormat::isFileFormatCompatible(code, kPesFamily) != kFileFormatCompatible ||
         writesPesVersion(designSettingsVersion(code));
}

std::optional<ContentFormat> contentFormatOf(const HString& path) {
  HString lower = path;
  lower.makeLower();
  const HDiskFileFormat named = HFileFormat::getFileFormatFromFile(lower, 1);
  const DetectedFormat found = detectStitchFormatFromContent(path, named);
  if (found.format == kFormatNone || !readsFormat(found.format)) return std::nullopt;
  if (readsFileName(path) && HFileFormat::isFileFormatCompatible(
                                 readFormatOfPath(path), found.format) == kFileFormatCompatible) {
    return std::nullopt;
  }
  return ContentFormat{named, found};
}

JobStatus readDesignFile(const std::string& path, DesignFile& design, const std::string& machine) {
  design = DesignFile();
  const HString widePath = fromNativePath(path);
  design.container = containerKindOf(widePath);
  const std::optional<ContentFormat> content =
      design.container == ContainerKind::kNone ? contentFormatOf(widePath) : std::nullopt;
  // The machine format's options for the format the decoders read the file as (none for
  // the containers and other makers' designs, whose readers take no options).
  std::optional<StitchOptions> machineOptions;
  if (!machine.empty()) {
    const HDiskFileFormat format = content ? content->found.format : readFormatOfPath(widePath);
    bool isFactory = false;
    machineOptions = findMachine(machine, format, isFactory);
    if (!machineOptions) return failed(kJobBadRequest, "no machine format '" + machine + "'");
    if (format == kFormatNone || design.container != ContainerKind::kNone) {
      machineOptions.reset();
    } else if (!machineOptions->isCompatible(format)) {
      return failed(kJobBadRequest, "machine format '" + machine + "' reads format " +
                                        std::to_string(machineOptions->getFileFormat()) +
                                        ", not format " + std::to_string(static_cast<int>(format)));
    }
  }
  StitchOptions* options = machineOptions ? &*machineOptions : nullptr;
  if (design.container != ContainerKind::kNone) {
    const int read = readContainer(widePath, design);
    if (read != kKvbReadOk)
      return failed(kJobReadFailed, describeContainerFailure(design.container, read));
    return {};
  }
  if (content) {
    design.foundFromContent = content->found.format;
    const int read = decodeFile(widePath, content->found.format, design.stitches, design.stats,
                                design.conditionLines, &design.palette,
                                content->found.headed ? 1 : 0, options, nullptr, nullptr);
    if (read != kReadOk) {
      return failed(kJobReadFailed, "the content looks like format " +
                                        std::to_string(content->found.format) +
                                        " but does not read as it: " + readResultMessage(read));
    }
    return {};
  }
  double scale = 1.0;
  int systemError = 0;
  const int read = decodeFile(widePath, design.stitches, design.stats, scale, &design.palette,
                              options, nullptr, nullptr, &systemError, &design.ending);
  if (read != kReadOk)
    return failed(kJobReadFailed, describeReadFailure(read, systemError, design.ending));
  return {};
}

JobStatus checkWriteRequest(const std::string& path, const WriteRequest& request) {
  Plan plan;
  return planWrite(path, request, plan);
}

JobStatus writeDesignFile(const std::string& path, DesignFile& design, const WriteRequest& request,
                          WriteReport& report) {
  report = WriteReport();
  Plan plan;
  if (JobStatus status = planWrite(path, request, plan); !status) return status;
  if (design.stitches.length() == 0) {
    return failed(kJobWriteFailed, "the design holds no stitches: nothing to write");
  }
  report.endAdded = addMissingDesignEnd(design.stitches);
  if (std::optional<std::string> problem =
          needleProblem(design.stitches, plan.options, plan.machine)) {
    return failed(kJobWriteFailed, "cannot be written: " + *problem);
  }

  // The file is replaced only by a whole file: a failed write leaves an existing one as it was.
  const HString widePath = fromNativePath(path);
  ReplacementFile temporary(widePath);
  if (!temporary.isCreated()) {
    return failed(kJobWriteFailed, std::string("cannot create a file beside it: ") +
                                       std::strerror(temporary.error()));
  }
  // The condition lines go to the containers that carry them (other writers take `names` for
  // thread names).
  HXArray<HString> noNames;
  const HDiskFileFormat target = plan.target;
  HXArray<HString>& names = target == kFormatKvb || target == kFormatKvc || target == kFormatEdf
                                ? design.conditionLines
                                : noNames;
  // A KVB writer's side files are named after the temporary file until they are moved.
  struct SideFiles {
    const HString& written;
    bool pending;
    ~SideFiles() {
      if (pending) removeSideFiles(written);
    }
  } sideFiles{temporary.path(), target == kFormatKvb};
  int result = kWriteOk;
  int systemError = 0;
  if (plan.otherMaker) {
    HDiskFileFormat written = plan.target;
    CSize size;
    int version = 0;
    if (makeGNFile(temporary.path(), written, design.stitches, design.palette, plan.options, size,
                   &version) != kExchangeOk) {
      const bool otherPesVersion =
          HFileFormat::isFileFormatCompatible(written, kPesFamily) == kFileFormatCompatible &&
          !writesPesVersion(version);
      return failed(kJobWriteFailed,
                    "cannot be written in format " + std::to_string(static_cast<int>(written)) +
                        (otherPesVersion ? ": PES is written in versions 1, 2, 4 and 6 only "
                                           "(formats 41 to 44 and 46)"
                                         : ": the design cannot be expressed in it"));
    }
  } else {
    StitchArrayWrapper stitches(design.stitches);
    // The file's own name, not the temporary one, is what a header's label is made from.
    result =
        request.format
            ? makeStitchFormatFile(temporary.path(), widePath, *request.format, stitches,
                                   design.palette, names, ExtraProperties(), 1, &plan.options, 0, 0,
                                   design.grouping, design.repeat, nullptr, nullptr, &systemError)
            : makeStitchFormatFile(temporary.path(), widePath, stitches, design.palette, names,
                                   ExtraProperties(), 0.0, &plan.options, 0, 0, design.grouping,
                                   design.repeat, nullptr, nullptr, nullptr, &systemError);
  }
  if (result != kWriteOk) {
    return failed(kJobWriteFailed,
                  describeFailure("cannot be written", systemError, writeResultMessage(result)));
  }
  if (sideFiles.pending) {
    if (const int error = moveSideFiles(temporary.path(), widePath); error != 0) {
      return failed(kJobWriteFailed,
                    std::string("cannot put its side files beside it: ") + std::strerror(error));
    }
    sideFiles.pending = false;
  }
  if (const int error = temporary.commit(); error != 0) {
    return failed(kJobWriteFailed, std::string("cannot replace it: ") + std::strerror(error));
  }

  report.format = plan.otherMaker ? plan.target : plan.options.getFileFormat();
  report.machine = plan.machine;
  // The figures of the file as a reader makes of it (the writer's own statistics count what
  // it sent: stops read as needle changes, folded needles, ...).
  HXArray<HStitch> readStitches;
  const std::optional<StitchStats> written =
      readBack(widePath, plan.otherMaker ? std::nullopt : request.format, readStitches);
  if (!written) return failed(kJobWriteFailed, "was written but does not read back");
  report.written = *written;
  // A machine that takes stops for colour changes (Exp) reads one needle block with stops.
  for (int i = 0; i < readStitches.length(); ++i)
    report.stops += readStitches[i].isStop() ? 1 : 0;
  return {};
}

}  // namespace stitchkit
