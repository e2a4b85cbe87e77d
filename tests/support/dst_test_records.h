#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

// DST records for tests, assembled from the bit weights of the record written down here on
// their own, so that a wrong weight in the library is not repeated by the tests.
namespace stitchkit::testing_support {

// Command bits of b2.
inline constexpr int kDstNormal = 0x00;
inline constexpr int kDstJump = 0x80;
inline constexpr int kDstChangeover = 0x40;
inline constexpr int kDstStop = 0xC0;

struct DstBitWeight {
  int byte;  // 0 to 2
  int mask;
  int dx;
  int dy;
};

// b0: x+1 x-1 x+9 x-9 y+9 y-9 y+1 y-1 (bit 0 up); b1 the same with 3 and 27;
// b2: bits 2 to 5 are x+81 x-81 y+81 y-81.
inline constexpr DstBitWeight kDstBitWeights[] = {
    {0, 0x01, 1, 0},  {0, 0x02, -1, 0},  {0, 0x04, 9, 0},   {0, 0x08, -9, 0},  {0, 0x10, 0, 9},
    {0, 0x20, 0, -9}, {0, 0x40, 0, 1},   {0, 0x80, 0, -1},  {1, 0x01, 3, 0},   {1, 0x02, -3, 0},
    {1, 0x04, 27, 0}, {1, 0x08, -27, 0}, {1, 0x10, 0, 27},  {1, 0x20, 0, -27}, {1, 0x40, 0, 3},
    {1, 0x80, 0, -3}, {2, 0x04, 81, 0},  {2, 0x08, -81, 0}, {2, 0x10, 0, 81},  {2, 0x20, 0, -81},
};

// The move of one record.
inline void dstMove(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, int& dx, int& dy) {
  const std::uint8_t bytes[3] = {b0, b1, b2};
  dx = 0;
  dy = 0;
  for (const DstBitWeight& w : kDstBitWeights) {
    if ((bytes[w.byte] & w.mask) != 0) dx += w.dx, dy += w.dy;
  }
}

// One well-formed record moving by (dx, dy), each within -121..121, with command bits
// `command`.
inline std::string dstRecord(int dx, int dy, int command) {
  int bytes[3] = {0, 0, 0x03 | command};
  const auto put = [&bytes](int value, bool isX) {
    for (int weight = 1; weight <= 81; weight *= 3) {
      int digit = ((value % 3) + 3) % 3;
      if (digit == 2) digit = -1;
      value = (value - digit) / 3;
      if (digit == 0) continue;
      for (const DstBitWeight& w : kDstBitWeights) {
        const int along = isX ? w.dx : w.dy;
        const int across = isX ? w.dy : w.dx;
        if (across == 0 && along == digit * weight) bytes[w.byte] |= w.mask;
      }
    }
    if (value != 0) throw std::invalid_argument("a DST record moves at most 121 per axis");
  };
  put(dx, true);
  put(dy, false);
  return std::string{static_cast<char>(bytes[0]), static_cast<char>(bytes[1]),
                     static_cast<char>(bytes[2])};
}

// A run of records, written by absolute target positions starting from (0, 0).
class DstRecords {
 public:
  DstRecords& to(int x, int y, int command) {
    bytes_ += dstRecord(x - x_, y - y_, command);
    x_ = x;
    y_ = y;
    return *this;
  }
  DstRecords& stitch(int x, int y) { return to(x, y, kDstNormal); }
  DstRecords& jump(int x, int y) { return to(x, y, kDstJump); }
  DstRecords& stop() { return to(x_, y_, kDstStop); }
  DstRecords& end() { return raw({0x00, 0x00, 0xF3}); }
  // Bytes as they stand (which need not form whole or well-formed records).
  DstRecords& raw(std::initializer_list<int> bytes) {
    for (int b : bytes)
      bytes_ += static_cast<char>(b);
    return *this;
  }

  const std::string& bytes() const { return bytes_; }
  std::vector<unsigned char> data() const { return {bytes_.begin(), bytes_.end()}; }

 private:
  std::string bytes_;
  int x_ = 0;
  int y_ = 0;
};

}  // namespace stitchkit::testing_support
