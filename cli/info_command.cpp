#include <cctype>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/condition_files.h"
#include "cli/json_writer.h"
#include "cli/machine_containers.h"
#include "cli/zsk_info.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/formats/file_format_detection.h"
#include "stitchkit/formats/file_format_registry.h"
#include "stitchkit/jobs/design_file.h"
#include "stitchkit/jobs/sewing_estimate.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/thread_palette.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kUsage =
    "Usage: stitchkit info [--json] [--spm N] FILE...\n"
    "\n"
    "Reads each stitch file and prints its format, the stitch, jump, trim, command and\n"
    "colour-change counts, the needle blocks (needle, stitches and thread of each), the\n"
    "extents and size, the start and end points and the thread estimate. Lengths are in\n"
    "millimetres, thread in metres; x and y are the file's own axes. A .CT0 or .CT1\n"
    "condition file is described by its conditions, head grouping and needle-bar codes.\n"
    "Designs of other makers (.pes, .pec, .jef, .vp3, .xxx) also list the thread colours\n"
    "and names they carry, and a PES file the version it was written in (10 for\n"
    "\"#PES0001\", 20 to 110 for the later ones).\n"
    "A .kvb, .kvc or .edf file is also described by what travelled with the design: the\n"
    "side files of a KVB file (.CT0, .LT0, .CT1 beside it), the sections of a KVC file or\n"
    "the members of an EDF package, each with its length or \"absent\", and the head\n"
    "grouping and needle-bar codes of its CT0 block. A missing side file is not an error.\n"
    "A ZSK transport file (.Z00 to .Z99) is also described by its design header and thread\n"
    "colours.\n"
    "When the extension names no stitch format this build reads, or one the content does\n"
    "not fit, the format is found from the content (the 512-byte header and records of DST,\n"
    "DSB and DSZ files, DST, Barudan and Zangs records without it, Exp records) and the\n"
    "format line says so.\n"
    "\n"
    "Estimates: the sewing time at N stitches per minute (--spm, default 800), every stitch\n"
    "record (jumps and commands too) one turn of the machine, plus 3 s per trim, 5 s per\n"
    "colour change and 30 s per stop; the top thread and the bobbin thread of each needle\n"
    "block, the bobbin taken as a third of the top thread (the lockstitch rule of thumb).\n"
    "\n"
    "Options:\n"
    "  --json    print a JSON array with one object per file that could be read\n"
    "  --spm N   stitches per minute of the machine for the time estimate (default 800)\n"
    "  --help    show this help\n"
    "\n"
    "Exit status: 0 every file was read, 1 some file could not be read (one line on stderr\n"
    "each; the other files are still reported), 2 wrong usage.\n";

// Stitch record units are 0.1 mm.
constexpr double kUnitsPerMm = 10.0;

double mm(int units) {
  return units / kUnitsPerMm;
}

// Thread in metres, rounded to the millimetre.
double metresFromMm(double millimetres) {
  return std::round(millimetres) / 1000.0;
}

struct FormatText {
  std::int32_t code;
  std::string_view family;     // "DST", ... or empty
  std::string_view extension;  // extension the code is written as, or empty
  std::string_view role;       // what the library does with it, or empty
};

FormatText describeFormat(std::int32_t code) {
  const DiskFormatInfo* row = findDiskFormat(code);
  if (row == nullptr) return FormatText{code, {}, {}, {}};
  return FormatText{code, diskFormatFamilyName(row->family), row->writtenAs, row->role};
}

// Extents in record units. A design without stitches has none; its extents are the start
// point.
struct Extents {
  int minX;
  int maxX;
  int minY;
  int maxY;
};

Extents extentsOf(const StitchStats& stats) {
  if (stats.maxX < stats.minX || stats.maxY < stats.minY) {
    return Extents{stats.startX, stats.startX, stats.startY, stats.startY};
  }
  return Extents{stats.minX, stats.maxX, stats.minY, stats.maxY};
}

// One needle block: the needle (colour index + 1), its stitches and thread in metres.
struct Block {
  int needle;
  int stitches;
  double threadMetres;
};

std::vector<Block> blocksOf(const StitchStats& stats) {
  std::vector<Block> blocks;
  for (int i = 0; i < stats.needles.length(); ++i) {
    const int stitches = i < stats.colourStitchCounts.length() ? stats.colourStitchCounts[i] : 0;
    const double thread =
        i < stats.colourThreadLengths.length() ? stats.colourThreadLengths[i] : 0.0;
    blocks.push_back(Block{stats.needles[i] + 1, stitches, metresFromMm(thread)});
  }
  return blocks;
}

