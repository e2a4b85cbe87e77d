#include "stitchkit/jobs/design_render.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "stitchkit/files/read_design.h"
#include "stitchkit/model/stitch_stats.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

namespace C = StitchCode;
using testing_support::TempDirTest;

constexpr std::uint32_t kRed = 0xE00000;
constexpr std::uint32_t kBlue = 0x0040C0;
constexpr std::uint32_t kOpaque = 0xFF000000;

ThreadPalette paletteOf(std::initializer_list<std::uint32_t> colours) {
  ThreadPalette palette;
  for (std::uint32_t colour : colours)
    palette.add(ThreadProperty(colour, HString(), HString(), HString()));
  return palette;
}

// A 10 mm square of two lines: needle 1 along the top edge (y = 0, design y grows downwards),
// a jump across the diagonal, needle 2 along the bottom edge. At 200 pixels wide the thread is
// about 7.6 pixels thick, so the pixels on a line's middle are wholly covered.
HXArray<HStitch> twoLines() {
  HXArray<HStitch> design;
  for (auto [x, y, code, colour] : {std::tuple{0, 0, C::Normal, 0},
                                    {100, 0, C::Normal, 0},
                                    {0, 100, C::Jump, 0},
                                    {0, 100, C::ChangeNeedle, 1},
                                    {100, 100, C::Normal, 1},
                                    {100, 100, C::DesignEnd, 1}}) {
    design.add(HStitch(static_cast<short>(x), static_cast<short>(y), code,
                       static_cast<unsigned short>(colour)));
  }
  return design;
}

std::uint32_t pixelAt(const RenderedImage& image, int x, int y) {
  return image.pixels[static_cast<std::size_t>(y) * image.width + x];
}

TEST(DesignRenderTest, PixelsUnderStitchesCarryTheirThreadAndNothingElseIsDrawn) {
  struct Case {
    const char* name;
    ThreadPalette palette;
    bool jumps;
    bool white;
    std::uint32_t top, bottom;  // pixels on the two lines
    bool centreDrawn;           // the jump crosses the centre
    std::uint32_t corner;
  };
  const Case cases[] = {
      {"threads", paletteOf({kRed, kBlue}), false, false, kOpaque | kRed, kOpaque | kBlue, false,
       0},
      {"modulo", paletteOf({kRed}), false, false, kOpaque | kRed, kOpaque | kRed, false, 0},
      {"jumps on white", paletteOf({kRed, kBlue}), true, true, kOpaque | kRed, kOpaque | kBlue,
       true, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RenderedImage image;
    ASSERT_EQ(renderDesignImage(twoLines(), c.palette, {200, c.jumps, c.white}, image), kRenderOk);
    ASSERT_EQ(image.width, 200);
    ASSERT_EQ(image.height, 200);
    EXPECT_EQ(pixelAt(image, 100, 5), c.top);
    EXPECT_EQ(pixelAt(image, 100, 194), c.bottom);
    EXPECT_EQ(pixelAt(image, 100, 100) != c.corner, c.centreDrawn);
    EXPECT_EQ(pixelAt(image, 199, 100), c.corner);
  }
}

TEST(DesignRenderTest, HeightFollowsTheDesignAndIsCappedForThinDesigns) {
  HXArray<HStitch> wide;
  wide.add(HStitch(-500, 0));
  wide.add(HStitch(500, 250));
  RenderedImage image;
  ASSERT_EQ(renderDesignImage(wide, ThreadPalette(), {400, false, false}, image), kRenderOk);
  EXPECT_EQ(image.width, 400);
  EXPECT_NEAR(image.height, 102, 3);

  // A vertical line: scaled to the tallest picture, centred across the width.
  HXArray<HStitch> tall;
  tall.add(HStitch(7, -3000));
  tall.add(HStitch(7, 3000));
  ASSERT_EQ(renderDesignImage(tall, ThreadPalette(), {100, false, false}, image), kRenderOk);
  EXPECT_EQ(image.width, 100);
  EXPECT_EQ(image.height, kRenderMaxSidePx);
  EXPECT_EQ(pixelAt(image, 50, kRenderMaxSidePx / 2) >> 24, 0xFFu);
  EXPECT_EQ(pixelAt(image, 10, kRenderMaxSidePx / 2), 0u);
}

TEST(DesignRenderTest, RefusesWhatCannotBeDrawn) {
  HXArray<HStitch> onlyJumps;
  onlyJumps.add(HStitch(0, 0, C::Jump));
  onlyJumps.add(HStitch(50, 50, C::Jump));
  RenderedImage image;
  EXPECT_EQ(renderDesignImage(onlyJumps, ThreadPalette(), {}, image), kRenderEmptyDesign);
  EXPECT_EQ(renderDesignImage(HXArray<HStitch>(), ThreadPalette(), {}, image), kRenderEmptyDesign);
  EXPECT_EQ(renderDesignImage(onlyJumps, ThreadPalette(), {100, true, false}, image), kRenderOk);
  EXPECT_EQ(renderDesignImage(twoLines(), ThreadPalette(), {kRenderMinWidthPx - 1}, image),
            kRenderBadWidth);
  EXPECT_EQ(renderDesignImage(twoLines(), ThreadPalette(), {kRenderMaxSidePx + 1}, image),
            kRenderBadWidth);
}

class DesignRenderFileTest : public TempDirTest {
 protected:
  std::string out(const std::string& name) const { return (dir_ / name).string(); }
};

TEST_F(DesignRenderFileTest, WritesPngAndSvgByTheExtensionAndNothingOnFailure) {
  const ThreadPalette palette = paletteOf({kRed, kBlue});
  ASSERT_EQ(renderDesign(twoLines(), palette, out("lines.PNG"), {200}), kRenderOk);
  const std::string png = readFile("lines.PNG").value_or("");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  // Width and height of the IHDR chunk, big-endian.
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\xC8\0\0\0\xC8", 8));

  ASSERT_EQ(renderDesign(twoLines(), palette, out("lines.svg"), {200, false, true}), kRenderOk);
  const std::string svg = readFile("lines.svg").value_or("");
  EXPECT_NE(svg.find("width=\"200px\""), std::string::npos);
  EXPECT_NE(svg.find("rgb(87.843137%,0%,0%)"), std::string::npos);  // the red thread

  int error = -1;
  EXPECT_EQ(renderDesign(twoLines(), palette, out("lines.bmp"), {200}, &error),
            kRenderUnknownExtension);
  EXPECT_EQ(renderDesign(twoLines(), palette, out("missing/lines.png"), {200}, &error),
            kRenderCannotWrite);
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(readFile("lines.bmp"));
}

// A real design: every thread of the file shows in the picture.
TEST(DesignRenderSampleTest, ThreadsOfAFileShow) {
  HXArray<HStitch> stitches;
  StitchStats stats;
  ThreadPalette palette;
  double scale = 0.0;
  ASSERT_EQ(decodeFile(utf8ToStr(STITCHKIT_SAMPLES_DIR "/jef/emodder__Star.JEF"), stitches, stats,
                       scale, &palette, nullptr, nullptr, nullptr),
            kReadOk);
  ASSERT_EQ(palette.length(), 2);
  RenderedImage image;
  ASSERT_EQ(renderDesignImage(stitches, palette, {300}, image), kRenderOk);
  for (const ThreadProperty& thread : palette) {
    std::size_t count = 0;
    for (std::uint32_t pixel : image.pixels)
      count += pixel == (kOpaque | thread.colour);
    EXPECT_GT(count, image.pixels.size() / 100) << std::hex << thread.colour;
  }
}

}  // namespace
}  // namespace stitchkit
