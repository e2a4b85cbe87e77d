#include <iostream>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/condition_files.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/text_dump.h"
#include "stitchkit/jobs/design_file.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kCommand = "dump";

constexpr std::string_view kUsage =
    "Usage: stitchkit dump FILE\n"
    "\n"
    "Reads the stitch file FILE and prints its design record by record, one line each:\n"
    "the command, its X and Y relative to the design start and its absolute position, in\n"
    "0.1 mm units, for example\n"
    "  Stitch: X: 5, Y: -10, Absolute X: 105, Absolute Y: -20\n"
    "The records are printed as the file holds them: nothing is split, merged or cleaned.\n"
    "A .CT0 or .CT1 condition file is printed as its list of condition lines.\n"
    "\n"
    "Options:\n"
    "  --help    show this help\n"
    "  --        end of options\n"
    "\n"
    "Exit status: 0 printed, 1 FILE could not be read or the text not written, 2 wrong usage.\n";

}  // namespace

int runDump(std::span<const std::string_view> args) {
  std::string_view path;
  int files = 0;
  bool optionsEnded = false;
  for (const std::string_view arg : args) {
    if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
      if (arg == "--help" || arg == "-h") {
        std::cout << kUsage;
        return kExitOk;
      }
      if (arg != "--") {
        return usageError(kCommand, "unknown option '" + std::string(arg) + "'", kUsage);
      }
      optionsEnded = true;
      continue;
    }
    path = arg;
    ++files;
  }
  if (files != 1) {
    return usageError(kCommand, files == 0 ? "no file given" : "one file at a time", kUsage);
  }

  if (isConditionFilePath(path)) return dumpConditionFile(path);

  HXArray<HStitch> stitches;
  StitchStats stats;
  double scale = 1.0;
  int systemError = 0;
  DecodeEnding ending;
  const int read = decodeFile(fromNativePath(std::string(path)), stitches, stats, scale, nullptr,
                              nullptr, nullptr, nullptr, &systemError, &ending);
  if (read != kReadOk) {
    std::cerr << "stitchkit dump: " << path << ": "
              << describeReadFailure(read, systemError, ending) << '\n';
    return kExitFailure;
  }

  // Copying options that never cut a move: one line per record of the file. (The text
  // encoder measures moves from its last machine record, so cutting would split every
  // stitch far from the design start.)
  StitchEncoderOptions options;
  setCopyEncoderOptions(options);
  options.setKeepOriginalStitch(1);
  const StitchArrayWrapper design(stitches);
  FileOutputBytestream out(std::cout);
  if (writeTextDump(design, options, out) != 0) {
    std::cerr << "stitchkit dump: " << path << ": the text could not be written\n";
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace stitchkit::cli
