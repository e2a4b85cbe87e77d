#include <algorithm>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/machine_containers.h"
#include "cli/machine_host.h"
#include "cli/option_ranges.h"
#include "stitchkit/decode/exp_records.h"
#include "stitchkit/decode/zangs_records.h"
#include "stitchkit/designio/design_codec.h"
#include "stitchkit/files/design_exchange.h"
#include "stitchkit/files/extra_properties.h"
#include "stitchkit/files/kvb_file.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/formats/file_format_registry.h"
#include "stitchkit/machine/head_grouping.h"
#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/machine/machine_repeat_settings.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_options_serializer.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/replacement_file.h"
#include "stitchkit/platform/thread_palette.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kCommand = "convert";

constexpr std::string_view kUsage =
    "Usage: stitchkit convert [--machine NAME] [--set Key=Value]... [--format CODE]\n"
    "                         [--machines DIR] IN OUT\n"
    "\n"
    "Reads the stitch file IN and writes its design to OUT, in the format OUT's extension\n"
    "names (.dst, .dsb, .dsz, .exp, .kvb, .kvc, .edf, .pes, .pec, .jef, .vp3, .xxx, ...) or\n"
    "in format CODE, with the options of a machine format: the one --machine names, or\n"
    "else the best one for the format (the default machine format when it writes that\n"
    "format, then the installed ones, then the factory line; see `stitchkit machines`).\n"
    "OUT is written to a temporary file beside it that replaces OUT only once the whole\n"
    "file is written, so a failed conversion leaves an existing OUT as it was. Prints what\n"
    "was written: the file, its format code, the machine format, the stitches, colours\n"
    "(needle blocks) and size of OUT as read back, the figures `stitchkit info OUT` gives.\n"
    "A name or code whose format this build does not write (see `stitchkit formats`) is\n"
    "refused before anything is read or written. A design that does not end with a design\n"
    "end record is written with one at its last point, and the summary says so.\n"
    "A KVB file is written with its side files beside it: OUT's name with the extensions\n"
    ".CT0 (machine conditions) and .CT1, and .LT0 when the design has laser stitches; an\n"
    ".LT0 file left from an earlier design is removed. A KVC file holds the same in\n"
    "sections, and an EDF package holds the KVB and CT0 files enciphered (packages are\n"
    "read by this library, not by other systems' EDF readers). From a KVB, KVC or EDF file\n"
    "the thread palette, the machine conditions, head grouping and repeat settings are\n"
    "passed on to a KVB, KVC or EDF OUT.\n"
    "Other makers' designs (.pes, .pec, .jef, .vp3, .xxx) are written with the threads IN\n"
    "carries (else the library's chart), each format's long moves cut into jumps by its own\n"
    "limits; the machine format is chosen and named as for the others, but its options do\n"
    "not change these writers. A .pes OUT is written as PES version 1 (format 41), the\n"
    "only version written; --format 41 to 89 asks for the others, which are refused.\n"
    "\n"
    "Options:\n"
    "  --machine NAME    write with machine format NAME, an installed or a factory one\n"
    "                    (`stitchkit machines` lists them); it must write OUT's format\n"
    "  --set Key=Value   change one option of the machine format for this call, named as\n"
    "                    in machine profiles (MaxNeedles, MaxLength, TrimsAsJumps, ...);\n"
    "                    may be repeated for other options. Values are whole numbers\n"
    "                    within the option's range (flags 0 or 1, MaxLength 0 to 127,\n"
    "                    FileFormat a format code; a value outside is refused with the\n"
    "                    range), FormatType a text.\n"
    "  --format CODE     write format CODE whatever OUT's extension is (see `stitchkit\n"
    "                    formats`); DST, DSB and DSZ codes get their 512-byte header.\n"
    "                    (for another maker's OUT, CODE must be of OUT's family)\n"
    "  --machines DIR    take installed machine formats from DIR for this call\n"
    "  --help            show this help\n"
    "  --                end of options\n"
    "\n"
    "Exit status: 0 written, 1 IN could not be read or OUT not written, 2 wrong usage.\n";

