#include "stitchkit/jobs/design_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string_view>

#include "stitchkit/decode/dst_records.h"
#include "stitchkit/files/dst_header.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/formats/file_format_registry.h"
#include "stitchkit/machine/machine_format_catalogue.h"
#include "stitchkit/model/stitch.h"
#include "stitchkit/model/stitch_stats.h"
#include "stitchkit/platform/h_array.h"
#include "stitchkit/platform/h_string.h"

namespace stitchkit {
namespace {

constexpr double kUnitsPerMm = 10.0;
// A sewn stitch longer than this (12.1 mm) pulls loose or snags.
constexpr double kLongStitch = 121.0;
// This many stitches in a row that do not move hammer one hole; one or two are tie-ins.
constexpr int kZeroRunLength = 3;
// A start point further than this (10 mm) outside the stitches' extents.
constexpr int kStartAwayUnits = 100;
// Writers round the header figures differently: counts may differ by one (the end record,
// a first stop), extents by one unit.
constexpr int kCountTolerance = 1;
constexpr int kExtentTolerance = 1;

std::string mmText(double units) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", units / kUnitsPerMm);
  return text;
}

// "1 stitch is", "2 stitches are": a count with its noun and verb.
std::string countText(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string pointText(const HStitch& s) {
  return "(" + mmText(s.xval()) + ", " + mmText(s.yval()) + ") mm";
}

class FindingList {
 public:
  explicit FindingList(std::vector<CheckFinding>& list) : list_(list) {}
  void add(CheckSeverity severity, std::string code, std::string message) {
    list_.push_back(CheckFinding{severity, std::move(code), std::move(message)});
  }

 private:
  std::vector<CheckFinding>& list_;
};

// --- The 512-byte header ---------------------------------------------------------------------

bool hasDstHeader(HDiskFileFormat format) {
  switch (format) {
    case kFormatDst:
    case kFormatDsb:
    case kFormatDsz:
    case kFormatDstVariant15:
    case kFormatDsbVariant16:
    case kFormatDszVariant17:
    case kFormatDstVariant20:
    case kFormatDsbVariant21:
      return true;
    default:
      return false;
  }
}

bool hasDstRecords(HDiskFileFormat format) {
  return format == kFormatDst || format == kFormatDstVariant15 || format == kFormatDstVariant20;
}

// The header fields checked, in header order.
enum HeaderField { kSt, kCo, kPlusX, kMinusX, kPlusY, kMinusY, kAx, kAy, kFieldCount };
constexpr std::array<std::string_view, kFieldCount> kFieldLabels = {
    "ST:", "CO:", "+X:", "-X:", "+Y:", "-Y:", "AX:", "AY:"};
using HeaderValues = std::array<std::optional<int>, kFieldCount>;

// The number after `label` at the start of a CR-separated field: an optional sign, spaces
// (also between sign and digits), digits.
std::optional<int> fieldValue(std::string_view text, std::string_view label) {
  std::size_t at = 0;
  if (text.substr(0, label.size()) != label) {
    at = text.find("\r" + std::string(label));
    if (at == std::string_view::npos) return std::nullopt;
    ++at;
  }
  at += label.size();
  const auto skipSpaces = [&] {
    while (at < text.size() && text[at] == ' ')
      ++at;
  };
  skipSpaces();
  int sign = 1;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    sign = text[at] == '-' ? -1 : 1;
    ++at;
    skipSpaces();
  }
  long value = 0;
  std::size_t digits = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 9; ++at, ++digits) {
    value = value * 10 + (text[at] - '0');
  }
  if (digits == 0) return std::nullopt;
  return static_cast<int>(sign * value);
}

HeaderValues parseHeader(std::string_view text) {
  text = text.substr(0, text.find('\x1A'));
  HeaderValues values;
  for (int f = 0; f < kFieldCount; ++f)
    values[f] = fieldValue(text, kFieldLabels[f]);
  return values;
}

