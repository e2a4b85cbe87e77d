#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "stitchkit/platform/settings_file_host.h"

namespace stitchkit::cli {

// The tool as the host application of the machine format catalogue, installed for the
// lifetime of this object. Machine formats live in
// ${XDG_CONFIG_HOME:-$HOME/.config}/stitchkit/machines (or the --machines DIR of one call),
// the default machine format's name in ${XDG_CONFIG_HOME:-$HOME/.config}/stitchkit/stitchkit.ini;
// display names are the library's texts made from the format table.
class MachineHost {
 public:
  explicit MachineHost(std::optional<std::string_view> machinesDirectory);
  ~MachineHost();
  MachineHost(const MachineHost&) = delete;
  MachineHost& operator=(const MachineHost&) = delete;

  SettingsFileHost& host() { return host_; }
  const std::string& machineDirectory() const { return machineDirectory_; }
  const std::string& settingsPath() const { return settingsPath_; }
  // The path of machine format `name`'s profile.
  std::string profilePath(std::string_view name) const;

  // Creates the directory holding `path` (and its parents) when missing; the system's
  // error number, or 0.
  static int makeParentDirectory(const std::string& path);

 private:
  std::string machineDirectory_;
  std::string settingsPath_;
  SettingsFileHost host_;
};

}  // namespace stitchkit::cli
