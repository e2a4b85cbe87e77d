#include "stitchkit/machine/machine_format_catalogue.h"

#include <charconv>
#include <exception>
#include <fstream>
#include <string_view>

#include "stitchkit/formats/file_format_registry.h"
#include "stitchkit/machine/machine_format_table.h"
#include "stitchkit/model/stitch_options_serializer.h"
#include "stitchkit/platform/console_app.h"
#include "stitchkit/platform/h_file.h"

namespace stitchkit {
namespace {

constexpr int kFactorySeitId = -1;
constexpr int kFactorySeitOffset = 2200;

// The family a machine format for the code should belong to, when one is preferred.
struct PreferredFamily {
  HDiskFileFormat format;
  const wchar_t* family;
};
constexpr PreferredFamily kPreferredFamilies[] = {
    {kFormatDst, L"Korvan"},
    {kFormatKvb, L"Korvan KVB"},
    {kFormatKvc, L"Korvan KVB"},
};

HString machineFormatDirectory() {
  const ConsoleApp* host = getConsoleApp();
  HString dir = host != nullptr ? host->getMachineFormatDirectory() : HString();
  return dir.isEmpty() ? HString(L".") : dir;
}

HString displayName(int id) {
  const ConsoleApp* host = getConsoleApp();
  return host != nullptr ? host->getDisplayName(id) : HString();
}

bool isPathSeparator(wchar_t c) {
  return c == L'/' || c == L'\\';
}

bool hasPathSeparator(const HString& name) {
  for (int i = 0; i < name.length(); ++i) {
    if (isPathSeparator(name[i])) return true;
  }
  return false;
}

// Calls `visit(code)` for every code of a row's code list, ranges expanded; stops early when
// it returns true, and then returns true.
template <class Visit>
bool forEachCode(std::string_view codes, Visit visit) {
  while (!codes.empty()) {
    const std::size_t end = codes.find(' ');
    const std::string_view item = codes.substr(0, end);
    codes = end == std::string_view::npos ? std::string_view() : codes.substr(end + 1);
    int first = 0;
    auto [next, error] = std::from_chars(item.data(), item.data() + item.size(), first);
    int last = first;
    if (error == std::errc() && next != item.data() + item.size() && *next == '-') {
      std::from_chars(next + 1, item.data() + item.size(), last);
    }
    for (int code = first; code <= last; ++code) {
      if (visit(static_cast<HDiskFileFormat>(code))) return true;
    }
  }
  return false;
}

int findFactoryRow(HDiskFileFormat format) {
  for (int row = 0; row < static_cast<int>(std::size(kFactoryMachineFormats)); ++row) {
    if (forEachCode(kFactoryMachineFormats[row].codes,
                    [format](HDiskFileFormat code) { return code == format; })) {
      return row;
    }
  }
  return -1;
}

// Applies "Key=Value Key=Value ..." through the serializer, in order.
void applyOptionText(std::wstring_view text, StitchOptions& options) {
  const StitchOptionsSerializer serializer;
  while (!text.empty()) {
    const std::size_t end = text.find(L' ');
    const std::wstring_view item = text.substr(0, end);
    text = end == std::wstring_view::npos ? std::wstring_view() : text.substr(end + 1);
    const std::size_t equals = item.find(L'=');
    const int id = serializer.getOptionId(HString(HWideString(item.substr(0, equals))));
    serializer.setOptionValue(id, options, HString(HWideString(item.substr(equals + 1))));
  }
}

// Loads `name` into a fresh record; true when it loads and suits `format`.
bool loadsCompatible(const HString& name, HDiskFileFormat format, StitchOptions& options) {
  options = StitchOptions();
  return !name.isEmpty() && GetMachineFormatOptions(name, options) == kMachineFormatOk &&
         options.isCompatible(format);
}

int bestCompatible(HDiskFileFormat format, HString& name, StitchOptions& options) {
  if (format < 0 || format >= kFormatNone) return kMachineFormatInvalidParameter;

  HString candidateName;
  StitchOptions candidate;
  if (GetDefaultMachineFormat(candidateName, candidate) == kMachineFormatOk &&
      !candidateName.isEmpty() && candidate.isCompatible(format)) {
    name = candidateName;
    options = candidate;
    return kMachineFormatOk;
  }

  HList<HString> installed;
  HString ignored;
  if (GetMachineFormats(installed, ignored) == kMachineFormatOk && !installed.isEmpty()) {
    HString preferred;
    getBestDefaultMachineFormatsForFileTypes(format, preferred);
    bool haveFallback = false;
    HString fallbackName;
    StitchOptions fallback;
    for (const HString& each : installed) {
      if (!loadsCompatible(each, format, candidate) || candidate.getCanDelete() != 0) continue;
      if (preferred.isEmpty() || candidate.getFormatType() == preferred) {
        name = each;
        options = candidate;
        return kMachineFormatOk;
      }
      if (!haveFallback) {
        haveFallback = true;
        fallbackName = each;
        fallback = candidate;
      }
    }
    if (haveFallback) {
      name = fallbackName;
      options = fallback;
      return kMachineFormatOk;
    }
    for (const HString& each : installed) {
      if (!loadsCompatible(each, format, candidate) || candidate.getCanDelete() == 0) continue;
      name = each;
      options = candidate;
      return kMachineFormatOk;
    }
  }
  return makeFactoryMachineFormat(format, name, options);
}

}  // namespace

int GetMachineFormats(HList<HString>& list, HString& text) {
  try {
    list.empty();
    text = HString();
    HDirectory directory(machineFormatDirectory());
    directory.setFileSpec(HString(L"*.ini"));
    const int found = directory.open();
    if (found == kDirectoryFailed) return kMachineFormatFailed;
    if (found <= 0) return kMachineFormatOk;
    for (const HString& path : directory.getEntries()) {
      HString drive;
      HString dir;
      HString base;
      HString ext;
      StringUtils::splitPath(path, drive, dir, base, ext);
      list.append(base);
    }
    return kMachineFormatOk;
  } catch (const std::exception&) {
    list.empty();
    return kMachineFormatFailed;
  }
}

int GetMachineFormatOptions(const HString& name, StitchOptions& options) {
  if (name.isEmpty() || hasPathSeparator(name)) return kMachineFormatInvalidParameter;
  try {
    HString path = machineFormatDirectory();
    if (!isPathSeparator(path[path.length() - 1])) path += L'/';
    path += name;
    path += HString(L".ini");
    // A profile on a missing or unreadable file reads as empty; that is no machine format.
    if (!fileExists(path) || !std::ifstream(toNativePath(path)).is_open()) {
      return kMachineFormatFailed;
    }
    const StitchOptionsProfile profile(path);
    return profile.loadOptions(options) == 0 ? kMachineFormatOk : kMachineFormatFailed;
  } catch (const std::exception&) {
    return kMachineFormatFailed;
  }
}

int GetDefaultMachineFormat(HString& name, StitchOptions& options) {
  const ConsoleApp* host = getConsoleApp();
  if (host == nullptr) return kMachineFormatInvalidParameter;
  try {
    HString hostName;
    if (!host->getDefaultMachineFormat(hostName)) return kMachineFormatInvalidParameter;
    name = hostName;
    return GetMachineFormatOptions(name, options);
  } catch (const std::exception&) {
    return kMachineFormatFailed;
  }
}

int GetBestCompatibleMachineFormat(HDiskFileFormat format, HString& name, StitchOptions& options) {
  try {
    return bestCompatible(format, name, options);
  } catch (const std::exception&) {
    return kMachineFormatFailed;
  }
}

int GetBestCompatibleMachineFormat(const HString& fileName, const HString& currentName,
                                   const StitchOptions& currentOptions, HString& name,
                                   StitchOptions& options) {
  if (fileName.isEmpty()) return kMachineFormatInvalidParameter;
  try {
    const HDiskFileFormat detected = HFileFormat::getFileFormatFromFile(fileName, 0);
    if (!currentName.isEmpty() && currentOptions.getFileFormat() == detected) {
      name = currentName;
      options = currentOptions;
      return kMachineFormatOk;
    }
    return bestCompatible(detected, name, options);
  } catch (const std::exception&) {
    return kMachineFormatFailed;
  }
}

int GetCompatibleMachineFormats(HDiskFileFormat format, HList<HString>& list, HString& best) {
  try {
    list.empty();
    best = HString();
    HList<HString> installed;
    HString ignored;
    HString preferred;
    getBestDefaultMachineFormatsForFileTypes(format, preferred);
    if (GetMachineFormats(installed, ignored) != kMachineFormatOk) return kMachineFormatOk;
    bool preferredTaken = false;
    bool factoryTaken = false;
    StitchOptions options;
    for (const HString& each : installed) {
      if (!loadsCompatible(each, format, options)) continue;
      list.append(each);
      if (!preferred.isEmpty() && each == preferred) {
        best = each;
        preferredTaken = true;
      } else if (!preferredTaken && !factoryTaken && options.getCanDelete() == 0) {
        best = each;
        factoryTaken = true;
      } else if (best.isEmpty()) {
        best = each;
      }
    }
  } catch (const std::exception&) {
    // The list as far as it got; the search has no failure result.
  }
  return kMachineFormatOk;
}

int getBestDefaultMachineFormatsForFileTypes(HDiskFileFormat format, HString& name) {
  for (const PreferredFamily& row : kPreferredFamilies) {
    if (row.format == format) {
      name = HString(row.family);
      return 1;
    }
  }
  name = HString();
  return 0;
}

int makeFactoryMachineFormat(HDiskFileFormat format, HString& name, StitchOptions& options) {
  try {
    StitchOptions base;
    base.setFileFormat(format);
    base.setFormatType(displayName(kFactoryFormatTypeNameId));
    base.setSEITID(kFactorySeitId);
    base.setSEITOffset(kFactorySeitOffset);
    name = HString();
    const int row = format < 0 || format >= kFormatNone ? -1 : findFactoryRow(format);
    if (row >= 0) {
      applyOptionText(kFactoryMachineFormats[row].options, base);
      name = displayName(factoryMachineFormatNameId(row, format));
    }
    options = base;
    return row >= 0 ? kMachineFormatOk : kMachineFormatNotSupported;
  } catch (const std::exception&) {
    return kMachineFormatFailed;
  }
}

std::vector<HDiskFileFormat> factoryMachineFormatCodes(int row) {
  std::vector<HDiskFileFormat> codes;
  if (row < 0 || row >= static_cast<int>(std::size(kFactoryMachineFormats))) return codes;
  forEachCode(kFactoryMachineFormats[row].codes, [&codes](HDiskFileFormat code) {
    codes.push_back(code);
    return false;
  });
  return codes;
}

int factoryMachineFormatNameId(int row, HDiskFileFormat code) {
  const FactoryMachineFormatRow& r = kFactoryMachineFormats[row];
  return code == r.exceptionCode ? r.exceptionNameId : r.nameId;
}

HString defaultMachineFormatDisplayName(int nameId) {
  if (nameId == kFactoryFormatTypeNameId) return StitchOptions().getFormatType();
  for (int row = 0; row < static_cast<int>(std::size(kFactoryMachineFormats)); ++row) {
    for (HDiskFileFormat code : factoryMachineFormatCodes(row)) {
      if (factoryMachineFormatNameId(row, code) != nameId) continue;
      const DiskFormatInfo* info = findDiskFormat(code);
      HString text;
      HDiskFileFormat readAs = kFormatNone;
      if (info != nullptr) {
        const std::string_view family = diskFormatFamilyName(info->family);
        const std::string_view written =
            info->writtenAs.size() > 1 ? info->writtenAs.substr(1) : std::string_view();
        text = utf8ToStr(std::string(family.empty() ? written : family));
        text.makeUpper();
        readAs = HFileFormat::convertExtToFileFormat(utf8ToStr(std::string(info->writtenAs)));
      }
      if (text.isEmpty()) text = HString(L"Format");
      if (text == L"Format" || readAs != code) {
        HString number;
        number.set(L" %d", static_cast<int>(code));
        text += number;
      }
      return text;
    }
  }
  return HString();
}

}  // namespace stitchkit