// Where the DST records' end record starts (-1: none), how many records there are up to it,
// end record included, and what follows it in the file.
struct DstRecordScan {
  long endAt = -1;
  long records = 0;
  std::size_t after = 0;        // bytes after the end record
  bool terminatorOnly = false;  // they are one 0x1A terminator
};

// Scans the records after the header a block at a time (the file is never held whole).
DstRecordScan scanDstRecords(const std::string& path) {
  DstRecordScan scan;
  std::ifstream in(path, std::ios::binary);
  in.seekg(dst::kHeaderSize);
  // Whole records a block: a block read in full ends on a record's end.
  char buffer[dst::kRecordSize * 21845];
  for (std::size_t offset = dst::kHeaderSize; in && scan.endAt < 0;) {
    in.read(buffer, sizeof buffer);
    const auto got = static_cast<std::size_t>(in.gcount());
    for (std::size_t i = 0; i + dst::kRecordSize <= got; i += dst::kRecordSize) {
      ++scan.records;
      if (static_cast<unsigned char>(buffer[i + 2]) == dst::kEndByte2) {
        scan.endAt = static_cast<long>(offset + i);
        break;
      }
    }
    offset += got;
  }
  if (scan.endAt < 0) return scan;
  in.clear();
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0));
  const std::size_t endsAt = static_cast<std::size_t>(scan.endAt) + dst::kRecordSize;
  scan.after = size > endsAt ? size - endsAt : 0;
  if (scan.after == 1) {
    in.seekg(-1, std::ios::end);
    scan.terminatorOnly = in.get() == 0x1A;
  }
  return scan;
}

std::vector<unsigned char> readBytes(const std::string& path, std::size_t most) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes(most);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(most));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

void checkCount(FindingList& out, const char* code, const char* what, int inHeader,
                std::initializer_list<int> accepted, int read) {
  for (int a : accepted) {
    if (std::abs(inHeader - a) <= kCountTolerance) return;
  }
  out.add(CheckSeverity::kWarning, code,
          std::string("the header gives ") + std::to_string(inHeader) + " " + what +
              ", the records hold " + std::to_string(read));
}

// `scan` is given for DST records, whose count a header may give instead of the stitches.
void checkHeader(FindingList& out, const std::vector<unsigned char>& bytes,
                 const DstRecordScan* scan, const StitchStats& stats) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                              std::min<std::size_t>(bytes.size(), kDstHeaderSize));
  const HeaderValues given = parseHeader(text);
  std::string missing;
  for (int f = 0; f < kFieldCount; ++f) {
    if (!given[f]) missing += (missing.empty() ? "" : " ") + std::string(kFieldLabels[f]);
  }
  if (!missing.empty()) {
    out.add(CheckSeverity::kWarning, "header-unreadable",
            "the 512-byte header lacks the fields " + missing + " (they are not checked)");
  }
  // What this library writes for the design as read, parsed the same way, so both sides
  // follow one convention for signs and axes.
  char made[kDstHeaderSize + 1] = {};
  StitchStats copy = stats;
  makeDSTHeader(made, HString(), copy, 0);
  const HeaderValues expected = parseHeader(std::string_view(made, kDstHeaderTextLength));

  if (given[kSt]) {
    const int read = *expected[kSt];
    if (scan != nullptr) {
      checkCount(out, "header-stitch-count", "stitches", *given[kSt],
                 {read, static_cast<int>(scan->records)}, read);
    } else {
      checkCount(out, "header-stitch-count", "stitches", *given[kSt], {read}, read);
    }
  }
  if (given[kCo]) {
    checkCount(out, "header-colour-count", "colour changes", *given[kCo], {*expected[kCo]},
               *expected[kCo]);
  }
  std::string under;
  std::string over;
  for (int f = kPlusX; f <= kMinusY; ++f) {
    if (!given[f]) continue;
    const int d = *given[f] - *expected[f];
    const std::string item = std::string(kFieldLabels[f]) + " " + mmText(*given[f]) +
                             " mm where the records reach " + mmText(*expected[f]) + " mm";
    if (d < -kExtentTolerance) under += (under.empty() ? "" : ", ") + item;
    if (d > kExtentTolerance) over += (over.empty() ? "" : ", ") + item;
  }
  if (!under.empty()) {
    out.add(CheckSeverity::kError, "header-extents",
            "the header understates the design's extents (" + under +
                "): a machine that checks its frame limits by them lets the frame run past them");
  }
  if (!over.empty()) {
    out.add(CheckSeverity::kWarning, "header-extents",
            "the header overstates the design's extents (" + over + ")");
  }
  if (given[kAx] && given[kAy]) {
    // Writers disagree on the sign of y; either is taken.
    const bool matches = std::abs(*given[kAx] - *expected[kAx]) <= kExtentTolerance &&
                         (std::abs(*given[kAy] - *expected[kAy]) <= kExtentTolerance ||
                          std::abs(*given[kAy] + *expected[kAy]) <= kExtentTolerance);
    if (!matches) {
      out.add(CheckSeverity::kWarning, "header-end-offset",
              "the header puts the end point at (" + mmText(*given[kAx]) + ", " +
                  mmText(*given[kAy]) + ") mm from the start, the records end at (" +
                  mmText(*expected[kAx]) + ", " + mmText(*expected[kAy]) + ") mm");
    }
  }
}

