#pragma once

#include <cstdint>
#include <vector>

#include "stitchkit/designio/thread_array.h"
#include "stitchkit/platform/geometry.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// A source of design bytes a host may pass to CStDes::Load; the loaders here read files only.
struct IStream;

// Point types of a design object's stitch points. The ones the file codecs produce or treat
// specially are named; the others (5 borer in, 6 borer out, 7 slow down, 8 speed up, 9 change
// over, 10 to 12 stitch variants, 14 jump trim, 15 and 16 chenille, 26 upper trim, 27 to 31
// sequin functions, 30 chenille height) pass through a design object unchanged.
namespace StDesPointType {
inline constexpr std::uint8_t Normal = 0;
inline constexpr std::uint8_t Jump = 1;
inline constexpr std::uint8_t Trim = 2;
inline constexpr std::uint8_t Stop = 3;
inline constexpr std::uint8_t ColourChange = 4;
inline constexpr std::uint8_t End = 22;
}  // namespace StDesPointType

// One stitch point: an absolute position in 0.1 mm (y grows downwards, as in the stitch
// records; the files here store y growing upwards), the number of the thread in the design's
// thread array, and the point type.
struct StDesPoint {
  float x = 0.0f;
  float y = 0.0f;
  std::uint16_t colour = 0;
  std::uint8_t type = StDesPointType::Normal;

  bool operator==(const StDesPoint&) const = default;
};

// How a design object loads and saves.
struct STDESSETTINGS {
  // The format version the last load found (0 for formats without one); a host sets the
  // version it wants written for formats that have several.
  int version = 0;
  // Write the EMD variant of a format that has one.
  bool emdVariant = false;
  // Set for every format except one, for which a host clears it.
  bool formatFlag = true;
  // The file is a DSG design.
  bool dsgVariant = false;
  // Time stamp written into files that carry one, in seconds since 1970-01-01 UTC; negative
  // means the time of saving.
  std::int64_t saveTime = -1;
  // JEF hoop code to write; negative chooses the smallest hoop that holds the design.
  int hoopCode = -1;
};

// A design in another maker's format: its stitch points and threads, loaded from and saved to
// files whose codec is chosen by the file's extension (case-insensitive).
class CStDes {
 public:
  static void LoadDefaultSettings(STDESSETTINGS& settings);
  // Empties `threads` and fills them with the library's thread chart.
  static void SetDefaultPalette(CThreadArray& threads);

  // Replaces the points and threads with those of the file at `path`; `size` receives the
  // design's width and height. `stream` is not read. False, with an empty design, when no
  // codec takes the extension or the file cannot be read or is malformed.
  bool Load(const HString& path, STDESSETTINGS& settings, CSize& size, IStream* stream);
  // Writes the design to `path` in the format its extension names; `size` receives the
  // design's width and height. False when no codec takes the extension, the design cannot be
  // expressed or the file cannot be written (a partly written file is removed).
  bool Save(const HString& path, STDESSETTINGS& settings, CSize& size) const;

  // Width and height of the box around all points (positions rounded to whole units).
  CSize extents() const;

  std::vector<StDesPoint> points;
  CThreadArray threads;
};

}  // namespace stitchkit
