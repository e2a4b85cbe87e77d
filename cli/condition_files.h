#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/json_writer.h"
#include "stitchkit/machine/cto_file.h"
#include "stitchkit/machine/head_grouping.h"

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

// One colour block's needle-bar codes.
struct BlockCodes {
  int block;  // 1-based
  std::string ns1;
  std::string ns2;
  std::string ns3;
};

// Blocks of the CT0 block's needle-bar text, up to the first without a needle character.
std::vector<BlockCodes> ct0Codes(const CTOFile& block);
void printCodes(std::ostream& out, const std::vector<BlockCodes>& codes);
void writeCodes(JsonWriter& json, const std::vector<BlockCodes>& codes);

// The head grouping: as text lines, or as the "headGrouping" member of a JSON object.
void printHeadGrouping(std::ostream& out, const HeadGrouping& grouping);
void writeHeadGrouping(JsonWriter& json, const HeadGrouping& grouping);

}  // namespace stitchkit::cli
