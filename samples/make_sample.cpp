// Writes samples/flower.dst: a small design made here, record by record, so that the tool
// and the tests have a machine file whose every byte we know the origin of.
//
// The design (units of 0.1 mm, start point at the origin, drawn with y up; the records count
// y downwards, as machines read them):
//   needle 1  six satin petals around (0, 120), each with a centre-line underlay; short
//             jumps between petals, tie-in and tie-off stitches, a trim at the end;
//   needle 2  the flower centre: a satin ring and a spiral running-stitch fill;
//   needle 3  a curved satin stem with two satin leaves, reached by a long jump.
// Trims are written as three jump records out and back, colour changes as stop records,
// and the file ends with the end record 00 00 F3.
//
// The program does not use the library; it only takes the record bit layout from
// stitchkit/decode/dst_records.h so that the layout is written down in one place.
//
// Usage: make_sample [OUTPUT]   (default: flower.dst in the current directory)

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <numbers>
#include <string>
#include <vector>

#include "stitchkit/decode/dst_records.h"

namespace {

namespace dst = stitchkit::dst;

struct Point {
  double x = 0.0;
  double y = 0.0;
};

Point operator+(Point a, Point b) {
  return {a.x + b.x, a.y + b.y};
}
Point operator-(Point a, Point b) {
  return {a.x - b.x, a.y - b.y};
}
Point operator*(Point a, double k) {
  return {a.x * k, a.y * k};
}
double length(Point a) {
  return std::hypot(a.x, a.y);
}
Point unit(Point a) {
  const double len = length(a);
  return len > 0.0 ? a * (1.0 / len) : Point{1.0, 0.0};
}
Point polar(double radius, double degrees) {
  const double a = degrees * std::numbers::pi / 180.0;
  return {radius * std::cos(a), radius * std::sin(a)};
}

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "make_sample: " << message << '\n';
  std::exit(1);
}

// Collects records and the figures the header needs. Positions are absolute and rounded
// once, so rounding never accumulates along the design.
class DstWriter {
 public:
  // Sewn stitch to `p`; a stitch longer than one record is cut into equal sewn pieces.
  void stitch(Point p) { moveTo(p, dst::kCommandNormal); }
  // Needle-up move to `p`, cut into jump records of at most one record's reach.
  void jump(Point p) { moveTo(p, dst::kCommandJump); }
  // A trim as the machine reads it from jumps: out 4, out 8 and back to where the needle is.
  void trim() {
    const int x = x_;
    const int y = y_;
    record(4, 4, dst::kCommandJump);
    record(4, 4, dst::kCommandJump);
    record(x - x_, y - y_, dst::kCommandJump);
  }
  // Stop record without a move: the operator (or the machine) changes to the next needle.
  void colourChange() {
    record(0, 0, dst::kCommandStop);
    ++colourChanges_;
  }
  void end() {
    bytes_.push_back(0x00);
    bytes_.push_back(0x00);
    bytes_.push_back(dst::kEndByte2);
  }

  Point position() const { return {static_cast<double>(x_), static_cast<double>(y_)}; }

  // The 512-byte header followed by the records.
  std::vector<std::uint8_t> file(const std::string& label) const {
    // "+Y" is the reach upwards and "-Y" downwards (the drawing's y, which the records count
    // the other way); the x extents and the end offsets are taken in the plain sense, the
    // end offset's y as the records count it.
    const int plusX = std::min(std::abs(maxX_), 99999);
    const int minusX = std::min(std::abs(minX_), 99999);
    const int plusY = std::min(std::abs(maxY_), 99999);
    const int minusY = std::min(std::abs(minY_), 99999);
    char text[dst::kHeaderSize + 1];
    const int written = std::snprintf(
        text, sizeof text,
        "LA:%-16.16s\rST:%7d\rCO:%3d\r+X:%5d\r-X:%5d\r+Y:%5d\r-Y:%5d\rAX:%s%5d\rAY:%s%5d\r"
        "MX:+    0\rMY:+    0\rPD:******\r\x1a",
        label.c_str(), std::min(recordCount_, 9999999), std::min(colourChanges_, 999), plusX,
        minusX, plusY, minusY, x_ < 0 ? "-" : "+", std::min(std::abs(x_), 99999),
        -y_ < 0 ? "-" : "+", std::min(std::abs(y_), 99999));
    if (written != 125) fail("header text is " + std::to_string(written) + " bytes, not 125");
    std::vector<std::uint8_t> out(text, text + written);
    out.resize(dst::kHeaderSize, ' ');
    out.insert(out.end(), bytes_.begin(), bytes_.end());
    return out;
  }