struct FileInfo {
  std::string_view path;
  FormatText format;
  StitchStats stats;
  DecodeEnding ending;
  // What the name reads as, when the format was found from the content instead.
  std::optional<FormatText> nameSays;
  // What travelled with the design in a KVB, KVC or EDF file.
  std::optional<DesignFile> container;
  // The threads another maker's design file carries, and its version (0 for none).
  ThreadPalette threads;
  int version = 0;
  // The sewing time and thread estimate (not for condition files).
  std::optional<SewingEstimate> estimate{};
};

double totalThreadMetres(const StitchStats& stats) {
  return metresFromMm(stats.threadLength / kUnitsPerMm);
}

// --- Sewing estimate: time at the machine's pace, top and bobbin thread per needle block ---

void printEstimate(std::ostream& out, const SewingEstimate& e) {
  char line[160];
  std::snprintf(line, sizeof line,
                "  sewing time     %.1f min at %d stitches per minute (stitches %.1f min, %d "
                "trims, %d colour changes, %d stops)\n",
                e.minutes, e.stitchesPerMinute, e.sewingMinutes, e.trims, e.colourChanges, e.stops);
  out << line;
  std::snprintf(line, sizeof line, "  bobbin thread   %.2f m\n", e.bobbinMetres);
  out << line;
  if (!e.blocks.empty()) out << "    block  needle   top (m)  bobbin (m)\n";
  for (std::size_t i = 0; i < e.blocks.size(); ++i) {
    std::snprintf(line, sizeof line, "    %5zu  %6d  %8.2f  %10.2f\n", i + 1, e.blocks[i].needle,
                  e.blocks[i].topMetres, e.blocks[i].bobbinMetres);
    out << line;
  }
}

void writeEstimateJson(JsonWriter& json, const SewingEstimate& e) {
  json.key("estimate");
  json.beginObject();
  json.key("stitchesPerMinute");
  json.value(e.stitchesPerMinute);
  json.key("minutes");
  json.value(std::round(e.minutes * 100.0) / 100.0);
  json.key("stitchMinutes");
  json.value(std::round(e.sewingMinutes * 100.0) / 100.0);
  json.key("stops");
  json.value(e.stops);
  json.key("threadMetres");
  json.value(metresFromMm(e.topMetres * 1000.0));
  json.key("bobbinMetres");
  json.value(metresFromMm(e.bobbinMetres * 1000.0));
  json.key("needleBlocks");
  json.beginArray();
  for (const NeedleBlockThread& block : e.blocks) {
    json.beginObject();
    json.key("needle");
    json.value(block.needle);
    json.key("threadMetres");
    json.value(metresFromMm(block.topMetres * 1000.0));
    json.key("bobbinMetres");
    json.value(metresFromMm(block.bobbinMetres * 1000.0));
    json.endObject();
  }
  json.endArray();
  json.endObject();
}

// --- End of the sewing estimate ---

