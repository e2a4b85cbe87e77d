#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch_options.h"

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

// A factory machine format as the catalogue names it, with the codes that take that name.
struct FactoryMachine {
  std::string name;
  std::vector<HDiskFileFormat> codes;
};

// The factory line, one entry per name of each factory row, in table order.
std::vector<FactoryMachine> factoryMachines();

// A machine format by name: an installed one first, then a factory one. A factory name that
// several codes share gives the set of `preferredCode` when that is one of them, else the set
// of the first. Nothing when no machine format has that name (or an installed one does not
// load). `isFactory` says which it was.
std::optional<StitchOptions> findMachine(std::string_view name,
                                         std::optional<HDiskFileFormat> preferredCode,
                                         bool& isFactory);

}  // namespace stitchkit::cli
