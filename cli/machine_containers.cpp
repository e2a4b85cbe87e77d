#include "cli/machine_containers.h"

#include <cstdio>
#include <memory>

#include "cli/condition_files.h"
#include "stitchkit/machine/cto_file.h"

namespace stitchkit::cli {
namespace {

// The CT0 block of the condition lines read.
std::unique_ptr<CTOFile> conditionBlock(const DesignFile& contents) {
  auto block = std::make_unique<CTOFile>();
  block->deserialize(contents.conditionLines);
  return block;
}

}  // namespace

void printContainer(std::ostream& out, const DesignFile& contents) {
  out << "  container       " << containerKindName(contents.container) << ", "
      << contents.palette.length() << " palette threads\n";
  for (const ContainerPart& part : contents.parts) {
    char line[96];
    if (part.bytes > 0) {
      std::snprintf(line, sizeof line, "    %-22s %zu bytes\n", part.name.c_str(), part.bytes);
    } else {
      std::snprintf(line, sizeof line, "    %-22s absent\n", part.name.c_str());
    }
    out << line;
  }
  if (contents.conditionLines.isEmpty()) {
    out << "  conditions      none (no CT0 block: needle bars and head grouping unknown)\n";
    return;
  }
  printHeadGrouping(out, contents.grouping);
  printCodes(out, ct0Codes(*conditionBlock(contents)));
}

void writeContainerJson(JsonWriter& json, const DesignFile& contents) {
  json.key("container");
  json.beginObject();
  json.key("kind");
  json.value(containerKindName(contents.container));
  json.key("paletteThreads");
  json.value(contents.palette.length());
  json.key("parts");
  json.beginArray();
  for (const ContainerPart& part : contents.parts) {
    json.beginObject();
    json.key("name");
    json.value(part.name);
    json.key("present");
    json.value(part.bytes > 0);
    json.key("bytes");
    json.value(static_cast<double>(part.bytes));
    json.endObject();
  }
  json.endArray();
  if (!contents.conditionLines.isEmpty()) {
    writeHeadGrouping(json, contents.grouping);
    writeCodes(json, ct0Codes(*conditionBlock(contents)));
  }
  json.endObject();
}

}  // namespace stitchkit::cli
