// The stitchkit command-line tool: `stitchkit <command> [options] args`.

#include <array>
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "stitchkit/platform/replacement_file.h"

namespace stitchkit::cli {
namespace {

constexpr std::array kCommands = {
    Command{"formats", "list the disk file format codes, extensions and filters", runFormats},
    Command{"info", "describe stitch files: format, counts, needle blocks, size, thread", runInfo},
    Command{"convert", "read a stitch file and write it in another format", runConvert},
    Command{"dump", "print a stitch file record by record as text", runDump},
    Command{"machines", "list, show, add, remove machine formats; set the default", runMachines},
    Command{"leader", "put a paper-tape leader in front of a stitch file", runLeader},
};

void printOverview(std::ostream& out) {
  out << "Usage: stitchkit <command> [options] args\n"
         "\n"
         "Reads and writes embroidery machine stitch files.\n"
         "\n"
         "Commands:\n";
  for (const Command& command : kCommands) {
    out << "  " << command.name;
    for (std::size_t i = command.name.size(); i < 10; ++i)
      out << ' ';
    out << command.summary << '\n';
  }
  out << "\n"
         "Options:\n"
         "  --help       show this help (or `stitchkit <command> --help`)\n"
         "  --version    print the version\n"
         "\n"
         "Exit status: 0 success, 1 a file could not be processed, 2 wrong usage.\n";
}

}  // namespace
}  // namespace stitchkit::cli

int main(int argc, char** argv) {
  using namespace stitchkit::cli;
  // An interrupted convert or leader leaves no unfinished file beside OUT.
  stitchkit::removeReplacementFilesOnSignal();
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) {
    printOverview(std::cerr);
    return kExitUsage;
  }
  const std::string_view first = args.front();
  if (first == "--help" || first == "-h" || first == "help") {
    printOverview(std::cout);
    return kExitOk;
  }
  if (first == "--version") {
    if (args.size() > 1) {
      std::cerr << "stitchkit: --version takes no arguments (see `stitchkit --help`)\n";
      return kExitUsage;
    }
    std::cout << "stitchkit " << STITCHKIT_VERSION << '\n';
    return kExitOk;
  }
  for (const Command& command : kCommands) {
    if (command.name == first) {
      return command.run(std::span<const std::string_view>(args).subspan(1));
    }
  }
  std::cerr << "stitchkit: unknown command '" << first << "' (see `stitchkit --help`)\n";
  return kExitUsage;
}
