#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "stitchkit/platform/h_string.h"

// The values the command line accepts for each integer writing option (--set Key=Value).
namespace stitchkit::cli {

struct OptionRange {
  std::wstring_view name;  // the option's name in StitchOptionsSerializer
  long long min;
  long long max;
};

// The range of the option `name`, or nothing for a name without a row (FormatType, whose
// value is a text).
std::optional<OptionRange> findOptionRange(std::wstring_view name);

// Why `value` is not a value of the integer option `name`, or nothing when it is one: a
// number outside the option's range ("takes 0 to 127"), or for FileFormat a code that names
// no format.
std::optional<std::string> checkOptionValue(std::wstring_view name, long long value);

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
