#pragma once

#include <ostream>
#include <string_view>

#include "cli/json_writer.h"

// The info and dump commands for the machine condition blocks (.CT0 and .CT1 files).
namespace stitchkit::cli {

// True for a path whose extension is ".CT0" or ".CT1" in any case.
bool isConditionFilePath(std::string_view path);

// Reads the condition file at `path` and describes it: as text on `out` (preceded by a blank
// line unless `first`), or as one object through `json` when it is not null. A file that does
// not open or breaks the block layout gets one line on stderr naming the file, the offset and
// what was expected; returns false then.
bool describeConditionFile(std::string_view path, std::ostream& out, JsonWriter* json, bool first);

// Prints the line list of the condition file at `path` (for a CT1 file the lines of its
// header), one line each. Returns the command's exit status.
int dumpConditionFile(std::string_view path);

}  // namespace stitchkit::cli
