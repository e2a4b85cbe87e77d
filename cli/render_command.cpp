#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "stitchkit/jobs/design_file.h"
#include "stitchkit/jobs/design_render.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/thread_palette.h"

namespace stitchkit::cli {
namespace {

constexpr std::string_view kCommand = "render";

constexpr std::string_view kUsage =
    "Usage: stitchkit render [--width PX] [--jumps] [--background white|transparent]\n"
    "                        FILE OUT.png|OUT.svg\n"
    "\n"
    "Draws a preview of the design in FILE (any file `stitchkit info` reads) into OUT, a PNG\n"
    "picture or an SVG drawing by OUT's extension. Stitches are drawn as thread 0.4 mm wide\n"
    "(at least one pixel) with round ends, in the thread colours FILE carries, else in a\n"
    "fixed palette of sixteen colours by needle, the design's top at the top.\n"
    "The picture is PX pixels wide; its height follows from the design's proportions (at\n"
    "most 8192 pixels). OUT is written to a temporary file beside it that replaces OUT only\n"
    "once the whole picture is written. The picture is the same under every machine format\n"
    "(they differ only in how jump runs, blank stitches and stop pairs are read, none of\n"
    "which is drawn), so render takes no --machine.\n"
    "\n"
    "Options:\n"
    "  --width PX          width of the picture in pixels, 16 to 8192 (default 1000)\n"
    "  --jumps             also draw moves without sewing (jumps), as thin lines\n"
    "  --background white|transparent\n"
    "                      fill the background white, or leave it transparent (default)\n"
    "  --help              show this help\n"
    "  --                  end of options\n"
    "\n"
    "Exit status: 0 written, 1 FILE could not be read or OUT not written, 2 wrong usage.\n";

struct RenderArgs {
  std::string_view in;
  std::string_view out;
  RenderOptions options;
};

bool namesPicture(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string ext(path.substr(dot));
  for (char& c : ext)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ext == ".png" || ext == ".svg";
}

// Parses the command line; nothing after printing help (exitCode 0) or a usage error (2).
std::optional<RenderArgs> parseArgs(std::span<const std::string_view> args, int& exitCode) {
  RenderArgs parsed;
  std::vector<std::string_view> paths;
  bool optionsEnded = false;
  bool widthGiven = false;
  bool backgroundGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.front() != '-') {
      paths.push_back(arg);
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      exitCode = kExitOk;
      return std::nullopt;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--jumps") {
      parsed.options.jumps = true;
      continue;
    }
    std::string_view value;
    OptionMatch match = OptionMatch::kNoMatch;
    if ((match = matchValueOption(args, i, "--width", value)) == OptionMatch::kMatched) {
      const std::optional<int> width = parseWholeNumber(value);
      if (widthGiven) {
        exitCode = usageError(kCommand, "--width is given more than once", kUsage);
        return std::nullopt;
      }
      if (!width || *width < kRenderMinWidthPx || *width > kRenderMaxSidePx) {
        exitCode =
            usageError(kCommand, "--width: '" + std::string(value) + "' takes 16 to 8192", kUsage);
        return std::nullopt;
      }
      parsed.options.widthPx = *width;
      widthGiven = true;
    } else if (match == OptionMatch::kNoMatch &&
               (match = matchValueOption(args, i, "--background", value)) ==
                   OptionMatch::kMatched) {
      if (backgroundGiven) {
        exitCode = usageError(kCommand, "--background is given more than once", kUsage);
        return std::nullopt;
      }
      if (value != "white" && value != "transparent") {
        exitCode = usageError(
            kCommand, "--background: '" + std::string(value) + "' is neither white nor transparent",
            kUsage);
        return std::nullopt;
      }
      parsed.options.whiteBackground = value == "white";
      backgroundGiven = true;
    } else {
      exitCode = optionError(kCommand, arg, match, kUsage);
      return std::nullopt;
    }
  }
  if (paths.size() != 2) {
    exitCode = usageError(kCommand, paths.size() < 2 ? "FILE and OUT are needed" : "too many files",
                          kUsage);
    return std::nullopt;
  }
  if (!namesPicture(paths[1])) {
    exitCode =
        usageError(kCommand, std::string(paths[1]) + ": OUT must end in .png or .svg", kUsage);
    return std::nullopt;
  }
  parsed.in = paths[0];
  parsed.out = paths[1];
  return parsed;
}

int fail(std::string_view path, std::string_view reason) {
  std::cerr << "stitchkit " << kCommand << ": " << path << ": " << reason << '\n';
  return kExitFailure;
}

}  // namespace

int runRender(std::span<const std::string_view> args) {
  int exitCode = kExitOk;
  const std::optional<RenderArgs> parsed = parseArgs(args, exitCode);
  if (!parsed) return exitCode;
  DesignFile design;
  if (const JobStatus status = readDesignFile(std::string(parsed->in), design); !status)
    return fail(parsed->in, status.message);
  const ThreadPalette& palette = design.palette;
  int systemError = 0;
  const int result = renderDesign(design.stitches, palette, std::string(parsed->out),
                                  parsed->options, &systemError);
  if (result == kRenderEmptyDesign) return fail(parsed->in, renderResultMessage(result));
  if (result != kRenderOk) {
    return fail(parsed->out,
                describeFailure("cannot be written", systemError, renderResultMessage(result)));
  }
  std::cout << "wrote " << parsed->out << ": " << parsed->options.widthPx << " pixels wide, "
            << (palette.isEmpty() ? "preview colours" : "the file's threads") << '\n';
  return kExitOk;
}

}  // namespace stitchkit::cli
