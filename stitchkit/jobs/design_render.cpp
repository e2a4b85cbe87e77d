#include "stitchkit/jobs/design_render.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <exception>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>

#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/replacement_file.h"

namespace stitchkit {
namespace {

constexpr double kThreadWidthUnits = 4.0;  // 0.4 mm
constexpr double kMinThreadWidthPx = 1.0;
constexpr double kMarginPx = 1.0;

// Colours of a design without threads: neighbouring needles differ plainly, and none is
// white or nearly so, which would vanish on a white background.
constexpr std::uint32_t kPreviewColours[] = {
    0x1A1A1A, 0xD62728, 0x1F5FBF, 0x2CA02C, 0xFF7F0E, 0x9467BD, 0x8C564B, 0xE377C2,
    0x17BECF, 0xBCBD22, 0x7F7F7F, 0x00007F, 0x7F0000, 0x007F3F, 0xC7A500, 0x5A2D82,
};
constexpr int kPreviewColourCount = static_cast<int>(std::size(kPreviewColours));

// On pixels, the segments of one colour run are stroked in pieces of at most this many: with
// round caps a cut does not show, and the drawing library fills many small pieces much faster
// than one path of a million segments (which covers the whole picture many times over).
// Pieces of 24 to 64 measured fastest; a drawing keeps one path per run.
constexpr int kPixelSegmentsPerStroke = 32;
constexpr int kDrawingSegmentsPerStroke = std::numeric_limits<int>::max();
// Joins of a thread thinner than this are drawn bevelled: the difference from a round join
// is under a tenth of a pixel, and bevels are cheaper to fill.
constexpr double kRoundJoinFromPx = 2.0;

enum class Mark { kNothing, kThread, kMove };

Mark markOf(const HStitch& stitch, bool moves) {
  if (stitch.isPenetrationStitch()) return Mark::kThread;
  if (moves && stitch.isJumping()) return Mark::kMove;
  return Mark::kNothing;
}

std::uint32_t colourOf(const ThreadPalette& palette, unsigned short index) {
  if (palette.isEmpty()) return kPreviewColours[index % kPreviewColourCount];
  return palette[index % palette.length()].colour;
}

void setColour(cairo_t* cr, std::uint32_t rgb, double alpha) {
  cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                        (rgb & 0xFF) / 255.0, alpha);
}

// Where design units land in the picture.
struct Layout {
  int width = 0;
  int height = 0;
  double scale = 0.0;  // pixels per design unit
  double left = 0.0;   // picture x of the smallest design x
  double top = 0.0;    // picture y of the smallest design y
  int minX = 0;
  int minY = 0;
  double threadPx = 0.0;

