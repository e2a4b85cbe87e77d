#pragma once

#include <memory>

#include "stitchkit/model/stitch_options.h"
#include "stitchkit/platform/h_profile.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {

// Number of serialisable options: ids 0 to kNumStitchOptions - 1.
inline constexpr int kNumStitchOptions = 70;
// The one option whose value is a text (FormatType); every other option is an integer.
inline constexpr int kFormatTypeOptionId = 18;

// Reads and writes the fields of a StitchOptions record by a fixed numeric id and a text
// name, as integers or as text. Every option of the record has an entry except
// KeepOriginalStitch, which is never stored.
//
// Ids and names never change: profiles and host programs store them. Names compare
// case-sensitively. Integer values are read through the field's getter (flags 0 or 1, 16-bit
// fields and enumerations sign-extended) and written through its setter (so flags become 0
// or 1, ShortcutAngle is clamped and 16-bit fields keep the low 16 bits of the value).
//
// The object holds no state; all functions are const and may be called from any thread.
class StitchOptionsSerializer {
 public:
  int numOptions() const { return kNumStitchOptions; }

  // The option's name, or "Invalid Index" for an id outside the table.
  const HString& getOptionName(int id) const;
  // The id whose name equals `name` exactly, or -1.
  int getOptionId(const HString& name) const;
  // 1 for an option with an integer value, 0 for FormatType and for ids outside the table.
  int isOptionIntValue(int id) const;

  // The field as an integer; 0 for FormatType and for ids outside the table.
  int getOptionIntValue(int id, const StitchOptions& o) const;
  // Sets the field through its setter. For FormatType the text becomes `value` spaces (none
  // when value <= 0). Ids outside the table change nothing.
  void setOptionIntValue(int id, StitchOptions& o, int value) const;

  // The field as text: FormatType as it stands, any other option as a decimal integer.
  HString getOptionValue(int id, const StitchOptions& o) const;
  // Sets the field from text: FormatType takes the text as it stands; any other option takes
  // the decimal integer the text starts with (after white space, with an optional sign; 0
  // when there are no digits; values beyond the int range saturate).
  void setOptionValue(int id, StitchOptions& o, const HString& text) const;
};

// Loads and saves a whole option record in an INI profile: section "StitchOptions", one key
// per option named as in StitchOptionsSerializer, the value as getOptionValue writes it.
//
// The profile is either the caller's (which must outlive this object and every copy of it)
// or one this object opens on a path. An opened profile is shared by all copies of the
// object that made it and is closed when the last of them goes away, so copies stay usable
// whichever of them is destroyed first.
class StitchOptionsProfile : public StitchOptionsSerializer {
 public:
  // Uses the caller's profile.
  explicit StitchOptionsProfile(HProfile& profile);
  // Opens a profile of its own on `path` (see HProfile for a missing or unreadable file).
  // When memory runs out the object has no profile and every call returns -1.
  explicit StitchOptionsProfile(const HString& path);
  StitchOptionsProfile(const StitchOptionsProfile& other) = default;
  StitchOptionsProfile& operator=(const StitchOptionsProfile& other) = default;
  virtual ~StitchOptionsProfile();

  // Applies every option the profile holds to `o`; a missing key, or a key whose value is
  // "...", leaves its field as it was. Texts are read up to 255 characters. Returns 0, or
  // -1 without a profile (or when memory runs out part way; the options applied stay).
  int loadOptions(StitchOptions& o) const;
  // Writes every option of `o` to the profile. Returns 0, or -1 without a profile (or when
  // memory runs out). Whether the profile's file could be written is not reported: the
  // profile keeps the values in memory either way.
  int saveOptions(const StitchOptions& o);

  int loadDecoderOptions(StitchDecoderOptions& o) const { return loadOptions(o); }
  int loadEncoderOptions(StitchEncoderOptions& o) const { return loadOptions(o); }
  int saveDecoderOptions(const StitchDecoderOptions& o) { return saveOptions(o); }
  int saveEncoderOptions(const StitchEncoderOptions& o) { return saveOptions(o); }

 private:
  HProfile* profile_ = nullptr;
  // Set when this object (or the one it was copied from) opened the profile.
  std::shared_ptr<HProfile> ownedProfile_;
};

}  // namespace stitchkit
