#include "cli/zsk_info.h"

#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "stitchkit/files/read_design.h"
#include "stitchkit/files/zsk_transport_file.h"

namespace stitchkit::cli {
namespace {

// Record units are 0.1 mm.
double mm(int units) {
  return units / 10.0;
}

struct ZskDescription {
  ZSKTransportDesignInfo header;
  ThreadPalette threads;
};

std::optional<ZskDescription> readDescription(std::string_view path) {
  const HString widePath = fromNativePath(std::string(path));
  if (readFormatOfPath(widePath) != kFormatZskTransport) return std::nullopt;
  zsk::ZSKTransportHeader header;
  HList<zsk::ZSKNeedle> needles;
  if (readZSKTransportDescription(widePath, header, needles) != kZskReadOk) return std::nullopt;
  return ZskDescription{describeZSKTransportHeader(header), paletteFromZSKNeedles(needles)};
}

// "dd.mm.yyyyHH:MM" as "dd.mm.yyyy HH:MM"; anything else as it stands.
std::string dateText(const std::string& stored) {
  return stored.size() == 15 ? stored.substr(0, 10) + ' ' + stored.substr(10) : stored;
}

}  // namespace

void printZskTransportInfo(std::ostream& out, std::string_view path) {
  const std::optional<ZskDescription> d = readDescription(path);
  if (!d) return;
  const ZSKTransportDesignInfo& h = d->header;
  char line[200];
  out << "  design header   name '" << h.name << "', written " << dateText(h.written) << '\n';
  if (h.tagged) {
    std::snprintf(line, sizeof line,
                  "                  %u stitches, x %.1f .. %.1f mm, y %.1f .. %.1f mm, end %.1f, "
                  "%.1f mm\n",
                  h.stitchCount, mm(h.minX), mm(h.maxX), mm(h.minY), mm(h.maxY), mm(h.endX),
                  mm(h.endY));
    out << line;
  } else {
    out << "                  laid out by other software: its figures are not shown\n";
  }
  std::snprintf(line, sizeof line, "  threads         %d\n", d->threads.length());
  out << line;
  if (!d->threads.isEmpty())
    out << "    thread  colour   name             code      manufacturer\n";
  for (int i = 0; i < d->threads.length(); ++i) {
    const ThreadProperty& t = d->threads[i];
    std::snprintf(line, sizeof line, "    %6d  %s  %-15s  %-8s  %s\n", i + 1, colourText(t).c_str(),
                  strToUtf8(t.name).c_str(), strToUtf8(t.code).c_str(),
                  strToUtf8(t.manufacturer).c_str());
    out << line;
  }
}

void writeZskTransportInfo(JsonWriter& json, std::string_view path) {
  const std::optional<ZskDescription> d = readDescription(path);
  if (!d) return;
  const ZSKTransportDesignInfo& h = d->header;
  json.key("zskTransport");
  json.beginObject();
  json.key("header");
  json.beginObject();
  json.key("layout");
  json.value(h.tagged ? "this library's" : "other software's");
  json.key("designName");
  json.value(h.name);
  json.key("written");
  json.value(dateText(h.written));
  if (h.tagged) {
    json.key("stitches");
    json.value(static_cast<long long>(h.stitchCount));
    json.key("extentsMm");
    json.beginObject();
    for (const auto& [name, units] : {std::pair{"minX", h.minX}, std::pair{"maxX", h.maxX},
                                      std::pair{"minY", h.minY}, std::pair{"maxY", h.maxY}}) {
      json.key(name);
      json.value(mm(units));
    }
    json.endObject();
    json.key("endMm");
    json.beginObject();
    json.key("x");
    json.value(mm(h.endX));
    json.key("y");
    json.value(mm(h.endY));
    json.endObject();
  }
  json.endObject();
  writeThreads(json, d->threads);
  json.endObject();
}

}  // namespace stitchkit::cli
