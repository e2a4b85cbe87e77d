#include "cli/option_ranges.h"

#include "cli/arguments.h"

#include <climits>
#include <iterator>

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/model/stitch_options_serializer.h"

namespace stitchkit::cli {
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
    return "takes a format code (see `stitchkit formats`)";
  }
  return std::nullopt;
}

std::optional<OptionSetting> parseOptionSetting(std::string_view text, std::string_view command,
                                                std::string_view usage, int& exitCode) {
  const StitchOptionsSerializer serializer;
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    exitCode = usageError(command, "--set needs Key=Value, got '" + std::string(text) + "'", usage);
    return std::nullopt;
  }
  const std::string_view key = text.substr(0, equals);
  const std::string_view value = text.substr(equals + 1);
  const int id = serializer.getOptionId(utf8ToStr(std::string(key)));
  if (id < 0) {
    exitCode = usageError(command, "--set: unknown option '" + std::string(key) + "'", usage);
    return std::nullopt;
  }
  if (serializer.isOptionIntValue(id) != 0) {
    const std::optional<int> number = parseInt(value);
    const std::optional<std::string> problem =
        number ? checkOptionValue(serializer.getOptionName(id).wide(), *number)
               : std::optional<std::string>("is not a whole number");
    if (problem) {
      exitCode = usageError(
          command, "--set " + std::string(key) + ": '" + std::string(value) + "' " + *problem,
          usage);
      return std::nullopt;
    }
  }
  return OptionSetting{id, utf8ToStr(std::string(value))};
}

}  // namespace stitchkit::cli
