#pragma once

#include <cstdint>
#include <utility>

#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/platform/h_list.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// Option enumerations. Each is held in 16 bits; the numbers are what profiles and host
// programs exchange, so any 16-bit value can be stored, copied and compared, including
// values without a named enumerator here.

// Where a normal stitch with a move follows a non-normal stitch.
enum PenetrationStyle : std::int16_t {
  kPenetrationPlain = 0,        // nothing extra is written
  kPenetrationAsJump = 1,       // the stitch itself is written as a jump
  kPenetrationJumpInPlace = 2,  // a jump to the same point is written first
};

// The material being sewn; carried along for host programs, no coder branches on it.
enum MediaType : std::int16_t {
  kMediaDefault = 2,
};

// How borer in and out commands are written.
enum BorerType : std::int16_t {
  kBorerAsIs = 0,
  kBorerAsChangeOver = 1,
  kBorerAsStop = 2,
};

// How sequin start and end are written; with kSequinAsChangeOver a drop sequin may also be
// written as a jump.
enum SequinType : std::int16_t {
  kSequinAsIs = 0,
  kSequinAsChangeOver = 1,
  kSequinAsStop = 2,
};

// How bead start and end are written; with kGlassBeadAsChangeOver a drop bead is written as a
// jump.
enum GlassBeadType : std::int16_t {
  kGlassBeadAsIs = 0,
  kGlassBeadAsChangeOver = 1,
  kGlassBeadAsStop = 2,
};

// Which zero-length stitches survive short-stitch cleaning.
enum PreserveBlanksType : std::int16_t {
  kPreserveBlanksNone = 0,           // cleaned like any other short stitch
  kPreserveBlanksAlways = 1,         // always kept
  kPreserveBlanksBeforeCommand = 2,  // kept when the next stitch is a command
  kPreserveBlanksAfterCommand = 3,   // kept when the previous stitch is a command
  kPreserveBlanksNextToCommand = 4,  // kept when either neighbour is a command
};

// What a DST change-over record means when it is read. Any value without a name here reads
// as a plain change-over, as kReadChangeoverPlain does. kReadChangeoverBead also selects the
// KVB jump code in change-over mode.
enum ReadChangeoverType : std::int16_t {
  kReadChangeoverSequin = 0,  // sequin start / end
  kReadChangeoverBorer = 1,   // borer in / out
  kReadChangeoverLaser = 2,   // laser on / off
  kReadChangeoverPlain = 3,   // plain change-over
  kReadChangeoverBead = 4,    // bead start / end
};

// The empty start record that the DST, KVB and VRZN coders write, and skip when reading.
enum KorvanStartStitchType : std::int16_t {
  kKorvanStartStitchNone = 0,    // no start record
  kKorvanStartStitchFirst = 1,   // the first form of the start record
  kKorvanStartStitchSecond = 2,  // the second form of the start record
};

// How a particular machine and file format want their stitches: which commands exist, how
// long a stitch may be, how short stitches are cleaned, how trims, stops, sequins, beads,
// borers and chenille are written or read, and which disk file format is meant.
//
// The record is a value. Entry points fill one (or take the caller's) and hand it to the
// stitch filter and the coders, which read it; a decoder writes back the MaxLength,
// CleanLength and SplitJumpLength it learns from the file.
//
// Accessors: every option has a get/set pair named after it. Setters store their argument
// unchecked, with two exceptions:
//  - flag options are held as 0 or 1; their setters store 1 for any non-zero argument;
//  - setShortcutAngle keeps only angles from 100 to 180 degrees and stores 120 otherwise.
// Lengths are in the unit of the stitch coordinates (0.1 mm).
class StitchOptions {
 public:
  // The option defaults; when a host application is installed and it is in blank-stitch
  // mode, InsertBlankStitchAfterTrim and InsertBlankStitchAtBegin start as 1.
  StitchOptions();
  // Copies every option through the setters; the host application is not consulted.
  StitchOptions(const StitchOptions& other);
  virtual ~StitchOptions();

  // Copies every option through the setters, so the target holds normalised flags and a
  // clamped shortcut angle even when the source was filled by other means.
  StitchOptions& operator=(const StitchOptions& other);

  // True when every option is equal except CanDelete and PenetrateAtTrims, which say
  // nothing about the stitches a record produces. FormatType compares case-sensitively.
  bool operator==(const StitchOptions& other) const;
  bool operator!=(const StitchOptions& other) const { return !(*this == other); }