// --- The end of the records ------------------------------------------------------------------

void checkEnding(FindingList& out, DataEnding how, const StitchOptions& machine,
                 HDiskFileFormat format, const DstRecordScan* scan) {
  // Exp machines whose files end without an end record (MelcoDiscardEnd) expect none.
  const bool endExpected = !(machine.getMelcoDiscardEnd() && format == kFormatExp);
  if (how == DataEnding::kEndOfData && endExpected) {
    out.add(CheckSeverity::kError, "end-record",
            "the records stop without an end record: the machine waits at the last stitch or "
            "refuses the file");
  }
  if (scan == nullptr || scan->endAt < 0) return;
  const std::size_t after = scan->after;
  if (after == 0 || scan->terminatorOnly) return;
  out.add(CheckSeverity::kWarning, "after-end",
          countText(static_cast<int>(after), "byte follows", "bytes follow") +
              " the end record (byte " + std::to_string(scan->endAt) +
              ") where at most the terminator 0x1A belongs; the machine ignores or misreads them");
}

// --- The stitches ----------------------------------------------------------------------------

// Occurrences of one kind of finding: how many and where the first was.
struct Occurrences {
  int count = 0;
  int firstIndex = -1;
  HStitch first;
  double firstValue = 0.0;
  void note(int index, const HStitch& s, double value) {
    if (count++ == 0) firstIndex = index, first = s, firstValue = value;
  }
  // "the first" of several, "it" for one.
  std::string which() const { return count == 1 ? "it" : "the first"; }
  std::string where() const {
    return "stitch " + std::to_string(firstIndex) + " at " + pointText(first);
  }
};

struct StitchFacts {
  Occurrences overHardLength;
  Occurrences longStitches;
  Occurrences zeroRuns;
  int highestNeedle = 0;
  int trims = 0;
  int sequins = 0;
  int chenille = 0;
  bool anyPenetration = false;
  int minX = 0, maxX = 0, minY = 0, maxY = 0;  // of the penetrations
};

