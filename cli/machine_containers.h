#pragma once

#include <ostream>

#include "cli/json_writer.h"
#include "stitchkit/jobs/design_file.h"

// What info shows of the system's own machine containers: KVB files with their side files,
// KVC files with their sections and EDF packages with their members.
namespace stitchkit::cli {

// The container lines of info: as text, or as members of the file's JSON object.
void printContainer(std::ostream& out, const DesignFile& contents);
void writeContainerJson(JsonWriter& json, const DesignFile& contents);

}  // namespace stitchkit::cli
