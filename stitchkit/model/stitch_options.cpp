#include "stitchkit/model/stitch_options.h"

#include <algorithm>
#include <span>

#include "stitchkit/platform/console_app.h"

namespace stitchkit {
namespace {

// Shortcut angles outside this range are replaced by the default.
constexpr short kMinShortcutAngle = 100;
constexpr short kMaxShortcutAngle = 180;
constexpr short kDefaultShortcutAngle = 120;

// Compatibility of file formats with a record's own format. A record always accepts its own
// format; beyond that, a file format listed in a row is accepted by the own formats of that
// row. Formats above kLastSharedFormat, and formats in no row, are accepted only by records
// of the same format.
constexpr int kLastSharedFormat = 80;

constexpr int kDstFamily[] = {0, 6, 15, 20};
constexpr int kBarudanFamily[] = {1, 16, 21, 58, 59, 73};
constexpr int kExpFiles[] = {2, 5};
constexpr int kExpReaders[] = {2,  5,  22, 23, 24, 25, 26, 27, 28, 37, 38, 41, 42,
                               43, 44, 45, 46, 47, 49, 53, 55, 56, 57, 62, 76, 89};
constexpr int kDszFamily[] = {3, 17};
constexpr int kFormats7And8[] = {7, 8};
constexpr int kOpenToAll[] = {32, 34, 70, 77, 80};
constexpr int kZskTransport[] = {52};
constexpr int kKvc[] = {60};
constexpr int kKvcReaders[] = {60, 36};
constexpr int kEdf[] = {71};
constexpr int kEdfReaders[] = {71, 36};
constexpr int kTwn[] = {72};
constexpr int kTwnReaders[] = {0};

struct CompatibilityRow {
  std::span<const int> files;   // file formats the row answers for
  std::span<const int> owners;  // own formats that accept them
  bool anyOwner;                // every own format accepts them
};

constexpr CompatibilityRow kCompatibility[] = {
    {kDstFamily, kDstFamily, false},
    {kBarudanFamily, kBarudanFamily, false},
    {kExpFiles, kExpReaders, false},
    {kDszFamily, kDszFamily, false},
    {kFormats7And8, kFormats7And8, false},
    {kOpenToAll, {}, true},
    {kZskTransport, kZskTransport, false},
    {kKvc, kKvcReaders, false},
    {kEdf, kEdfReaders, false},
    {kTwn, kTwnReaders, false},
};

bool contains(std::span<const int> formats, int format) {
  return std::find(formats.begin(), formats.end(), format) != formats.end();
}

}  // namespace

StitchOptions::StitchOptions() {
  const ConsoleApp* app = getConsoleApp();
  if (app != nullptr && app->isBlankStitchMode()) {
    insertBlankStitchAfterTrim_ = 1;
    insertBlankStitchAtBegin_ = 1;
  }
}

// The members start from their declared defaults (without asking the host) and are then
// overwritten, so the copy is normalised exactly as an assignment would be.
StitchOptions::StitchOptions(const StitchOptions& other) : formatType_() {
  *this = other;
}

StitchOptions::~StitchOptions() = default;

void StitchOptions::setShortcutAngle(short value) {
  shortcutAngle_ =
      (value >= kMinShortcutAngle && value <= kMaxShortcutAngle) ? value : kDefaultShortcutAngle;
}

StitchOptions& StitchOptions::operator=(const StitchOptions& other) {
  setStopsAsNeedles(other.stopsAsNeedles_);
  setStripBeginEnd(other.stripBeginEnd_);
  setJumpsPerTrim(other.jumpsPerTrim_);
  setPenetrationStyle(other.penetrationStyle_);
  setMedia(other.media_);
  setSkipFirstColourChange(other.skipFirstColourChange_);
  setForceFirstColourChange(other.forceFirstColourChange_);
  setReadBarudanZ(other.readBarudanZ_);
  setMaxNeedles(other.maxNeedles_);
  setUseNeedleUps(other.useNeedleUps_);
  setCleanShort(other.cleanShort_);
  setJumpBeforeEnd(other.jumpBeforeEnd_);
  setIgnoreMissingCodes(other.ignoreMissingCodes_);
  setKorvanPadStop(other.korvanPadStop_);
  setBlankAfterDrops(other.blankAfterDrops_);
  setCleanLength(other.cleanLength_);
  setMaxLength(other.maxLength_);
  setHardLength(other.hardLength_);
  setMaxRealLength(other.maxRealLength_);
  setSplitJumpLength(other.splitJumpLength_);
  setHasTrimCode(other.hasTrimCode_);
  setTrimsAsJumps(other.trimsAsJumps_);
  setCopyOriginal(other.copyOriginal_);
  setStopBeforeJumps(other.stopBeforeJumps_);
  setHasNeedleCode(other.hasNeedleCode_);
  setMelcoNeedleAsStop(other.melcoNeedleAsStop_);
  setKorvanOldChenille(other.korvanOldChenille_);
  setRemoveRedundantChenille(other.removeRedundantChenille_);
  setRemoveChenilleHeight(other.removeChenilleHeight_);
  setWriteBarudanZ(other.writeBarudanZ_);
  setReturnToFirstNeedleAtEnd(other.returnToFirstNeedleAtEnd_);
  setInsertBlankStitchAfterTrim(other.insertBlankStitchAfterTrim_);
  setInsertBlankStitchAtBegin(other.insertBlankStitchAtBegin_);
  setFilterBlankJumps(other.filterBlankJumps_);
  setMelcoDiscardEnd(other.melcoDiscardEnd_);
  setHasBorerCode(other.hasBorerCode_);
  setBorerType(other.borerType_);
  setHasBorerNeedle(other.hasBorerNeedle_);
  setBorerNeedle(other.borerNeedle_);
  setBorerOffset(other.borerOffset_);
  setHasChenilleSupport(other.hasChenilleSupport_);
  setMinRealLength(other.minRealLength_);
  setShortcutAngle(other.shortcutAngle_);
  setHasSequinCode(other.hasSequinCode_);
  setSequinType(other.sequinType_);
  setGlassBeadType(other.glassBeadType_);
  setSupportsCombinedSequinBead(other.supportsCombinedSequinBead_);
  setCanDelete(other.canDelete_);
  setFileFormat(other.fileFormat_);
  setFormatType(other.formatType_);
  setGranularity(other.granularity_);
  setCombineJumpsForNormals(other.combineJumpsForNormals_);
  setPreserveJumps(other.preserveJumps_);
  setAddLeader(other.addLeader_);
  setNumAddLeaderBytes(other.numAddLeaderBytes_);
  setKorvanStartStitchType(other.korvanStartStitchType_);
  setReadChangeoverType(other.readChangeoverType_);
  setTrimJumpLength(other.trimJumpLength_);
  setPenetrateAtTrims(other.penetrateAtTrims_);
  setGNDllWrite(other.gnDllWrite_);
  setSEITID(other.seitId_);
  setSEITOffset(other.seitOffset_);
  setPreserveBlanks(other.preserveBlanks_);
  setJumpBetweenTwoStops(other.jumpBetweenTwoStops_);
  setFilterChangeoverBlankJumps(other.filterChangeoverBlankJumps_);
  setKorvanRemoveDoubleStops(other.korvanRemoveDoubleStops_);
  setCombineSequinCommands(other.combineSequinCommands_);
  setSplitStitchToJumps(other.splitStitchToJumps_);
  setKorvanMoveDropSequins(other.korvanMoveDropSequins_);
  setAlternateSequinDropCommands(other.alternateSequinDropCommands_);
  setKeepOriginalStitch(other.keepOriginalStitch_);
  return *this;
}

// Compared in declaration order; && stops at the first difference. canDelete_ and
// penetrateAtTrims_ are left out on purpose.
bool StitchOptions::operator==(const StitchOptions& other) const {
  return stopsAsNeedles_ == other.stopsAsNeedles_ && stripBeginEnd_ == other.stripBeginEnd_ &&
         jumpsPerTrim_ == other.jumpsPerTrim_ && penetrationStyle_ == other.penetrationStyle_ &&
         media_ == other.media_ && skipFirstColourChange_ == other.skipFirstColourChange_ &&
         forceFirstColourChange_ == other.forceFirstColourChange_ &&
         readBarudanZ_ == other.readBarudanZ_ && maxNeedles_ == other.maxNeedles_ &&
         useNeedleUps_ == other.useNeedleUps_ && cleanShort_ == other.cleanShort_ &&
         jumpBeforeEnd_ == other.jumpBeforeEnd_ &&
         ignoreMissingCodes_ == other.ignoreMissingCodes_ &&
         korvanPadStop_ == other.korvanPadStop_ && blankAfterDrops_ == other.blankAfterDrops_ &&
         cleanLength_ == other.cleanLength_ && maxLength_ == other.maxLength_ &&
         hardLength_ == other.hardLength_ && maxRealLength_ == other.maxRealLength_ &&
         splitJumpLength_ == other.splitJumpLength_ && hasTrimCode_ == other.hasTrimCode_ &&
         trimsAsJumps_ == other.trimsAsJumps_ && copyOriginal_ == other.copyOriginal_ &&
         stopBeforeJumps_ == other.stopBeforeJumps_ && hasNeedleCode_ == other.hasNeedleCode_ &&
         melcoNeedleAsStop_ == other.melcoNeedleAsStop_ &&
         korvanOldChenille_ == other.korvanOldChenille_ &&
         removeRedundantChenille_ == other.removeRedundantChenille_ &&
         removeChenilleHeight_ == other.removeChenilleHeight_ &&
         writeBarudanZ_ == other.writeBarudanZ_ &&
         returnToFirstNeedleAtEnd_ == other.returnToFirstNeedleAtEnd_ &&
         insertBlankStitchAfterTrim_ == other.insertBlankStitchAfterTrim_ &&
         insertBlankStitchAtBegin_ == other.insertBlankStitchAtBegin_ &&
         filterBlankJumps_ == other.filterBlankJumps_ &&
         melcoDiscardEnd_ == other.melcoDiscardEnd_ && hasBorerCode_ == other.hasBorerCode_ &&
         borerType_ == other.borerType_ && hasBorerNeedle_ == other.hasBorerNeedle_ &&
         borerNeedle_ == other.borerNeedle_ && borerOffset_ == other.borerOffset_ &&
         hasChenilleSupport_ == other.hasChenilleSupport_ &&
         minRealLength_ == other.minRealLength_ && shortcutAngle_ == other.shortcutAngle_ &&
         hasSequinCode_ == other.hasSequinCode_ && sequinType_ == other.sequinType_ &&
         glassBeadType_ == other.glassBeadType_ &&
         supportsCombinedSequinBead_ == other.supportsCombinedSequinBead_ &&
         fileFormat_ == other.fileFormat_ && formatType_ == other.formatType_ &&
         granularity_ == other.granularity_ &&
         combineJumpsForNormals_ == other.combineJumpsForNormals_ &&
         preserveJumps_ == other.preserveJumps_ && addLeader_ == other.addLeader_ &&
         numAddLeaderBytes_ == other.numAddLeaderBytes_ &&
         korvanStartStitchType_ == other.korvanStartStitchType_ &&
         readChangeoverType_ == other.readChangeoverType_ &&
         trimJumpLength_ == other.trimJumpLength_ && gnDllWrite_ == other.gnDllWrite_ &&
         seitId_ == other.seitId_ && seitOffset_ == other.seitOffset_ &&
         preserveBlanks_ == other.preserveBlanks_ &&
         jumpBetweenTwoStops_ == other.jumpBetweenTwoStops_ &&
         filterChangeoverBlankJumps_ == other.filterChangeoverBlankJumps_ &&
         korvanRemoveDoubleStops_ == other.korvanRemoveDoubleStops_ &&
         combineSequinCommands_ == other.combineSequinCommands_ &&
         splitStitchToJumps_ == other.splitStitchToJumps_ &&
         korvanMoveDropSequins_ == other.korvanMoveDropSequins_ &&
         alternateSequinDropCommands_ == other.alternateSequinDropCommands_ &&
         keepOriginalStitch_ == other.keepOriginalStitch_;
}

bool StitchOptions::isCompatible(HDiskFileFormat format) const {
  const int file = format;
  const int own = fileFormat_;
  if (own == file) return true;
  if (file > kLastSharedFormat) return false;
  for (const CompatibilityRow& row : kCompatibility) {
    if (contains(row.files, file)) return row.anyOwner || contains(row.owners, own);
  }
  return false;
}

StitchDecoderOptions::StitchDecoderOptions(const StitchOptions& other) {
  StitchOptions::operator=(other);
}

StitchDecoderOptions::~StitchDecoderOptions() = default;

StitchDecoderOptions& StitchDecoderOptions::operator=(const StitchOptions& other) {
  StitchOptions::operator=(other);
  return *this;
}

StitchEncoderOptions::StitchEncoderOptions(const StitchOptions& other) {
  StitchOptions::operator=(other);
}

StitchEncoderOptions::~StitchEncoderOptions() = default;

StitchEncoderOptions& StitchEncoderOptions::operator=(const StitchOptions& other) {
  StitchOptions::operator=(other);
  return *this;
}

void setDefaultDecoderOptions(StitchOptions& options) {
  options = StitchOptions();
  options.setHardLength(kDefaultHardLength);
}

void SetDefaultDecoderOptions(StitchOptions& options) {
  setDefaultDecoderOptions(options);
}

void setDefaultEncoderOptions(StitchOptions& options) {
  options = StitchOptions();
  options.setHardLength(kDefaultHardLength);
}

void setCopyEncoderOptions(StitchOptions& options) {
  setDefaultEncoderOptions(options);
  options.setCopyOriginal(1);
  options.setHardLength(kDefaultHardLength);
}

template class HList<StitchOptions>;

}  // namespace stitchkit
