#include <algorithm>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/option_ranges.h"
#include "stitchkit/decode/exp_records.h"
#include "stitchkit/files/extra_properties.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/machine/head_grouping.h"
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
    "Usage: stitchkit convert [--format CODE] [--set Key=Value]... IN OUT\n"
    "\n"
    "Reads the stitch file IN and writes its design to OUT, in the format OUT's extension\n"
    "names (.dst, .dsb, .dsz, .exp, ...) or in format CODE. OUT is written to a temporary\n"
    "file beside it that replaces OUT only once the whole file is written, so a failed\n"
    "conversion leaves an existing OUT as it was. Prints what was written: the file, its\n"
    "format code, the stitches, colours (needle blocks) and size of OUT as read back, the\n"
    "figures `stitchkit info OUT` gives.\n"
    "A name or code whose format this build does not write (see `stitchkit formats`) is\n"
    "refused before anything is read or written. A design that does not end with a design\n"
    "end record is written with one at its last point, and the summary says so.\n"
    "\n"
    "Options:\n"
    "  --format CODE     write format CODE whatever OUT's extension is (see `stitchkit\n"
    "                    formats`); DST, DSB and DSZ codes get their 512-byte header\n"
    "  --set Key=Value   change one writing option, named as in machine profiles\n"
    "                    (MaxLength, TrimsAsJumps, JumpsPerTrim, FileFormat, ...); may be\n"
    "                    repeated for other options. Values are whole numbers within the\n"
    "                    option's range (flags 0 or 1, MaxLength 0 to 127, FileFormat a\n"
    "                    format code; a value outside is refused with the range),\n"
    "                    FormatType a text. Without --set the writer's defaults for the\n"
    "                    format are used.\n"
    "  --help            show this help\n"
    "  --                end of options\n"
    "\n"
    "Exit status: 0 written, 1 IN could not be read or OUT not written, 2 wrong usage.\n";

// Stitch record units are 0.1 mm.
constexpr double kUnitsPerMm = 10.0;

// One --set: the option's id and its value as text.
struct OptionSetting {
  int id;
  HString value;
};

struct ConvertArgs {
  std::string_view in;
  std::string_view out;
  std::optional<HDiskFileFormat> format;
  std::vector<OptionSetting> settings;
};

// Parses `text` (Key=Value) into a setting; on failure prints the usage error and returns
// nothing.
std::optional<OptionSetting> parseSetting(std::string_view text, int& exitCode) {
  const StitchOptionsSerializer serializer;
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    exitCode =
        usageError(kCommand, "--set needs Key=Value, got '" + std::string(text) + "'", kUsage);
    return std::nullopt;
  }
  const std::string_view key = text.substr(0, equals);
  const std::string_view value = text.substr(equals + 1);
  const int id = serializer.getOptionId(utf8ToStr(std::string(key)));
  if (id < 0) {
    exitCode = usageError(kCommand, "--set: unknown option '" + std::string(key) + "'", kUsage);
    return std::nullopt;
  }
  if (serializer.isOptionIntValue(id) != 0) {
    const std::optional<int> number = parseInt(value);
    const std::optional<std::string> problem =
        number ? checkOptionValue(serializer.getOptionName(id).wide(), *number)
               : std::optional<std::string>("is not a whole number");
    if (problem) {
      exitCode = usageError(
          kCommand, "--set " + std::string(key) + ": '" + std::string(value) + "' " + *problem,
          kUsage);
      return std::nullopt;
    }
  }
  return OptionSetting{id, utf8ToStr(std::string(value))};
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
      const std::optional<OptionSetting> setting = parseSetting(value, exitCode);
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

// What this build writes, for the refusal of a name or code it does not: the extensions of
// the format table that it writes by name, and the codes it writes with --format.
std::string writtenFormatsText() {
  std::string extensions;
  std::string codes;
  for (const DiskFormatInfo& row : diskFormatTable()) {
    for (std::string_view ext : row.readFrom) {
      if (ext.empty() || !writesFileName(utf8ToStr("x" + std::string(ext)))) continue;
      extensions += ' ';
      extensions += ext;
    }
    if (writesFormat(row.code)) codes += ' ' + std::to_string(static_cast<int>(row.code));
  }
  return "this build writes" + extensions + " (with --format:" + codes + ")";
}