StitchFacts walkStitches(const HXArray<HStitch>& stitches, const StitchStats& stats,
                         int hardLength) {
  StitchFacts facts;
  int px = stats.startX;
  int py = stats.startY;
  int zeroRun = 0;
  for (int i = 0; i < stitches.length(); ++i) {
    const HStitch& s = stitches[i];
    const int dx = std::abs(s.xval() - px);
    const int dy = std::abs(s.yval() - py);
    const int axisMove = std::max(dx, dy);
    if (hardLength > 0 && axisMove > hardLength) facts.overHardLength.note(i, s, axisMove);
    if (s.isNormal()) {
      const double length = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy);
      if (length > kLongStitch) facts.longStitches.note(i, s, length);
      zeroRun = axisMove == 0 ? zeroRun + 1 : 0;
      if (zeroRun == kZeroRunLength) facts.zeroRuns.note(i - kZeroRunLength + 1, s, 0.0);
    } else if (!s.isJump()) {
      zeroRun = 0;
    }
    if (s.isTrim() || s.isUpperTrim() || s.isJumpTrim() || s.isCut() || s.isCutJump()) {
      ++facts.trims;
    }
    if (s.isSequinStart() || s.isSequinEnd() || s.isDropSequin() || s.isDropSequinW()) {
      ++facts.sequins;
    }
    if (s.isChenille() || s.isLockStitchChenille()) ++facts.chenille;
    if (s.isPenetrationStitch()) {
      facts.highestNeedle = std::max(facts.highestNeedle, s.getColor() + 1);
      if (!facts.anyPenetration) {
        facts.minX = facts.maxX = s.xval();
        facts.minY = facts.maxY = s.yval();
        facts.anyPenetration = true;
      }
      facts.minX = std::min<int>(facts.minX, s.xval());
      facts.maxX = std::max<int>(facts.maxX, s.xval());
      facts.minY = std::min<int>(facts.minY, s.yval());
      facts.maxY = std::max<int>(facts.maxY, s.yval());
    }
    px = s.xval();
    py = s.yval();
  }
  return facts;
}

void checkMachineLimits(FindingList& out, const StitchFacts& facts, const StitchOptions& machine,
                        bool ownRecords) {
  if (facts.overHardLength.count > 0) {
    out.add(ownRecords ? CheckSeverity::kError : CheckSeverity::kWarning, "move-too-long",
            countText(facts.overHardLength.count, "move is", "moves are") +
                " longer than the machine format's HardLength of " +
                mmText(machine.getHardLength()) + " mm; " + facts.overHardLength.which() + ", " +
                mmText(facts.overHardLength.firstValue) + " mm, ends at " +
                facts.overHardLength.where());
  }
  const int most = machine.getMaxNeedles();
  if (most > 0 && facts.highestNeedle > most) {
    const int n = facts.highestNeedle;
    std::string fold = "folding puts needle " + std::to_string(most + 1) + " on needle 1";
    if (n > most + 1) {
      fold +=
          " and needle " + std::to_string(n) + " on needle " + std::to_string((n - 1) % most + 1);
    }
    if (machine.getStopsAsNeedles()) {
      out.add(CheckSeverity::kWarning, "needle-limit",
              "the design uses " + std::to_string(n) + " needles and the machine format has " +
                  std::to_string(most) + "; the machine folds them (" + fold +
                  "), so colours that share a needle need a thread change");
    } else {
      out.add(CheckSeverity::kError, "needle-limit",
              "the records name needle " + std::to_string(n) + " but the machine format has " +
                  std::to_string(most) + " needles; written for it with MaxNeedles " +
                  std::to_string(most) + ", " + fold);
    }
  }
  if (facts.trims > 0 && !machine.getHasTrimCode() && !machine.getTrimsAsJumps()) {
    out.add(CheckSeverity::kWarning, "trim-not-expressible",
            countText(facts.trims, "trim", "trims") +
                ", but the machine format has no trim code and does not trim on jump "
                "runs (TrimsAsJumps): the thread stays uncut");
  }
  if (facts.sequins > 0 && !machine.getHasSequinCode() && machine.getSequinType() == kSequinAsIs) {
    out.add(CheckSeverity::kWarning, "sequin-not-expressible",
            countText(facts.sequins, "sequin command", "sequin commands") +
                ", but the machine format has no sequin code and writes them "
                "as they are (SequinType 0)");
  }
  if (facts.chenille > 0 && !machine.getHasChenilleSupport()) {
    out.add(CheckSeverity::kWarning, "chenille-not-expressible",
            countText(facts.chenille, "chenille command", "chenille commands") +
                ", but the machine format has no chenille support");
  }
}

