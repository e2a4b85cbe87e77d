#pragma once

#include <span>
#include <string_view>

namespace stitchkit::cli {

// Exit codes of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the command ran and something failed (a file, ...)
inline constexpr int kExitUsage = 2;    // the command line was wrong

// One subcommand: its name, a one-line summary for the overview, and its entry point, which
// receives the arguments after the command name.
struct Command {
  std::string_view name;
  std::string_view summary;
  int (*run)(std::span<const std::string_view> args);
};

int runCheck(std::span<const std::string_view> args);
int runConvert(std::span<const std::string_view> args);
int runDump(std::span<const std::string_view> args);
int runFormats(std::span<const std::string_view> args);
int runInfo(std::span<const std::string_view> args);
int runLeader(std::span<const std::string_view> args);
int runMachines(std::span<const std::string_view> args);
int runRender(std::span<const std::string_view> args);

}  // namespace stitchkit::cli
