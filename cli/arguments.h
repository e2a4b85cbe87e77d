#pragma once

#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/jobs/machine_lookup.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Small pieces of command-line parsing shared by the commands.
namespace stitchkit::cli {

// What matchValueOption found at one argument.
enum class OptionMatch {
  kNoMatch,       // the argument is not this option
  kMatched,       // the option and its value were taken
  kMissingValue,  // the option is the last argument and has no value
};

// Matches the option `name` (for example "--format") with its value at args[i], given as
// "--format VALUE" (two arguments; `i` is advanced to the value) or "--format=VALUE".
OptionMatch matchValueOption(std::span<const std::string_view> args, std::size_t& i,
                             std::string_view name, std::string_view& value);

// The usage error for an option argument that matchValueOption did not take: "needs a value"
// for kMissingValue, "unknown option" for kNoMatch. Returns kExitUsage.
int optionError(std::string_view command, std::string_view arg, OptionMatch match,
                std::string_view usage);

// Prints "stitchkit <command>: <message>" and the command's usage to stderr; returns
// kExitUsage.
int usageError(std::string_view command, std::string_view message, std::string_view usage);

// The system's own words for what happened to a file (`action` and the error, for example
// "cannot be opened: Permission denied") when there is a system error, else `message`.
std::string describeFailure(std::string_view action, int systemError, std::string_view message);

// How a design's stitch records ended, in words ("end record", ...).
std::string_view describeEnding(DataEnding how);

// The disk format code a "--format CODE" value names; a code without a format row is a usage
// error (printed; `exitCode` set to 2).
std::optional<HDiskFileFormat> parseFormatCode(std::string_view value, std::string_view command,
                                               std::string_view usage, int& exitCode);

}  // namespace stitchkit::cli
