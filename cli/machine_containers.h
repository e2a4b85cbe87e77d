#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "cli/json_writer.h"
#include "stitchkit/machine/head_grouping.h"
#include "stitchkit/machine/machine_repeat_settings.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"
#include "stitchkit/platform/thread_palette.h"

// The system's own machine containers in the convert and info commands: KVB files with their
// side files, KVC files with their sections and EDF packages with their members.
namespace stitchkit::cli {

enum class ContainerKind { kNone, kKvb, kKvc, kEdf };

// By the extension, in any case: ".kvb", ".kvc" or ".edf".
ContainerKind containerKindOf(const HString& path);

// One side file, section or member, and its length in bytes (0 when it was absent).
struct ContainerPart {
  std::string name;
  std::size_t bytes;
};

// What travelled with the design, for info to describe and convert to pass on.
struct ContainerContents {
  ContainerKind kind = ContainerKind::kNone;
  std::vector<ContainerPart> parts;
  ThreadPalette palette;   // the palette the header carries
  HXArray<HString> lines;  // the CT0 block's condition lines, empty without one
  HeadGrouping grouping;
  MachineRepeatSettings repeat;
};

// Reads the design of a container of `kind` with its format's default options, and what
// travelled with it. Returns a result of the KVB and KVC readers (kvb_file.h), 0 on success.
int readContainer(const HString& path, ContainerKind kind, HXArray<HStitch>& stitches,
                  StitchStats& stats, ContainerContents& contents);

// A sentence for a failed readContainer.
std::string describeContainerFailure(ContainerKind kind, int result);

// The container lines of info: as text, or as members of the file's JSON object.
void printContainer(std::ostream& out, const ContainerContents& contents);
void writeContainerJson(JsonWriter& json, const ContainerContents& contents);

// The KVB writer puts the ".CT0", ".LT0" and ".CT1" side files beside the file it writes:
// these move the ones written beside `written` (a temporary name) to sit beside `target`,
// removing a side file of `target` that was not written again; or remove them. moveSideFiles
// returns 0 or the system's error number.
int moveSideFiles(const HString& written, const HString& target);
void removeSideFiles(const HString& written);

}  // namespace stitchkit::cli