  // Whether a file of format `format` may be read or written with this record: always for
  // the record's own FileFormat, otherwise when `format` belongs to a family of formats
  // that this record's format can stand in for.
  bool isCompatible(HDiskFileFormat format) const;

  // --- Stops and colour changes -------------------------------------------------------------

  // Stops stand for needle changes: a stop that is read advances to the next needle.
  int getStopsAsNeedles() const { return stopsAsNeedles_; }
  void setStopsAsNeedles(int value) { stopsAsNeedles_ = toFlag(value); }

  // Design start and end records, with the jumps and trims around them, are dropped.
  int getStripBeginEnd() const { return stripBeginEnd_; }
  void setStripBeginEnd(int value) { stripBeginEnd_ = toFlag(value); }

  // Number of consecutive jumps that stand for a trim.
  short getJumpsPerTrim() const { return jumpsPerTrim_; }
  void setJumpsPerTrim(short value) { jumpsPerTrim_ = value; }

  PenetrationStyle getPenetrationStyle() const { return penetrationStyle_; }
  void setPenetrationStyle(PenetrationStyle value) { penetrationStyle_ = value; }

  MediaType getMedia() const { return media_; }
  void setMedia(MediaType value) { media_ = value; }

  // When reading, a colour change to the current needle before the first stitch is dropped.
  int getSkipFirstColourChange() const { return skipFirstColourChange_; }
  void setSkipFirstColourChange(int value) { skipFirstColourChange_ = toFlag(value); }

  // A colour change is written before the first stitch even when the design lacks one.
  int getForceFirstColourChange() const { return forceFirstColourChange_; }
  void setForceFirstColourChange(int value) { forceFirstColourChange_ = toFlag(value); }

  // Kept for host programs; no coder reads it.
  int getReadBarudanZ() const { return readBarudanZ_; }
  void setReadBarudanZ(int value) { readBarudanZ_ = toFlag(value); }

  // Highest needle number the machine has; 0 when no limit is given.
  short getMaxNeedles() const { return maxNeedles_; }
  void setMaxNeedles(short value) { maxNeedles_ = value; }

  // Jumps are written as needle-ups, and needle-ups that are read become jumps.
  int getUseNeedleUps() const { return useNeedleUps_; }
  void setUseNeedleUps(int value) { useNeedleUps_ = toFlag(value); }

  // --- Stitch lengths and cleaning ----------------------------------------------------------

  // Stitches shorter than CleanLength are removed when writing.
  int getCleanShort() const { return cleanShort_; }
  void setCleanShort(int value) { cleanShort_ = toFlag(value); }

  // The move to the design end is written as a trim (or jump trim) first.
  int getJumpBeforeEnd() const { return jumpBeforeEnd_; }
  void setJumpBeforeEnd(int value) { jumpBeforeEnd_ = toFlag(value); }

  // Kept for host programs; no coder reads it.
  int getIgnoreMissingCodes() const { return ignoreMissingCodes_; }
  void setIgnoreMissingCodes(int value) { ignoreMissingCodes_ = toFlag(value); }

  // Every stop is preceded by a jump with no move (DST and VRZN).
  int getKorvanPadStop() const { return korvanPadStop_; }
  void setKorvanPadStop(int value) { korvanPadStop_ = toFlag(value); }

  // In DST files, each sequin drop is followed by a blank record (skipped when reading).
  int getBlankAfterDrops() const { return blankAfterDrops_; }
  void setBlankAfterDrops(int value) { blankAfterDrops_ = toFlag(value); }

  // Short-stitch threshold.
  short getCleanLength() const { return cleanLength_; }
  void setCleanLength(short value) { cleanLength_ = value; }

  // Longest stitch that is kept as one stitch when it lies below HardLength; 0: no such limit.
  short getMaxLength() const { return maxLength_; }
  void setMaxLength(short value) { maxLength_ = value; }

  // Longest move one machine record can carry.
  short getHardLength() const { return hardLength_; }
  void setHardLength(short value) { hardLength_ = value; }

  // Longest real stitch; limits chenille stitches when HasChenilleSupport is set.
  short getMaxRealLength() const { return maxRealLength_; }
  void setMaxRealLength(short value) { maxRealLength_ = value; }

  // Length of the pieces a long jump is split into.
  short getSplitJumpLength() const { return splitJumpLength_; }
  void setSplitJumpLength(short value) { splitJumpLength_ = value; }

