#include <iostream>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/tape_leader.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kCommand = "leader";

constexpr std::string_view kUsage =
    "Usage: stitchkit leader --format CODE [--bytes N] [--name TEXT] FILE\n"
    "\n"
    "Puts a paper-tape leader in front of the stitch file FILE, in place. Formats 15, 16\n"
    "and 17 (the paper-tape variants of DST, DSB and DSZ) get a leader lettered with the\n"
    "design name, the machine and the stitch count (taken from reading FILE, 0 when it\n"
    "cannot be read); any other format gets N zero bytes. FILE is changed only once the\n"
    "whole file with its leader has been written.\n"
    "\n"
    "Options:\n"
    "  --format CODE   the format FILE is punched for (see `stitchkit formats`); required\n"
    "  --bytes N       zero bytes of the leader for formats other than 15, 16 and 17\n"
    "                  (default 20)\n"
    "  --name TEXT     design name to letter (default: FILE's name without folder and\n"
    "                  extension); lettering stops at a character the tape cannot show\n"
    "  --help          show this help\n"
    "  --              end of options\n"
    "\n"
    "Exit status: 0 the leader was added, 1 FILE could not be changed, 2 wrong usage\n"
    "(also a design name too long to letter).\n";

// What each result of addTapeLeader means for the user.
struct LeaderResult {
  int result;
  int exitCode;
  std::string_view message;
};

constexpr LeaderResult kResults[] = {
    {kTapeLeaderDone, kExitOk, ""},
    {kTapeLeaderCopyFailed, kExitFailure, "the file with its leader could not be copied over it"},
    {kTapeLeaderNoTemporaryFile, kExitFailure, "no temporary file could be made"},
    {kTapeLeaderCannotOpen, kExitFailure,
     "the file cannot be read, or the temporary file cannot be written"},
    {kTapeLeaderWriteFailed, kExitFailure, "writing the temporary file failed"},
    {kTapeLeaderInvalidArgument, kExitUsage, "the design name is too long to letter"},
};

const LeaderResult& describe(int result) {
  static constexpr LeaderResult kUnknown = {0, kExitFailure, "unknown result"};
  for (const LeaderResult& row : kResults) {
    if (row.result == result) return row;
  }
  return kUnknown;
}

struct LeaderArgs {
  std::string_view path;
  HDiskFileFormat format = kFormatNone;
  int bytes = 0;
  std::optional<std::string_view> name;
};

std::optional<LeaderArgs> parseArgs(std::span<const std::string_view> args, int& exitCode) {
  LeaderArgs parsed;
  parsed.bytes = StitchOptions().getNumAddLeaderBytes();
  bool formatGiven = false;
  bool bytesGiven = false;
  // A single-value option given twice is a usage error, not "the last one wins".
  const auto repeated = [&exitCode](std::string_view option) -> std::optional<LeaderArgs> {
    exitCode = usageError(kCommand, std::string(option) + " is given more than once", kUsage);
    return std::nullopt;
  };
  int files = 0;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.front() != '-') {
      parsed.path = arg;
      ++files;
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
      if (formatGiven) return repeated("--format");
      parsed.format = *code;
      formatGiven = true;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--bytes", value)) == OptionMatch::kMatched) {
      const std::optional<int> bytes = parseWholeNumber(value);
      if (!bytes || *bytes < 0) {
        exitCode = usageError(
            kCommand, "--bytes needs a number of 0 or more, got '" + std::string(value) + "'",
            kUsage);
        return std::nullopt;
      }
      if (bytesGiven) return repeated("--bytes");
      parsed.bytes = *bytes;
      bytesGiven = true;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--name", value)) == OptionMatch::kMatched) {
      if (parsed.name) return repeated("--name");
      parsed.name = value;
    } else {
      exitCode = optionError(kCommand, arg, match, kUsage);
      return std::nullopt;
    }
  }
  if (files != 1 || parsed.path.empty()) {
    exitCode = usageError(kCommand, files > 1 ? "one file at a time" : "no file given", kUsage);
    return std::nullopt;
  }
  if (!formatGiven) {
    exitCode = usageError(kCommand, "--format is required", kUsage);
    return std::nullopt;
  }
  return parsed;
}

bool isLettered(HDiskFileFormat format) {
  return format == kFormatDstVariant15 || format == kFormatDsbVariant16 ||
         format == kFormatDszVariant17;
}

}  // namespace

int runLeader(std::span<const std::string_view> args) {
  int exitCode = kExitOk;
  const std::optional<LeaderArgs> parsed = parseArgs(args, exitCode);
  if (!parsed) return exitCode;

  const HString path = fromNativePath(std::string(parsed->path));
  HString designName;
  if (parsed->name) {
    designName = utf8ToStr(std::string(*parsed->name));
  } else {
    HString drive, dir, ext;
    StringUtils::splitPath(path, drive, dir, designName, ext);
  }

  // The lettering shows the stitch count; a file that cannot be read letters 0.
  int stitchCount = 0;
  if (isLettered(parsed->format)) {
    HXArray<HStitch> stitches;
    StitchStats stats;
    double scale = 1.0;
    if (decodeFile(path, stitches, stats, scale, nullptr, nullptr, nullptr, nullptr) == kReadOk) {
      stitchCount = stats.stitchCount;
    }
  }

  int systemError = 0;
  const int result =
      addTapeLeader(path, designName, stitchCount, parsed->format, parsed->bytes, &systemError);
  const LeaderResult& outcome = describe(result);
  if (outcome.exitCode != kExitOk) {
    std::cerr << "stitchkit leader: " << parsed->path << ": "
              << describeFailure(
                     result == kTapeLeaderCannotOpen ? "cannot be changed" : "cannot be written",
                     systemError, outcome.message)
              << '\n';
    return outcome.exitCode;
  }
  if (isLettered(parsed->format)) {
    std::cout << "added a lettered leader to " << parsed->path << " (format "
              << static_cast<int>(parsed->format) << ", design name \"" << strToUtf8(designName)
              << "\", " << stitchCount << " stitches)\n";
  } else {
    std::cout << "added " << parsed->bytes << " zero bytes to " << parsed->path << " (format "
              << static_cast<int>(parsed->format) << ")\n";
  }
  return kExitOk;
}

}  // namespace stitchkit::cli
