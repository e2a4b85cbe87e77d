#pragma once

#include <cstdint>

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// Status values of the compatibility tests.
inline constexpr std::uint32_t kFileFormatCompatible = 0;
inline constexpr std::uint32_t kFileFormatNotCompatible = 0x80004005;
// Either code is kFormatNone.
inline constexpr std::uint32_t kFileFormatNoFormat = 0xA0030011;

// Turns file names, extensions and file-dialog filters into disk file format codes and back,
// and says whether a format may be written under a code or extension. All mappings are the
// columns of the format table (diskFormatTable): what reads as a code, what a code is written
// as, and the filters that select it. Holds no state; every operation is static and never
// fails loudly: what matches nothing gives kFormatNone.
class HFileFormat {
 public:
  // The code `ext` (with its leading dot) reads as. Extensions compare exactly, so ".DST"
  // matches no row; the numbered extensions (".Z00", ".u15": the letter in either case and
  // two decimal digits, four characters in all) read as kFormatZskTransport and kFormatU01.
  static HDiskFileFormat convertExtToFileFormat(const HString& ext);
  // The extension `format` is written as, with its dot ("." for codes written without one);
  // empty for kFormatNone, codes outside the table and codes written as nothing.
  static HString convertFileFormatToExt(HDiskFileFormat format);
  // The code a dialog filter selects; only a whole filter string of the table matches.
  static HDiskFileFormat convertFilterToFileFormat(const HString& filter);
  // The code of `path` by its extension (kFormatNone for an empty path). An HSF path is
  // opened unless `doNotOpen`, and answers the format of the records it carries.
  static HDiskFileFormat getFileFormatFromFile(const HString& path, int doNotOpen);
  // The format of the records an HSF file carries, from its information header: kFormatHsf
  // when the file does not open or its header does not read, kFormatNone for an empty path
  // or a header that names no format.
  static HDiskFileFormat getFileFormatFromHSFFile(const HString& path);
  // The version of another maker's design file as the design-I/O layer's load reports it
  // (10 to 110 for the PES family, 0 for formats without versions), or 0 when the file does
  // not load.
  static int getFileVersionFromFile(const HString& path);

  // Whether a design of `format` may be written as `target`: kFileFormatCompatible when
  // `target` heads a format family (the code the family's extension reads as) and `format`
  // belongs to that family, or when the codes are equal; kFileFormatNoFormat when either is
  // kFormatNone; kFileFormatNotCompatible otherwise. Not symmetric: a variant may be written
  // under its family's head, not the other way round.
  static std::uint32_t isFileFormatCompatible(HDiskFileFormat format, HDiskFileFormat target);
  // isFileFormatCompatible with the code `ext` reads as.
  static std::uint32_t isFileFormatCompatibleWithExt(HDiskFileFormat format, const HString& ext);
};

}  // namespace stitchkit
