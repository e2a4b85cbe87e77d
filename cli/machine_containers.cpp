#include "cli/machine_containers.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "cli/condition_files.h"
#include "stitchkit/files/edf_package.h"
#include "stitchkit/files/kvb_file.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/machine/cto_file.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_wrapper.h"
#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/thread_palette.h"

namespace stitchkit::cli {
namespace {

// The length of the file at `path`, 0 when there is none.
std::size_t fileBytes(const HString& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(toNativePath(path), error);
  return error ? 0 : static_cast<std::size_t>(size);
}

std::string partName(const ContainerContents& contents, const std::string& part) {
  switch (contents.kind) {
    case ContainerKind::kKvb:
      return part + " side file";
    case ContainerKind::kKvc:
      return part + " section";
    default:
      return part + " member";
  }
}

std::string_view kindName(ContainerKind kind) {
  switch (kind) {
    case ContainerKind::kKvb:
      return "KVB";
    case ContainerKind::kKvc:
      return "KVC";
    case ContainerKind::kEdf:
      return "EDF";
    case ContainerKind::kNone:
      break;
  }
  return "";
}

// The CT0 block of the condition lines read.
std::unique_ptr<CTOFile> conditionBlock(const ContainerContents& contents) {
  auto block = std::make_unique<CTOFile>();
  block->deserialize(contents.lines);
  return block;
}

constexpr const wchar_t* kSideFiles[] = {L"CT0", L"LT0", L"CT1"};

HString sideOf(const HString& path, const wchar_t* side) {
  HString sidePath = path;
  fixname(sidePath, side);
  return sidePath;
}

}  // namespace

ContainerKind containerKindOf(const HString& path) {
  HString upper = path;
  upper.makeUpper();
  if (upper.length() < 4) return ContainerKind::kNone;
  const HString ext = upper.subString(upper.length() - 4);
  if (ext == L".KVB") return ContainerKind::kKvb;
  if (ext == L".KVC") return ContainerKind::kKvc;
  if (ext == L".EDF") return ContainerKind::kEdf;
  return ContainerKind::kNone;
}

int readContainer(const HString& path, ContainerKind kind, HXArray<HStitch>& stitches,
                  StitchStats& stats, ContainerContents& contents) {
  contents.kind = kind;
  StitchDecoderOptions options;
  options.setFileFormat(kind == ContainerKind::kEdf ? kFormatEdf : kFormatKvb);
  StitchArrayWrapper wrapper(stitches);
  HList<LT0LaserBlock> laserBlocks;
  HXArray<HString>& lines = contents.lines;
  MachineRepeatSettings& repeat = contents.repeat;
  ThreadPalette* palette = &contents.palette;
  int result = kKvbReadOk;
  switch (kind) {
    case ContainerKind::kKvb: {
      result = decodeKVBFile(path, wrapper, options, stats, lines, contents.grouping, repeat,
                             laserBlocks, palette, nullptr);
      for (const wchar_t* side : kSideFiles) {
        const HString sidePath = sideOf(path, side);
        contents.parts.push_back({partName(contents, strToUtf8(HString(side))),
                                  fileExists(sidePath) ? fileBytes(sidePath) : 0});
      }
      break;
    }
    case ContainerKind::kKvc: {
      KvcSections sections;
      result = decodeKVCFile(path, wrapper, options, stats, lines, contents.grouping, repeat,
                             laserBlocks, palette, nullptr, nullptr, nullptr, &sections);
      const std::pair<const char*, std::size_t> named[] = {
          {"CT0", sections.ct0},     {"attached file", sections.attached},
          {"LT0", sections.lt0},     {"CT1", sections.ct1},
          {"fifth", sections.fifth}, {"TT0", sections.tt0}};
      for (const auto& [name, bytes] : named)
        contents.parts.push_back({partName(contents, name), bytes});
      break;
    }
    case ContainerKind::kEdf: {
      EdfMembers members;
      result = decodeEDFFile(path, wrapper, options, stats, lines, contents.grouping, repeat,
                             palette, &members);
      const std::pair<const char*, std::size_t> named[] = {{"KVB", members.kvb},
                                                           {"CT0", members.ct0},
                                                           {"design-graphics", members.graphics},
                                                           {"AD0", members.ad0}};
      for (const auto& [name, bytes] : named)
        contents.parts.push_back({partName(contents, name), bytes});
      break;
    }
    case ContainerKind::kNone:
      return kKvbReadWrongFormat;
  }
  return result;
}

std::string describeContainerFailure(ContainerKind kind, int result) {
  const std::string name(kindName(kind));
  switch (result) {
    case kKvbReadCannotOpen:
      return kind == ContainerKind::kEdf ? "the package does not open" : "the file does not open";
    case kKvbReadShort:
      return kind == ContainerKind::kEdf
                 ? "not an EDF package this library can decipher, or its directory or a member "
                   "is cut short"
                 : "the " + name + " header, palette or a section is cut short";
    case kKvbReadDecodeFailed:
      return "the KVB stitch records do not decode";
    default:
      return "no KVB reader for it (result " + std::to_string(result) + ")";
  }
}

void printContainer(std::ostream& out, const ContainerContents& contents) {
  out << "  container       " << kindName(contents.kind) << ", " << contents.palette.length()
      << " palette threads\n";
  for (const ContainerPart& part : contents.parts) {
    char line[96];
    if (part.bytes > 0) {
      std::snprintf(line, sizeof line, "    %-22s %zu bytes\n", part.name.c_str(), part.bytes);
    } else {
      std::snprintf(line, sizeof line, "    %-22s absent\n", part.name.c_str());
    }
    out << line;
  }
  if (contents.lines.isEmpty()) {
    out << "  conditions      none (no CT0 block: needle bars and head grouping unknown)\n";
    return;
  }
  printHeadGrouping(out, contents.grouping);
  printCodes(out, ct0Codes(*conditionBlock(contents)));
}

void writeContainerJson(JsonWriter& json, const ContainerContents& contents) {
  json.key("container");
  json.beginObject();
  json.key("kind");
  json.value(kindName(contents.kind));
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
  if (!contents.lines.isEmpty()) {
    writeHeadGrouping(json, contents.grouping);
    writeCodes(json, ct0Codes(*conditionBlock(contents)));
  }
  json.endObject();
}

}  // namespace stitchkit::cli

namespace stitchkit::cli {

int moveSideFiles(const HString& written, const HString& target) {
  for (const wchar_t* side : kSideFiles) {
    const std::string from = toNativePath(sideOf(written, side));
    const std::string to = toNativePath(sideOf(target, side));
    std::error_code error;
    if (std::filesystem::exists(from, error)) {
      std::filesystem::rename(from, to, error);
    } else {
      std::filesystem::remove(to, error);
    }
    if (error) return error.value();
  }
  return 0;
}

void removeSideFiles(const HString& written) {
  for (const wchar_t* side : kSideFiles) {
    std::error_code ignored;
    std::filesystem::remove(toNativePath(sideOf(written, side)), ignored);
  }
}

}  // namespace stitchkit::cli
