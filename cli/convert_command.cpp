#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/arguments.h"
#include "cli/batch_convert.h"
#include "cli/commands.h"
#include "cli/machine_host.h"
#include "cli/option_ranges.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/jobs/design_file.h"
#include "stitchkit/model/stitch_options_serializer.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kCommand = "convert";

constexpr std::string_view kUsage =
    "Usage: stitchkit convert [--machine NAME] [--set Key=Value]... [--format CODE]\n"
    "                         [--machines DIR] IN OUT\n"
    "       stitchkit convert --to EXT|CODE --out DIR [-j N] [--recursive] [--json]\n"
    "                         [--machine NAME] [--set Key=Value]... [--machines DIR] FILE...\n"
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
    "not change these writers. A .pes OUT is written as PES version 1 (format 41);\n"
    "--format 42 or 43 writes version 2, 44 version 4 and 46 version 6 (with the threads\n"
    "in its header); the other PES formats (45 and 56 to 89) are refused.\n"
    "\n"
    "With --to and --out, converts many files at once: each FILE (and with --recursive the\n"
    "design files in each directory FILE and below it) is written to DIR under its own name\n"
    "with the extension EXT (.dst, .exp, .pes, ...) or that of format CODE, a directory's\n"
    "files in the same folders below DIR. The files are shared among N threads (-j, default\n"
    "one per core). A file that fails is named on stderr with the reason and does not stop\n"
    "the others; each output is written whole or not at all, as above. Two inputs that would\n"
    "write the same output: the later one fails. On a terminal stderr shows a progress line\n"
    "(files done of all, files per second, the last failure); stdout gets one summary line,\n"
    "or with --json one record per file (see the README for its fields).\n"
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
    "  --to EXT|CODE     many files: the extension or format code every output gets\n"
    "  --out DIR         many files: the directory the outputs go to (created if missing)\n"
    "  -j, --jobs N      many files: threads to convert with (default: one per core)\n"
    "  --recursive       many files: convert the design files of directory arguments\n"
    "  --json            many files: print one JSON record per file instead of a summary\n"
    "  --help            show this help\n"
    "  --                end of options\n"
    "\n"
    "Exit status: 0 written, 1 IN could not be read or OUT not written (for many files:\n"
    "any file), 2 wrong usage.\n";

// Stitch record units are 0.1 mm.
constexpr double kUnitsPerMm = 10.0;

