#include "stitchkit/formats/file_format_registry.h"

#include <cwctype>
#include <fstream>

#include "stitchkit/designio/st_des.h"
#include "stitchkit/files/hsf_file.h"
#include "stitchkit/platform/h_file.h"

namespace stitchkit {
namespace {

// The extension part of a path is taken into a buffer of this many characters, terminator
// included; a longer extension is cut.
constexpr int kExtensionBufferSize = 256;

// ".Z00" and ".u15": a dot, the letter in either case, two decimal digits.
bool isNumberedExtension(const HString& ext, char letter) {
  if (ext.length() != 4 || ext[0] != L'.') return false;
  const wchar_t upper = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ext[1])));
  return upper == static_cast<wchar_t>(letter) && std::iswdigit(static_cast<wint_t>(ext[2])) &&
         std::iswdigit(static_cast<wint_t>(ext[3]));
}

bool equalsLiteral(const HString& text, std::string_view literal) {
  if (text.length() != static_cast<int>(literal.size())) return false;
  for (int i = 0; i < text.length(); ++i) {
    if (text[i] != static_cast<unsigned char>(literal[static_cast<std::size_t>(i)])) return false;
  }
  return true;
}

// The code that heads `family`: the one the family's written extension reads as.
HDiskFileFormat familyHead(DiskFormatFamily family) {
  for (const DiskFormatInfo& row : diskFormatTable()) {
    if (row.family == family) {
      return HFileFormat::convertExtToFileFormat(utf8ToStr(std::string(row.writtenAs)));
    }
  }
  return kFormatNone;
}

}  // namespace

HDiskFileFormat HFileFormat::convertExtToFileFormat(const HString& ext) {
  // Every extension and numbered rule belongs to one row only, so the first match is the
  // only one.
  for (const DiskFormatInfo& row : diskFormatTable()) {
    for (std::string_view readFrom : row.readFrom) {
      if (!readFrom.empty() && equalsLiteral(ext, readFrom)) return row.code;
    }
    if (row.numberedLetter != 0 && isNumberedExtension(ext, row.numberedLetter)) return row.code;
  }
  return kFormatNone;
}

HString HFileFormat::convertFileFormatToExt(HDiskFileFormat format) {
  const DiskFormatInfo* row = findDiskFormat(format);
  return row == nullptr ? HString() : utf8ToStr(std::string(row->writtenAs));
}

HDiskFileFormat HFileFormat::convertFilterToFileFormat(const HString& filter) {
  for (const DiskFormatInfo& row : diskFormatTable()) {
    for (std::string_view text : row.filters) {
      if (!text.empty() && equalsLiteral(filter, text)) return row.code;
    }
  }
  return kFormatNone;
}

HDiskFileFormat HFileFormat::getFileFormatFromFile(const HString& path, int doNotOpen) {
  if (path.isEmpty()) return kFormatNone;
  HString drive;
  HString dir;
  HString name;
  HString ext;
  StringUtils::splitPath(path, drive, dir, name, ext);
  if (ext.length() >= kExtensionBufferSize) ext = ext.subString(0, kExtensionBufferSize - 1);
  const HDiskFileFormat format = convertExtToFileFormat(ext);
  // An HSF file names inside which machine format it carries.
  if (format == kFormatHsf && doNotOpen == 0) return getFileFormatFromHSFFile(path);
  return format;
}

HDiskFileFormat HFileFormat::getFileFormatFromHSFFile(const HString& path) {
  if (path.isEmpty()) return kFormatNone;
  std::ifstream in(toNativePath(path), std::ios::binary);
  if (!in) return kFormatHsf;
  HchInfoHeader header;
  if (readHchInfoHeader(in, header) != 0) return kFormatHsf;
  return convertHchInfoHeaderToFileFormat(header);
}

int HFileFormat::getFileVersionFromFile(const HString& path) {
  STDESSETTINGS settings;
  CStDes::LoadDefaultSettings(settings);
  CSize size;
  CStDes design;
  return design.Load(path, settings, size, nullptr) ? settings.version : 0;
}

std::uint32_t HFileFormat::isFileFormatCompatible(HDiskFileFormat format, HDiskFileFormat target) {
  if (format == kFormatNone || target == kFormatNone) return kFileFormatNoFormat;
  const DiskFormatFamily family = diskFormatFamily(target);
  if (family != DiskFormatFamily::kNone && familyHead(family) == target) {
    return diskFormatFamily(format) == family ? kFileFormatCompatible : kFileFormatNotCompatible;
  }
  return format == target ? kFileFormatCompatible : kFileFormatNotCompatible;
}

std::uint32_t HFileFormat::isFileFormatCompatibleWithExt(HDiskFileFormat format,
                                                         const HString& ext) {
  return isFileFormatCompatible(format, convertExtToFileFormat(ext));
}

}  // namespace stitchkit
