#include "stitchkit/jobs/machine_lookup.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <iterator>

#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/machine/machine_format_table.h"
#include "stitchkit/model/stitch_options_serializer.h"
#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {
namespace {

constexpr long long kShortMax = SHRT_MAX;
constexpr long long kShortMin = SHRT_MIN;
// The longest move a stitch record of any written format carries.
constexpr long long kRecordLength = 127;
// Needle numbers of the machines the profiles describe.
constexpr long long kMostNeedles = 999;

constexpr OptionRange flag(std::wstring_view name) {
  return OptionRange{name, 0, 1};
}

// One row per integer option. Flags take 0 or 1, enumerations their values in use, lengths
// what a record can carry; options only stored for host programs take their field's range.
// clang-format off
constexpr OptionRange kRanges[] = {
    flag(L"AddLeader"),
    {L"AlternateDropSequinCommands", INT_MIN, INT_MAX},
    {L"BeadType", 0, 2},
    flag(L"BlankAfterDrops"),
    {L"BorerNeedle", 0, kMostNeedles},
    {L"BorerOffset", kShortMin, kShortMax},
    {L"BorerType", 0, 2},
    flag(L"CanDelete"),
    {L"CleanLength", 0, kRecordLength},
    flag(L"CleanShort"),
    flag(L"CombineJumpsForNormals"),
    flag(L"CombineSequinBead"),
    flag(L"CombineSequinCommands"),
    flag(L"CopyOriginal"),
    {L"FileFormat", 0, kFormatNone - 1},
    flag(L"FilterBlankJumps"),
    flag(L"FilterChangeoverBlankJumps"),
    flag(L"ForceFirstColourChange"),
    flag(L"GNDllWrite"),
    {L"Granularity", 1, kRecordLength},
    {L"HardLength", 1, kRecordLength},
    flag(L"HasBorerCode"),
    flag(L"HasBorerNeedle"),
    flag(L"HasChenilleSupport"),
    flag(L"HasNeedleCode"),
    flag(L"HasSequinCode"),
    flag(L"HasTrimCode"),
    flag(L"IgnoreMissingCodes"),
    flag(L"InsertBlankStitchAfterTrim"),
    flag(L"InsertBlankStitchAtBegin"),
    flag(L"JumpBeforeEnd"),
    flag(L"JumpBetweenTwoStops"),
    {L"JumpsPerTrim", 0, kShortMax},
    {L"MaxLength", 0, kRecordLength},
    {L"MaxNeedles", 0, kMostNeedles},
    {L"MaxRealLength", 0, kRecordLength},
    {L"Media", 0, 2},
    flag(L"MelcoDiscardEnd"),
    flag(L"MelcoNeedleAsStop"),
    {L"MinRealLength", 0, kRecordLength},
    {L"NumAddLeaderBytes", 0, INT_MAX},
    flag(L"PenetrateAtTrims"),
    {L"PenetrationStyle", 0, 2},
    {L"PreserveBlanks", 0, 4},
    flag(L"PreserveJumps"),
    flag(L"ReadBarudanZ"),
    {L"ReadChangeoverType", 0, 4},
    flag(L"RemoveChenilleHeight"),
    flag(L"RemoveRedundantChenille"),
    flag(L"ReturnToFirstNeedleAtEnd"),
    {L"SeitID", INT_MIN, INT_MAX},
    {L"SeitOffset", INT_MIN, INT_MAX},
    {L"SequinType", 0, 2},
    {L"ShortcutAngle", 100, 180},
    flag(L"SkipFirstColourChange"),
    {L"SplitJumpLength", 0, kShortMax},
    flag(L"SplitStitchToJumps"),
    flag(L"StopBeforeJumps"),
    flag(L"StopsAsNeedles"),
    flag(L"StripBeginEnd"),
    flag(L"KorvanMoveDropSequins"),
    flag(L"KorvanOldChenille"),
    flag(L"KorvanPadStop"),
    flag(L"KorvanRemoveDoubleStops"),
    {L"KorvanStartStitchType", 0, 2},
    {L"TrimJumpLength", 0, kRecordLength},
    flag(L"TrimsAsJumps"),
    flag(L"UseNeedleUps"),
    flag(L"WriteBarudanZ"),
};
// clang-format on
static_assert(std::size(kRanges) == kNumStitchOptions - 1, "a row for every integer option");

}  // namespace

