#include "cli/machine_host.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/platform/console_app.h"

namespace stitchkit::cli {
namespace {

// ${XDG_CONFIG_HOME:-$HOME/.config}/stitchkit; "stitchkit" in the working directory when
// neither is set.
std::string configDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg != '\0') return std::string(xdg) + "/stitchkit";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config/stitchkit";
  return "stitchkit";
}

HString machineDisplayName(int id) {
  return defaultMachineFormatDisplayName(id);
}

}  // namespace

MachineHost::MachineHost(std::optional<std::string_view> machinesDirectory)
    : machineDirectory_(machinesDirectory ? std::string(*machinesDirectory)
                                          : configDirectory() + "/machines"),
      settingsPath_(configDirectory() + "/stitchkit.ini"),
      host_(fromNativePath(machineDirectory_), fromNativePath(settingsPath_), machineDisplayName) {
  setConsoleApp(&host_);
}

MachineHost::~MachineHost() {
  setConsoleApp(nullptr);
}

std::string MachineHost::profilePath(std::string_view name) const {
  return machineDirectory_ + "/" + std::string(name) + ".ini";
}

int MachineHost::makeParentDirectory(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (parent.empty()) return 0;
  std::error_code error;
  std::filesystem::create_directories(parent, error);
  return error ? error.value() : 0;
}

}  // namespace stitchkit::cli
