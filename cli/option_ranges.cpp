#include "cli/option_ranges.h"

#include "cli/arguments.h"

#include "stitchkit/jobs/machine_lookup.h"
#include "stitchkit/model/stitch_options_serializer.h"

namespace stitchkit::cli {

std::optional<OptionSetting> parseOptionSetting(std::string_view text, std::string_view command,
                                                std::string_view usage, int& exitCode) {
  const StitchOptionsSerializer serializer;
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    exitCode = usageError(command, "--set needs Key=Value, got '" + std::string(text) + "'", usage);
    return std::nullopt;
  }
  const std::string_view key = text.substr(0, equals);
  const std::string_view value = text.substr(equals + 1);
  // The check is the library's: the setting is tried on a record of its own.
  StitchOptions scratch;
  if (std::optional<std::string> problem = applyOptionSetting(scratch, key, value)) {
    if (problem->ends_with("takes a format code")) *problem += " (see `stitchkit formats`)";
    const bool unknownKey = problem->starts_with("unknown option");
    exitCode = usageError(
        command, "--set" + (unknownKey ? std::string() : " " + std::string(key)) + ": " + *problem,
        usage);
    return std::nullopt;
  }
  const int id = serializer.getOptionId(utf8ToStr(std::string(key)));
  return OptionSetting{id, utf8ToStr(std::string(value))};
}

}  // namespace stitchkit::cli
