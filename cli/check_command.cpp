#include <charconv>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "cli/machine_host.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/jobs/design_check.h"
#include "stitchkit/jobs/machine_lookup.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kCommand = "check";
constexpr std::string_view kUsage =
    "Usage: stitchkit check [--machine NAME] [--machines DIR] [--field WxH] [--json] FILE...\n"
    "\n"
    "Reads each stitch file as the machine would and tells, one line per finding, whether it\n"
    "will load and sew as meant:\n"
    "  - the 512-byte header of DST, DSB and DSZ files against the records: stitch and\n"
    "    colour-change counts, extents, end offset; the end record and what follows it;\n"
    "  - moves within the machine format's HardLength, needles within its MaxNeedles (and\n"
    "    what folding them would do);\n"
    "  - the design's size against the field given with --field, centred on its start point;\n"
    "  - trims, sequins and chenille the machine format cannot give;\n"
    "  - stitches longer than 12.1 mm, runs of stitches that do not move, a design that\n"
    "    starts more than 10 mm outside its stitches.\n"
    "Each line reads FILE: SEVERITY: CODE: what was found. An error means the machine would\n"
    "refuse the file, stop, or sew something other than meant; a warning does not. A last\n"
    "line per file sums up. The file is never changed.\n"
    "\n"
    "Options:\n"
    "  --machine NAME    check against this machine format (`stitchkit machines`); by\n"
    "                    default the best one for each file's format\n"
    "  --machines DIR    take installed machine formats from DIR for this call\n"
    "  --field WxH       the hoop or field in millimetres, for example 130x180\n"
    "  --json            print a JSON array, one object per file:\n"
    "                    {file, ok, findings: [{severity, code, message}]}\n"
    "  --help            show this help\n"
    "\n"
    "Exit status: 0 nothing would stop the machine (warnings do not count), 1 some file has\n"
    "an error finding or cannot be read, 2 wrong usage.\n";

struct CheckArgs {
  std::optional<std::string_view> machine;
  std::optional<std::string_view> machines;
  CheckLimits limits;
  bool json = false;
  std::vector<std::string_view> paths;
};

std::optional<double> parsePositive(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !(value > 0.0)) {
    return std::nullopt;
  }
  return value;
}

// "WxH" in millimetres, both positive.
bool parseField(std::string_view text, CheckLimits& limits) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  limits.fieldWidthMm = parsePositive(text.substr(0, x));
  limits.fieldHeightMm = parsePositive(text.substr(x + 1));
  return limits.fieldWidthMm && limits.fieldHeightMm;
}

std::optional<CheckArgs> parseArgs(std::span<const std::string_view> args, int& exitCode) {
  CheckArgs parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.front() != '-') {
      parsed.paths.push_back(arg);
      continue;
    }
    std::string_view value;
    OptionMatch match = OptionMatch::kNoMatch;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      exitCode = kExitOk;
      return std::nullopt;
    } else if (arg == "--json") {
      parsed.json = true;
    } else if (arg == "--") {
      optionsEnded = true;
    } else if ((match = matchValueOption(args, i, "--machine", value)) == OptionMatch::kMatched) {
      parsed.machine = value;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--machines", value)) == OptionMatch::kMatched) {
      parsed.machines = value;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--field", value)) == OptionMatch::kMatched) {
      if (!parseField(value, parsed.limits)) {
        exitCode = usageError(
            kCommand,
            "--field: '" + std::string(value) + "' is not WxH in millimetres (for example 130x180)",
            kUsage);
        return std::nullopt;
      }
    } else {
      exitCode = optionError(kCommand, arg, match, kUsage);
      return std::nullopt;
    }
  }
  if (parsed.paths.empty()) {
    exitCode = usageError(kCommand, "no file given", kUsage);
    return std::nullopt;
  }
  return parsed;
}

void printFindings(std::string_view path, const std::vector<CheckFinding>& findings) {
  int errors = 0;
  int warnings = 0;
  for (const CheckFinding& f : findings) {
    std::cout << path << ": " << checkSeverityName(f.severity) << ": " << f.code << ": "
              << f.message << '\n';
    errors += f.severity == CheckSeverity::kError ? 1 : 0;
    warnings += f.severity == CheckSeverity::kWarning ? 1 : 0;
  }
  std::cout << path << ": "
            << (errors == 0 ? "ok" : std::to_string(errors) + (errors == 1 ? " error" : " errors"))
            << ", " << warnings << (warnings == 1 ? " warning" : " warnings") << '\n';
}

void writeFindings(JsonWriter& json, std::string_view path,
                   const std::vector<CheckFinding>& findings) {
  json.beginObject();
  json.key("file");
  json.value(path);
  json.key("ok");
  json.value(!hasCheckError(findings));
  json.key("findings");
  json.beginArray();
  for (const CheckFinding& f : findings) {
    json.beginObject();
    json.key("severity");
    json.value(checkSeverityName(f.severity));
    json.key("code");
    json.value(f.code);
    json.key("message");
    json.value(f.message);
    json.endObject();
  }
  json.endArray();
  json.endObject();
}

}  // namespace

int runCheck(std::span<const std::string_view> args) {
  int exitCode = kExitOk;
  const std::optional<CheckArgs> parsed = parseArgs(args, exitCode);
  if (!parsed) return exitCode;
  const MachineHost host(parsed->machines);
  bool isFactory = false;
  if (parsed->machine && !findMachine(*parsed->machine, std::nullopt, isFactory)) {
    return usageError(kCommand,
                      "--machine: no machine format '" + std::string(*parsed->machine) +
                          "' (see `stitchkit machines`; installed ones are read from " +
                          host.machineDirectory() + ")",
                      kUsage);
  }

  JsonWriter writer(std::cout);
  if (parsed->json) writer.beginArray();
  for (std::string_view path : parsed->paths) {
    const std::string utf8Path(path);
    std::optional<StitchOptions> machine;
    if (parsed->machine) {
      // A factory name shared by several codes gives the set of this file's format.
      machine =
          findMachine(*parsed->machine, readFormatOfPath(fromNativePath(utf8Path)), isFactory);
    }
    std::vector<CheckFinding> findings;
    const int read =
        checkDesignFile(utf8Path, machine ? &*machine : nullptr, parsed->limits, findings);
    if (hasCheckError(findings)) exitCode = kExitFailure;
    if (parsed->json) {
      writeFindings(writer, path, findings);
    } else if (read != kReadOk) {
      std::cerr << "stitchkit " << kCommand << ": " << path << ": "
                << (findings.empty() ? readResultMessage(read) : findings.back().message) << '\n';
    } else {
      printFindings(path, findings);
    }
  }
  if (parsed->json) {
    writer.endArray();
    std::cout << '\n';
  }
  return exitCode;
}

}  // namespace stitchkit::cli