// Stitch record units are 0.1 mm.
constexpr double kUnitsPerMm = 10.0;

struct ConvertArgs {
  std::string_view in;
  std::string_view out;
  std::optional<HDiskFileFormat> format;
  std::vector<OptionSetting> settings;
  std::optional<std::string_view> machine;
  std::optional<std::string_view> machines;
};

// Takes the value of a single-use option, or prints the usage error for a repeated one.
bool takeOnce(std::optional<std::string_view>& slot, std::string_view value,
              std::string_view option, int& exitCode) {
  if (slot) {
    exitCode = usageError(kCommand, std::string(option) + " is given more than once", kUsage);
    return false;
  }
  slot = value;
  return true;
}

// Parses the command line; returns nothing after printing help (exitCode 0) or a usage
// error (exitCode 2).
std::optional<ConvertArgs> parseArgs(std::span<const std::string_view> args, int& exitCode) {
  ConvertArgs parsed;
  std::vector<std::string_view> paths;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.front() != '-') {
      paths.push_back(arg);
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      exitCode = kExitOk;
      return std::nullopt;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string_view value;
    OptionMatch match = OptionMatch::kNoMatch;
    if ((match = matchValueOption(args, i, "--format", value)) == OptionMatch::kMatched) {
      const std::optional<HDiskFileFormat> code =
          parseFormatCode(value, kCommand, kUsage, exitCode);
      if (!code) return std::nullopt;
      if (parsed.format) {
        exitCode = usageError(kCommand, "--format is given more than once", kUsage);
        return std::nullopt;
      }
      parsed.format = *code;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--set", value)) == OptionMatch::kMatched) {
      const std::optional<OptionSetting> setting =
          parseOptionSetting(value, kCommand, kUsage, exitCode);
      if (!setting) return std::nullopt;
      for (const OptionSetting& earlier : parsed.settings) {
        if (earlier.id != setting->id) continue;
        exitCode =
            usageError(kCommand,
                       "--set " + strToUtf8(StitchOptionsSerializer().getOptionName(setting->id)) +
                           " is given more than once",
                       kUsage);
        return std::nullopt;
      }
      parsed.settings.push_back(*setting);
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--machine", value)) == OptionMatch::kMatched) {
      if (!takeOnce(parsed.machine, value, "--machine", exitCode)) return std::nullopt;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--machines", value)) == OptionMatch::kMatched) {
      if (!takeOnce(parsed.machines, value, "--machines", exitCode)) return std::nullopt;
    } else {
      exitCode = optionError(kCommand, arg, match, kUsage);
      return std::nullopt;
    }
  }
  if (paths.size() != 2) {
    exitCode =
        usageError(kCommand, paths.size() < 2 ? "IN and OUT are needed" : "too many files", kUsage);
    return std::nullopt;
  }
  parsed.in = paths[0];
  parsed.out = paths[1];
  return parsed;
}

int fail(std::string_view path, std::string_view reason) {
  std::cerr << "stitchkit " << kCommand << ": " << path << ": " << reason << '\n';
  return kExitFailure;
}

// The PES version written when OUT names the PES family and --format names no version.
constexpr auto kWrittenPesFormat = static_cast<HDiskFileFormat>(41);
// The code ".pes" reads as, the head of the PES family.
constexpr auto kPesFamily = static_cast<HDiskFileFormat>(89);

// What this build writes, for the refusal of a name or code it does not: the extensions of
// the format table that it writes by name, and the codes it writes with --format.
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
    if (writesFormat(row.code) || convertWritesOtherMaker(row.code))
      codes += ' ' + std::to_string(static_cast<int>(row.code));
  }
  return "this build writes" + extensions + " (with --format:" + codes + ")";
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
                                         const StitchOptions& options, const HString& machine) {
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
  text += " holds at most " + limit + " needles and machine format '" + strToUtf8(machine) +
          "' (MaxNeedles " + std::to_string(maxNeedles) +
          ") does not fold them: choose a machine format with --machine NAME (see `stitchkit "
          "machines`) or fold the needles with --set MaxNeedles=" +
          limit;
  return text;
}

