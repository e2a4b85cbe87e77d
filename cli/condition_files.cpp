#include "cli/condition_files.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "stitchkit/machine/ct1_block.h"
#include "stitchkit/machine/cto_file.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit::cli {
namespace {

enum class ConditionKind { kNone, kCT0, kCT1 };

ConditionKind kindOf(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.size() - dot != 4) return ConditionKind::kNone;
  std::string extension(path.substr(dot + 1));
  for (char& c : extension)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (extension == "CT0") return ConditionKind::kCT0;
  if (extension == "CT1") return ConditionKind::kCT1;
  return ConditionKind::kNone;
}

std::string isoDate(std::uint32_t seconds) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  char text[32] = "";
  if (gmtime_r(&time, &parts) != nullptr)
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

// Text of `size` bytes in the multibyte code page, as UTF-8 without trailing blanks.
std::string textOf(const char* bytes, std::size_t size) {
  HString text = mbsToStr(HMultiByteString(bytes, size));
  text.trimRight();
  return strToUtf8(text);
}

bool reportLoad(std::string_view command, std::string_view path, int result,
                const ConditionBlockFault& fault) {
  if (result == kConditionOk) return true;
  std::cerr << "stitchkit " << command << ": " << path << ": ";
  if (result == kConditionNotOpened) {
    std::cerr << "the file does not open\n";
  } else {
    std::cerr << "offset " << fault.offset << ": expected " << fault.expected << '\n';
  }
  return false;
}

void describeCT0(std::string_view path, const CTOFile& block, std::ostream& out, JsonWriter* json) {
  HeadGrouping grouping;
  block.getHeadType(grouping.type);
  block.getNS4(grouping);
  const std::vector<BlockCodes> codes = ct0Codes(block);
  const std::string created = isoDate(block.getTimeDate());
  if (json != nullptr) {
    json->beginObject();
    json->key("file");
    json->value(path);
    json->key("kind");
    json->value("CT0");
    json->key("created");
    json->value(created);
    json->key("conditions");
    json->beginObject();
    for (const ct0::Line& line : ct0::kLines) {
      if (line.key == "NS1:" || line.key == "NS2:") continue;
      json->key(line.key.substr(0, 3));
      json->value(textOf(block.data + line.offset + ct0::kKeyLength, line.width));
    }
    json->endObject();
    writeHeadGrouping(*json, grouping);
    writeCodes(*json, codes);
    json->endObject();
    return;
  }
  out << path << '\n';
  out << "  condition block  CT0, created " << created << '\n';
  for (const ct0::Line& line : ct0::kLines) {
    if (line.key == "NS1:" || line.key == "NS2:") continue;
    out << "  " << line.key.substr(0, 3) << "              "
        << textOf(block.data + line.offset + ct0::kKeyLength, line.width) << '\n';
  }
  printHeadGrouping(out, grouping);
  printCodes(out, codes);
}

std::vector<std::string> presentSections(const CT1Block& block) {
  std::vector<std::string> names;
  for (const ct1::Section& section : ct1::kSections) {
    if (block.header[section.offset + ct1::kFlagPosition] == '1')
      names.emplace_back(section.key.substr(0, 3));
  }
  return names;
}

std::vector<BlockCodes> ct1Codes(const CT1Block& block) {
  std::vector<BlockCodes> codes;
  for (int i = 0; 2 * i + 1 < block.ns1MoreLength; ++i) {
    const auto at = static_cast<std::size_t>(i);
    codes.push_back(
        {ct1::kBlocksInCT0 + i + 1, std::string(&block.ns1More[2 * at], 2),
         i < block.ns2MoreLength ? std::string(1, block.ns2More[at]) : " ",
         2 * i + 1 < block.ns3MoreLength ? std::string(&block.ns3More[2 * at], 2) : "  "});
  }
  return codes;
}

