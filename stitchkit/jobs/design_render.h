#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stitchkit/model/stitch.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/thread_palette.h"

// Preview pictures of a design: its stitches drawn as thread in the design's colours, as a
// PNG or SVG file or as pixels in memory.
//
// What is drawn: every stitch that puts thread on the fabric (plain stitches and their
// variants, sequin and bead drops) is a line from the point before it to its own point,
// with round caps (and round joins from 2 pixels up), 0.4 mm wide at the picture's scale
// but never under 1 pixel. Moves without sewing (jump, needle up, jump trim, tension jump,
// cut jump) are drawn only on request, as thin half-transparent lines over the stitches.
// Commands at a point (trims, colour changes, stops, ...) draw nothing. A design's first
// stitch is a dot at its point.
//
// Colours: a stitch takes the thread of its colour index (needle - 1) in the palette, modulo
// the palette's length; without a palette, the entry of a fixed preview palette of sixteen
// colours that stand out on white (no white or near-white thread).
//
// Geometry: the picture is `widthPx` pixels wide; the drawn extents (half a thread width
// and one pixel of margin around them) fill the width, and the height follows from the
// design's aspect ratio. A picture that would be taller than kRenderMaxSidePx is made that
// tall, with the design scaled to fit and centred across the width. Design y grows
// downwards, as the decoders give it (the files' "up" is towards smaller y), and so does
// picture y: the stitch with the smallest y is in the picture's top row.
//
// The functions keep no state and print nothing; they run on many threads at once.
namespace stitchkit {

struct RenderOptions {
  int widthPx = 1000;            // kRenderMinWidthPx to kRenderMaxSidePx
  bool jumps = false;            // draw moves without sewing too
  bool whiteBackground = false;  // else transparent
};

inline constexpr int kRenderMinWidthPx = 16;
inline constexpr int kRenderMaxSidePx = 8192;

// Results of the rendering functions.
inline constexpr int kRenderOk = 0;
inline constexpr int kRenderUnknownExtension = 1;  // the name ends neither in .png nor .svg
inline constexpr int kRenderEmptyDesign = 2;       // nothing to draw: no stitch, and no move
                                                   // either when moves are drawn
inline constexpr int kRenderCannotWrite = 3;       // the file cannot be created or written
inline constexpr int kRenderBadWidth = 4;          // widthPx outside the range above
inline constexpr int kRenderFailed = 5;            // the drawing library failed (memory)

// A short English sentence for a rendering result; "unknown result" for any other value.
const char* renderResultMessage(int result);

// Draws the design into the file `utf8OutPath`, a PNG or an SVG picture by its extension
// (in any case). The file is written to a temporary file beside it that replaces it only
// once it is whole, so a failure leaves an existing file as it was. An SVG picture is drawn
// in pixel units (the same size as the PNG picture). `systemError`, when given, receives the
// system's error number (errno) with kRenderCannotWrite when there is one, else 0.
int renderDesign(const HXArray<HStitch>& stitches, const ThreadPalette& palette,
                 const std::string& utf8OutPath, const RenderOptions& options,
                 int* systemError = nullptr);

// A picture in memory: `width` times `height` pixels, row after row from the top, each
// 0xAARRGGBB with the colour not premultiplied by alpha (a transparent pixel is 0).
struct RenderedImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// Draws the design as renderDesign does for a PNG file, into `image` (replaced). Gives
// kRenderOk, kRenderEmptyDesign, kRenderBadWidth or kRenderFailed.
int renderDesignImage(const HXArray<HStitch>& stitches, const ThreadPalette& palette,
                      const RenderOptions& options, RenderedImage& image);

}  // namespace stitchkit
