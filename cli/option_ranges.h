#pragma once

#include <optional>
#include <string_view>

#include "stitchkit/platform/h_string.h"

// --set Key=Value: one writing option by its profile name, its value checked.
namespace stitchkit::cli {

// One --set Key=Value: the option's id and its value as text.
struct OptionSetting {
  int id;
  HString value;
};

// Parses `text` (Key=Value) into a setting of a known option with a value in its range; on
// failure prints the usage error of `command` and returns nothing (exitCode 2).
std::optional<OptionSetting> parseOptionSetting(std::string_view text, std::string_view command,
                                                std::string_view usage, int& exitCode);

}  // namespace stitchkit::cli