void describeCT1(std::string_view path, const CT1Block& block, std::ostream& out,
                 JsonWriter* json) {
  const std::vector<std::string> sections = presentSections(block);
  const std::vector<BlockCodes> codes = ct1Codes(block);
  if (json != nullptr) {
    json->beginObject();
    json->key("file");
    json->value(path);
    json->key("kind");
    json->value("CT1");
    json->key("blocks");
    json->value(static_cast<int>(block.blockCount));
    json->key("needleBlocks");
    json->value(static_cast<int>(block.needleCount));
    json->key("machineSpeed");
    json->value(static_cast<int>(block.machineSpeed));
    json->key("sections");
    json->beginArray();
    for (const std::string& name : sections)
      json->value(name);
    json->endArray();
    json->key("text1");
    json->value(strToUtf8(block.text1));
    json->key("text2");
    json->value(strToUtf8(block.text2));
    json->key("speeds");
    json->beginArray();
    for (const std::int32_t speed : block.speeds)
      json->value(static_cast<int>(speed));
    json->endArray();
    json->key("presserFoot");
    json->beginArray();
    for (const CT1PresserFootRecord& record : block.presserFoot)
      json->value(std::string_view(record.data(), record.size()));
    json->endArray();
    json->key("comments");
    json->beginArray();
    for (const HString& comment : block.comments)
      json->value(strToUtf8(comment));
    json->endArray();
    json->key("threads");
    json->beginArray();
    for (const CT1ThreadEntry& thread : block.threads) {
      json->beginObject();
      json->key("manufacturer");
      json->value(strToUtf8(mbsToStr(thread.manufacturer)));
      json->key("name");
      json->value(strToUtf8(mbsToStr(thread.name)));
      json->key("code");
      json->value(strToUtf8(mbsToStr(thread.code)));
      json->endObject();
    }
    json->endArray();
    writeCodes(*json, codes);
    json->endObject();
    return;
  }
  out << path << '\n';
  out << "  condition block  CT1\n";
  out << "  colour blocks    " << block.blockCount << '\n';
  out << "  needle blocks    " << block.needleCount << '\n';
  out << "  machine speed    ";
  if (block.machineSpeed == ct1::kNoSpeed) {
    out << "none\n";
  } else {
    out << block.machineSpeed << " per minute\n";
  }
  out << "  sections        ";
  for (const std::string& name : sections)
    out << ' ' << name;
  out << '\n';
  if (block.text1Present != 0) out << "  text 1           " << strToUtf8(block.text1) << '\n';
  if (block.text2Present != 0) out << "  text 2           " << strToUtf8(block.text2) << '\n';
  const int perBlock =
      std::max({block.speeds.length(), block.presserFoot.length(), block.comments.length()});
  if (perBlock > 0) out << "    block  speed  presser foot      comment\n";
  for (int i = 0; i < perBlock; ++i) {
    char line[64];
    const std::string foot = i < block.presserFoot.length()
                                 ? std::string(block.presserFoot[i].data(), 16)
                                 : std::string(16, ' ');
    std::snprintf(line, sizeof line, "    %5d  %5s  %s  ", i + 1,
                  i < block.speeds.length() ? std::to_string(block.speeds[i]).c_str() : "",
                  foot.c_str());
    out << line << (i < block.comments.length() ? strToUtf8(block.comments[i]) : "") << '\n';
  }
  for (const CT1ThreadEntry& thread : block.threads) {
    out << "  thread           " << strToUtf8(mbsToStr(thread.manufacturer)) << ", "
        << strToUtf8(mbsToStr(thread.name)) << ", " << strToUtf8(mbsToStr(thread.code)) << '\n';
  }
  printCodes(out, codes);
}

}  // namespace

std::vector<BlockCodes> ct0Codes(const CTOFile& block) {
  NeedleBarData needles;
  block.getNS1(needles);
  block.getNS2(needles);
  block.getNS3(needles);
  std::vector<BlockCodes> codes;
  for (std::size_t i = 0; i < ct0::kNS2TextLength && needles.ns1[i][1] != ' '; ++i) {
    codes.push_back({static_cast<int>(i) + 1, std::string(needles.ns1[i].data(), 2),
                     std::string(1, needles.ns2[i]), std::string(needles.ns3[i].data(), 2)});
  }
  return codes;
}

void printCodes(std::ostream& out, const std::vector<BlockCodes>& codes) {
  out << "  needle-bar codes " << codes.size() << " blocks\n";
  if (!codes.empty()) out << "    block  NS1  NS2  NS3\n";
  for (const BlockCodes& c : codes) {
    char line[64];
    std::snprintf(line, sizeof line, "    %5d  %-3s  %-3s  %-3s\n", c.block, c.ns1.c_str(),
                  c.ns2.c_str(), c.ns3.c_str());
    out << line;
  }
}