  // --- Trims and copying ----------------------------------------------------------------------

  // The format has a trim command.
  int getHasTrimCode() const { return hasTrimCode_; }
  void setHasTrimCode(int value) { hasTrimCode_ = toFlag(value); }

  // Trims are written and read as runs of JumpsPerTrim jumps.
  int getTrimsAsJumps() const { return trimsAsJumps_; }
  void setTrimsAsJumps(int value) { trimsAsJumps_ = toFlag(value); }

  // Stitches are copied as they stand, without re-splitting or re-encoding choices.
  int getCopyOriginal() const { return copyOriginal_; }
  void setCopyOriginal(int value) { copyOriginal_ = toFlag(value); }

  // Kept for host programs; no coder reads it.
  int getStopBeforeJumps() const { return stopBeforeJumps_; }
  void setStopBeforeJumps(int value) { stopBeforeJumps_ = toFlag(value); }

  // The format has needle-select commands (kept for host programs).
  int getHasNeedleCode() const { return hasNeedleCode_; }
  void setHasNeedleCode(int value) { hasNeedleCode_ = toFlag(value); }

  // Kept for host programs; no coder reads it.
  int getMelcoNeedleAsStop() const { return melcoNeedleAsStop_; }
  void setMelcoNeedleAsStop(int value) { melcoNeedleAsStop_ = toFlag(value); }

  // --- Chenille -------------------------------------------------------------------------------

  // Chenille commands are written as stops in the older DST chenille form.
  int getKorvanOldChenille() const { return korvanOldChenille_; }
  void setKorvanOldChenille(int value) { korvanOldChenille_ = toFlag(value); }

  // Chenille mode commands that repeat the current mode are dropped.
  int getRemoveRedundantChenille() const { return removeRedundantChenille_; }
  void setRemoveRedundantChenille(int value) { removeRedundantChenille_ = toFlag(value); }

  // Chenille height commands are dropped.
  int getRemoveChenilleHeight() const { return removeChenilleHeight_; }
  void setRemoveChenilleHeight(int value) { removeChenilleHeight_ = toFlag(value); }

  // Barudan files use the Z variant: upper trims and needles up to 15.
  int getWriteBarudanZ() const { return writeBarudanZ_; }
  void setWriteBarudanZ(int value) { writeBarudanZ_ = toFlag(value); }

  // A change back to the first needle is written at the end of the design.
  int getReturnToFirstNeedleAtEnd() const { return returnToFirstNeedleAtEnd_; }
  void setReturnToFirstNeedleAtEnd(int value) { returnToFirstNeedleAtEnd_ = toFlag(value); }

  // A blank stitch is written after every trim. Default depends on the host application.
  int getInsertBlankStitchAfterTrim() const { return insertBlankStitchAfterTrim_; }
  void setInsertBlankStitchAfterTrim(int value) { insertBlankStitchAfterTrim_ = toFlag(value); }

  // A blank stitch at the beginning of a design (kept for host programs). Default depends on
  // the host application.
  int getInsertBlankStitchAtBegin() const { return insertBlankStitchAtBegin_; }
  void setInsertBlankStitchAtBegin(int value) { insertBlankStitchAtBegin_ = toFlag(value); }

  // Runs of zero-length jumps are thinned out when writing.
  int getFilterBlankJumps() const { return filterBlankJumps_; }
  void setFilterBlankJumps(int value) { filterBlankJumps_ = toFlag(value); }

  // Exp files: the design end is written as a jump and a blank stitch, not an end record.
  int getMelcoDiscardEnd() const { return melcoDiscardEnd_; }
  void setMelcoDiscardEnd(int value) { melcoDiscardEnd_ = toFlag(value); }

  // --- Borer ----------------------------------------------------------------------------------

  // The machine has borer commands (kept for host programs).
  int getHasBorerCode() const { return hasBorerCode_; }
  void setHasBorerCode(int value) { hasBorerCode_ = toFlag(value); }

  BorerType getBorerType() const { return borerType_; }
  void setBorerType(BorerType value) { borerType_ = value; }

  // One needle of the machine is a borer; BorerNeedle says which.
  int getHasBorerNeedle() const { return hasBorerNeedle_; }
  void setHasBorerNeedle(int value) { hasBorerNeedle_ = toFlag(value); }

  short getBorerNeedle() const { return borerNeedle_; }
  void setBorerNeedle(short value) { borerNeedle_ = value; }

