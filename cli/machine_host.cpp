#include "cli/machine_host.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/machine/machine_format_table.h"
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

std::vector<FactoryMachine> factoryMachines() {
  std::vector<FactoryMachine> machines;
  for (int row = 0; row < static_cast<int>(std::size(kFactoryMachineFormats)); ++row) {
    const std::size_t rowStart = machines.size();
    for (HDiskFileFormat code : factoryMachineFormatCodes(row)) {
      const std::string name =
          strToUtf8(defaultMachineFormatDisplayName(factoryMachineFormatNameId(row, code)));
      auto it =
          std::find_if(machines.begin() + static_cast<std::ptrdiff_t>(rowStart), machines.end(),
                       [&name](const FactoryMachine& m) { return m.name == name; });
      if (it == machines.end()) {
        machines.push_back(FactoryMachine{name, {code}});
      } else {
        it->codes.push_back(code);
      }
    }
  }
  return machines;
}

std::optional<StitchOptions> findMachine(std::string_view name,
                                         std::optional<HDiskFileFormat> preferredCode,
                                         bool& isFactory) {
  const HString wideName = utf8ToStr(std::string(name));
  StitchOptions options;
  isFactory = false;
  if (GetMachineFormatOptions(wideName, options) == kMachineFormatOk) return options;
  for (const FactoryMachine& machine : factoryMachines()) {
    if (machine.name != name) continue;
    const bool hasPreferred = preferredCode && std::find(machine.codes.begin(), machine.codes.end(),
                                                         *preferredCode) != machine.codes.end();
    HString ignored;
    makeFactoryMachineFormat(hasPreferred ? *preferredCode : machine.codes.front(), ignored,
                             options);
    isFactory = true;
    return options;
  }
  return std::nullopt;
}

}  // namespace stitchkit::cli