void writeCodes(JsonWriter& json, const std::vector<BlockCodes>& codes) {
  json.key("needleBarCodes");
  json.beginArray();
  for (const BlockCodes& c : codes) {
    json.beginObject();
    json.key("block");
    json.value(c.block);
    json.key("ns1");
    json.value(c.ns1);
    json.key("ns2");
    json.value(c.ns2);
    json.key("ns3");
    json.value(c.ns3);
    json.endObject();
  }
  json.endArray();
}

char headGroupCode(const HeadGrouping& grouping) {
  char code = '1';
  setHeadGroupTypeCode(grouping.type, code);
  return code;
}

void printHeadGrouping(std::ostream& out, const HeadGrouping& grouping) {
  out << "  head grouping    type " << static_cast<int>(grouping.type) << " ('"
      << headGroupCode(grouping) << "')";
  if (grouping.type == kHeadGroupTypeFreePattern) out << ", " << grouping.headCount << " heads";
  out << '\n';
  for (int head = 0; head < grouping.headCount; ++head) {
    out << "    head " << head + 1 << ':';
    const HeadPattern& pattern = grouping.patterns[static_cast<std::size_t>(head)];
    for (int row = 0; row < HeadPattern::kSide; ++row) {
      out << ' ';
      for (int column = 0; column < HeadPattern::kSide; ++column)
        out << (pattern.elements[static_cast<std::size_t>(row * 8 + column)] != 0 ? '#' : '.');
    }
    out << '\n';
  }
}

void writeHeadGrouping(JsonWriter& json, const HeadGrouping& grouping) {
  const char code = headGroupCode(grouping);
  json.key("headGrouping");
  json.beginObject();
  json.key("type");
  json.value(static_cast<int>(grouping.type));
  json.key("code");
  json.value(std::string_view(&code, 1));
  json.key("heads");
  json.value(static_cast<int>(grouping.headCount));
  json.key("patterns");
  json.beginArray();
  for (int head = 0; head < grouping.headCount; ++head) {
    std::string rows;
    for (const std::uint8_t element : grouping.patterns[static_cast<std::size_t>(head)].elements)
      rows += element != 0 ? '1' : '0';
    json.value(rows);
  }
  json.endArray();
  json.endObject();
}

bool isConditionFilePath(std::string_view path) {
  return kindOf(path) != ConditionKind::kNone;
}

bool describeConditionFile(std::string_view path, std::ostream& out, JsonWriter* json, bool first) {
  const HString widePath = fromNativePath(std::string(path));
  ConditionBlockFault fault;
  if (!first && json == nullptr) out << '\n';
  if (kindOf(path) == ConditionKind::kCT0) {
    CTOFile block;
    if (!reportLoad("info", path, loadCTOFile(widePath, block, fault), fault)) return false;
    describeCT0(path, block, out, json);
    return true;
  }
  CT1Block block;
  if (!reportLoad("info", path, block.load(widePath, fault), fault)) return false;
  describeCT1(path, block, out, json);
  return true;
}

int dumpConditionFile(std::string_view path) {
  const HString widePath = fromNativePath(std::string(path));
  ConditionBlockFault fault;
  if (kindOf(path) == ConditionKind::kCT0) {
    CTOFile block;
    if (!reportLoad("dump", path, loadCTOFile(widePath, block, fault), fault)) return kExitFailure;
    for (const HString& line : block.serialize())
      std::cout << strToUtf8(line) << '\n';
    return kExitOk;
  }
  CT1Block block;
  if (!reportLoad("dump", path, block.load(widePath, fault), fault)) return kExitFailure;
  std::size_t start = 0;
  for (std::size_t i = 0; i < ct1::kHeaderSize; ++i) {
    if (block.header[i] != ct1::kLineEnd) continue;
    const std::string line = textOf(block.header.data() + start, i - start);
    const std::size_t from = line.find_first_not_of(' ');
    if (from != std::string::npos) std::cout << line.substr(from) << '\n';
    start = i + 1;
  }
  return kExitOk;
}

}  // namespace stitchkit::cli