 private:
  void moveTo(Point p, std::uint8_t command) {
    const int tx = static_cast<int>(std::lround(p.x));
    const int ty = static_cast<int>(std::lround(p.y));
    const int dx = tx - x_;
    const int dy = ty - y_;
    if (dx == 0 && dy == 0 && command == dst::kCommandJump) return;
    const int reach = std::max(std::abs(dx), std::abs(dy));
    const int pieces = std::max(1, (reach + dst::kMaxMove - 1) / dst::kMaxMove);
    const int fromX = x_;
    const int fromY = y_;
    for (int i = 1; i <= pieces; ++i) {
      const int px = fromX + static_cast<int>(std::lround(dx * static_cast<double>(i) / pieces));
      const int py = fromY + static_cast<int>(std::lround(dy * static_cast<double>(i) / pieces));
      record(px - x_, py - y_, command);
    }
  }

  // One record moving (dx, dy), each within one record's reach.
  void record(int dx, int dy, std::uint8_t command) {
    if (std::abs(dx) > dst::kMaxMove || std::abs(dy) > dst::kMaxMove) fail("move out of reach");
    std::array<std::uint8_t, 3> b{0, 0, static_cast<std::uint8_t>(dst::kSyncBits | command)};
    addAxis(dx, true, b);
    // The drawing has y up; the records count y downwards, so a picture drawn upright sews
    // upright.
    addAxis(-dy, false, b);
    const dst::Move check = dst::decodeMove(b[0], b[1], b[2]);
    if (check.dx != dx || check.dy != -dy || !dst::isWellFormed(b[0], b[1], b[2])) {
      fail("record does not decode to its move");
    }
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    x_ += dx;
    y_ += dy;
    maxX_ = std::max(maxX_, x_);
    minX_ = std::min(minX_, x_);
    maxY_ = std::max(maxY_, y_);
    minY_ = std::min(minY_, y_);
    ++recordCount_;
  }

  // Sets the bits of `value` on one axis: its balanced-ternary digits, each matched to the
  // bit of kMoveBits that adds that digit's weight.
  static void addAxis(int value, bool isX, std::array<std::uint8_t, 3>& b) {
    int weight = 1;
    while (value != 0) {
      int digit = value % 3;
      value /= 3;
      if (digit == 2) {
        digit = -1;
        ++value;
      } else if (digit == -2) {
        digit = 1;
        --value;
      }
      if (digit != 0) {
        const int want = digit * weight;
        bool found = false;
        for (const dst::MoveBit& bit : dst::kMoveBits) {
          if ((isX ? bit.dx : bit.dy) == want && (isX ? bit.dy : bit.dx) == 0) {
            b[bit.byte] |= bit.mask;
            found = true;
            break;
          }
        }
        if (!found) fail("no bit for a move of " + std::to_string(want));
      }
      weight *= 3;
    }
  }

  std::vector<std::uint8_t> bytes_;
  int x_ = 0;
  int y_ = 0;
  int maxX_ = 0;
  int minX_ = 0;
  int maxY_ = 0;
  int minY_ = 0;
  int recordCount_ = 0;
  int colourChanges_ = 0;
};

// A column shape: its centre line over s in [0, 1] and its half width there.
struct Column {
  std::function<Point(double)> centre;
  std::function<double(double)> halfWidth;
};

double pathLength(const std::function<Point(double)>& centre) {
  double total = 0.0;
  Point previous = centre(0.0);
  for (int i = 1; i <= 200; ++i) {
    const Point p = centre(i / 200.0);
    total += length(p - previous);
    previous = p;
  }
  return total;
}

// Running stitch along the centre line from s = from to s = to, stitches of about `stitchLength`.
void runningStitch(DstWriter& w, const std::function<Point(double)>& centre, double from, double to,
                   double stitchLength) {
  const double len = pathLength(centre) * std::abs(to - from);
  const int count = std::max(1, static_cast<int>(std::lround(len / stitchLength)));
  for (int i = 1; i <= count; ++i)
    w.stitch(centre(from + (to - from) * i / count));
}

// Satin (zig-zag) across the column from s = from to s = to; consecutive stitches step about
// `spacing` along the centre line, alternating sides.
void satin(DstWriter& w, const Column& column, double from, double to, double spacing) {
  const double len = pathLength(column.centre) * std::abs(to - from);
  const int count = std::max(2, static_cast<int>(std::lround(len / spacing)));
  for (int i = 0; i <= count; ++i) {
    const double s = from + (to - from) * i / count;
    const double ds = 1e-4;
    const Point tangent =
        unit(column.centre(std::min(1.0, s + ds)) - column.centre(std::max(0.0, s - ds)));
    const Point normal{-tangent.y, tangent.x};
    const double side = (i % 2 == 0) ? 1.0 : -1.0;
    w.stitch(column.centre(s) + normal * (side * column.halfWidth(s)));
  }
}

// Lock stitches at the needle's position, first towards `towards`, then back.
void tie(DstWriter& w, Point towards) {
  const Point here = w.position();
  const Point out = here + unit(towards - here) * 7.0;
  w.stitch(out);
  w.stitch(here);
  w.stitch(out);
  w.stitch(here);
}