void printText(std::ostream& out, const FileInfo& info) {
  const StitchStats& s = info.stats;
  const Extents e = extentsOf(s);
  char line[160];
  out << info.path << '\n';
  out << "  format          code " << info.format.code;
  if (!info.format.family.empty()) out << ", " << info.format.family << " family";
  if (!info.format.extension.empty()) out << ", " << info.format.extension;
  if (!info.format.role.empty()) out << " (" << info.format.role << ')';
  if (info.version != 0) out << ", version " << info.version;
  if (info.nameSays) {
    out << ", found from the content (the name reads as ";
    out << (info.nameSays->code == kFormatNone ? std::string("no format")
                                               : "code " + std::to_string(info.nameSays->code))
        << ')';
  }
  out << '\n';
  std::snprintf(line, sizeof line,
                "  stitches        %d\n"
                "  jumps           %d\n"
                "  trims           %d\n"
                "  commands        %d\n"
                "  colour changes  %d\n",
                s.stitchCount, s.jumpCount, s.trimCount, s.commandCount, s.colourChangeCount);
  out << line;
  std::snprintf(line, sizeof line, "  size            %.1f x %.1f mm\n", mm(e.maxX - e.minX),
                mm(e.maxY - e.minY));
  out << line;
  std::snprintf(line, sizeof line, "  extents         x %.1f .. %.1f mm, y %.1f .. %.1f mm\n",
                mm(e.minX), mm(e.maxX), mm(e.minY), mm(e.maxY));
  out << line;
  std::snprintf(line, sizeof line, "  start point     %.1f, %.1f mm\n", mm(s.startX), mm(s.startY));
  out << line;
  std::snprintf(line, sizeof line, "  end point       %.1f, %.1f mm\n", mm(s.endX), mm(s.endY));
  out << line;
  std::snprintf(line, sizeof line, "  thread          %.2f m\n", totalThreadMetres(s));
  out << line;
  out << "  data ends at    " << describeEnding(info.ending.how) << '\n';
  const std::vector<Block> blocks = blocksOf(s);
  std::snprintf(line, sizeof line, "  needle blocks   %zu\n", blocks.size());
  out << line;
  if (!blocks.empty()) out << "    block  needle  stitches  thread (m)\n";
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    std::snprintf(line, sizeof line, "    %5zu  %6d  %8d  %10.2f\n", i + 1, blocks[i].needle,
                  blocks[i].stitches, blocks[i].threadMetres);
    out << line;
  }
  if (info.estimate) printEstimate(out, *info.estimate);
  if (info.container) printContainer(out, *info.container);
  printZskTransportInfo(out, info.path);
  if (!info.threads.isEmpty()) out << "  threads         " << info.threads.length() << '\n';
  for (const ThreadProperty& thread : info.threads) {
    out << "    " << colourText(thread);
    for (const HString* text : {&thread.name, &thread.code, &thread.manufacturer}) {
      if (!text->isEmpty()) out << "  " << strToUtf8(*text);
    }
    out << '\n';
  }
}

void writePoint(JsonWriter& json, std::string_view name, int x, int y) {
  json.key(name);
  json.beginObject();
  json.key("x");
  json.value(mm(x));
  json.key("y");
  json.value(mm(y));
  json.endObject();
}

void writeJson(JsonWriter& json, const FileInfo& info) {
  const StitchStats& s = info.stats;
  const Extents e = extentsOf(s);
  json.beginObject();
  json.key("file");
  json.value(info.path);
  json.key("format");
  json.beginObject();
  json.key("code");
  json.value(static_cast<int>(info.format.code));
  json.key("family");
  json.value(info.format.family);
  json.key("extension");
  json.value(info.format.extension);
  json.key("role");
  json.value(info.format.role);
  if (info.version != 0) {
    json.key("version");
    json.value(info.version);
  }
  json.key("foundFrom");
  json.value(info.nameSays ? "content" : "name");
  json.endObject();
  json.key("dataEnds");
  json.value(describeEnding(info.ending.how));
  json.key("stitches");
  json.value(s.stitchCount);
  json.key("jumps");
  json.value(s.jumpCount);
  json.key("trims");
  json.value(s.trimCount);
  json.key("commands");
  json.value(s.commandCount);
  json.key("colourChanges");
  json.value(static_cast<int>(s.colourChangeCount));
  json.key("needleBlocks");
  json.beginArray();
  for (const Block& block : blocksOf(s)) {
    json.beginObject();
    json.key("needle");
    json.value(block.needle);
    json.key("stitches");
    json.value(block.stitches);
    json.key("threadMetres");
    json.value(block.threadMetres);
    json.endObject();
  }
  json.endArray();
  json.key("sizeMm");
  json.beginObject();
  json.key("width");
  json.value(mm(e.maxX - e.minX));
  json.key("height");
  json.value(mm(e.maxY - e.minY));
  json.endObject();
  json.key("extentsMm");
  json.beginObject();
  json.key("minX");
  json.value(mm(e.minX));
  json.key("maxX");
  json.value(mm(e.maxX));
  json.key("minY");
  json.value(mm(e.minY));
  json.key("maxY");
  json.value(mm(e.maxY));
  json.endObject();
  writePoint(json, "startMm", s.startX, s.startY);
  writePoint(json, "endMm", s.endX, s.endY);
  json.key("threadMetres");
  json.value(totalThreadMetres(s));
  if (info.estimate) writeEstimateJson(json, *info.estimate);
  if (info.container) writeContainerJson(json, *info.container);
  writeZskTransportInfo(json, info.path);
  if (!info.threads.isEmpty()) writeThreads(json, info.threads);
  json.endObject();
}

}  // namespace

