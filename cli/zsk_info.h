#pragma once

#include <ostream>
#include <string_view>

#include "cli/json_writer.h"

// What info adds for a ZSK transport file: the design header's fields and the thread table.
namespace stitchkit::cli {

// For a path named as a ZSK transport file (".Z" and two digits), reads its leading records
// and adds the header's design name, date of writing, stitch count, extents and end point and
// the threads with their colours: as text lines on `out`, or as the key "zskTransport" of the
// JSON object being written. Does nothing for other names or when the records cannot be read
// (the failure to read the design is reported by info itself). A header that other software
// laid out is marked so, and only its name and date are shown.
void printZskTransportInfo(std::ostream& out, std::string_view path);
void writeZskTransportInfo(JsonWriter& json, std::string_view path);

}  // namespace stitchkit::cli