struct ConvertArgs {
  std::string_view in;
  std::string_view out;
  std::optional<HDiskFileFormat> format;
  std::vector<OptionSetting> settings;
  std::optional<std::string_view> machine;
  std::optional<std::string_view> machines;
  // Many files.
  std::optional<std::string_view> to;
  std::optional<std::string_view> outDirectory;
  std::optional<std::string_view> jobs;
  bool recursive = false;
  bool json = false;
  std::vector<std::string_view> files;
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
    if (arg == "--recursive" || arg == "--json") {
      (arg == "--json" ? parsed.json : parsed.recursive) = true;
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
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--to", value)) == OptionMatch::kMatched) {
      if (!takeOnce(parsed.to, value, "--to", exitCode)) return std::nullopt;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--out", value)) == OptionMatch::kMatched) {
      if (!takeOnce(parsed.outDirectory, value, "--out", exitCode)) return std::nullopt;
    } else if (match == OptionMatch::kNoMatch &&
               ((match = matchValueOption(args, i, "-j", value)) == OptionMatch::kMatched ||
                (match == OptionMatch::kNoMatch &&
                 (match = matchValueOption(args, i, "--jobs", value)) == OptionMatch::kMatched))) {
      if (!takeOnce(parsed.jobs, value, "--jobs", exitCode)) return std::nullopt;
    } else {
      exitCode = optionError(kCommand, arg, match, kUsage);
      return std::nullopt;
    }
  }
  if (parsed.to || parsed.outDirectory) {
    if (!parsed.to || !parsed.outDirectory) {
      exitCode = usageError(kCommand, "--to and --out go together", kUsage);
      return std::nullopt;
    }
    if (parsed.format) {
      exitCode = usageError(kCommand, "with --to, give the format code to --to", kUsage);
      return std::nullopt;
    }
    if (paths.empty()) {
      exitCode = usageError(kCommand, "no FILE to convert", kUsage);
      return std::nullopt;
    }
    parsed.files = std::move(paths);
    return parsed;
  }
  if (parsed.jobs || parsed.recursive || parsed.json) {
    exitCode = usageError(kCommand, "-j, --recursive and --json go with --to and --out", kUsage);
    return std::nullopt;
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

// Extent of one axis in millimetres; 0 when nothing was counted.
double extentMm(short min, short max) {
  return max < min ? 0.0 : (max - min) / kUnitsPerMm;
}

// A job's refusal: a request that names a wrong machine format or format is a usage error
// (said as the option that named it), anything else a failure of OUT.
int jobError(const ConvertArgs& args, const MachineHost& host, const JobStatus& status) {
  if (status.result != kJobBadRequest) return fail(args.out, status.message);
  const std::string& message = status.message;
  std::string text = message;
  if (message.starts_with("no machine format")) {
    text = "--machine: " + message + " (see `stitchkit machines`; installed ones are read from " +
           host.machineDirectory() + ")";
  } else if (message.starts_with("machine format")) {
    text = "--machine: " + message + " of " + std::string(args.out) +
           ": choose one that writes it (`stitchkit machines`)";
  } else if (message.starts_with("format")) {
    text = "--" + message;
    if (message.ends_with("of its family")) text += " (see `stitchkit formats`)";
  }
  return usageError(kCommand, text, kUsage);
}

// convert --to --out: the batch job from the command line, checked before any file is read.
int runMany(const ConvertArgs& args, WriteRequest request) {
  BatchJob job;
  const std::string to(*args.to);
  if (const std::optional<int> code = parseWholeNumber(to)) {
    const DiskFormatInfo* row = findDiskFormat(*code);
    if (row == nullptr || *code == kFormatNone || row->writtenAs.empty()) {
      return usageError(
          kCommand,
          "--to " + to +
              ": no format with that code and an extension of its own (see `stitchkit formats`)",
          kUsage);
    }
    request.format = static_cast<HDiskFileFormat>(*code);
    job.extension = std::string(row->writtenAs);
  } else {
    job.extension = to.starts_with('.') ? to : "." + to;
  }
  job.outDirectory = std::string(*args.outDirectory);
  if (const JobStatus status = checkWriteRequest(
          (std::filesystem::path(job.outDirectory) / ("design" + job.extension)).string(), request);
      !status) {
    return usageError(kCommand, "--to " + to + ": " + status.message, kUsage);
  }
  job.threads = std::max(1u, std::thread::hardware_concurrency());
  if (args.jobs) {
    const std::optional<int> threads = parseWholeNumber(*args.jobs);
    if (!threads || *threads < 1 || *threads > 1024) {
      return usageError(kCommand, "--jobs takes 1 to 1024, got '" + std::string(*args.jobs) + "'",
                        kUsage);
    }
    job.threads = static_cast<unsigned>(*threads);
  }
  job.request = std::move(request);
  job.recursive = args.recursive;
  job.json = args.json;
  for (std::string_view file : args.files)
    job.inputs.emplace_back(file);
  return runBatchConvert(job);
}

}  // namespace

int runConvert(std::span<const std::string_view> args) {
  int exitCode = kExitOk;
  const std::optional<ConvertArgs> parsed = parseArgs(args, exitCode);
  if (!parsed) return exitCode;

  const MachineHost host(parsed->machines);
  WriteRequest request;
  request.format = parsed->format;
  if (parsed->machine) request.machine = std::string(*parsed->machine);
  const StitchOptionsSerializer serializer;
  for (const OptionSetting& setting : parsed->settings) {
    request.settings.emplace_back(strToUtf8(serializer.getOptionName(setting.id)),
                                  strToUtf8(setting.value));
  }
  if (parsed->to) return runMany(*parsed, std::move(request));
  const std::string out(parsed->out);
  // A name or code that is not written, or a machine format that does not fit it, is refused
  // before IN is read.
  if (const JobStatus status = checkWriteRequest(out, request); !status)
    return jobError(*parsed, host, status);

  DesignFile design;
  if (const JobStatus status = readDesignFile(std::string(parsed->in), design); !status)
    return fail(parsed->in, status.message);
  if (design.stats.stitchCount == 0) return fail(parsed->in, "holds no stitches: nothing to write");
  WriteReport report;
  if (const JobStatus status = writeDesignFile(out, design, request, report); !status)
    return jobError(*parsed, host, status);

  const StitchStats& written = report.written;
  const std::string stopsText =
      report.stops > 0 ? ", " + std::to_string(report.stops) + " stops" : "";
  char line[160];
  std::snprintf(line, sizeof line, ": %d stitches, %d colours%s, %.1f x %.1f mm\n",
                written.stitchCount, written.needles.length(), stopsText.c_str(),
                extentMm(written.minX, written.maxX), extentMm(written.minY, written.maxY));
  std::cout << "wrote " << parsed->out << " (format " << static_cast<int>(report.format)
            << ", machine format "
            << (report.machine.empty() ? std::string("none: the writer's defaults")
                                       : "'" + report.machine + "'")
            << ')' << line;
  if (report.endAdded) std::cout << "added a design end: " << parsed->in << " had none\n";
  return kExitOk;
}

}  // namespace stitchkit::cli
