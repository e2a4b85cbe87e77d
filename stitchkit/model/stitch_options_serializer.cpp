#include "stitchkit/model/stitch_options_serializer.h"

#include <array>
#include <climits>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

namespace stitchkit {

namespace {

// The argument type of a setter, taken from its member-function pointer.
template <class Setter>
struct SetterArgument;
template <class Arg>
struct SetterArgument<void (StitchOptions::*)(Arg)> {
  using type = Arg;
};

// An int as the setter's argument type: integers keep their low bits, enumerations go through
// their underlying type so that every value of that type is representable.
template <class T>
T fromInt(int value) {
  if constexpr (std::is_enum_v<T>) {
    return static_cast<T>(static_cast<std::underlying_type_t<T>>(value));
  } else {
    return static_cast<T>(value);
  }
}

template <auto Get>
int readField(const StitchOptions& o) {
  return static_cast<int>((o.*Get)());
}

template <auto Set>
void writeField(StitchOptions& o, int value) {
  using Arg = typename SetterArgument<decltype(Set)>::type;
  (o.*Set)(fromInt<Arg>(value));
}

int readNothing(const StitchOptions&) {
  return 0;
}

void writeSpaces(StitchOptions& o, int count) {
  o.setFormatType(HString(count, L' '));
}

// One option: its id, its name in profiles, and how its field is read and written as an int.
struct OptionRow {
  int id;
  std::wstring_view name;
  bool isText;
  int (*get)(const StitchOptions&);
  void (*set)(StitchOptions&, int);
};

template <auto Get, auto Set>
constexpr OptionRow intOption(int id, std::wstring_view name) {
  return OptionRow{id, name, false, &readField<Get>, &writeField<Set>};
}

using O = StitchOptions;

// clang-format off
constexpr OptionRow kOptions[] = {
    intOption<&O::getAddLeader, &O::setAddLeader>(0, L"AddLeader"),
    intOption<&O::getAlternateSequinDropCommands, &O::setAlternateSequinDropCommands>(1, L"AlternateDropSequinCommands"),
    intOption<&O::getGlassBeadType, &O::setGlassBeadType>(2, L"BeadType"),
    intOption<&O::getBlankAfterDrops, &O::setBlankAfterDrops>(3, L"BlankAfterDrops"),
    intOption<&O::getBorerNeedle, &O::setBorerNeedle>(4, L"BorerNeedle"),
    intOption<&O::getBorerOffset, &O::setBorerOffset>(5, L"BorerOffset"),
    intOption<&O::getBorerType, &O::setBorerType>(6, L"BorerType"),
    intOption<&O::getCanDelete, &O::setCanDelete>(7, L"CanDelete"),
    intOption<&O::getCleanLength, &O::setCleanLength>(8, L"CleanLength"),
    intOption<&O::getCleanShort, &O::setCleanShort>(9, L"CleanShort"),
    intOption<&O::getCombineJumpsForNormals, &O::setCombineJumpsForNormals>(10, L"CombineJumpsForNormals"),
    intOption<&O::getSupportsCombinedSequinBead, &O::setSupportsCombinedSequinBead>(11, L"CombineSequinBead"),
    intOption<&O::getCombineSequinCommands, &O::setCombineSequinCommands>(12, L"CombineSequinCommands"),
    intOption<&O::getCopyOriginal, &O::setCopyOriginal>(13, L"CopyOriginal"),
    intOption<&O::getFileFormat, &O::setFileFormat>(14, L"FileFormat"),
    intOption<&O::getFilterBlankJumps, &O::setFilterBlankJumps>(15, L"FilterBlankJumps"),
    intOption<&O::getFilterChangeoverBlankJumps, &O::setFilterChangeoverBlankJumps>(16, L"FilterChangeoverBlankJumps"),
    intOption<&O::getForceFirstColourChange, &O::setForceFirstColourChange>(17, L"ForceFirstColourChange"),
    OptionRow{kFormatTypeOptionId, L"FormatType", true, &readNothing, &writeSpaces},
    intOption<&O::getGNDllWrite, &O::setGNDllWrite>(19, L"GNDllWrite"),
    intOption<&O::getGranularity, &O::setGranularity>(20, L"Granularity"),
    intOption<&O::getHardLength, &O::setHardLength>(21, L"HardLength"),
    intOption<&O::getHasBorerCode, &O::setHasBorerCode>(22, L"HasBorerCode"),
    intOption<&O::getHasBorerNeedle, &O::setHasBorerNeedle>(23, L"HasBorerNeedle"),
    intOption<&O::getHasChenilleSupport, &O::setHasChenilleSupport>(24, L"HasChenilleSupport"),
    intOption<&O::getHasNeedleCode, &O::setHasNeedleCode>(25, L"HasNeedleCode"),
    intOption<&O::getHasSequinCode, &O::setHasSequinCode>(26, L"HasSequinCode"),
    intOption<&O::getHasTrimCode, &O::setHasTrimCode>(27, L"HasTrimCode"),
    intOption<&O::getIgnoreMissingCodes, &O::setIgnoreMissingCodes>(28, L"IgnoreMissingCodes"),
    intOption<&O::getInsertBlankStitchAfterTrim, &O::setInsertBlankStitchAfterTrim>(29, L"InsertBlankStitchAfterTrim"),
    intOption<&O::getInsertBlankStitchAtBegin, &O::setInsertBlankStitchAtBegin>(30, L"InsertBlankStitchAtBegin"),
    intOption<&O::getJumpBeforeEnd, &O::setJumpBeforeEnd>(31, L"JumpBeforeEnd"),
    intOption<&O::getJumpBetweenTwoStops, &O::setJumpBetweenTwoStops>(32, L"JumpBetweenTwoStops"),
    intOption<&O::getJumpsPerTrim, &O::setJumpsPerTrim>(33, L"JumpsPerTrim"),
    intOption<&O::getMaxLength, &O::setMaxLength>(34, L"MaxLength"),
    intOption<&O::getMaxNeedles, &O::setMaxNeedles>(35, L"MaxNeedles"),
    intOption<&O::getMaxRealLength, &O::setMaxRealLength>(36, L"MaxRealLength"),
    intOption<&O::getMedia, &O::setMedia>(37, L"Media"),
    intOption<&O::getMelcoDiscardEnd, &O::setMelcoDiscardEnd>(38, L"MelcoDiscardEnd"),
    intOption<&O::getMelcoNeedleAsStop, &O::setMelcoNeedleAsStop>(39, L"MelcoNeedleAsStop"),
    intOption<&O::getMinRealLength, &O::setMinRealLength>(40, L"MinRealLength"),
    intOption<&O::getNumAddLeaderBytes, &O::setNumAddLeaderBytes>(41, L"NumAddLeaderBytes"),
    intOption<&O::getPenetrateAtTrims, &O::setPenetrateAtTrims>(42, L"PenetrateAtTrims"),
    intOption<&O::getPenetrationStyle, &O::setPenetrationStyle>(43, L"PenetrationStyle"),
    intOption<&O::getPreserveBlanks, &O::setPreserveBlanks>(44, L"PreserveBlanks"),
    intOption<&O::getPreserveJumps, &O::setPreserveJumps>(45, L"PreserveJumps"),
    intOption<&O::getReadBarudanZ, &O::setReadBarudanZ>(46, L"ReadBarudanZ"),
    intOption<&O::getReadChangeoverType, &O::setReadChangeoverType>(47, L"ReadChangeoverType"),
    intOption<&O::getRemoveChenilleHeight, &O::setRemoveChenilleHeight>(48, L"RemoveChenilleHeight"),
    intOption<&O::getRemoveRedundantChenille, &O::setRemoveRedundantChenille>(49, L"RemoveRedundantChenille"),
    intOption<&O::getReturnToFirstNeedleAtEnd, &O::setReturnToFirstNeedleAtEnd>(50, L"ReturnToFirstNeedleAtEnd"),
    intOption<&O::getSEITID, &O::setSEITID>(51, L"SeitID"),
    intOption<&O::getSEITOffset, &O::setSEITOffset>(52, L"SeitOffset"),
    intOption<&O::getSequinType, &O::setSequinType>(53, L"SequinType"),
    intOption<&O::getShortcutAngle, &O::setShortcutAngle>(54, L"ShortcutAngle"),
    intOption<&O::getSkipFirstColourChange, &O::setSkipFirstColourChange>(55, L"SkipFirstColourChange"),
    intOption<&O::getSplitJumpLength, &O::setSplitJumpLength>(56, L"SplitJumpLength"),
    intOption<&O::getSplitStitchToJumps, &O::setSplitStitchToJumps>(57, L"SplitStitchToJumps"),
    intOption<&O::getStopBeforeJumps, &O::setStopBeforeJumps>(58, L"StopBeforeJumps"),
    intOption<&O::getStopsAsNeedles, &O::setStopsAsNeedles>(59, L"StopsAsNeedles"),
    intOption<&O::getStripBeginEnd, &O::setStripBeginEnd>(60, L"StripBeginEnd"),
    intOption<&O::getKorvanMoveDropSequins, &O::setKorvanMoveDropSequins>(61, L"KorvanMoveDropSequins"),
    intOption<&O::getKorvanOldChenille, &O::setKorvanOldChenille>(62, L"KorvanOldChenille"),
    intOption<&O::getKorvanPadStop, &O::setKorvanPadStop>(63, L"KorvanPadStop"),
    intOption<&O::getKorvanRemoveDoubleStops, &O::setKorvanRemoveDoubleStops>(64, L"KorvanRemoveDoubleStops"),
    intOption<&O::getKorvanStartStitchType, &O::setKorvanStartStitchType>(65, L"KorvanStartStitchType"),
    intOption<&O::getTrimJumpLength, &O::setTrimJumpLength>(66, L"TrimJumpLength"),
    intOption<&O::getTrimsAsJumps, &O::setTrimsAsJumps>(67, L"TrimsAsJumps"),
    intOption<&O::getUseNeedleUps, &O::setUseNeedleUps>(68, L"UseNeedleUps"),
    intOption<&O::getWriteBarudanZ, &O::setWriteBarudanZ>(69, L"WriteBarudanZ"),
};
// clang-format on

constexpr bool idsAreIndexes() {
  for (int i = 0; i < kNumStitchOptions; ++i) {
    if (kOptions[i].id != i || kOptions[i].isText != (i == kFormatTypeOptionId)) return false;
  }
  return true;
}
static_assert(std::size(kOptions) == kNumStitchOptions, "one row per option id");
static_assert(idsAreIndexes(), "rows are in id order and only FormatType is a text");

// The row of `id`, or null for an id outside the table.
const OptionRow* findOption(int id) {
  return id >= 0 && id < kNumStitchOptions ? &kOptions[id] : nullptr;
}

// The names as HString values, made on first use.
const std::array<HString, kNumStitchOptions>& optionNames() {
  static const std::array<HString, kNumStitchOptions> names = [] {
    std::array<HString, kNumStitchOptions> built;
    for (int i = 0; i < kNumStitchOptions; ++i)
      built[i] = HString(std::wstring(kOptions[i].name));
    return built;
  }();
  return names;
}

bool isBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// The decimal integer `text` starts with: white space, an optional sign, digits. 0 without
// digits; values beyond the int range saturate at INT_MIN or INT_MAX.
int parseDecimal(const HString& text) {
  const std::wstring& w = text.wide();
  std::size_t i = 0;
  while (i < w.size() && isBlank(w[i]))
    ++i;
  bool negative = false;
  if (i < w.size() && (w[i] == L'+' || w[i] == L'-')) {
    negative = w[i] == L'-';
    ++i;
  }
  // Magnitudes are capped one above INT_MAX, which is enough to tell both limits apart and
  // keeps the arithmetic far from overflow.
  constexpr long long kCap = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; i < w.size() && w[i] >= L'0' && w[i] <= L'9'; ++i) {
    magnitude = magnitude * 10 + (w[i] - L'0');
    if (magnitude > kCap) magnitude = kCap;
  }
  if (negative) return static_cast<int>(-magnitude);  // -kCap is INT_MIN
  return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

const HString& sectionName() {
  static const HString section(L"StitchOptions");
  return section;
}

// The default of every profile read: a value no option can take, so it stands for "missing".
const HString& missingValue() {
  static const HString missing(L"...");
  return missing;
}

// Profile reads are cut to this many characters less one.
constexpr int kProfileValueLength = 256;

}  // namespace

const HString& StitchOptionsSerializer::getOptionName(int id) const {
  static const HString invalid(L"Invalid Index");
  return findOption(id) != nullptr ? optionNames()[id] : invalid;
}

int StitchOptionsSerializer::getOptionId(const HString& name) const {
  for (const OptionRow& row : kOptions) {
    if (name.wide() == row.name) return row.id;
  }
  return -1;
}

int StitchOptionsSerializer::isOptionIntValue(int id) const {
  const OptionRow* row = findOption(id);
  return row != nullptr && !row->isText ? 1 : 0;
}

int StitchOptionsSerializer::getOptionIntValue(int id, const StitchOptions& o) const {
  const OptionRow* row = findOption(id);
  return row != nullptr ? row->get(o) : 0;
}

void StitchOptionsSerializer::setOptionIntValue(int id, StitchOptions& o, int value) const {
  const OptionRow* row = findOption(id);
  if (row != nullptr) row->set(o, value);
}

HString StitchOptionsSerializer::getOptionValue(int id, const StitchOptions& o) const {
  if (id == kFormatTypeOptionId) return o.getFormatType();
  return HString(std::to_wstring(getOptionIntValue(id, o)));
}

void StitchOptionsSerializer::setOptionValue(int id, StitchOptions& o, const HString& text) const {
  if (id == kFormatTypeOptionId) {
    o.setFormatType(text);
  } else {
    setOptionIntValue(id, o, parseDecimal(text));
  }
}

StitchOptionsProfile::StitchOptionsProfile(HProfile& profile) : profile_(&profile) {}

StitchOptionsProfile::StitchOptionsProfile(const HString& path) {
  try {
    ownedProfile_ = std::make_shared<HProfile>(path);
    profile_ = ownedProfile_.get();
  } catch (const std::exception&) {
    profile_ = nullptr;
  }
}

StitchOptionsProfile::~StitchOptionsProfile() = default;

int StitchOptionsProfile::loadOptions(StitchOptions& o) const {
  if (profile_ == nullptr) return -1;
  try {
    for (int id = 0; id < kNumStitchOptions; ++id) {
      const HString text = profile_->getString(sectionName(), getOptionName(id),
                                               kProfileValueLength, missingValue());
      if (text != missingValue()) setOptionValue(id, o, text);
    }
  } catch (const std::exception&) {
    return -1;
  }
  return 0;
}

int StitchOptionsProfile::saveOptions(const StitchOptions& o) {
  if (profile_ == nullptr) return -1;
  try {
    for (int id = 0; id < kNumStitchOptions; ++id) {
      static_cast<void>(
          profile_->setString(sectionName(), getOptionName(id), getOptionValue(id, o)));
    }
  } catch (const std::exception&) {
    return -1;
  }
  return 0;
}

}  // namespace stitchkit
