#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "stitchkit/formats/disk_file_format.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kUsage =
    "Usage: stitchkit formats [--json]\n"
    "\n"
    "Lists the disk file format codes: the extensions that read as each code, the\n"
    "extension it is written as, its file-dialog filters and its format family.\n"
    "\n"
    "Options:\n"
    "  --json    print the table as a JSON array\n"
    "  --help    show this help\n";

std::string readFromText(const DiskFormatInfo& row) {
  std::string text;
  for (std::string_view ext : row.readFrom) {
    if (ext.empty()) continue;
    if (!text.empty()) text += ' ';
    text += ext;
  }
  if (row.numberedLetter != 0) {
    if (!text.empty()) text += ' ';
    text += '.';
    text += row.numberedLetter;
    text += "NN";
  }
  return text;
}

void printJson(std::ostream& out) {
  JsonWriter json(out);
  json.beginArray();
  for (const DiskFormatInfo& row : diskFormatTable()) {
    json.beginObject();
    json.key("code");
    json.value(static_cast<int>(row.code));
    json.key("readFrom");
    json.beginArray();
    for (std::string_view ext : row.readFrom) {
      if (!ext.empty()) json.value(ext);
    }
    json.endArray();
    json.key("numberedExtension");
    json.value(row.numberedLetter != 0 ? std::string(".") + row.numberedLetter + "NN" : "");
    json.key("writtenAs");
    json.value(row.writtenAs);
    json.key("filters");
    json.beginArray();
    for (std::string_view filter : row.filters) {
      if (!filter.empty()) json.value(filter);
    }
    json.endArray();
    json.key("family");
    json.value(diskFormatFamilyName(row.family));
    json.key("role");
    json.value(row.role);
    json.endObject();
  }
  json.endArray();
  out << '\n';
}

void printTable(std::ostream& out) {
  out << "code  read from             written as  family  filters\n";
  for (const DiskFormatInfo& row : diskFormatTable()) {
    std::string filters;
    for (std::string_view filter : row.filters) {
      if (filter.empty()) continue;
      if (!filters.empty()) filters += " | ";
      filters += filter;
    }
    const std::string readFrom = readFromText(row);
    char line[64];
    std::snprintf(line, sizeof line, "%4d  %-20s  %-10s  %-6s  ", static_cast<int>(row.code),
                  readFrom.empty() ? "-" : readFrom.c_str(),
                  row.writtenAs.empty() ? "-" : std::string(row.writtenAs).c_str(),
                  std::string(diskFormatFamilyName(row.family)).c_str());
    out << line << (filters.empty() ? "-" : filters);
    if (!row.role.empty()) out << "  (" << row.role << ')';
    out << '\n';
  }
}

}  // namespace

int runFormats(std::span<const std::string_view> args) {
  bool json = false;
  for (std::string_view arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return kExitOk;
    }
    if (arg == "--json") {
      json = true;
      continue;
    }
    std::cerr << "stitchkit formats: unknown argument '" << arg << "'\n" << kUsage;
    return kExitUsage;
  }
  if (json) {
    printJson(std::cout);
  } else {
    printTable(std::cout);
  }
  return kExitOk;
}

}  // namespace stitchkit::cli
