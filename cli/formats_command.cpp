#include <iostream>
#include <string>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/jobs/design_file.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kUsage =
    "Usage: stitchkit formats [--json]\n"
    "\n"
    "Lists the disk file format codes: whether this build reads and writes each format\n"
    "(convert refuses the formats it does not write), the extensions that read as each\n"
    "code, the extension it is written as, its file-dialog filters and its format family.\n"
    "\n"
    "Options:\n"
    "  --json    print the table as a JSON array\n"
    "  --help    show this help\n";

// Whether this build reads and writes `row`'s format, as the reading and writing entry
// points decide: by its code, or by one of the extensions that name it.
bool readsRow(const DiskFormatInfo& row) {
  if (readsFormat(row.code)) return true;
  for (std::string_view ext : row.readFrom) {
    if (!ext.empty() && readsFileName(utf8ToStr("x" + std::string(ext)))) return true;
  }
  return false;
}

bool writesRow(const DiskFormatInfo& row) {
  if (writesFormat(row.code) || writesOtherMakerFormat(row.code)) return true;
  if (row.writtenAs.size() < 2) return false;
  const HString name = utf8ToStr("x" + std::string(row.writtenAs));
  return writesFileName(name) && writeFormatOfPath(name) == row.code;
}

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
    json.key("reads");
    json.value(readsRow(row));
    json.key("writes");
    json.value(writesRow(row));
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
  out << "code  reads  writes  read from             written as  family  filters\n";
  for (const DiskFormatInfo& row : diskFormatTable()) {
    std::string filters;
    for (std::string_view filter : row.filters) {
      if (filter.empty()) continue;
      if (!filters.empty()) filters += " | ";
      filters += filter;
    }
    const std::string readFrom = readFromText(row);
    char line[80];
    std::snprintf(line, sizeof line, "%4d  %-5s  %-6s  %-20s  %-10s  %-6s  ",
                  static_cast<int>(row.code), readsRow(row) ? "yes" : "no",
                  writesRow(row) ? "yes" : "no", readFrom.empty() ? "-" : readFrom.c_str(),
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
