#pragma once

#include <string>

#include "stitchkit/platform/console_app.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// A host application whose machine settings live in files, for programs without a settings
// store of their own: the machine format profiles in one directory, and the default machine
// format's name under key "DefaultMachineFormat" of section "Machines" in a settings profile.
// The program chooses both paths (the library reads no environment) and may supply the texts
// of display-name ids. Install it with setConsoleApp; it must outlive its installation.
class SettingsFileHost : public ConsoleApp {
 public:
  // The settings directory hosts share, from the values of XDG_CONFIG_HOME and HOME that the
  // program passes (either may be null or empty): $XDG_CONFIG_HOME/stitchkit, else
  // $HOME/.config/stitchkit, else "stitchkit" in the working directory. The machine formats
  // live in its "machines" folder, the default's name in its "stitchkit.ini".
  static std::string configDirectory(const char* xdgConfigHome, const char* home);

  // The text of a display-name id; null for none (every id then has the empty text).
  using DisplayNameSource = HString (*)(int id);

  SettingsFileHost(HString machineDirectory, HString settingsPath, DisplayNameSource names);

  // False when the settings profile names no default (missing file, key or value).
  bool getDefaultMachineFormat(HString& name) const override;
  HString getMachineFormatDirectory() const override { return machineDirectory_; }
  HString getDisplayName(int id) const override;

  // Stores `name` as the default in the settings profile, creating the file (not its
  // directory) when missing. Returns a kProfile result of HProfile::setString.
  int setDefaultMachineFormat(const HString& name);

  const HString& getSettingsPath() const { return settingsPath_; }

 private:
  HString machineDirectory_;
  HString settingsPath_;
  DisplayNameSource names_;
};

}  // namespace stitchkit