std::vector<FactoryMachine> factoryMachines() {
  std::vector<FactoryMachine> machines;
  for (int row = 0; row < static_cast<int>(std::size(kFactoryMachineFormats)); ++row) {
    const std::size_t rowStart = machines.size();
    for (HDiskFileFormat code : factoryMachineFormatCodes(row)) {
      const std::string name =
          strToUtf8(defaultMachineFormatDisplayName(factoryMachineFormatNameId(row, code)));
      auto it =
          std::find_if(machines.begin() + static_cast<std::ptrdiff_t>(rowStart), machines.end(),
                       [&name](const FactoryMachine& m) { return m.name == name; });
      if (it == machines.end()) {
        machines.push_back(FactoryMachine{name, {code}});
      } else {
        it->codes.push_back(code);
      }
    }
  }
  return machines;
}

std::vector<ListedMachine> listMachineFormats() {
  std::vector<ListedMachine> listed;
  HList<HString> names;
  HString ignored;
  GetMachineFormats(names, ignored);
  for (const HString& name : names) {
    StitchOptions options;
    if (GetMachineFormatOptions(name, options) != kMachineFormatOk) continue;
    listed.push_back(ListedMachine{strToUtf8(name),
                                   {options.getFileFormat()},
                                   strToUtf8(options.getFormatType()),
                                   true,
                                   options.getCanDelete() != 0});
  }
  for (const FactoryMachine& machine : factoryMachines()) {
    StitchOptions options;
    HString ignoredName;
    makeFactoryMachineFormat(machine.codes.front(), ignoredName, options);
    listed.push_back(ListedMachine{machine.name, machine.codes, strToUtf8(options.getFormatType()),
                                   false, false});
  }
  return listed;
}

std::optional<StitchOptions> findMachine(std::string_view name,
                                         std::optional<HDiskFileFormat> preferredCode,
                                         bool& isFactory) {
  const HString wideName = utf8ToStr(std::string(name));
  StitchOptions options;
  isFactory = false;
  if (GetMachineFormatOptions(wideName, options) == kMachineFormatOk) return options;
  for (const FactoryMachine& machine : factoryMachines()) {
    if (machine.name != name) continue;
    const bool hasPreferred = preferredCode && std::find(machine.codes.begin(), machine.codes.end(),
                                                         *preferredCode) != machine.codes.end();
    HString ignored;
    makeFactoryMachineFormat(hasPreferred ? *preferredCode : machine.codes.front(), ignored,
                             options);
    isFactory = true;
    return options;
  }
  return std::nullopt;
}

std::optional<int> parseWholeNumber(std::string_view text) {
  // from_chars takes a '-' but not a '+'.
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) return std::nullopt;
  }
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

std::optional<OptionRange> findOptionRange(std::wstring_view name) {
  for (const OptionRange& range : kRanges) {
    if (range.name == name) return range;
  }
  return std::nullopt;
}

std::optional<std::string> checkOptionValue(std::wstring_view name, long long value) {
  const std::optional<OptionRange> range = findOptionRange(name);
  if (!range) return std::nullopt;
  if (value < range->min || value > range->max) {
    return "takes " + std::to_string(range->min) + " to " + std::to_string(range->max);
  }
  if (name == L"FileFormat" && findDiskFormat(static_cast<std::int32_t>(value)) == nullptr) {
    return "takes a format code";
  }
  return std::nullopt;
}

std::optional<std::string> applyOptionSetting(StitchOptions& options, std::string_view key,
                                              std::string_view value) {
  const StitchOptionsSerializer serializer;
  const int id = serializer.getOptionId(utf8ToStr(std::string(key)));
  if (id < 0) return "unknown option '" + std::string(key) + "'";
  if (serializer.isOptionIntValue(id) != 0) {
    const std::optional<int> number = parseWholeNumber(value);
    if (!number) return "'" + std::string(value) + "' is not a whole number";
    if (std::optional<std::string> problem =
            checkOptionValue(serializer.getOptionName(id).wide(), *number)) {
      return "'" + std::string(value) + "' " + *problem;
    }
  }
  serializer.setOptionValue(id, options, utf8ToStr(std::string(value)));
  return std::nullopt;
}

}  // namespace stitchkit
