#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_options.h"
#include "stitchkit/model/stitch_options_serializer.h"
#include "stitchkit/platform/h_array.h"

// Building blocks shared by the tests: byte strings, stitches and designs, the sample files,
// and the parts of a design that a round trip must keep.
namespace stitchkit::testing_support {

using Bytes = std::vector<unsigned char>;
using Points = std::vector<std::pair<int, int>>;

inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes repeat(const Bytes& part, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i)
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

inline HStitch stitch(int x, int y, int code = StitchCode::Normal, int colour = 0, int data = 0) {
  HStitch s(static_cast<short>(x), static_cast<short>(y), static_cast<std::uint8_t>(code),
            static_cast<unsigned short>(colour));
  if (data != 0) s.setData(static_cast<unsigned short>(data));
  return s;
}

// Sets options named as a profile names them, "Name=value Name=value", through their setters.
// KeepOriginalStitch, which no profile holds, is taken too.
inline void setOptions(StitchOptions& o, const char* settings) {
  std::istringstream in(settings);
  std::string item;
  const StitchOptionsSerializer serializer;
  while (in >> item) {
    const std::size_t eq = item.find('=');
    const std::string name = item.substr(0, eq);
    const int value = std::stoi(item.substr(eq + 1));
    if (name == "KeepOriginalStitch") {
      o.setKeepOriginalStitch(value);
    } else {
      const int id = serializer.getOptionId(HString(name.c_str()));
      if (id < 0) throw std::invalid_argument("no option " + name);
      serializer.setOptionIntValue(id, o, value);
    }
  }
}

template <typename Range>
HXArray<HStitch> design(const Range& stitches) {
  HXArray<HStitch> out;
  for (const HStitch& s : stitches)
    out.add(s);
  return out;
}

inline HXArray<HStitch> design(std::initializer_list<HStitch> stitches) {
  return design<std::initializer_list<HStitch>>(stitches);
}

// A stitch standing for the real stitches `real` (a virtual stitch).
inline HStitch virtualStitch(int x, int y, int code, std::initializer_list<HStitch> real) {
  HStitch s = stitch(x, y, code);
  s.setRealStitches(design(real));
  return s;
}

template <typename T>
std::vector<T> items(const HXArray<T>& array) {
  return std::vector<T>(array.begin(), array.end());
}

// Needle penetrations (normal stitches) in order.
template <typename Range>
Points penetrations(const Range& stitches) {
  Points out;
  for (const HStitch& s : stitches)
    if (s.isNormal()) out.emplace_back(s.xval(), s.yval());
  return out;
}

// The colours of the normal stitches, each run of one colour once.
template <typename Range>
std::vector<int> colourSequence(const Range& stitches) {
  std::vector<int> out;
  for (const HStitch& s : stitches)
    if (s.isNormal() && (out.empty() || out.back() != s.getColor())) out.push_back(s.getColor());
  return out;
}

// The sample files of one folder (read in place), sorted by name.
inline std::vector<std::filesystem::path> sampleFiles(const char* folder) {
  std::vector<std::filesystem::path> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(
           std::filesystem::path(STITCHKIT_SAMPLES_DIR) / folder, ec))
    if (e.is_regular_file()) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

inline Bytes fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace stitchkit::testing_support
