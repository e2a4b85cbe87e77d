#pragma once

#include <cstdint>

#include "stitchkit/platform/geometry.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/presser_foot.h"

namespace stitchkit {

// Command codes of a stitch (its flags byte).
//
// Codes 0 to 25, 49, 54 to 60 and 63 to 67 are the machine commands every format shares.
// The codes below 68 that carry format-specific kinds are assigned as follows:
//   26-30  stitch variants a format marks but which sew as plain stitches
//   31-36  machine functions of the ZSK transport stream without their own meaning here
//          (special functions 3, 4, 7, 12, 13 and 14, the parameter in the data word)
//   37     the KVB function byte 0x2C
//   38, 39 chenille coiling and chenille taping
//   40-48  lock-stitch chenille: standard, taping, coiling, zig-zag 4 to 9
//   61, 62 lock-stitch chenille: tucking, frilling
// Codes 50 to 53 are not produced by any reader; they pass through unchanged.
namespace StitchCode {
inline constexpr std::uint8_t Normal = 0;
inline constexpr std::uint8_t Jump = 1;
inline constexpr std::uint8_t ChangeNeedle = 2;
inline constexpr std::uint8_t Trim = 3;
inline constexpr std::uint8_t SlowDown = 4;
inline constexpr std::uint8_t SpeedUp = 5;
inline constexpr std::uint8_t Stop = 6;
inline constexpr std::uint8_t DesignEnd = 7;
inline constexpr std::uint8_t BorerIn = 8;
inline constexpr std::uint8_t BorerOut = 9;
inline constexpr std::uint8_t ChangeOver = 10;
inline constexpr std::uint8_t DesignStart = 11;
inline constexpr std::uint8_t UpperTrim = 12;
inline constexpr std::uint8_t NeedleUp = 13;
inline constexpr std::uint8_t JumpTrim = 14;
inline constexpr std::uint8_t ChenilleChain = 15;
inline constexpr std::uint8_t ChenilleMoss = 16;
inline constexpr std::uint8_t ChenilleHeight = 17;
inline constexpr std::uint8_t SequinStart = 18;
inline constexpr std::uint8_t SequinEnd = 19;
inline constexpr std::uint8_t DropSequin = 20;
inline constexpr std::uint8_t FrameOut = 21;
inline constexpr std::uint8_t TwoStop = 22;
inline constexpr std::uint8_t ThreeStop = 23;
inline constexpr std::uint8_t LaserOn = 24;
inline constexpr std::uint8_t LaserOff = 25;
inline constexpr std::uint8_t FirstStitchVariant = 26;
inline constexpr std::uint8_t LastStitchVariant = 30;
inline constexpr std::uint8_t ZskFunction3 = 31;
inline constexpr std::uint8_t ZskFunction4 = 32;
inline constexpr std::uint8_t ZskFunction7 = 33;
inline constexpr std::uint8_t ZskFunction12 = 34;
inline constexpr std::uint8_t ZskFunction13 = 35;
inline constexpr std::uint8_t ZskFunction14 = 36;
inline constexpr std::uint8_t KvbFunction2C = 37;
inline constexpr std::uint8_t ChenilleCoiling = 38;
inline constexpr std::uint8_t ChenilleTaping = 39;
inline constexpr std::uint8_t LockChenilleStandard = 40;
inline constexpr std::uint8_t LockChenilleTaping = 41;
inline constexpr std::uint8_t LockChenilleCoiling = 42;
inline constexpr std::uint8_t LockChenilleZigZag4 = 43;  // zig-zag n is 39 + n, n = 4..9
inline constexpr std::uint8_t LockChenilleZigZag9 = 48;
inline constexpr std::uint8_t LaserPause = 49;
inline constexpr std::uint8_t Tension = 54;
inline constexpr std::uint8_t TensionJump = 55;
inline constexpr std::uint8_t Cut = 56;
inline constexpr std::uint8_t ATHProhibitedStart = 57;
inline constexpr std::uint8_t ATHProhibitedEnd = 58;
inline constexpr std::uint8_t ArbitraryOn = 59;
inline constexpr std::uint8_t ArbitraryOff = 60;
inline constexpr std::uint8_t LockChenilleTucking = 61;
inline constexpr std::uint8_t LockChenilleFrilling = 62;
inline constexpr std::uint8_t CutJump = 63;
inline constexpr std::uint8_t BeadStart = 64;
inline constexpr std::uint8_t BeadEnd = 65;
inline constexpr std::uint8_t DropBead = 66;
inline constexpr std::uint8_t DropSequinW = 67;
}  // namespace StitchCode

// The name a command code is shown with ("Stitch", "Jump", ...); "Unknown" for codes
// without one. Codes 26 to 30 show as "Stitch".
const char* stitchCodeName(int code);

class HStitch;
struct StopInfo;

namespace detail {
struct StitchExtras;

// Owning pointer to the rare attributes of a stitch. Copying deep-copies them; a stitch
// without rare attributes copies without allocating.
class StitchExtrasPtr {
 public:
  StitchExtrasPtr() = default;
  StitchExtrasPtr(const StitchExtrasPtr& other) : p_(other.p_ ? clone(*other.p_) : nullptr) {}
  StitchExtrasPtr(StitchExtrasPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  StitchExtrasPtr& operator=(const StitchExtrasPtr& other) {
    if (this != &other) {
      StitchExtras* copy = other.p_ ? clone(*other.p_) : nullptr;
      reset();
      p_ = copy;
    }
    return *this;
  }
  StitchExtrasPtr& operator=(StitchExtrasPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = other.p_;
      other.p_ = nullptr;
    }
    return *this;
  }
  ~StitchExtrasPtr() { reset(); }