// A column that runs straight from `base` in direction `degrees` for `len` units.
Column straightColumn(Point base, double degrees, double len, std::function<double(double)> hw) {
  const Point dir = polar(1.0, degrees);
  return Column{[base, dir, len](double s) { return base + dir * (s * len); }, std::move(hw)};
}

const Point kFlowerCentre{0.0, 120.0};
constexpr double kPetalInner = 55.0;
constexpr double kPetalOuter = 260.0;

Column petal(double degrees) {
  return straightColumn(kFlowerCentre + polar(kPetalInner, degrees), degrees,
                        kPetalOuter - kPetalInner, [](double s) {
                          // Narrow at the heart, widest two thirds out, rounded at the tip.
                          const double shaped = std::pow(s, 0.75);
                          return std::max(
                              3.0, 52.0 * std::pow(std::sin(std::numbers::pi * shaped), 0.6));
                        });
}

Column leaf(Point base, double degrees, double len, double widest) {
  return straightColumn(base, degrees, len, [widest](double s) {
    return std::max(2.0, widest * std::pow(std::sin(std::numbers::pi * s), 0.8));
  });
}

void sewPetals(DstWriter& w) {
  const std::array<double, 6> angles{0.0, 60.0, 120.0, 180.0, 240.0, 300.0};
  for (std::size_t i = 0; i < angles.size(); ++i) {
    const Column c = petal(angles[i]);
    w.jump(c.centre(0.0));
    if (i == 0) tie(w, c.centre(1.0));
    runningStitch(w, c.centre, 0.0, 1.0, 25.0);  // underlay out to the tip
    satin(w, c, 1.0, 0.0, 2.0);                  // satin back to the heart
  }
  tie(w, kFlowerCentre);
  w.trim();
}

void sewCentre(DstWriter& w) {
  const Column ring{[](double s) { return kFlowerCentre + polar(60.0, 90.0 + 360.0 * s); },
                    [](double) { return 9.0; }};
  w.jump(ring.centre(0.0) + Point{0.0, -9.0});
  tie(w, kFlowerCentre);
  satin(w, ring, 0.0, 1.0, 2.0);
  // Spiral fill from just inside the ring to the middle, 0.4 mm between turns.
  const double startRadius = 50.0;
  const double turns = startRadius / 4.0;
  double theta = 0.0;
  const double lastTheta = turns * 2.0 * std::numbers::pi;
  while (theta < lastTheta) {
    const double radius = startRadius * (1.0 - theta / lastTheta);
    theta += std::min(0.6, 22.0 / std::max(radius, 1.0));
    const double r = std::max(0.0, startRadius * (1.0 - theta / lastTheta));
    w.stitch(kFlowerCentre + Point{r * std::cos(theta + std::numbers::pi / 2.0),
                                   r * std::sin(theta + std::numbers::pi / 2.0)});
  }
  tie(w, kFlowerCentre + Point{20.0, 0.0});
  w.trim();
}

void sewStem(DstWriter& w) {
  // Quadratic curve from the bottom up to just under the flower centre.
  const Point bottom{-20.0, -330.0};
  const Point bend{35.0, -140.0};
  const Point top{0.0, 120.0 - 69.0};
  const Column stem{[=](double s) {
                      const double u = 1.0 - s;
                      return bottom * (u * u) + bend * (2.0 * u * s) + top * (s * s);
                    },
                    [](double) { return 8.0; }};
  w.jump(stem.centre(0.0));  // the long move from the flower centre: several jump records
  tie(w, stem.centre(0.1));
  runningStitch(w, stem.centre, 0.0, 1.0, 25.0);
  satin(w, stem, 1.0, 0.0, 2.0);

  const Column left = leaf(stem.centre(0.22), 150.0, 115.0, 28.0);
  w.jump(left.centre(0.0));
  runningStitch(w, left.centre, 0.0, 1.0, 25.0);
  satin(w, left, 1.0, 0.0, 2.2);

  const Column right = leaf(stem.centre(0.36), 15.0, 120.0, 30.0);
  w.jump(right.centre(0.0));
  runningStitch(w, right.centre, 0.0, 1.0, 25.0);
  satin(w, right, 1.0, 0.0, 2.2);
  tie(w, right.centre(0.3));
  w.trim();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 ||
      (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h"))) {
    std::cerr << "Usage: make_sample [OUTPUT]\nWrites the flower sample design (default "
                 "flower.dst).\n";
    return argc > 2 ? 2 : 0;
  }
  const std::string path = argc == 2 ? argv[1] : "flower.dst";

  DstWriter w;
  sewPetals(w);
  w.colourChange();
  sewCentre(w);
  w.colourChange();
  sewStem(w);
  w.end();

  const std::vector<std::uint8_t> bytes = w.file("flower");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) fail("cannot write " + path);
  std::cout << "wrote " << path << " (" << bytes.size() << " bytes)\n";
  return 0;
}
