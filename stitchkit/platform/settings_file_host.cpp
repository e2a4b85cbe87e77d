#include "stitchkit/platform/settings_file_host.h"

#include <exception>
#include <utility>

#include "stitchkit/platform/h_profile.h"

namespace stitchkit {
namespace {

constexpr const wchar_t* kSection = L"Machines";
constexpr const wchar_t* kDefaultKey = L"DefaultMachineFormat";
// Machine format names are file names, at most this long.
constexpr int kMaxNameLength = 256;

}  // namespace

std::string SettingsFileHost::configDirectory(const char* xdgConfigHome, const char* home) {
  if (xdgConfigHome != nullptr && *xdgConfigHome != '\0') {
    return std::string(xdgConfigHome) + "/stitchkit";
  }
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config/stitchkit";
  return "stitchkit";
}

SettingsFileHost::SettingsFileHost(HString machineDirectory, HString settingsPath,
                                   DisplayNameSource names)
    : machineDirectory_(std::move(machineDirectory)),
      settingsPath_(std::move(settingsPath)),
      names_(names) {}

bool SettingsFileHost::getDefaultMachineFormat(HString& name) const {
  try {
    const HProfile profile(settingsPath_);
    HString value =
        profile.getString(HString(kSection), HString(kDefaultKey), kMaxNameLength, HString());
    if (value.isEmpty()) return false;
    name = value;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

HString SettingsFileHost::getDisplayName(int id) const {
  return names_ != nullptr ? names_(id) : HString();
}

int SettingsFileHost::setDefaultMachineFormat(const HString& name) {
  try {
    HProfile profile(settingsPath_);
    return profile.setString(HString(kSection), HString(kDefaultKey), name);
  } catch (const std::exception&) {
    return kProfileNoMemory;
  }
}

}  // namespace stitchkit