  // Kept for host programs; no coder reads it.
  short getBorerOffset() const { return borerOffset_; }
  void setBorerOffset(short value) { borerOffset_ = value; }

  // The machine sews chenille (see MaxRealLength).
  int getHasChenilleSupport() const { return hasChenilleSupport_; }
  void setHasChenilleSupport(int value) { hasChenilleSupport_ = toFlag(value); }

  // Shortest real stitch; recorded in ZSK transport files.
  short getMinRealLength() const { return minRealLength_; }
  void setMinRealLength(short value) { minRealLength_ = value; }

  // Angle in degrees, 100 to 180; any other value is stored as 120. Kept for host programs.
  short getShortcutAngle() const { return shortcutAngle_; }
  void setShortcutAngle(short value);

  // --- Sequins and beads ----------------------------------------------------------------------

  // The machine has sequin commands (kept for host programs).
  int getHasSequinCode() const { return hasSequinCode_; }
  void setHasSequinCode(int value) { hasSequinCode_ = toFlag(value); }

  SequinType getSequinType() const { return sequinType_; }
  void setSequinType(SequinType value) { sequinType_ = value; }

  GlassBeadType getGlassBeadType() const { return glassBeadType_; }
  void setGlassBeadType(GlassBeadType value) { glassBeadType_ = value; }

  // The machine has combined sequin and bead drop commands (DST).
  int getSupportsCombinedSequinBead() const { return supportsCombinedSequinBead_; }
  void setSupportsCombinedSequinBead(int value) { supportsCombinedSequinBead_ = toFlag(value); }

  // --- Format ---------------------------------------------------------------------------------

  // The machine format catalogue may delete the profile this record came from. Not part of
  // equality.
  int getCanDelete() const { return canDelete_; }
  void setCanDelete(int value) { canDelete_ = toFlag(value); }

  // The disk file format the record is meant for.
  HDiskFileFormat getFileFormat() const { return fileFormat_; }
  void setFileFormat(HDiskFileFormat value) { fileFormat_ = value; }

  // A named variant of the format ("Normal" unless a machine format says otherwise).
  HString getFormatType() const { return formatType_; }
  void setFormatType(HString value) { formatType_ = std::move(value); }

  // Moves are rounded to multiples of this many units.
  short getGranularity() const { return granularity_; }
  void setGranularity(short value) { granularity_ = value; }

  // Kept for host programs; no coder reads it.
  int getCombineJumpsForNormals() const { return combineJumpsForNormals_; }
  void setCombineJumpsForNormals(int value) { combineJumpsForNormals_ = toFlag(value); }

  // Jumps are kept as they are instead of being merged.
  int getPreserveJumps() const { return preserveJumps_; }
  void setPreserveJumps(int value) { preserveJumps_ = toFlag(value); }

  // A tape leader of NumAddLeaderBytes bytes is wanted (written by the caller, not by the
  // coders).
  int getAddLeader() const { return addLeader_; }
  void setAddLeader(int value) { addLeader_ = toFlag(value); }

  int getNumAddLeaderBytes() const { return numAddLeaderBytes_; }
  void setNumAddLeaderBytes(int value) { numAddLeaderBytes_ = value; }

  KorvanStartStitchType getKorvanStartStitchType() const { return korvanStartStitchType_; }
  void setKorvanStartStitchType(KorvanStartStitchType value) { korvanStartStitchType_ = value; }

  ReadChangeoverType getReadChangeoverType() const { return readChangeoverType_; }
  void setReadChangeoverType(ReadChangeoverType value) { readChangeoverType_ = value; }

  // Length of each jump in a run that stands for a trim.
  short getTrimJumpLength() const { return trimJumpLength_; }
  void setTrimJumpLength(short value) { trimJumpLength_ = value; }

  // The needle penetrates at the jumps that stand for a trim. Not part of equality.
  int getPenetrateAtTrims() const { return penetrateAtTrims_; }
  void setPenetrateAtTrims(int value) { penetrateAtTrims_ = toFlag(value); }

  // Exp files are written for the GN design exchange (the design end becomes a jump).
  int getGNDllWrite() const { return gnDllWrite_; }
  void setGNDllWrite(int value) { gnDllWrite_ = toFlag(value); }

  // Kept for host programs; no coder reads them.
  int getSEITID() const { return seitId_; }
  void setSEITID(int value) { seitId_ = value; }
  int getSEITOffset() const { return seitOffset_; }
  void setSEITOffset(int value) { seitOffset_ = value; }

