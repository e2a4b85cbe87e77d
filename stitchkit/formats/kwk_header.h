#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "stitchkit/platform/h_stream.h"
#include "stitchkit/platform/h_string.h"

// The fixed header of outline design files (".KWK"), its attached-file records and the small
// records the host programs store with them. The library keeps the bytes; the host programs
// give the fields their meaning. Numbers are little-endian.
//
// Header image (118 bytes; every byte not listed is zero after initialize):
//
//   0    5   version text "V3.07" ... "V8.80"        (zero)
//   6    2   unsigned                                 0
//   56   4   float                                    0.0
//   60   16  four floats                              1.0 each
//   76   4   float                                    0.0
//   80   4   two unsigned                             100 each
//   84   4   two signed: fallbacks for the floats at 102 and 106     0
//   88   2   unsigned                                 0
//   90   2   unsigned                                 40
//   92   6   three unsigned                           0
//   98   2   unsigned                                 2
//   102  4   float                                    50.0
//   106  4   float                                    0.0
//   110  8   unnamed                                  zero
//
// On disk the image is followed by a signed 16-bit count of attached files (0 to 4) and per
// file a 16-bit length and that many bytes, at most 130 of which are kept.
namespace stitchkit {

namespace kwk {
inline constexpr std::size_t kImageSize = 118;
inline constexpr std::size_t kAttachedFileSize = 130;
inline constexpr int kMaxAttachedFiles = 4;
inline constexpr std::size_t kFirstFallback = 84;   // signed 16-bit, for the float at 102
inline constexpr std::size_t kSecondFallback = 86;  // for the float at 106
inline constexpr std::size_t kFirstFallbackFloat = 102;
inline constexpr std::size_t kSecondFallbackFloat = 106;
}  // namespace kwk

// Results of the readers and writers.
inline constexpr int kKwkOk = 0;
inline constexpr int kKwkShortRead = -1;
inline constexpr int kKwkTooManyFiles = -2;  // an attached-file count above 4
inline constexpr int kKwkWriteFailed = -3;

class KwkHeader {
 public:
  using AttachedFile = std::array<std::uint8_t, kwk::kAttachedFileSize>;

  KwkHeader() { initialize(); }
  KwkHeader(const KwkHeader& other) { copyFrom(other); }
  KwkHeader& operator=(const KwkHeader& other) {
    if (this != &other) copyFrom(other);
    return *this;
  }
  ~KwkHeader() { clearAttachedFiles(); }

  // No attached files; the image holds the values of the table above.
  void initialize();
  void clearAttachedFiles();
  void copyFrom(const KwkHeader& other);

  // The current layout: the 118-byte image, then the attached files.
  int read(HStream& stream);
  // The older layout: 102 bytes at 0, 8 bytes skipped, 4 at 102, 4 at 106, 8 at 110, then
  // the attached files.
  int read880(HStream& stream);
  int readAttachedFiles(HStream& stream);
  int write(HStream& stream) const;
  int writeAttachedFiles(HStream& stream) const;

  // The version text's class: 0 below "V3.07", 1 below "V3.90", 2 below "V4.06", 3 below
  // "V6.39", 4 below "V7.00", 5 below "V7.77", 6 below "V7.78", 7 up to "V8.80", 8 above
  // (the first five characters, compared without regard to case).
  int checkVersion() const;

  std::array<std::uint8_t, kwk::kImageSize> image{};
  const std::vector<AttachedFile>& attachedFiles() const { return attached_; }

 private:
  void applyFallbacks();

  std::vector<AttachedFile> attached_;
};

// One stored value: two 16-bit numbers and two 32-bit values read either as integers or as
// floats. Equal when all four are equal bit for bit.
struct KwkFileEntry {
  KwkFileEntry() = default;
  KwkFileEntry(std::int16_t entryId, std::int16_t type, std::int32_t first, std::int32_t second) {
    set(entryId, type, first, second);
  }
  KwkFileEntry(std::int16_t entryId, std::int16_t type, float first, float second) {
    set(entryId, type, first, second);
  }
  void set(std::int16_t entryId, std::int16_t type, std::int32_t first, std::int32_t second);
  void set(std::int16_t entryId, std::int16_t type, float first, float second);

  std::int32_t ldata1() const { return static_cast<std::int32_t>(bits1); }
  std::int32_t ldata2() const { return static_cast<std::int32_t>(bits2); }
  float fdata1() const;
  float fdata2() const;

  bool operator==(const KwkFileEntry&) const = default;

  std::int16_t id = -1;
  std::int16_t dataType = -1;
  std::uint32_t bits1 = 0;
  std::uint32_t bits2 = 0;
};

// 2, 2, 4 and 4 bytes in order. A short read leaves the entry as far as it was read.
HStream& operator<<(HStream& stream, const KwkFileEntry& entry);
HStream& operator>>(HStream& stream, KwkFileEntry& entry);

// A 32-byte record of the outline files, copied as it is.
struct KwkFileHeader {
  std::uint16_t first = 0;
  std::array<char, 8> second{};
  std::array<char, 8> third{};
  std::uint16_t fourth = 0;
  std::uint32_t fifth = 0;
  std::array<char, 8> sixth{};
};
static_assert(sizeof(KwkFileHeader) == 32, "KwkFileHeader is stored byte for byte");

// 1 when `path` ends in ".KWK" in any case, else 0.
int isOldOutlineFile(const HString& path);

}  // namespace stitchkit
