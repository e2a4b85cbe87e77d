#pragma once

#include <cstdint>

#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_stream.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/presser_foot.h"

namespace stitchkit {

// Kind of a palette entry.
enum class ThreadType : std::uint8_t {
  kNormal = 0,
  kPunch = 16,    // a punch (borer) tool rather than a thread
  kUnused = 255,  // a needle with nothing on it
};

// One thread of a palette: colour, identity and the per-block machine settings a thread may
// carry (presser foot, individual speed).
struct ThreadProperty {
  std::uint32_t colour = 0;  // 0x00RRGGBB
  HString name;
  HString code;
  HString manufacturer;
  ThreadType type = ThreadType::kNormal;
  HString comment;
  PresserFootSettings presserFoot;
  int individualSpeed = 0;  // stitches per minute; 0 when the thread has none
  double thickness = 0.0;

  ThreadProperty() = default;
  ThreadProperty(std::uint32_t rgb, const HString& threadName, const HString& threadCode,
                 const HString& maker)
      : colour(rgb), name(threadName), code(threadCode), manufacturer(maker) {}

  static constexpr std::uint32_t rgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);
  }
  unsigned red() const { return (colour >> 16) & 0xFF; }
  unsigned green() const { return (colour >> 8) & 0xFF; }
  unsigned blue() const { return colour & 0xFF; }
  bool hasIndividualSpeed() const { return individualSpeed != 0; }

  // Serialises the thread (a version byte, then every field). Returns kHStreamOk or the
  // first failure of the stream helpers.
  int write(HStream& stream) const;
  // Reads what write produced. Texts longer than 4096 bytes are refused. On failure the
  // thread may be partly filled.
  int read(HStream& stream);

  bool operator==(const ThreadProperty&) const = default;
};

// An ordered list of threads: thread i is used by needle i + 1 (stitch colour i).
class ThreadPalette {
 public:
  int length() const { return threads_.length(); }
  bool isEmpty() const { return threads_.isEmpty(); }
  ThreadProperty& operator[](int index) { return threads_[index]; }
  const ThreadProperty& operator[](int index) const { return threads_[index]; }
  int add(const ThreadProperty& thread) { return threads_.add(thread); }
  void remove(int index) { threads_.remove(index); }
  void clear() { threads_.clear(); }
  // Index of the first punch thread, or -1 when the palette has none.
  int getFirstPunchThreadIndex() const;

  auto begin() const { return threads_.begin(); }
  auto end() const { return threads_.end(); }

 private:
  HXArray<ThreadProperty> threads_;
};

// The thread catalogue: the default threads that complete a palette, and threads a host
// registers by brand number and code. The shared catalogue starts with the default threads
// only; a host fills it before conversions start (it is not locked against concurrent
// changes).
class ThreadDB {
 public:
  ThreadDB();

  static ThreadDB& shared();

  // Number of default threads and default thread `index` modulo that number.
  int defaultThreadCount() const { return defaults_.length(); }
  const ThreadProperty& getDefaultThread(int index) const;

  // Registers a brand name under a number; the number of a known name or -1.
  void addBrand(int number, const HString& manufacturer);
  int getBrandNumber(const HString& manufacturer) const;
  // Registers a thread of a brand; a later thread with the same brand and code replaces it.
  void addThread(int brand, const ThreadProperty& thread);
  // Finds a thread by brand number and code; false when the catalogue has none.
  bool findThread(int brand, const HString& code, ThreadProperty& out) const;

 private:
  struct Brand {
    int number;
    HString name;
  };
  struct Entry {
    int brand;
    ThreadProperty thread;
  };

  HXArray<ThreadProperty> defaults_;
  HXArray<Brand> brands_;
  HXArray<Entry> threads_;
};

}  // namespace stitchkit