  void reset() {
    if (p_) destroy(p_);
    p_ = nullptr;
  }
  StitchExtras* get() const { return p_; }
  StitchExtras& ensure();

 private:
  static StitchExtras* clone(const StitchExtras& extras);
  static void destroy(StitchExtras* extras);

  StitchExtras* p_ = nullptr;
};
}  // namespace detail

// One stitch record: an absolute position in design units (0.1 mm), a command code, a colour
// (zero-based needle index: needle n is colour n - 1), a data word (command parameter such as
// a chenille height), a sequin head (0 to 7) and marks.
//
// A plain stitch is 24 bytes and creating, copying or moving one allocates nothing. The rare
// attributes (comment, real stitches, effect colour, arbitrary block, head code, automatic
// colour change offset, presser-foot settings, individual speed) live behind one pointer that
// is created the first time one of them is set. A virtual stitch (one long move) carries the
// machine stitches it stands for as its real stitches; they are deep-copied with it.
class HStitch {
 public:
  HStitch() = default;
  HStitch(short x, short y, std::uint8_t flags = StitchCode::Normal, unsigned short colour = 0)
      : x_(x), y_(y), colour_(colour), flags_(flags) {}
  HStitch(const HStitch&) = default;
  HStitch(HStitch&&) noexcept = default;
  HStitch& operator=(const HStitch&) = default;
  HStitch& operator=(HStitch&&) noexcept = default;
  // Copy of `other`; its real stitches are copied only when `withRealStitches` is non-zero.
  HStitch(const HStitch& other, int withRealStitches)
      : x_(other.x_),
        y_(other.y_),
        colour_(other.colour_),
        data_(other.data_),
        flags_(other.flags_),
        sequinHead_(other.sequinHead_),
        marks_(other.marks_) {
    if (other.extras_.get() != nullptr) copyStitchWithExtras(other, withRealStitches);
  }

  // Back to a default stitch: (0, 0), normal, colour 0, no attributes.
  void reset() { *this = HStitch(); }
  // Takes everything from `other` except the real stitches, which are copied only when
  // `withRealStitches` is non-zero (otherwise this stitch keeps none).
  void copyStitch(const HStitch& other, int withRealStitches) {
    if (extras_.get() == nullptr && other.extras_.get() == nullptr) {
      // Two plain stitches: the fields are all there is.
      x_ = other.x_, y_ = other.y_, colour_ = other.colour_, data_ = other.data_;
      flags_ = other.flags_, sequinHead_ = other.sequinHead_, marks_ = other.marks_;
      return;
    }
    copyStitchWithExtras(other, withRealStitches);
  }
  // Makes this a plain stitch at (x, y) with `flags` and `colour`: data word, sequin head and
  // marks cleared, any rare attributes dropped.
  void assignPlain(short x, short y, std::uint8_t flags, unsigned short colour) {
    if (extras_.get() != nullptr) extras_.reset();
    x_ = x, y_ = y, colour_ = colour, data_ = 0;
    flags_ = flags, sequinHead_ = 0, marks_ = 0;
  }
  // True when the stitch has no rare attributes (no block behind its pointer).
  bool isPlain() const { return extras_.get() == nullptr; }

  short& xval() { return x_; }
  short& yval() { return y_; }
  short xval() const { return x_; }
  short yval() const { return y_; }
  HCoord<short> getPoint() const { return {x_, y_}; }
  void setPoint(HCoord<short> p) { x_ = p.x, y_ = p.y; }
  void setPoint(short x, short y) { x_ = x, y_ = y; }