int runInfo(std::span<const std::string_view> args) {
  bool json = false;
  bool optionsEnded = false;
  std::vector<std::string_view> paths;
  EstimateRates rates;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
      if (arg == "--help" || arg == "-h") {
        std::cout << kUsage;
        return kExitOk;
      }
      if (arg == "--json") {
        json = true;
      } else if (arg == "--") {
        optionsEnded = true;
      } else {
        std::string_view value;
        const OptionMatch match = matchValueOption(args, i, "--spm", value);
        if (match != OptionMatch::kMatched) return optionError("info", arg, match, kUsage);
        const std::optional<int> spm = parseWholeNumber(value);
        if (!spm || *spm < 1) {
          return usageError("info",
                            "--spm: '" + std::string(value) +
                                "' is not a whole number of stitches per minute above 0",
                            kUsage);
        }
        rates.stitchesPerMinute = *spm;
      }
      continue;
    }
    paths.push_back(arg);
  }
  if (paths.empty()) {
    std::cerr << "stitchkit info: no file given\n" << kUsage;
    return kExitUsage;
  }

  int exitCode = kExitOk;
  JsonWriter writer(std::cout);
  if (json) writer.beginArray();
  bool first = true;
  for (std::string_view path : paths) {
    if (isConditionFilePath(path)) {
      if (describeConditionFile(path, std::cout, json ? &writer : nullptr, first)) {
        first = false;
      } else {
        exitCode = kExitFailure;
      }
      continue;
    }
    const HString widePath = fromNativePath(std::string(path));
    FileInfo info{path, describeFormat(readFormatOfPath(widePath)), StitchStats{}, {}, {}, {}, {}};
    HXArray<HStitch> stitches;
    int result = kReadOk;
    if (const ContainerKind kind = containerKindOf(widePath); kind != ContainerKind::kNone) {
      if (kind == ContainerKind::kEdf) info.format = describeFormat(kFormatEdf);
      info.container.emplace();
      if (const JobStatus status = readDesignFile(std::string(path), *info.container); !status) {
        std::cerr << "stitchkit info: " << path << ": " << status.message << '\n';
        exitCode = kExitFailure;
        continue;
      }
      info.stats = info.container->stats;
    } else if (const std::optional<ContentFormat> content = contentFormatOf(widePath)) {
      info.format = describeFormat(content->found.format);
      info.nameSays = describeFormat(content->named);
      HXArray<HString> names;
      result = decodeFile(widePath, content->found.format, stitches, info.stats, names, nullptr,
                          content->found.headed ? 1 : 0, nullptr, nullptr, nullptr);
    } else {
      double scale = 1.0;
      int systemError = 0;
      // Other makers' designs are named by the registry and show the threads they carry.
      const bool otherMaker = readFormatOfPath(widePath) == kFormatNone;
      if (otherMaker) {
        HString lower = widePath;
        lower.makeLower();
        info.format = describeFormat(HFileFormat::getFileFormatFromFile(lower, 1));
        info.version = HFileFormat::getFileVersionFromFile(widePath);
      }
      result =
          decodeFile(widePath, stitches, info.stats, scale, otherMaker ? &info.threads : nullptr,
                     nullptr, nullptr, nullptr, &systemError, &info.ending);
      if (result != 0) {
        std::cerr << "stitchkit info: " << path << ": "
                  << describeReadFailure(result, systemError, info.ending) << '\n';
        exitCode = kExitFailure;
        continue;
      }
    }
    if (result != 0) {
      std::cerr << "stitchkit info: " << path << ": the content looks like format "
                << info.format.code << " but does not read as it: " << readResultMessage(result)
                << '\n';
      exitCode = kExitFailure;
      continue;
    }
    // Machines refuse, or wait at the end of, a design whose records stop without an end.
    if (info.ending.how == DataEnding::kEndOfData) {
      std::cerr << "stitchkit info: " << path
                << ": warning: the stitch data ends without an end record\n";
    }
    info.estimate = estimateSewing(info.stats, stitches, rates);
    if (json) {
      writeJson(writer, info);
    } else {
      if (!first) std::cout << '\n';
      printText(std::cout, info);
    }
    first = false;
  }
  if (json) {
    writer.endArray();
    std::cout << '\n';
  }
  return exitCode;
}

}  // namespace stitchkit::cli
