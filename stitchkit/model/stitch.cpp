#include "stitchkit/model/stitch.h"

#include <cmath>
#include <utility>

#include "stitchkit/model/stop_info.h"

namespace stitchkit {

namespace detail {

struct StitchExtras {
  HString comment;
  HXArray<HStitch> realStitches;
  HString effectId;
  std::uint32_t effectColour = 0;
  int arbitraryBlock = 0;
  int individualSpeed = 0;
  PresserFootSettings presserFoot;
  std::uint8_t effectFlag = 0;
  std::uint8_t colourType = 0;
  std::uint8_t headCode = 0;
  std::uint8_t autoColourChangeOffset = 0;
  bool newEffect = false;

  // True when anything but the real stitches differs from a new block.
  bool hasAttributes() const {
    return !comment.isEmpty() || !effectId.isEmpty() || effectColour != 0 || arbitraryBlock != 0 ||
           individualSpeed != 0 || !(presserFoot == PresserFootSettings()) || effectFlag != 0 ||
           colourType != 0 || headCode != 0 || autoColourChangeOffset != 0 || newEffect;
  }
};

StitchExtras& StitchExtrasPtr::ensure() {
  if (p_ == nullptr) p_ = new StitchExtras();
  return *p_;
}

StitchExtras* StitchExtrasPtr::clone(const StitchExtras& extras) {
  return new StitchExtras(extras);
}

void StitchExtrasPtr::destroy(StitchExtras* extras) {
  delete extras;
}

}  // namespace detail

namespace {

const HXArray<HStitch>& emptyStitchArray() {
  static const HXArray<HStitch> empty;
  return empty;
}

struct CodeName {
  std::uint8_t code;
  const char* name;
};

constexpr CodeName kCodeNames[] = {
    {StitchCode::Normal, "Stitch"},
    {StitchCode::Jump, "Jump"},
    {StitchCode::ChangeNeedle, "Change Needle"},
    {StitchCode::Trim, "Trim"},
    {StitchCode::SlowDown, "Slow Down"},
    {StitchCode::SpeedUp, "Speed Up"},
    {StitchCode::Stop, "Stop"},
    {StitchCode::DesignEnd, "Design End"},
    {StitchCode::BorerIn, "Borer In"},
    {StitchCode::BorerOut, "Borer Out"},
    {StitchCode::ChangeOver, "Change Over"},
    {StitchCode::DesignStart, "Design Start"},
    {StitchCode::UpperTrim, "Upper Trim"},
    {StitchCode::NeedleUp, "Needle Up"},
    {StitchCode::JumpTrim, "Jump Trim"},
    {StitchCode::SequinStart, "Sequin Start"},
    {StitchCode::SequinEnd, "Sequin End"},
    {StitchCode::DropSequin, "Drop Sequin"},
    {StitchCode::FrameOut, "Frame Out"},
    {StitchCode::TwoStop, "Two Stop"},
    {StitchCode::ThreeStop, "Three Stop"},
    {StitchCode::LaserOn, "Laser On"},
    {StitchCode::LaserOff, "Laser Off"},
    {26, "Stitch"},
    {27, "Stitch"},
    {28, "Stitch"},
    {29, "Stitch"},
    {30, "Stitch"},
    {StitchCode::LaserPause, "Laser Pause"},
    {StitchCode::Tension, "Tension"},
    {StitchCode::TensionJump, "Tension Jump"},
    {StitchCode::Cut, "Cut"},
    {StitchCode::ATHProhibitedStart, "ATH Prohibited Start"},
    {StitchCode::ATHProhibitedEnd, "ATH Prohibited End"},
    {StitchCode::ArbitraryOn, "Arbitrary On"},
    {StitchCode::ArbitraryOff, "Arbitrary Off"},
    {StitchCode::CutJump, "Cut Jump"},
    {StitchCode::BeadStart, "Bead Start"},
    {StitchCode::BeadEnd, "Bead End"},
    {StitchCode::DropBead, "Drop Bead"},
    {StitchCode::DropSequinW, "Drop Sequin W"},
};

}  // namespace

const char* stitchCodeName(int code) {
  for (const CodeName& entry : kCodeNames) {
    if (entry.code == code) return entry.name;
  }
  return "Unknown";
}

void HStitch::copyStitchWithExtras(const HStitch& other, int withRealStitches) {
  if (this == &other) {
    if (!withRealStitches) clearRealStitches();
    return;
  }
  x_ = other.x_;
  y_ = other.y_;
  colour_ = other.colour_;
  data_ = other.data_;
  flags_ = other.flags_;
  sequinHead_ = other.sequinHead_;
  marks_ = other.marks_;
  if (other.extras_.get() == nullptr) {
    extras_.reset();
    return;
  }
  if (withRealStitches) {
    extras_ = other.extras_;
    return;
  }
  // A block that holds nothing but real stitches is not copied: the copy stays plain.
  if (!other.extras_.get()->hasAttributes()) {
    if (extras_.get() != nullptr) *extras_.get() = detail::StitchExtras();
    return;
  }
  // Copy the attributes but not the real stitches.
  detail::StitchExtras& mine = extras_.ensure();
  const detail::StitchExtras& theirs = *other.extras_.get();
  mine.comment = theirs.comment;
  mine.effectId = theirs.effectId;
  mine.effectColour = theirs.effectColour;
  mine.arbitraryBlock = theirs.arbitraryBlock;
  mine.individualSpeed = theirs.individualSpeed;
  mine.presserFoot = theirs.presserFoot;
  mine.effectFlag = theirs.effectFlag;
  mine.colourType = theirs.colourType;
  mine.headCode = theirs.headCode;
  mine.autoColourChangeOffset = theirs.autoColourChangeOffset;
  mine.newEffect = theirs.newEffect;
  mine.realStitches.reset();
}

void HStitch::setColor(unsigned short colour, bool includeRealStitches) {
  colour_ = colour;
  if (includeRealStitches && extras_.get() != nullptr) {
    for (HStitch& real : extras_.get()->realStitches)
      real.setColor(colour, true);
  }
}

HString HStitch::getComment() const {
  return extras_.get() ? extras_.get()->comment : HString();
}

void HStitch::setComment(const HString& comment) {
  if (comment.isEmpty() && extras_.get() == nullptr) return;
  extras_.ensure().comment = comment;
}

bool HStitch::hasRealStitches() const {
  return extras_.get() != nullptr && !extras_.get()->realStitches.isEmpty();
}

int HStitch::getRealStitchCount() const {
  return extras_.get() ? extras_.get()->realStitches.length() : 0;
}

const HXArray<HStitch>& HStitch::getRealStitches() const {
  return extras_.get() ? extras_.get()->realStitches : emptyStitchArray();
}

HXArray<HStitch>& HStitch::getRealStitches() {
  return extras_.ensure().realStitches;
}

void HStitch::setRealStitches(const HXArray<HStitch>& stitches, int option) {
  if (stitches.isEmpty() && extras_.get() == nullptr) return;
  HXArray<HStitch> copy = stitches;
  if (option == 1) {
    for (HStitch& s : copy)
      s.clearRealStitches();
  }
  extras_.ensure().realStitches = std::move(copy);
}

void HStitch::setRealStitches(HXArray<HStitch>&& stitches) {
  if (stitches.isEmpty() && extras_.get() == nullptr) return;
  extras_.ensure().realStitches = std::move(stitches);
}

void HStitch::clearRealStitches() {
  if (extras_.get() != nullptr) extras_.get()->realStitches.reset();
}

bool HStitch::hasEffectColour() const {
  return extras_.get() != nullptr && (extras_.get()->effectFlag & 0x0F) == 1;
}

void HStitch::getEffectInfo(std::uint8_t& flag, std::uint32_t& colour, HString& id) const {
  if (extras_.get() == nullptr) {
    flag = 0;
    colour = 0;
    id = HString();
    return;
  }
  flag = extras_.get()->effectFlag;
  colour = extras_.get()->effectColour;
  id = extras_.get()->effectId;
}

void HStitch::setEffectInfo(std::uint8_t flag, std::uint32_t colour, const HString& id) {
  if (flag == 0 && colour == 0 && id.isEmpty() && extras_.get() == nullptr) return;
  detail::StitchExtras& e = extras_.ensure();
  e.effectFlag = flag;
  e.effectColour = colour;
  e.effectId = id;
}

std::uint8_t HStitch::getColourType() const {
  return extras_.get() ? extras_.get()->colourType : 0;
}

void HStitch::setColourType(std::uint8_t type) {
  if (type == 0 && extras_.get() == nullptr) return;
  extras_.ensure().colourType = type;
}

bool HStitch::isNewEffect() const {
  return extras_.get() && extras_.get()->newEffect;
}

void HStitch::setNewEffect(bool on) {
  if (!on && extras_.get() == nullptr) return;
  extras_.ensure().newEffect = on;
}

int HStitch::getArbitraryBlock() const {
  return extras_.get() ? extras_.get()->arbitraryBlock : 0;
}

void HStitch::setArbitraryBlock(int block) {
  if (block == 0 && extras_.get() == nullptr) return;
  extras_.ensure().arbitraryBlock = block;
}

int HStitch::getHeadCode() const {
  return extras_.get() ? extras_.get()->headCode : 0;
}

void HStitch::setHeadCode(int code) {
  if (code == 0 && extras_.get() == nullptr) return;
  extras_.ensure().headCode = static_cast<std::uint8_t>(code);
}

int HStitch::getAutoColourChangeOffset() const {
  return extras_.get() ? extras_.get()->autoColourChangeOffset : 0;
}

void HStitch::setAutoColourChangeOffset(int offset) {
  if (offset == 0 && extras_.get() == nullptr) return;
  extras_.ensure().autoColourChangeOffset = static_cast<std::uint8_t>(offset);
}

bool HStitch::hasPresserFootSettings() const {
  return extras_.get() != nullptr && extras_.get()->presserFoot.valid;
}

PresserFootSettings HStitch::getPresserFootSettings() const {
  return extras_.get() ? extras_.get()->presserFoot : PresserFootSettings();
}

void HStitch::setPresserFootSettings(const PresserFootSettings& settings) {
  if (settings == PresserFootSettings() && extras_.get() == nullptr) return;
  extras_.ensure().presserFoot = settings;
}

int HStitch::getIndividualSpeed() const {
  return extras_.get() ? extras_.get()->individualSpeed : 0;
}

void HStitch::setIndividualSpeed(int speed) {
  if (speed == 0 && extras_.get() == nullptr) return;
  extras_.ensure().individualSpeed = speed;
}

StopInfo HStitch::getStopInfo() const {
  StopInfo info;
  info.commandCode = flags_;
  info.colour = colour_;
  info.data = data_;
  info.sequinHead = sequinHead_;
  return info;
}

void HStitch::translateStopInfo(const StopInfo& info, int withColour) {
  flags_ = static_cast<std::uint8_t>(info.commandCode);
  data_ = info.data;
  sequinHead_ = static_cast<std::uint8_t>(info.sequinHead);
  if (withColour) colour_ = info.colour;
}

double HStitch::distance(const HStitch& other) const {
  const double dx = static_cast<double>(x_) - other.x_;
  const double dy = static_cast<double>(y_) - other.y_;
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace stitchkit
