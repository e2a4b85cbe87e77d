#include "cli/arguments.h"

#include <cstring>
#include <iostream>
#include <string>
#include <system_error>

#include "cli/commands.h"
#include "stitchkit/files/read_design.h"

namespace stitchkit::cli {

OptionMatch matchValueOption(std::span<const std::string_view> args, std::size_t& i,
                             std::string_view name, std::string_view& value) {
  const std::string_view arg = args[i];
  if (arg == name) {
    if (i + 1 >= args.size()) return OptionMatch::kMissingValue;
    value = args[++i];
    return OptionMatch::kMatched;
  }
  if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
    value = arg.substr(name.size() + 1);
    return OptionMatch::kMatched;
  }
  return OptionMatch::kNoMatch;
}

int usageError(std::string_view command, std::string_view message, std::string_view usage) {
  std::cerr << "stitchkit " << command << ": " << message << '\n' << usage;
  return kExitUsage;
}

int optionError(std::string_view command, std::string_view arg, OptionMatch match,
                std::string_view usage) {
  const std::string name(arg);
  return usageError(command,
                    match == OptionMatch::kMissingValue ? name + " needs a value"
                                                        : "unknown option '" + name + "'",
                    usage);
}

std::string describeFailure(std::string_view action, int systemError, std::string_view message) {
  if (systemError == 0) return std::string(message);
  return std::string(action) + ": " + std::strerror(systemError);
}

std::string_view describeEnding(DataEnding how) {
  switch (how) {
    case DataEnding::kEndRecord:
      return "end record";
    case DataEnding::kEndOfData:
      return "end of file, without an end record";
    case DataEnding::kBrokenRecord:
      return "a broken record";
    case DataEnding::kOutOfRange:
      return "a move out of range";
    case DataEnding::kReadFailure:
      return "a read failure";
    case DataEnding::kNotRead:
      break;
  }
  return "not read record by record";
}

std::optional<HDiskFileFormat> parseFormatCode(std::string_view value, std::string_view command,
                                               std::string_view usage, int& exitCode) {
  const std::optional<int> code = parseWholeNumber(value);
  if (!code || *code == kFormatNone || findDiskFormat(*code) == nullptr) {
    exitCode = usageError(command, "unknown format code '" + std::string(value) + "'", usage);
    return std::nullopt;
  }
  return static_cast<HDiskFileFormat>(*code);
}

}  // namespace stitchkit::cli
