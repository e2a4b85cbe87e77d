#include <cwctype>

#include "stitchkit/files/file_names_internal.h"
#include "stitchkit/platform/h_file.h"

namespace stitchkit::detail {

HString extensionOf(const HString& path) {
  HString drive;
  HString dir;
  HString name;
  HString ext;
  StringUtils::splitPath(path, drive, dir, name, ext);
  return ext;
}

namespace {

constexpr const wchar_t* kHeadedExtensions[] = {L".DST", L".DSB", L".DSZ", L".ZSK"};

}  // namespace

bool extensionStartsWith(const HString& ext, const wchar_t* wanted) {
  constexpr int kComparedCharacters = 4;
  return ext.subString(0, kComparedCharacters).compareNoCase(wanted) == 0;
}

bool isNumberedExtension(const HString& ext, wchar_t letter) {
  const auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
  return ext.length() == 4 && ext[0] == L'.' &&
         std::towupper(static_cast<wint_t>(ext[1])) == std::towupper(static_cast<wint_t>(letter)) &&
         isDigit(ext[2]) && isDigit(ext[3]);
}

bool carriesMachineHeader(const HString& ext) {
  for (const wchar_t* headed : kHeadedExtensions) {
    if (extensionStartsWith(ext, headed)) return true;
  }
  return false;
}

}  // namespace stitchkit::detail