  PreserveBlanksType getPreserveBlanks() const { return preserveBlanks_; }
  void setPreserveBlanks(PreserveBlanksType value) { preserveBlanks_ = value; }

  // A pair of stops is written, and recognised, as stop, blank jump, stop.
  int getJumpBetweenTwoStops() const { return jumpBetweenTwoStops_; }
  void setJumpBetweenTwoStops(int value) { jumpBetweenTwoStops_ = toFlag(value); }

  // Blank jumps in Barudan change-over mode are skipped when reading.
  int getFilterChangeoverBlankJumps() const { return filterChangeoverBlankJumps_; }
  void setFilterChangeoverBlankJumps(int value) { filterChangeoverBlankJumps_ = toFlag(value); }

  // A stop or colour change directly after one of the same kind is not written.
  int getKorvanRemoveDoubleStops() const { return korvanRemoveDoubleStops_; }
  void setKorvanRemoveDoubleStops(int value) { korvanRemoveDoubleStops_ = toFlag(value); }

  // A sequin end followed, across jumps, by a sequin start is combined when writing.
  int getCombineSequinCommands() const { return combineSequinCommands_; }
  void setCombineSequinCommands(int value) { combineSequinCommands_ = toFlag(value); }

  // Normal stitches longer than MaxLength are cut into jumps ending in the stitch.
  int getSplitStitchToJumps() const { return splitStitchToJumps_; }
  void setSplitStitchToJumps(int value) { splitStitchToJumps_ = toFlag(value); }

  // DST sequin drops are written in place, followed by their move as a normal stitch.
  int getKorvanMoveDropSequins() const { return korvanMoveDropSequins_; }
  void setKorvanMoveDropSequins(int value) { korvanMoveDropSequins_ = toFlag(value); }

  // Sequin drops are written as a run of drop records whose count depends on the sequin
  // head. Any non-zero value enables it; the value is stored as given.
  int getAlternateSequinDropCommands() const { return alternateSequinDropCommands_; }
  void setAlternateSequinDropCommands(int value) { alternateSequinDropCommands_ = value; }

  // No move is ever cut when writing, whatever its length. Stored as given and never saved
  // to a profile.
  int getKeepOriginalStitch() const { return keepOriginalStitch_; }
  void setKeepOriginalStitch(int value) { keepOriginalStitch_ = value; }

 private:
  // Tests fill fields directly to check what copying does with values the setters refuse.
  friend struct StitchOptionsTestPeer;

  static constexpr std::uint8_t toFlag(int value) { return value != 0 ? 1 : 0; }