// One side of the field as text: its size, or "open".
std::string sideText(const std::optional<double>& side) {
  if (!side) return "open";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", *side);
  return text;
}

void checkField(FindingList& out, const StitchStats& stats, const CheckLimits& limits) {
  if (!limits.fieldWidthMm && !limits.fieldHeightMm) return;
  if (stats.maxX < stats.minX || stats.maxY < stats.minY) return;
  constexpr double kOpen = 1e9;
  const double fieldW = limits.fieldWidthMm.value_or(kOpen);
  const double fieldH = limits.fieldHeightMm.value_or(kOpen);
  const std::string field =
      sideText(limits.fieldWidthMm) + " x " + sideText(limits.fieldHeightMm) + " mm field";
  if (stats.maxX - stats.minX > fieldW * kUnitsPerMm ||
      stats.maxY - stats.minY > fieldH * kUnitsPerMm) {
    out.add(CheckSeverity::kError, "field-size",
            "the design is " + mmText(stats.maxX - stats.minX) + " x " +
                mmText(stats.maxY - stats.minY) + " mm, larger than the " + field);
    return;
  }
  // The field is centred on the start point, where the machine puts the needle.
  const int halfX = std::max(stats.maxX - stats.startX, stats.startX - stats.minX);
  const int halfY = std::max(stats.maxY - stats.startY, stats.startY - stats.minY);
  if (2 * halfX > fieldW * kUnitsPerMm || 2 * halfY > fieldH * kUnitsPerMm) {
    out.add(CheckSeverity::kWarning, "field-position",
            "the design fits the " + field +
                " only with its start point moved: from the start it reaches x " +
                mmText(stats.minX - stats.startX) + " .. " + mmText(stats.maxX - stats.startX) +
                " mm, y " + mmText(stats.minY - stats.startY) + " .. " +
                mmText(stats.maxY - stats.startY) + " mm");
  }
}

void checkContent(FindingList& out, const StitchFacts& facts, const StitchStats& stats) {
  if (facts.longStitches.count > 0) {
    out.add(CheckSeverity::kWarning, "long-stitch",
            countText(facts.longStitches.count, "stitch is", "stitches are") + " longer than " +
                mmText(kLongStitch) + " mm; " + facts.longStitches.which() + ", " +
                mmText(facts.longStitches.firstValue) + " mm, is " + facts.longStitches.where());
  }
  if (facts.zeroRuns.count > 0) {
    out.add(CheckSeverity::kWarning, "zero-length-run",
            countText(facts.zeroRuns.count, "run", "runs") + " of " +
                std::to_string(kZeroRunLength) + " or more stitches that do not move; " +
                facts.zeroRuns.which() + " starts at " + facts.zeroRuns.where());
  }
  if (facts.anyPenetration) {
    const int awayX = std::max({0, facts.minX - stats.startX, stats.startX - facts.maxX});
    const int awayY = std::max({0, facts.minY - stats.startY, stats.startY - facts.maxY});
    if (std::max(awayX, awayY) > kStartAwayUnits) {
      out.add(CheckSeverity::kWarning, "start-away",
              "the design starts at (" + mmText(stats.startX) + ", " + mmText(stats.startY) +
                  ") mm, " + mmText(std::hypot(awayX, awayY)) + " mm outside its stitches (x " +
                  mmText(facts.minX) + " .. " + mmText(facts.maxX) + ", y " + mmText(facts.minY) +
                  " .. " + mmText(facts.maxY) +
                  " mm): the frame travels there before the first stitch");
    }
  }
}

HDiskFileFormat fileFormatOf(const HString& path) {
  const HDiskFileFormat read = readFormatOfPath(path);
  if (read != kFormatNone) return read;
  HString lower = path;
  lower.makeLower();
  return HFileFormat::getFileFormatFromFile(lower, 1);
}