  double x(short designX) const { return left + (designX - minX) * scale; }
  double y(short designY) const { return top + (designY - minY) * scale; }
};

// The extents of what is drawn and the picture's size; nothing when nothing is drawn.
std::optional<Layout> layoutOf(const HXArray<HStitch>& stitches, const RenderOptions& options) {
  int minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool any = false;
  const auto include = [&](HCoord<short> p) {
    if (!any) {
      minX = maxX = p.x;
      minY = maxY = p.y;
      any = true;
    }
    minX = std::min<int>(minX, p.x), maxX = std::max<int>(maxX, p.x);
    minY = std::min<int>(minY, p.y), maxY = std::max<int>(maxY, p.y);
  };
  for (int i = 0; i < stitches.length(); ++i) {
    if (markOf(stitches[i], options.jumps) == Mark::kNothing) continue;
    include(stitches[i].getPoint());
    if (i > 0) include(stitches[i - 1].getPoint());
  }
  if (!any) return std::nullopt;

  // The thread's width is added to the extents so that its edges and caps stay inside.
  const double spanX = maxX - minX + kThreadWidthUnits;
  const double spanY = maxY - minY + kThreadWidthUnits;
  Layout layout;
  layout.width = options.widthPx;
  layout.scale = (options.widthPx - 2 * kMarginPx) / spanX;
  double height = std::ceil(spanY * layout.scale + 2 * kMarginPx);
  if (height > kRenderMaxSidePx) {
    height = kRenderMaxSidePx;
    layout.scale = (height - 2 * kMarginPx) / spanY;
  }
  layout.height = static_cast<int>(height);
  layout.minX = minX;
  layout.minY = minY;
  layout.left = (layout.width - (maxX - minX) * layout.scale) / 2;
  layout.top = (layout.height - (maxY - minY) * layout.scale) / 2;
  layout.threadPx = std::max(kMinThreadWidthPx, kThreadWidthUnits * layout.scale);
  return layout;
}

// A move drawn over the stitches: from, to, colour index.
struct Move {
  HCoord<short> from;
  HCoord<short> to;
  unsigned short colour;
};

// Strokes the stitches, one path per run of one colour cut into pieces of at most
// `segmentsPerStroke` segments, then the moves over them in thinner, half-transparent lines.
void drawDesign(cairo_t* cr, const HXArray<HStitch>& stitches, const ThreadPalette& palette,
                const Layout& layout, bool moves, int segmentsPerStroke) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(
      cr, layout.threadPx < kRoundJoinFromPx ? CAIRO_LINE_JOIN_BEVEL : CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_width(cr, layout.threadPx);
  std::vector<Move> moveLines;
  int runColour = -1;
  int segments = 0;    // in the current path
  bool atPen = false;  // the current path ends at the pen
  HCoord<short> pen = stitches[0].getPoint();
  for (int i = 0; i < stitches.length(); ++i) {
    const HStitch& stitch = stitches[i];
    const HCoord<short> point = stitch.getPoint();
    const Mark mark = markOf(stitch, moves);
    if (mark == Mark::kThread) {
      if (stitch.getColor() != runColour || segments == segmentsPerStroke) {
        if (segments > 0) cairo_stroke(cr);
        if (stitch.getColor() != runColour) {
          runColour = stitch.getColor();
          setColour(cr, colourOf(palette, stitch.getColor()), 1.0);
        }
        segments = 0;
        atPen = false;
      }
      if (!atPen) cairo_move_to(cr, layout.x(pen.x), layout.y(pen.y));
      cairo_line_to(cr, layout.x(point.x), layout.y(point.y));
      ++segments;
      atPen = true;
    } else {
      if (point != pen) atPen = false;
      if (mark == Mark::kMove) moveLines.push_back(Move{pen, point, stitch.getColor()});
    }
    pen = point;
  }
  if (segments > 0) cairo_stroke(cr);

  // Moves are long and far apart: each is stroked alone, so that the area filled for it is
  // its own and not that of all the moves of a run.
  cairo_set_line_width(cr, std::max(kMinThreadWidthPx, layout.threadPx / 2));
  runColour = -1;
  for (const Move& move : moveLines) {
    if (move.colour != runColour) {
      runColour = move.colour;
      setColour(cr, colourOf(palette, move.colour), 0.6);
    }
    cairo_move_to(cr, layout.x(move.from.x), layout.y(move.from.y));
    cairo_line_to(cr, layout.x(move.to.x), layout.y(move.to.y));
    cairo_stroke(cr);
  }
}

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

// Draws on `surface` (of the layout's size) and returns the drawing's status. Pixels are
// smoothed with the drawing library's fast antialiasing (4 by 4 samples a pixel), which
// halves the time its finest takes and looks the same at thread width.
cairo_status_t drawOn(cairo_surface_t* surface, const HXArray<HStitch>& stitches,
                      const ThreadPalette& palette, const Layout& layout,
                      const RenderOptions& options) {
  const Context cr(cairo_create(surface));
  const bool pixels = cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE;
  if (pixels) cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_FAST);
  if (options.whiteBackground) {
    cairo_set_source_rgb(cr.get(), 1.0, 1.0, 1.0);
    cairo_paint(cr.get());
  }
  drawDesign(cr.get(), stitches, palette, layout, options.jumps,
             pixels ? kPixelSegmentsPerStroke : kDrawingSegmentsPerStroke);
  return cairo_status(cr.get());
}

// Writes what the drawing library streams out to a file, keeping the first system error.
struct FileSink {
  std::FILE* file = nullptr;
  int error = 0;

  static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length) {
    auto* sink = static_cast<FileSink*>(closure);
    if (std::fwrite(data, 1, length, sink->file) == length) return CAIRO_STATUS_SUCCESS;
    if (sink->error == 0) sink->error = errno != 0 ? errno : EIO;
    return CAIRO_STATUS_WRITE_ERROR;
  }
};

enum class PictureKind { kPng, kSvg };

std::optional<PictureKind> pictureKindOf(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (ext == "png") return PictureKind::kPng;
  if (ext == "svg") return PictureKind::kSvg;
  return std::nullopt;
}