// Machines refuse, or run on past, a design without an end record: as the host, convert
// ends a design that has none with one at its last point, in its last colour (the library
// writes what it is given). Returns true when the end was added.
bool addMissingDesignEnd(HXArray<HStitch>& stitches) {
  if (stitches.length() == 0) return false;
  const HStitch& last = stitches[stitches.length() - 1];
  if (last.isEndRewind()) return false;
  stitches.add(HStitch(last.xval(), last.yval(), StitchCode::DesignEnd, last.getColor()));
  return true;
}

// The statistics of the written file as info reads it: by its name, or as format `format`
// (after the header of a format that has one) when it was written by code under a name that
// reads as another format or none. The stitches are read into `stitches`, whose storage is
// reused.
std::optional<StitchStats> readBack(const HString& path, std::optional<HDiskFileFormat> format,
                                    HXArray<HStitch>& stitches) {
  StitchStats stats;
  int result = kReadNoReader;
  if (const ContainerKind kind = containerKindOf(path); !format && kind != ContainerKind::kNone) {
    ContainerContents contents;
    result = readContainer(path, kind, stitches, stats, contents);
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

// Extent of one axis in millimetres; 0 when nothing was counted.
double extentMm(short min, short max) {
  return max < min ? 0.0 : (max - min) / kUnitsPerMm;
}

// The machine format to write `target` with, into `name` and `options`: the one --machine
// names, which must write the format, or the catalogue's best for it. A format without a
// factory set (and no installed machine format for it) is written with the writer's defaults
// and an empty name. Returns kExitOk, or the exit status after printing why not.
int chooseMachine(const ConvertArgs& args, const MachineHost& host, HDiskFileFormat target,
                  HString& name, StitchOptions& options) {
  if (args.machine) {
    bool isFactory = false;
    const std::optional<StitchOptions> found = findMachine(*args.machine, target, isFactory);
    if (!found) {
      return usageError(kCommand,
                        "--machine: no machine format '" + std::string(*args.machine) +
                            "' (see `stitchkit machines`; installed ones are read from " +
                            host.machineDirectory() + ")",
                        kUsage);
    }
    if (!found->isCompatible(target)) {
      return usageError(kCommand,
                        "--machine: machine format '" + std::string(*args.machine) +
                            "' writes format " + std::to_string(found->getFileFormat()) +
                            ", not format " + std::to_string(static_cast<int>(target)) + " of " +
                            std::string(args.out) +
                            ": choose one that writes it (`stitchkit machines`)",
                        kUsage);
    }
    name = utf8ToStr(std::string(*args.machine));
    options = *found;
    return kExitOk;
  }
  const int chosen = GetBestCompatibleMachineFormat(target, name, options);
  if (chosen == kMachineFormatOk || chosen == kMachineFormatNotSupported) return kExitOk;
  return fail(args.out, "no machine format can be chosen for format " +
                            std::to_string(static_cast<int>(target)) + " (catalogue result " +
                            std::to_string(chosen) + ")");
}

// The code another maker's OUT is written as through the design-I/O layer: --format's, which
// must be of the family OUT's extension reads as, else that family's code (for the PES family
// the version its writer lays out). Nothing for other names, or after printing a usage error
// for a --format of another family (exitCode set).
std::optional<HDiskFileFormat> designFormat(const ConvertArgs& args, const HString& outPath,
                                            int& exitCode) {
  if (findDesignCodec(outPath) == nullptr) {
    if (args.format && convertWritesOtherMaker(*args.format)) {
      exitCode = usageError(kCommand,
                            "--format " + std::to_string(static_cast<int>(*args.format)) +
                                " is written only under its own extension (" +
                                std::string(findDiskFormat(*args.format)->writtenAs) + ")",
                            kUsage);
    }
    return std::nullopt;
  }
  HString lower = outPath;
  lower.makeLower();
  const HDiskFileFormat named = HFileFormat::getFileFormatFromFile(lower, 1);
  if (!args.format) {
    return HFileFormat::isFileFormatCompatible(kWrittenPesFormat, named) == kFileFormatCompatible
               ? kWrittenPesFormat
               : named;
  }
  if (HFileFormat::isFileFormatCompatible(*args.format, named) != kFileFormatCompatible) {
    exitCode = usageError(kCommand,
                          "--format " + std::to_string(static_cast<int>(*args.format)) +
                              " is not written as " + std::string(args.out) +
                              ": give a code of its family (see `stitchkit formats`)",
                          kUsage);
    return std::nullopt;
  }
  return *args.format;
}

}  // namespace

bool convertWritesOtherMaker(HDiskFileFormat code) {
  const DiskFormatInfo* row = findDiskFormat(code);
  if (row == nullptr || row->writtenAs.size() < 2 ||
      findDesignCodec(utf8ToStr("x" + std::string(row->writtenAs))) == nullptr) {
    return false;
  }
  return code == kWrittenPesFormat ||
         HFileFormat::isFileFormatCompatible(code, kPesFamily) != kFileFormatCompatible;
}

int runConvert(std::span<const std::string_view> args) {
  int exitCode = kExitOk;
  const std::optional<ConvertArgs> parsed = parseArgs(args, exitCode);
  if (!parsed) return exitCode;

  const HString inPath = fromNativePath(std::string(parsed->in));
  const HString outPath = fromNativePath(std::string(parsed->out));
  HXArray<HStitch> stitches;
  StitchStats readStats;
  double scale = 1.0;
  const std::optional<HDiskFileFormat> otherMaker = designFormat(*parsed, outPath, exitCode);
  if (exitCode != kExitOk) return exitCode;
  const bool writable =
      otherMaker || (parsed->format ? writesFormat(*parsed->format) : writesFileName(outPath));
  if (!writable) {
    return fail(parsed->out, (parsed->format ? "format " + std::to_string(*parsed->format)
                                             : std::string("this name's format")) +
                                 " cannot be written: " + writtenFormatsText());
  }
  int systemError = 0;
  DecodeEnding ending;
  const MachineHost host(parsed->machines);
  // What a container carried besides the stitches (only the palette for other formats).
  ContainerContents carried;
  if (const ContainerKind kind = containerKindOf(inPath); kind != ContainerKind::kNone) {
    const int read = readContainer(inPath, kind, stitches, readStats, carried);
    if (read != kKvbReadOk) return fail(parsed->in, describeContainerFailure(kind, read));
  } else {
    const int read = decodeFile(inPath, stitches, readStats, scale, &carried.palette, nullptr,
                                nullptr, nullptr, &systemError, &ending);
    if (read != kReadOk) return fail(parsed->in, describeReadFailure(read, systemError, ending));
  }
  if (readStats.stitchCount == 0) return fail(parsed->in, "holds no stitches: nothing to write");
  const bool endAdded = addMissingDesignEnd(stitches);

  StitchEncoderOptions options;
  HString machineName;
  const HDiskFileFormat target =
      otherMaker.value_or(parsed->format.value_or(writeFormatOfPath(outPath)));
  if (const int chosen = chooseMachine(*parsed, host, target, machineName, options);
      chosen != kExitOk) {
    return chosen;
  }
  const StitchOptionsSerializer serializer;
  for (const OptionSetting& setting : parsed->settings)
    serializer.setOptionValue(setting.id, options, setting.value);
  if (const std::optional<std::string> problem = needleProblem(stitches, options, machineName)) {
    return fail(parsed->out, "cannot be written: " + *problem);
  }

  // OUT is replaced only by a whole file: a failed write leaves an existing OUT as it was.
  ReplacementFile temporary(outPath);
  if (!temporary.isCreated()) {
    return fail(parsed->out,
                std::string("cannot create a file beside it: ") + std::strerror(temporary.error()));
  }
  // The condition lines go to the containers that carry them (other writers take `names` for
  // thread names).
  HXArray<HString> noNames;
  HXArray<HString>& names = target == kFormatKvb || target == kFormatKvc || target == kFormatEdf
                                ? carried.lines
                                : noNames;
  StitchArrayWrapper design(stitches);
  // A KVB writer's side files are named after the temporary file until they are moved.
  struct SideFiles {
    const HString& written;
    bool pending;
    ~SideFiles() {
      if (pending) removeSideFiles(written);
    }
  } sideFiles{temporary.path(), target == kFormatKvb};
  // OUT's name, not the temporary one, is what a header's label is made from.
  int result = kWriteOk;
  if (otherMaker) {
    HDiskFileFormat written = *otherMaker;
    CSize size;
    if (makeGNFile(temporary.path(), written, stitches, carried.palette, options, size, nullptr) !=
        kExchangeOk) {
      const bool otherPesVersion =
          written != kWrittenPesFormat &&
          HFileFormat::isFileFormatCompatible(written, kPesFamily) == kFileFormatCompatible;
      return fail(parsed->out,
                  "cannot be written in format " + std::to_string(static_cast<int>(written)) +
                      (otherPesVersion ? ": PES is written in version 1 only (--format 41)"
                                       : ": the design cannot be expressed in it"));
    }
  } else {
    result =
        parsed->format
            ? makeStitchFormatFile(temporary.path(), outPath, *parsed->format, design,
                                   carried.palette, names, ExtraProperties(), 1, &options, 0, 0,
                                   carried.grouping, carried.repeat, nullptr, nullptr, &systemError)
            : makeStitchFormatFile(temporary.path(), outPath, design, carried.palette, names,
                                   ExtraProperties(), 0.0, &options, 0, 0, carried.grouping,
                                   carried.repeat, nullptr, nullptr, nullptr, &systemError);
  }
  if (result != kWriteOk) {
    return fail(parsed->out,
                describeFailure("cannot be written", systemError, writeResultMessage(result)));
  }
  if (sideFiles.pending) {
    if (const int error = moveSideFiles(temporary.path(), outPath); error != 0) {
      return fail(parsed->out,
                  std::string("cannot put its side files beside it: ") + std::strerror(error));
    }
    sideFiles.pending = false;
  }
  if (const int error = temporary.commit(); error != 0) {
    return fail(parsed->out, std::string("cannot replace it: ") + std::strerror(error));
  }

  const HDiskFileFormat format = otherMaker.value_or(options.getFileFormat());
  // The summary gives the figures info gives for OUT: the stitches, the needle blocks and the
  // size of OUT read back. (The writer's own statistics count what it sent, which is not
  // what a reader makes of the file: stops read as needle changes, folded needles, ...)
  const std::optional<StitchStats> written =
      readBack(outPath, otherMaker ? std::nullopt : parsed->format, stitches);
  if (!written) return fail(parsed->out, "was written but does not read back");
  // A machine that takes stops for colour changes (Exp) reads one needle block with stops.
  int stops = 0;
  for (int i = 0; i < stitches.length(); ++i)
    stops += stitches[i].isStop() ? 1 : 0;
  const std::string stopsText = stops > 0 ? ", " + std::to_string(stops) + " stops" : "";
  char line[160];
  std::snprintf(line, sizeof line, ": %d stitches, %d colours%s, %.1f x %.1f mm\n",
                written->stitchCount, written->needles.length(), stopsText.c_str(),
                extentMm(written->minX, written->maxX), extentMm(written->minY, written->maxY));
  std::cout << "wrote " << parsed->out << " (format " << static_cast<int>(format)
            << ", machine format "
            << (machineName.isEmpty() ? std::string("none: the writer's defaults")
                                      : "'" + strToUtf8(machineName) + "'")
            << ')' << line;
  if (endAdded) std::cout << "added a design end: " << parsed->in << " had none\n";
  return kExitOk;
}

}  // namespace stitchkit::cli