  std::uint8_t getFlags() const { return flags_; }
  void setFlags(std::uint8_t flags) { flags_ = flags; }
  unsigned short getColor() const { return colour_; }
  // Sets the colour; with `includeRealStitches` the real stitches take it too.
  void setColor(unsigned short colour, bool includeRealStitches = true);
  unsigned short getData() const { return data_; }
  void setData(unsigned short data) { data_ = data; }
  // The one-byte parameter of a drop command (the head of a drop sequin or drop bead). It is
  // the sequin head.
  std::uint8_t getData8() const { return sequinHead_; }
  void setData8(std::uint8_t value) { sequinHead_ = value; }
  unsigned short getSequinHead() const { return sequinHead_; }
  void setSequinHead(unsigned short head) { sequinHead_ = static_cast<std::uint8_t>(head); }

  // Marks.
  void preserve(bool on = true) { setMark(kPreserved, on); }
  bool isPreserved() const { return (marks_ & kPreserved) != 0; }
  void setAutoCleaned(bool on = true) { setMark(kAutoCleaned, on); }
  bool isAutoCleaned() const { return (marks_ & kAutoCleaned) != 0; }

  // Comment.
  HString getComment() const;
  void setComment(const HString& comment);

  // Real stitches. setRealStitches copies `stitches`; with option 1 the copies are stored
  // without real stitches of their own (machine stitches are never virtual).
  bool hasRealStitches() const;
  int getRealStitchCount() const;
  // Requires hasRealStitches() or returns a shared empty array.
  const HXArray<HStitch>& getRealStitches() const;
  HXArray<HStitch>& getRealStitches();
  void setRealStitches(const HXArray<HStitch>& stitches, int option = 0);
  void setRealStitches(HXArray<HStitch>&& stitches);
  void clearRealStitches();

  // Effect colour: a flag byte (an effect colour is present when its low four bits are 1),
  // a 32-bit colour and an id text; plus a colour type and a new-effect mark.
  bool hasEffectColour() const;
  void getEffectInfo(std::uint8_t& flag, std::uint32_t& colour, HString& id) const;
  void setEffectInfo(std::uint8_t flag, std::uint32_t colour, const HString& id);
  std::uint8_t getColourType() const;
  void setColourType(std::uint8_t type);
  bool isNewEffect() const;
  void setNewEffect(bool on);

  // Arbitrary block number of an arbitrary on/off command.
  int getArbitraryBlock() const;
  void setArbitraryBlock(int block);

  // Multi-head attributes: the head code (0, 1 to 7, 10, 20 to 39) and the automatic colour
  // change offset (0, or 1 to 9) carried through the needle-bar data.
  int getHeadCode() const;
  void setHeadCode(int code);
  int getAutoColourChangeOffset() const;
  void setAutoColourChangeOffset(int offset);

  // Presser-foot settings and individual speed of the block this stitch opens.
  bool hasPresserFootSettings() const;
  PresserFootSettings getPresserFootSettings() const;
  void setPresserFootSettings(const PresserFootSettings& settings);
  // Individual speed; 0 means none.
  bool hasIndividualSpeed() const { return getIndividualSpeed() != 0; }
  int getIndividualSpeed() const;
  void setIndividualSpeed(int speed);

  // Stop table record (command code, colour and data word of this stitch; counts zero).
  StopInfo getStopInfo() const;
  // Takes the command code and data word of `info`; with `withColour` non-zero its colour too.
  void translateStopInfo(const StopInfo& info, int withColour);

  double distance(const HStitch& other) const;
  // Same point, command, colour, data word and sequin head: the same machine record.
  bool isSameRecordAs(const HStitch& other) const {
    return x_ == other.x_ && y_ == other.y_ && flags_ == other.flags_ && colour_ == other.colour_ &&
           data_ == other.data_ && sequinHead_ == other.sequinHead_;
  }
  HVector<short> operator-(const HStitch& other) const { return getPoint() - other.getPoint(); }

