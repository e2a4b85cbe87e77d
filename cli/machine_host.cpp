#include "cli/machine_host.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/platform/console_app.h"

namespace stitchkit::cli {
namespace {

// The settings directory of the environment's XDG_CONFIG_HOME and HOME.
std::string configDirectory() {
  return SettingsFileHost::configDirectory(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
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
