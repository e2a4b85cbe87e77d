// The stitchkit command-line tool: `stitchkit <command> [options] args`.

#include <array>
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "stitchkit/platform/replacement_file.h"

namespace stitchkit::cli {
namespace {

int runCompletion(std::span<const std::string_view> args);

constexpr std::array kCommands = {
    Command{"formats", "list the disk file format codes, extensions and filters", runFormats},
    Command{"info", "describe stitch files: format, counts, needle blocks, size, thread", runInfo},
    Command{"check", "tell whether stitch files will load and sew as meant on a machine", runCheck},
    Command{"convert", "read a stitch file and write it in another format", runConvert},
    Command{"dump", "print a stitch file record by record as text", runDump},
    Command{"machines", "list, show, add, remove machine formats; set the default", runMachines},
    Command{"render", "draw a preview of a design as a PNG or SVG picture", runRender},
    Command{"leader", "put a paper-tape leader in front of a stitch file", runLeader},
    Command{"completion", "print a shell completion script (bash)", runCompletion},
};

// Completes command names from the table above and a command's options from its own --help
// (run through the same program the user typed), so the script never falls behind the tool.
void printBashCompletion(std::ostream& out) {
  out << "# stitchkit completion for bash: source <(stitchkit completion bash)\n"
         "_stitchkit() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]}\n"
         "  if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
         "    COMPREPLY=($(compgen -W \"";
  for (const Command& command : kCommands)
    out << command.name << ' ';
  out << "--help --version\" -- \"$cur\"))\n"
         "  elif [[ $cur == -* ]]; then\n"
         "    local options\n"
         "    options=$(\"${COMP_WORDS[0]}\" \"${COMP_WORDS[1]}\" --help 2>/dev/null |\n"
         "              grep -o -- '--[a-z][a-z-]*' | sort -u)\n"
         "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
         "  else\n"
         "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "  fi\n"
         "}\n"
         "complete -o filenames -F _stitchkit stitchkit\n";
}

int runCompletion(std::span<const std::string_view> args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << "Usage: stitchkit completion bash\n"
                 "\n"
                 "Prints a completion script for bash: commands, each command's options, and\n"
                 "file names. Load it with `source <(stitchkit completion bash)`, or save it as\n"
                 "~/.local/share/bash-completion/completions/stitchkit.\n";
    return kExitOk;
  }
  if (args.size() != 1 || args[0] != "bash") {
    std::cerr << "stitchkit completion: name the shell: bash (see `stitchkit completion --help`)\n";
    return kExitUsage;
  }
  printBashCompletion(std::cout);
  return kExitOk;
}

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