// Draws the picture of `kind` into `sink`; a result code.
int writePicture(PictureKind kind, FileSink& sink, const HXArray<HStitch>& stitches,
                 const ThreadPalette& palette, const Layout& layout, const RenderOptions& options) {
  cairo_status_t status = CAIRO_STATUS_SUCCESS;
  if (kind == PictureKind::kPng) {
    const Surface surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layout.width, layout.height));
    status = drawOn(surface.get(), stitches, palette, layout, options);
    if (status == CAIRO_STATUS_SUCCESS) {
      status = cairo_surface_write_to_png_stream(surface.get(), &FileSink::write, &sink);
    }
  } else {
    const Surface surface(
        cairo_svg_surface_create_for_stream(&FileSink::write, &sink, layout.width, layout.height));
    cairo_svg_surface_set_document_unit(surface.get(), CAIRO_SVG_UNIT_PX);
    status = drawOn(surface.get(), stitches, palette, layout, options);
    cairo_surface_finish(surface.get());
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface.get());
  }
  if (status == CAIRO_STATUS_SUCCESS) return kRenderOk;
  return status == CAIRO_STATUS_WRITE_ERROR ? kRenderCannotWrite : kRenderFailed;
}

bool isWidthInRange(int widthPx) {
  return widthPx >= kRenderMinWidthPx && widthPx <= kRenderMaxSidePx;
}

}  // namespace

const char* renderResultMessage(int result) {
  switch (result) {
    case kRenderOk:
      return "rendered";
    case kRenderUnknownExtension:
      return "the name ends neither in .png nor in .svg";
    case kRenderEmptyDesign:
      return "the design has no stitches to draw";
    case kRenderCannotWrite:
      return "cannot be written";
    case kRenderBadWidth:
      return "the width is outside 16 to 8192 pixels";
    case kRenderFailed:
      return "the picture could not be drawn (out of memory)";
    default:
      return "unknown result";
  }
}

int renderDesign(const HXArray<HStitch>& stitches, const ThreadPalette& palette,
                 const std::string& utf8OutPath, const RenderOptions& options, int* systemError) {
  if (systemError != nullptr) *systemError = 0;
  try {
    if (!isWidthInRange(options.widthPx)) return kRenderBadWidth;
    const std::optional<PictureKind> kind = pictureKindOf(utf8OutPath);
    if (!kind) return kRenderUnknownExtension;
    const std::optional<Layout> layout = layoutOf(stitches, options);
    if (!layout) return kRenderEmptyDesign;

    ReplacementFile replacement(fromNativePath(utf8OutPath));
    FileSink sink;
    if (replacement.isCreated())
      sink.file = std::fopen(toNativePath(replacement.path()).c_str(), "wb");
    if (sink.file == nullptr) {
      if (systemError != nullptr)
        *systemError = replacement.isCreated() ? errno : replacement.error();
      return kRenderCannotWrite;
    }
    int result = writePicture(*kind, sink, stitches, palette, *layout, options);
    if (std::fclose(sink.file) != 0 && result == kRenderOk) {
      sink.error = errno;
      result = kRenderCannotWrite;
    }
    if (result == kRenderOk) {
      if (const int error = replacement.commit(); error != 0) {
        sink.error = error;
        result = kRenderCannotWrite;
      }
    }
    if (systemError != nullptr && result == kRenderCannotWrite) *systemError = sink.error;
    return result;
  } catch (const std::exception&) {
    return kRenderFailed;
  }
}

int renderDesignImage(const HXArray<HStitch>& stitches, const ThreadPalette& palette,
                      const RenderOptions& options, RenderedImage& image) {
  image = RenderedImage{};
  try {
    if (!isWidthInRange(options.widthPx)) return kRenderBadWidth;
    const std::optional<Layout> layout = layoutOf(stitches, options);
    if (!layout) return kRenderEmptyDesign;
    const Surface surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, layout->width, layout->height));
    if (drawOn(surface.get(), stitches, palette, *layout, options) != CAIRO_STATUS_SUCCESS) {
      return kRenderFailed;
    }
    cairo_surface_flush(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    image.width = layout->width;
    image.height = layout->height;
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    std::uint32_t* out = image.pixels.data();
    for (int row = 0; row < image.height; ++row) {
      const auto* in = reinterpret_cast<const std::uint32_t*>(data + std::size_t{1} * row * stride);
      for (int column = 0; column < image.width; ++column) {
        // The surface keeps colours premultiplied by alpha; undo that for the caller.
        const std::uint32_t pixel = in[column];
        const std::uint32_t alpha = pixel >> 24;
        if (alpha == 0 || alpha == 0xFF) {
          *out++ = pixel;
          continue;
        }
        const auto channel = [&](int shift) {
          return (((pixel >> shift) & 0xFF) * 255 + alpha / 2) / alpha << shift;
        };
        *out++ = alpha << 24 | channel(16) | channel(8) | channel(0);
      }
    }
    return kRenderOk;
  } catch (const std::exception&) {
    image = RenderedImage{};
    return kRenderFailed;
  }
}

}  // namespace stitchkit