std::string unreadableMessage(int result, int systemError, const DecodeEnding& ending) {
  if (systemError != 0) return std::string("cannot be opened: ") + std::strerror(systemError);
  std::string text = readResultMessage(result);
  if (ending.how == DataEnding::kBrokenRecord || ending.how == DataEnding::kOutOfRange) {
    text += ending.how == DataEnding::kBrokenRecord ? ": a record is not well formed"
                                                    : ": a move leaves the range a stitch holds";
    if (ending.offset >= 0)
      text += " (the record at data byte " + std::to_string(ending.offset) + ")";
  }
  return text;
}

}  // namespace

const char* checkSeverityName(CheckSeverity severity) {
  switch (severity) {
    case CheckSeverity::kError:
      return "error";
    case CheckSeverity::kWarning:
      return "warning";
    case CheckSeverity::kNote:
      return "note";
  }
  return "error";
}

bool hasCheckError(const std::vector<CheckFinding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const CheckFinding& f) { return f.severity == CheckSeverity::kError; });
}

int checkDesignFile(const std::string& utf8Path, const StitchOptions* machine,
                    const CheckLimits& limits, std::vector<CheckFinding>& findings) {
  FindingList out(findings);
  const HString path = fromNativePath(utf8Path);
  const HDiskFileFormat format = fileFormatOf(path);
  StitchOptions chosen;
  if (machine != nullptr) {
    chosen = *machine;
  } else {
    HString name;
    if (GetBestCompatibleMachineFormat(format, name, chosen) == kMachineFormatOk) {
      out.add(CheckSeverity::kNote, "machine-format",
              "checked against machine format '" + std::string(strToUtf8(name)) +
                  "', the best for format " + std::to_string(static_cast<int>(format)));
    } else {
      out.add(CheckSeverity::kNote, "machine-format",
              "no machine format for format " + std::to_string(static_cast<int>(format)) +
                  ": checked against the default options");
    }
  }
  const bool compatible = chosen.isCompatible(format);
  if (!compatible) {
    out.add(CheckSeverity::kError, "machine-format",
            "the machine format reads format " + std::to_string(chosen.getFileFormat()) +
                ", not this file's format " + std::to_string(static_cast<int>(format)));
  }

  // Read as the machine reads: its options, but every needle the records name, so that the
  // needle limit is checked here rather than folded away by the reader.
  StitchOptions reading = chosen;
  reading.setMaxNeedles(0);
  HXArray<HStitch> stitches;
  StitchStats stats;
  double scale = 0.0;
  int systemError = 0;
  DecodeEnding ending;
  // Machine stitch files go through the stitch filter with the options; the containers bring
  // their own, and other makers' designs go to the general loader.
  const bool ownRecords = readFormatOfPath(path) != kFormatNone;
  const bool container = format == kFormatHsf || format == kFormatKvb || format == kFormatKvc ||
                         format == kFormatZskTransport;
  const bool withOptions = compatible && ownRecords && !container;
  const int result =
      decodeFile(path, stitches, stats, scale, nullptr, withOptions ? &reading : nullptr, nullptr,
                 nullptr, &systemError, &ending);
  if (result != kReadOk) {
    out.add(CheckSeverity::kError, "unreadable", unreadableMessage(result, systemError, ending));
    return result;
  }

  std::vector<unsigned char> bytes;
  std::optional<DstRecordScan> scan;
  if (hasDstHeader(format)) {
    const bool dstRecords = hasDstRecords(format);
    bytes = readBytes(utf8Path, kDstHeaderSize);
    if (dstRecords) scan = scanDstRecords(utf8Path);
    checkHeader(out, bytes, scan ? &*scan : nullptr, stats);
  }
  checkEnding(out, ending.how, chosen, format, scan ? &*scan : nullptr);
  const StitchFacts facts = walkStitches(stitches, stats, chosen.getHardLength());
  checkMachineLimits(out, facts, chosen, ownRecords);
  checkField(out, stats, limits);
  checkContent(out, facts, stats);
  return kReadOk;
}

}  // namespace stitchkit
