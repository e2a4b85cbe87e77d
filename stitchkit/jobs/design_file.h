#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "stitchkit/decode/stitch_decoder.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/formats/file_format_detection.h"
#include "stitchkit/machine/head_grouping.h"
#include "stitchkit/machine/machine_repeat_settings.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/thread_palette.h"

// Whole-file jobs: reading any design file this library reads into one record, and writing a
// design to a file for a machine format, the way a host program converts one file. They
// report what happened in words instead of printing, touch no state but the files they name
// and the machine format catalogue (read only), and so run on many threads at once, one
// design per thread.
namespace stitchkit {

// The system's own machine containers: KVB files with their side files, KVC files with their
// sections and EDF packages with their members. By the extension, in any case.
enum class ContainerKind { kNone, kKvb, kKvc, kEdf };
ContainerKind containerKindOf(const HString& path);
// "KVB", "KVC", "EDF"; empty for kNone.
std::string_view containerKindName(ContainerKind kind);

// One side file, section or member of a container and its length in bytes (0 when absent).
struct ContainerPart {
  std::string name;
  std::size_t bytes = 0;
};

// A design as read from a file: its stitches and statistics, its threads, and what travelled
// with it in a container (the CT0 block's condition lines, head grouping, repeat settings)
// and how its stitch records ended (not read record by record for containers and other
// makers' designs).
struct DesignFile {
  HXArray<HStitch> stitches;
  StitchStats stats;
  ThreadPalette palette;
  ContainerKind container = ContainerKind::kNone;
  std::vector<ContainerPart> parts;
  HXArray<HString> conditionLines;
  HeadGrouping grouping;
  MachineRepeatSettings repeat;
  DecodeEnding ending;
  // The format the content was read as when the name gives none or another, else kFormatNone.
  HDiskFileFormat foundFromContent = kFormatNone;
};

// Results of the jobs.
inline constexpr int kJobOk = 0;
inline constexpr int kJobReadFailed = 1;   // the input file cannot be read
inline constexpr int kJobBadRequest = 2;   // the request names an unknown machine format, an
                                           // option value out of range or a format that
                                           // cannot be written under that name
inline constexpr int kJobWriteFailed = 3;  // the output file cannot be written as asked

// What a job did: kJobOk, or a result and why in words (without the file's name, which the
// caller puts in front).
struct JobStatus {
  int result = kJobOk;
  std::string message;
  explicit operator bool() const { return result == kJobOk; }
};

// The format a file's content shows, when its name gives none this build reads or one the
// content does not fit: the format the name gives and the one found
// (detectStitchFormatFromContent). Nothing when the name is right or the content shows no format
// this build reads.
struct ContentFormat {
  HDiskFileFormat named = kFormatNone;
  DetectedFormat found;
};
std::optional<ContentFormat> contentFormatOf(const HString& path);

// Reads the design file at `path` (a UTF-8 path) whole, by its content when that shows
// another format than the name (contentFormatOf): any format decodeFile reads, the
// containers with what travelled with them, other makers' designs through the design-I/O
// layer. `design` is replaced.
// With `machine` (a machine format's name, installed or factory), the stitch formats the
// decoders read take that machine format's reading options (how jump runs, stops and
// changeovers are read, its needle folding, ...); it must be one for the file's format
// (kJobBadRequest otherwise). Containers and other makers' designs read as they are.
JobStatus readDesignFile(const std::string& path, DesignFile& design,
                         const std::string& machine = {});

// Why a design file could not be read, from a result of decodeFile (read_design.h): the
// system's error, the record that stopped reading (where it starts and what is wrong with
// it), or the result's sentence.
std::string describeReadFailure(int result, int systemError, const DecodeEnding& ending);

// How to write: the format (else the one the name's extension gives), the machine format by
// name (an installed one, then a factory one; empty for the catalogue's best for the format)
// and options changed for this write, by their profile names ("MaxLength", "121").
struct WriteRequest {
  std::optional<HDiskFileFormat> format;
  std::string machine;
  std::vector<std::pair<std::string, std::string>> settings;
};

// What was written: the format, the machine format's name (empty: the writer's defaults),
// whether a design end was added, and the figures of the file as read back.
struct WriteReport {
  HDiskFileFormat format = kFormatNone;
  std::string machine;
  bool endAdded = false;
  StitchStats written;
  int stops = 0;
};

// Whether writeDesignFile writes format `code` as another maker's design, through the
// design-I/O layer (for the PES family only the version its writer lays out).
bool writesOtherMakerFormat(HDiskFileFormat code);

// Whether a design could be written to `path` as `request` asks, before any is read: the
// format is written by this build and the machine format and options exist and fit it.
JobStatus checkWriteRequest(const std::string& path, const WriteRequest& request);

// Writes `design` to `path` (a UTF-8 path) as `request` asks, through a temporary file beside
// it that replaces `path` only once the whole file (and a KVB file's side files) is written.
// A design without a design end gets one at its last point (in `design.stitches`).
JobStatus writeDesignFile(const std::string& path, DesignFile& design, const WriteRequest& request,
                          WriteReport& report);

}  // namespace stitchkit