  // In this order; the defaults are those of a record made without a host application.
  std::uint8_t stopsAsNeedles_ = 0;
  std::uint8_t stripBeginEnd_ = 0;
  short jumpsPerTrim_ = 3;
  PenetrationStyle penetrationStyle_ = kPenetrationPlain;
  MediaType media_ = kMediaDefault;
  std::uint8_t skipFirstColourChange_ = 0;
  std::uint8_t forceFirstColourChange_ = 0;
  std::uint8_t readBarudanZ_ = 0;
  short maxNeedles_ = 0;
  std::uint8_t useNeedleUps_ = 0;
  std::uint8_t cleanShort_ = 0;
  std::uint8_t jumpBeforeEnd_ = 0;
  std::uint8_t ignoreMissingCodes_ = 0;
  std::uint8_t korvanPadStop_ = 0;
  std::uint8_t blankAfterDrops_ = 0;
  short cleanLength_ = 5;
  short maxLength_ = 0;
  short hardLength_ = 0;
  short maxRealLength_ = 0;
  short splitJumpLength_ = 0;
  std::uint8_t hasTrimCode_ = 1;
  std::uint8_t trimsAsJumps_ = 0;
  std::uint8_t copyOriginal_ = 0;
  std::uint8_t stopBeforeJumps_ = 0;
  std::uint8_t hasNeedleCode_ = 1;
  std::uint8_t melcoNeedleAsStop_ = 0;
  std::uint8_t korvanOldChenille_ = 0;
  std::uint8_t removeRedundantChenille_ = 0;
  std::uint8_t removeChenilleHeight_ = 0;
  std::uint8_t writeBarudanZ_ = 0;
  std::uint8_t returnToFirstNeedleAtEnd_ = 0;
  std::uint8_t insertBlankStitchAfterTrim_ = 0;
  std::uint8_t insertBlankStitchAtBegin_ = 0;
  std::uint8_t filterBlankJumps_ = 1;
  std::uint8_t melcoDiscardEnd_ = 0;
  std::uint8_t hasBorerCode_ = 1;
  BorerType borerType_ = kBorerAsIs;
  std::uint8_t hasBorerNeedle_ = 0;
  short borerNeedle_ = 0;
  short borerOffset_ = 0;
  std::uint8_t hasChenilleSupport_ = 0;
  short minRealLength_ = 0;
  short shortcutAngle_ = 120;
  std::uint8_t hasSequinCode_ = 1;
  SequinType sequinType_ = kSequinAsIs;
  GlassBeadType glassBeadType_ = kGlassBeadAsIs;
  std::uint8_t supportsCombinedSequinBead_ = 0;
  std::uint8_t canDelete_ = 0;
  HDiskFileFormat fileFormat_ = kFormatNone;
  HString formatType_ = L"Normal";
  short granularity_ = 1;
  std::uint8_t combineJumpsForNormals_ = 0;
  std::uint8_t preserveJumps_ = 0;
  std::uint8_t addLeader_ = 0;
  int numAddLeaderBytes_ = 20;
  KorvanStartStitchType korvanStartStitchType_ = kKorvanStartStitchFirst;
  ReadChangeoverType readChangeoverType_ = kReadChangeoverSequin;
  short trimJumpLength_ = 4;
  std::uint8_t penetrateAtTrims_ = 0;
  std::uint8_t gnDllWrite_ = 0;
  int seitId_ = -1;
  int seitOffset_ = 2200;
  PreserveBlanksType preserveBlanks_ = kPreserveBlanksNone;
  std::uint8_t jumpBetweenTwoStops_ = 1;
  std::uint8_t filterChangeoverBlankJumps_ = 0;
  std::uint8_t korvanRemoveDoubleStops_ = 0;
  std::uint8_t combineSequinCommands_ = 0;
  std::uint8_t splitStitchToJumps_ = 0;
  std::uint8_t korvanMoveDropSequins_ = 0;
  int alternateSequinDropCommands_ = 0;
  int keepOriginalStitch_ = 0;
};

// A record meant for reading. Adds nothing to StitchOptions; the type says the direction.
class StitchDecoderOptions : public StitchOptions {
 public:
  StitchDecoderOptions() = default;
  StitchDecoderOptions(const StitchDecoderOptions& other) = default;
  // Default-constructs, then copies `other` through the setters. Implicit, so that any record
  // can be passed where a decoder record is wanted.
  StitchDecoderOptions(const StitchOptions& other);  // NOLINT(google-explicit-constructor)
  ~StitchDecoderOptions() override;

  StitchDecoderOptions& operator=(const StitchDecoderOptions& other) = default;
  StitchDecoderOptions& operator=(const StitchOptions& other);
};

// A record meant for writing. Adds nothing to StitchOptions; the type says the direction.
class StitchEncoderOptions : public StitchOptions {
 public:
  StitchEncoderOptions() = default;
  StitchEncoderOptions(const StitchEncoderOptions& other) = default;
  // Default-constructs, then copies `other` through the setters. Implicit, so that any record
  // can be passed where a encoder record is wanted.
  StitchEncoderOptions(const StitchOptions& other);  // NOLINT(google-explicit-constructor)
  ~StitchEncoderOptions() override;

  StitchEncoderOptions& operator=(const StitchEncoderOptions& other) = default;
  StitchEncoderOptions& operator=(const StitchOptions& other);
};

// The move one machine record carries in the default option sets below.
inline constexpr short kDefaultHardLength = 127;

// Replaces everything in `options` with a default record whose HardLength is
// kDefaultHardLength: the starting point for reading a file.
void setDefaultDecoderOptions(StitchOptions& options);
// The same as setDefaultDecoderOptions, under the name host programs call.
void SetDefaultDecoderOptions(StitchOptions& options);
// Replaces everything in `options` with a default record whose HardLength is
// kDefaultHardLength: the starting point for writing a file.
void setDefaultEncoderOptions(StitchOptions& options);
// As setDefaultEncoderOptions, with CopyOriginal set: the stitches are written as they stand.
void setCopyEncoderOptions(StitchOptions& options);

// Lists of option records are built once in the library.
extern template class HList<StitchOptions>;

}  // namespace stitchkit
