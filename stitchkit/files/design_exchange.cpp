#include "stitchkit/files/design_exchange.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <span>
#include <vector>

#include "stitchkit/files/kvb_file_internal.h"
#include "stitchkit/platform/compound_file.h"
#include "stitchkit/platform/h_file.h"

namespace stitchkit {
namespace {

// The PES-family formats and the settings version each is written with and read from.
struct VersionRow {
  std::int32_t format;
  int written;
  int read;
  int alsoRead;  // 0 for none
};
constexpr VersionRow kVersions[] = {
    {41, 10, 10, 0},  {42, 20, 20, 0},   {43, 20, 30, 0},   {44, 40, 40, 0},
    {45, 50, 50, 55}, {46, 60, 60, 0},   {56, 70, 70, 0},   {57, 80, 80, 0},
    {62, 90, 90, 0},  {76, 100, 100, 0}, {89, 110, 110, 0},
};
constexpr std::int32_t kEmdFormat = 53;
constexpr std::int32_t kUnflaggedFormat = 27;

struct CodeType {
  std::uint8_t code;
  std::uint8_t type;
};
// Writing: stitch code to point type; any code not listed is written as a jump (1).
constexpr CodeType kWriteTypes[] = {
    {0, 0},   {2, 4},   {3, 2},   {12, 2},  {4, 7},   {5, 8},   {6, 3},  {17, 3},
    {64, 3},  {65, 3},  {7, 22},  {8, 5},   {9, 6},   {10, 9},  {18, 9}, {19, 9},
    {15, 15}, {16, 16}, {21, 14}, {26, 10}, {27, 11}, {28, 12},
};
constexpr std::uint8_t kDropSequin = 20;
constexpr std::uint8_t kDropSequinHead1Type = 31;
constexpr std::uint8_t kUnlistedType = 1;

// Reading: point type to stitch code; any type not listed is a plain stitch (0). Type 31 also
// sets sequin head 1.
struct TypeCode {
  std::uint8_t type;
  std::uint8_t code;
};
constexpr TypeCode kReadCodes[] = {
    {1, 1},  {2, 3},   {3, 6},   {4, 2},   {5, 8},   {6, 9},   {7, 4},
    {8, 5},  {9, 10},  {10, 26}, {11, 27}, {12, 28}, {15, 15}, {16, 16},
    {22, 7}, {26, 12}, {27, 18}, {28, 19}, {29, 20}, {31, 20}, {30, 17},
};

// Thread brands: the palette's name on the left, the design-I/O layer's on the right.
struct BrandRow {
  const wchar_t* palette;
  const wchar_t* design;
};
constexpr BrandRow kBrands[] = {
    {L"Gutermann Dekor", L"Guterman"},         {L"Brother", L"Brother Embroidery"},
    {L"Brother Flesh", L"Brother Flesh Tone"}, {L"Madeira Poly-neon", L"Madeira Polyneon"},
    {L"Madeira 40", L"Madeira Rayon"},         {L"R-A #122 SBP-7", L"Robison Anton Polyneon"},
    {L"R-A SSR-7", L"Robison Anton Rayon"},    {L"Gunold & Stickma-Sulky", L"Sulky Rayon"},
    {L"Ackermann Isafil", L"Isafil"},          {L"Sulky Polyester", L"Sulky Polyneon"},
    {L"Ackerman - Isacord 40", L"Isacord"},    {L"Coats Alcazar", L"Anchor"},
    {L"Viking Palette", L"Viking Palette"},    {L"Janome Palette", L"Janome Palette"},
};

HString renamedBrand(const HString& manufacturer, bool toDesign) {
  for (const BrandRow& row : kBrands) {
    const HString from(toDesign ? row.palette : row.design);
    if (manufacturer.compareNoCase(from) == 0) return HString(toDesign ? row.design : row.palette);
  }
  return manufacturer;
}

std::uint8_t pointType(const HStitch& s) {
  const std::uint8_t code = s.getFlags();
  if (code == kDropSequin) return s.getSequinHead() == 1 ? kDropSequinHead1Type : kUnlistedType;
  const auto* row = std::find_if(std::begin(kWriteTypes), std::end(kWriteTypes),
                                 [code](const CodeType& r) { return r.code == code; });
  return row == std::end(kWriteTypes) ? kUnlistedType : row->type;
}

HStitch stitchOf(const StDesPoint& point) {
  const auto* row = std::find_if(std::begin(kReadCodes), std::end(kReadCodes),
                                 [&point](const TypeCode& r) { return r.type == point.type; });
  const std::uint8_t code = row == std::end(kReadCodes) ? StitchCode::Normal : row->code;
  // Truncated towards zero, within the record's range.
  auto coordinate = [](float v) { return static_cast<short>(std::clamp(v, -32768.0f, 32767.0f)); };
  HStitch s(coordinate(point.x), coordinate(point.y), code);
  s.setColor(point.colour, true);
  if (point.type == kDropSequinHead1Type) s.setSequinHead(1);
  return s;
}

bool endsWith(const HString& path, const wchar_t* ext) {
  HString lower = path;
  lower.makeLower();
  const HString tail(ext);
  return lower.length() >= tail.length() && lower.subString(lower.length() - tail.length()) == tail;
}

// Loads `path` with the default settings and palette (the DSG flag for ".dsg" names when
// `dsg`); kExchangeNoFile or kExchangeFailed, or kExchangeOk.
int load(const HString& path, CStDes& design, STDESSETTINGS& settings, CSize& size, bool dsg) {
  if (path.isEmpty() || !fileExists(path)) return kExchangeNoFile;
  CStDes::LoadDefaultSettings(settings);
  if (dsg && endsWith(path, L".dsg")) settings.dsgVariant = true;
  CStDes::SetDefaultPalette(design.threads);
  return design.Load(path, settings, size, nullptr) ? kExchangeOk : kExchangeFailed;
}

// The design's threads as the palette, brands renamed back and each named by its print name.
void paletteOf(const CThreadArray& threads, ThreadPalette& palette) {
  palette.clear();
  for (int i = 0; i < threads.GetSize(); ++i) {
    const THREAD& thread = threads.GetAt(i);
    palette.add(ThreadProperty(ThreadProperty::rgb(thread.red(), thread.green(), thread.blue()),
                               thread.GetPrintColorName(), thread.code,
                               renamedBrand(thread.manufacturer, false)));
  }
}

}  // namespace

int designSettingsVersion(HDiskFileFormat format) {
  for (const VersionRow& row : kVersions) {
    if (row.format == format) return row.written;
  }
  return 0;
}

int makeGNFile(const HString& path, HDiskFileFormat& format, HXArray<HStitch>& stitches,
               const ThreadPalette& palette, const StitchOptions& /*options*/, CSize& size,
               int* settingsResult) {
  try {
    STDESSETTINGS settings;
    CStDes::LoadDefaultSettings(settings);
    if (const int version = designSettingsVersion(format); version != 0) settings.version = version;
    settings.emdVariant = format == kEmdFormat;
    settings.formatFlag = format != kUnflaggedFormat;
    CStDes design;
    design.points.reserve(static_cast<std::size_t>(stitches.length()));
    for (const HStitch& s : stitches) {
      design.points.push_back(StDesPoint{static_cast<float>(s.xval()), static_cast<float>(s.yval()),
                                         s.getColor(), pointType(s)});
    }
    for (const ThreadProperty& thread : palette) {
      design.threads.Add(THREAD{THREAD::rgb(thread.red(), thread.green(), thread.blue()),
                                thread.name, renamedBrand(thread.manufacturer, true), thread.code});
    }
    const bool saved = design.Save(path, settings, size);
    if (settingsResult != nullptr) *settingsResult = settings.version;
    return saved ? kExchangeOk : kExchangeFailed;
  } catch (const std::exception&) {
    return kExchangeFailed;
  }
}

int decodeGNFile(const HString& path, HXArray<HStitch>& stitches, StitchStats& stats,
                 ThreadPalette& palette, StitchOptions& /*options*/, int /*mode*/,
                 HDiskFileFormat& format, CSize& size) {
  try {
    CStDes design;
    STDESSETTINGS settings;
    if (const int r = load(path, design, settings, size, true); r != kExchangeOk) return r;
    for (const VersionRow& row : kVersions) {
      if (settings.version == row.read || (row.alsoRead != 0 && settings.version == row.alsoRead))
        format = static_cast<HDiskFileFormat>(row.format);
    }
    const int first = stitches.length();
    for (const StDesPoint& point : design.points)
      stitches.add(stitchOf(point));
    if (endsWith(path, L".emb") && stitches.length() > first) {
      if (stitches[first].getFlags() != StitchCode::DesignStart) {
        HStitch start = stitches[first];
        start.setFlags(StitchCode::DesignStart);
        stitches.insert(first, start);
      }
      if (stitches[stitches.length() - 1].getFlags() != StitchCode::DesignEnd) {
        HStitch end = stitches[stitches.length() - 1];
        end.setFlags(StitchCode::DesignEnd);
        stitches.add(end);
      }
    }
    paletteOf(design.threads, palette);
    stats.setupStitchStats(stitches, 1, 0, 0);
    return kExchangeOk;
  } catch (const std::exception&) {
    return kExchangeFailed;
  }
}

int decodeEMBFile(const HString& path, CStDes& design, ThreadPalette& palette, CSize& size) {
  try {
    STDESSETTINGS settings;
    if (const int r = load(path, design, settings, size, false); r != kExchangeOk) return r;
    paletteOf(design.threads, palette);
    return kExchangeOk;
  } catch (const std::exception&) {
    return kExchangeFailed;
  }
}

int readEmbFileIcon(const HString& path, HXArray<unsigned char>& icon) {
  try {
    std::vector<unsigned char> file;
    if (!detail::readWholeFile(path, file, kMaxCompoundFileSize + 1) ||
        file.size() > kMaxCompoundFileSize) {
      return kEmbIconFailed;
    }
    std::vector<std::uint8_t> stream;
    if (readCompoundStream(file, u"DESIGN_ICON", stream) != kCompoundOk) return kEmbIconFailed;
    icon.setSize(static_cast<int>(stream.size()));
    std::copy(stream.begin(), stream.end(), icon.data());
    return kEmbIconOk;
  } catch (const std::exception&) {
    return kEmbIconFailed;
  }
}

}  // namespace stitchkit
