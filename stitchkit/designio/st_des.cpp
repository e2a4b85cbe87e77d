#include "stitchkit/designio/st_des.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "stitchkit/designio/design_codec.h"
#include "stitchkit/designio/jef_codec.h"

namespace stitchkit {

namespace {

// The whole file, or false when it cannot be read or is longer than a design file may be.
bool readWholeFile(const HString& path, std::string& bytes) {
  std::ifstream in(toNativePath(path), std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < 0 || static_cast<std::size_t>(length) > kMaxDesignFileBytes) return false;
  in.seekg(0, std::ios::beg);
  bytes.assign(static_cast<std::size_t>(length), '\0');
  in.read(bytes.data(), length);
  return in.gcount() == length;
}

}  // namespace

void CStDes::LoadDefaultSettings(STDESSETTINGS& settings) {
  settings = STDESSETTINGS();
}

void CStDes::SetDefaultPalette(CThreadArray& threads) {
  threads.RemoveAll();
  for (int index = 1; index < jefChartSize(); ++index)
    threads.Add(jefThreadOfIndex(index));
}

bool CStDes::Load(const HString& path, STDESSETTINGS& settings, CSize& size, IStream* /*stream*/) {
  points.clear();
  threads.RemoveAll();
  const DesignCodec* codec = findDesignCodec(path);
  std::string bytes;
  if (codec == nullptr || !readWholeFile(path, bytes)) return false;
  if (!codec->read(bytes, *this, settings)) {
    points.clear();
    threads.RemoveAll();
    return false;
  }
  size = extents();
  return true;
}

bool CStDes::Save(const HString& path, STDESSETTINGS& settings, CSize& size) const {
  const DesignCodec* codec = findDesignCodec(path);
  std::string bytes;
  if (codec == nullptr || !codec->write(*this, settings, bytes)) return false;
  const std::string nativePath = toNativePath(path);
  bool written = false;
  {
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    written = !out.fail();
  }
  if (!written) {
    std::remove(nativePath.c_str());
    return false;
  }
  size = extents();
  return true;
}

CSize CStDes::extents() const {
  if (points.empty()) return {};
  float minX = points.front().x;
  float maxX = minX;
  float minY = points.front().y;
  float maxY = minY;
  for (const StDesPoint& point : points) {
    minX = std::min(minX, point.x);
    maxX = std::max(maxX, point.x);
    minY = std::min(minY, point.y);
    maxY = std::max(maxY, point.y);
  }
  const auto span = [](float low, float high) {
    const double length = std::round(static_cast<double>(high) - low);
    return std::isfinite(length) ? static_cast<int>(std::min(length, 2.0e9)) : 0;
  };
  return {span(minX, maxX), span(minY, maxY)};
}

}  // namespace stitchkit