  // Predicates on the command code.
  bool isNormal() const {
    return flags_ == StitchCode::Normal ||
           (flags_ >= StitchCode::FirstStitchVariant && flags_ <= StitchCode::LastStitchVariant);
  }
  bool isJump() const { return flags_ == StitchCode::Jump; }
  bool isColorChange() const { return flags_ == StitchCode::ChangeNeedle; }
  bool isTrim() const { return flags_ == StitchCode::Trim; }
  bool isSlowDown() const { return flags_ == StitchCode::SlowDown; }
  bool isSpeedUp() const { return flags_ == StitchCode::SpeedUp; }
  bool isStop() const { return flags_ == StitchCode::Stop; }
  bool isEndRewind() const { return flags_ == StitchCode::DesignEnd; }
  bool isBorerOn() const { return flags_ == StitchCode::BorerIn; }
  bool isBorerOff() const { return flags_ == StitchCode::BorerOut; }
  bool isChangeOver() const { return flags_ == StitchCode::ChangeOver; }
  bool isBegin() const { return flags_ == StitchCode::DesignStart; }
  bool isUpperTrim() const { return flags_ == StitchCode::UpperTrim; }
  bool isNeedleUp() const { return flags_ == StitchCode::NeedleUp; }
  bool isJumpTrim() const { return flags_ == StitchCode::JumpTrim; }
  bool isChain() const { return flags_ == StitchCode::ChenilleChain; }
  bool isMoss() const { return flags_ == StitchCode::ChenilleMoss; }
  bool isChenilleHeight() const { return flags_ == StitchCode::ChenilleHeight; }
  bool isChenilleCoiling() const { return flags_ == StitchCode::ChenilleCoiling; }
  bool isChenilleTaping() const { return flags_ == StitchCode::ChenilleTaping; }
  // Any chenille kind: chain, moss, height, coiling, taping.
  bool isChenille() const {
    return (flags_ >= StitchCode::ChenilleChain && flags_ <= StitchCode::ChenilleHeight) ||
           flags_ == StitchCode::ChenilleCoiling || flags_ == StitchCode::ChenilleTaping;
  }
  // Any lock-stitch chenille kind (standard, taping, coiling, zig-zag 4-9, tucking, frilling).
  bool isLockStitchChenille() const {
    return (flags_ >= StitchCode::LockChenilleStandard &&
            flags_ <= StitchCode::LockChenilleZigZag9) ||
           flags_ == StitchCode::LockChenilleTucking || flags_ == StitchCode::LockChenilleFrilling;
  }
  bool isSequinStart() const { return flags_ == StitchCode::SequinStart; }
  bool isSequinEnd() const { return flags_ == StitchCode::SequinEnd; }
  bool isDropSequin() const { return flags_ == StitchCode::DropSequin; }
  bool isDropSequinW() const { return flags_ == StitchCode::DropSequinW; }
  bool isFrameOut() const { return flags_ == StitchCode::FrameOut; }
  bool isTwoStop() const { return flags_ == StitchCode::TwoStop; }
  bool isThreeStop() const { return flags_ == StitchCode::ThreeStop; }
  bool isLaserOn() const { return flags_ == StitchCode::LaserOn; }
  bool isLaserOff() const { return flags_ == StitchCode::LaserOff; }
  bool isLaserPause() const { return flags_ == StitchCode::LaserPause; }
  bool isTension() const { return flags_ == StitchCode::Tension; }
  bool isTensionJump() const { return flags_ == StitchCode::TensionJump; }
  bool isCut() const { return flags_ == StitchCode::Cut; }
  bool isCutJump() const { return flags_ == StitchCode::CutJump; }
  bool isATHProhibitedStart() const { return flags_ == StitchCode::ATHProhibitedStart; }
  bool isATHProhibitedEnd() const { return flags_ == StitchCode::ATHProhibitedEnd; }
  bool isArbitraryOn() const { return flags_ == StitchCode::ArbitraryOn; }
  bool isArbitraryOff() const { return flags_ == StitchCode::ArbitraryOff; }
  bool isBeadStart() const { return flags_ == StitchCode::BeadStart; }
  bool isBeadEnd() const { return flags_ == StitchCode::BeadEnd; }
  bool isDropBead() const { return flags_ == StitchCode::DropBead; }
  // Moves without sewing: jump, needle up, jump trim, tension jump, cut jump.
  bool isJumping() const {
    return flags_ == StitchCode::Jump || flags_ == StitchCode::NeedleUp ||
           flags_ == StitchCode::JumpTrim || flags_ == StitchCode::TensionJump ||
           flags_ == StitchCode::CutJump;
  }
  // The needle goes through the fabric at this stitch: a plain stitch or a drop (sequin,
  // sequin W, bead).
  bool isPenetrationStitch() const {
    return isNormal() || flags_ == StitchCode::DropSequin || flags_ == StitchCode::DropSequinW ||
           flags_ == StitchCode::DropBead;
  }

 private:
  void copyStitchWithExtras(const HStitch& other, int withRealStitches);

  static constexpr std::uint8_t kPreserved = 1;
  static constexpr std::uint8_t kAutoCleaned = 2;

  void setMark(std::uint8_t mark, bool on) {
    marks_ = static_cast<std::uint8_t>(on ? (marks_ | mark) : (marks_ & ~mark));
  }

  short x_ = 0;
  short y_ = 0;
  unsigned short colour_ = 0;
  unsigned short data_ = 0;
  std::uint8_t flags_ = StitchCode::Normal;
  std::uint8_t sequinHead_ = 0;
  std::uint8_t marks_ = 0;
  detail::StitchExtrasPtr extras_;
};

static_assert(sizeof(HStitch) <= 24, "a plain stitch must stay within 24 bytes");

}  // namespace stitchkit