// Why the design cannot be written with `options`, when a colour change names a needle the
// record cannot hold, or nothing. Only the Exp record refuses a needle (it holds needles 1 to
// 7): its encoder writes colour changes as stops with StopsAsNeedles, and with a MaxNeedles
// of 1 or more folds a needle above MaxNeedles onto needle (n - 1) % MaxNeedles + 1 first.
std::optional<std::string> needleProblem(const HXArray<HStitch>& stitches,
                                         const StitchOptions& options) {
  const HDiskFileFormat format = options.getFileFormat();
  if (encoderKindForFormat(format, options.getFormatType(), true) != EncoderKind::kExp ||
      options.getStopsAsNeedles() != 0) {
    return std::nullopt;
  }
  const int maxNeedles = options.getMaxNeedles();
  int highest = 0;
  for (int i = 0; i < stitches.length(); ++i) {
    if (!stitches[i].isColorChange()) continue;
    const int colour = stitches[i].getColor();
    const int written =
        maxNeedles >= 1 && colour + 1 > maxNeedles ? colour % maxNeedles + 1 : colour + 1;
    if (written > exp::kMaxNeedle) highest = std::max(highest, colour + 1);
  }
  if (highest == 0) return std::nullopt;
  const DiskFormatInfo* row = findDiskFormat(format);
  std::string text = "needle " + std::to_string(highest) + " but format " +
                     std::to_string(static_cast<int>(format));
  if (row != nullptr && !row->writtenAs.empty()) text += " (" + std::string(row->writtenAs) + ")";
  text += " holds at most " + std::to_string(exp::kMaxNeedle) + " needles (MaxNeedles " +
          std::to_string(maxNeedles) + "; --set MaxNeedles=" + std::to_string(exp::kMaxNeedle) +
          " folds higher needles onto the machine's, --set StopsAsNeedles=1 writes stops)";
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
  if (!format || (readsFileName(path) && readFormatOfPath(path) == *format)) {
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

}  // namespace

int runConvert(std::span<const std::string_view> args) {
  int exitCode = kExitOk;
  const std::optional<ConvertArgs> parsed = parseArgs(args, exitCode);
  if (!parsed) return exitCode;

  const HString inPath = fromNativePath(std::string(parsed->in));
  const HString outPath = fromNativePath(std::string(parsed->out));
  HXArray<HStitch> stitches;
  StitchStats readStats;
  double scale = 1.0;
  const bool writable = parsed->format ? writesFormat(*parsed->format) : writesFileName(outPath);
  if (!writable) {
    return fail(parsed->out, (parsed->format ? "format " + std::to_string(*parsed->format)
                                             : std::string("this name's format")) +
                                 " cannot be written: " + writtenFormatsText());
  }
  int systemError = 0;
  DecodeEnding ending;
  const int read = decodeFile(inPath, stitches, readStats, scale, nullptr, nullptr, nullptr,
                              nullptr, &systemError, &ending);
  if (read != kReadOk) return fail(parsed->in, describeReadFailure(read, systemError, ending));
  if (readStats.stitchCount == 0) return fail(parsed->in, "holds no stitches: nothing to write");
  const bool endAdded = addMissingDesignEnd(stitches);

  // Without --set the writer makes its own record for the format, the defaults with the
  // format set; `options` is the same record then.
  StitchEncoderOptions options;
  if (!parsed->settings.empty()) setDefaultEncoderOptions(options);
  options.setFileFormat(parsed->format.value_or(writeFormatOfPath(outPath)));
  StitchOptions* optionsToUse = nullptr;
  if (!parsed->settings.empty()) {
    const StitchOptionsSerializer serializer;
    for (const OptionSetting& setting : parsed->settings)
      serializer.setOptionValue(setting.id, options, setting.value);
    optionsToUse = &options;
  }
  if (const std::optional<std::string> problem = needleProblem(stitches, options)) {
    return fail(parsed->out, "cannot be written: " + *problem);
  }

  // OUT is replaced only by a whole file: a failed write leaves an existing OUT as it was.
  ReplacementFile temporary(outPath);
  if (!temporary.isCreated()) {
    return fail(parsed->out,
                std::string("cannot create a file beside it: ") + std::strerror(temporary.error()));
  }
  const ThreadPalette palette;
  HXArray<HString> names;
  StitchArrayWrapper design(stitches);
  // OUT's name, not the temporary one, is what a header's label is made from.
  const int result =
      parsed->format
          ? makeStitchFormatFile(temporary.path(), outPath, *parsed->format, design, palette, names,
                                 ExtraProperties(), 1, optionsToUse, 0, 0, HeadGrouping(),
                                 MachineRepeatSettings(), nullptr, nullptr, &systemError)
          : makeStitchFormatFile(temporary.path(), outPath, design, palette, names,
                                 ExtraProperties(), 0.0, optionsToUse, 0, 0, HeadGrouping(),
                                 MachineRepeatSettings(), nullptr, nullptr, nullptr, &systemError);
  if (result != kWriteOk) {
    return fail(parsed->out,
                describeFailure("cannot be written", systemError, writeResultMessage(result)));
  }
  if (const int error = temporary.commit(); error != 0) {
    return fail(parsed->out, std::string("cannot replace it: ") + std::strerror(error));
  }

  const HDiskFileFormat format = options.getFileFormat();
  // The summary gives the figures info gives for OUT: the stitches, the needle blocks and the
  // size of OUT read back. (The writer's own statistics count what it sent, which is not
  // what a reader makes of the file: stops read as needle changes, folded needles, ...)
  const std::optional<StitchStats> written = readBack(outPath, parsed->format, stitches);
  if (!written) return fail(parsed->out, "was written but does not read back");
  char line[160];
  std::snprintf(line, sizeof line, " (format %d): %d stitches, %d colours, %.1f x %.1f mm\n",
                static_cast<int>(format), written->stitchCount, written->needles.length(),
                extentMm(written->minX, written->maxX), extentMm(written->minY, written->maxY));
  std::cout << "wrote " << parsed->out << line;
  if (endAdded) std::cout << "added a design end: " << parsed->in << " had none\n";
  return kExitOk;
}

}  // namespace stitchkit::cli
