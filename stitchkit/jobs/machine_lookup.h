#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch_options.h"

// Machine formats by name for hosts: the factory line as names, a machine format found by
// name, and options changed by their profile names with their values checked.
namespace stitchkit {

// A factory machine format as the catalogue names it, with the codes that take that name.
struct FactoryMachine {
  std::string name;
  std::vector<HDiskFileFormat> codes;
};

// The factory line, one entry per name of each factory row, in table order.
std::vector<FactoryMachine> factoryMachines();

// A machine format as a host lists it: an installed one (with its one format) or a factory
// one (with the codes that take its name).
struct ListedMachine {
  std::string name;
  std::vector<HDiskFileFormat> codes;
  std::string formatType;
  bool installed = false;
  bool canDelete = false;
};

// The installed machine formats that load (through the installed host application), then
// the factory line.
std::vector<ListedMachine> listMachineFormats();

// A machine format by name: an installed one first (through the installed host application),
// then a factory one. A factory name that several codes share gives the set of
// `preferredCode` when that is one of them, else the set of the first. Nothing when no
// machine format has that name (or an installed one does not load). `isFactory` says which it
// was.
std::optional<StitchOptions> findMachine(std::string_view name,
                                         std::optional<HDiskFileFormat> preferredCode,
                                         bool& isFactory);

// A whole decimal number as option values and format codes are written: an optional sign
// and digits, nothing else, within the int range.
std::optional<int> parseWholeNumber(std::string_view text);

// The values each integer option takes, by its profile name; nothing for a name without a
// row (FormatType, whose value is a text).
struct OptionRange {
  std::wstring_view name;
  long long min;
  long long max;
};
std::optional<OptionRange> findOptionRange(std::wstring_view name);

// Why `value` is not a value of the integer option `name` ("takes 0 to 127", or for
// FileFormat a code that names no format), or nothing when it is one.
std::optional<std::string> checkOptionValue(std::wstring_view name, long long value);

// Sets option `key` (its profile name, "MaxLength") of `options` to `value` (a whole number
// within the option's range, or FormatType's text). Nothing when set, else why not
// ("unknown option", "'x' is not a whole number", "'200' takes 0 to 127").
std::optional<std::string> applyOptionSetting(StitchOptions& options, std::string_view key,
                                              std::string_view value);

}  // namespace stitchkit
