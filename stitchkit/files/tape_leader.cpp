#include "stitchkit/files/tape_leader.h"

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <new>
#include <string>
#include <system_error>
#include <utility>

#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/replacement_file.h"

namespace stitchkit {

namespace {

// One character of the tape lettering: its five columns, left to right; bits 1 to 5 of each
// byte are the dots.
struct TapeGlyph {
  char character;
  std::uint8_t columns[5];
};

// The lettering's alphabet, in its order (the space first).
constexpr TapeGlyph kTapeGlyphs[] = {
    {' ', {0, 0, 0, 0, 0}},      {'A', {30, 40, 40, 40, 30}}, {'B', {62, 42, 42, 42, 20}},
    {'C', {28, 34, 34, 34, 34}}, {'D', {62, 34, 34, 34, 28}}, {'E', {62, 42, 42, 42, 34}},
    {'F', {62, 40, 40, 40, 32}}, {'G', {28, 34, 42, 42, 46}}, {'H', {62, 8, 8, 8, 62}},
    {'I', {0, 34, 62, 34, 0}},   {'J', {4, 34, 34, 60, 32}},  {'K', {62, 8, 20, 34, 0}},
    {'L', {62, 2, 2, 2, 2}},     {'M', {62, 16, 8, 16, 62}},  {'N', {62, 16, 8, 4, 62}},
    {'O', {28, 34, 34, 34, 28}}, {'P', {62, 40, 40, 40, 16}}, {'Q', {28, 34, 34, 38, 30}},
    {'R', {62, 40, 40, 44, 18}}, {'S', {18, 42, 42, 42, 36}}, {'T', {32, 32, 62, 32, 32}},
    {'U', {60, 2, 2, 2, 60}},    {'V', {56, 4, 2, 4, 56}},    {'W', {62, 4, 8, 4, 62}},
    {'X', {34, 20, 8, 20, 34}},  {'Y', {32, 16, 14, 16, 32}}, {'Z', {34, 38, 42, 50, 34}},
    {'0', {28, 34, 34, 28, 0}},  {'1', {0, 18, 62, 2, 0}},    {'2', {18, 38, 42, 18, 0}},
    {'3', {20, 34, 42, 20, 0}},  {'4', {56, 8, 30, 8, 0}},    {'5', {58, 42, 42, 36, 0}},
    {'6', {28, 42, 42, 4, 0}},   {'7', {34, 36, 40, 48, 0}},  {'8', {20, 42, 42, 20, 0}},
    {'9', {18, 42, 42, 28, 0}},  {'.', {0, 6, 6, 0, 0}},      {'#', {20, 62, 20, 62, 20}},
    {'%', {50, 52, 8, 22, 38}},  {'(', {0, 28, 34, 0, 0}},    {')', {0, 34, 28, 0, 0}},
    {'/', {2, 4, 8, 16, 32}},    {'-', {0, 8, 8, 8, 0}},      {'!', {0, 0, 58, 0, 0}},
    {',', {0, 10, 12, 0, 0}},    {'=', {20, 20, 20, 20, 20}},
};
static_assert(std::size(kTapeGlyphs) == 47, "the tape lettering has 47 characters");

// The machine word lettered after the design name, by paper-tape format.
struct TapeMachineWord {
  HDiskFileFormat format;
  const wchar_t* word;
};

constexpr TapeMachineWord kTapeMachineWords[] = {
    {kFormatDstVariant15, L"KORVAN  "},
    {kFormatDsbVariant16, L"BARUDAN  "},
    {kFormatDszVariant17, L"ZANGS  "},
};

// A text of this many characters or more cannot be lettered.
constexpr int kMaxLetteredCharacters = 256;
// Spaces that end a lettered leader.
constexpr int kTrailingSpaces = 35;
// Bytes copied from the design file at a time.
constexpr int kCopyBlockSize = 4096;

const TapeGlyph* findGlyph(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const TapeGlyph& glyph : kTapeGlyphs) {
    if (glyph.character == c) return &glyph;
  }
  return nullptr;
}

// Letters `text` into `out`, six bytes per character, up to the first character outside the
// lettering's alphabet.
int writeLettering(HFile& out, const HString& text) {
  if (text.length() >= kMaxLetteredCharacters) return kTapeLeaderInvalidArgument;
  const std::string ansi = wideToMbs(text.wide(), kCodePageAnsi);
  for (char c : ansi) {
    const TapeGlyph* glyph = findGlyph(c);
    if (glyph == nullptr) return 0;
    const std::uint8_t bytes[6] = {0,
                                   glyph->columns[0],
                                   glyph->columns[1],
                                   glyph->columns[2],
                                   glyph->columns[3],
                                   glyph->columns[4]};
    if (out.write(bytes, 6) != 6) return kTapeLeaderWriteFailed;
  }
  return 0;
}

const wchar_t* machineWordOf(HDiskFileFormat format) {
  for (const TapeMachineWord& row : kTapeMachineWords) {
    if (row.format == format) return row.word;
  }
  return nullptr;
}

int writeLeader(HFile& out, const HString& designName, int stitches, HDiskFileFormat format,
                int leaderBytes) {
  if (const wchar_t* word = machineWordOf(format)) {
    const HString texts[] = {
        designName + HString(L"  "),
        HString(word),
        HString(("STITCHES=" + std::to_string(stitches) + "  ").c_str()),
        HString(kTrailingSpaces, L' '),
    };
    for (const HString& text : texts) {
      const int r = writeLettering(out, text);
      if (r != 0) return r;
    }
    return 0;
  }
  const std::uint8_t zero = 0;
  for (int i = 0; i < leaderBytes; ++i) {
    if (out.write(&zero, 1) != 1) return kTapeLeaderWriteFailed;
  }
  return 0;
}

// Copies the rest of `in` to `out`. A failed read is not taken for the end of the file, so
// that a design is never replaced by a cut copy of itself.
int copyFile(HFile& in, HFile& out) {
  std::uint8_t block[kCopyBlockSize];
  for (;;) {
    const int n = in.read(block, kCopyBlockSize);
    if (n > 0 && out.write(block, n) != n) return kTapeLeaderWriteFailed;
    if (in.lastError() != 0) return kTapeLeaderCannotOpen;
    if (n < kCopyBlockSize) return 0;  // HFile::read fills the block unless the file ends
  }
}

int addLeader(const HString& path, const HString& designName, int stitches, HDiskFileFormat format,
              int leaderBytes, int& systemError) {
  if (path.isEmpty() || format >= kFormatNone) return kTapeLeaderInvalidArgument;

  HTemporaryFileManager manager(HString(L"qvm"), 0);
  if (!manager.isOK()) return kTapeLeaderNoTemporaryFile;
  HString temporaryPath = manager.getFilePath();
  if (temporaryPath.isEmpty()) return kTapeLeaderNoTemporaryFile;
  const TemporaryFile temporary(std::move(temporaryPath));

  HFile out;
  HFile in;
  if (!out.open(temporary.path(), kGenericWrite, kCreateAlways, kShareRead | kShareWrite)) {
    systemError = out.lastError();
    return kTapeLeaderCannotOpen;
  }
  if (!in.open(path, kGenericRead, kOpenExisting, kShareRead | kShareWrite)) {
    systemError = in.lastError();
    return kTapeLeaderCannotOpen;
  }

  int r = writeLeader(out, designName, stitches, format, leaderBytes);
  if (r == 0) r = copyFile(in, out);
  if (r == kTapeLeaderCannotOpen) systemError = in.lastError();
  if (r == kTapeLeaderWriteFailed) systemError = out.lastError();
  if (r != 0) return r;

  in.close();
  // A temporary file that may have lost data on closing must not replace the design.
  if (!out.close()) {
    systemError = out.lastError();
    return kTapeLeaderWriteFailed;
  }
  return HFile::copy(temporary.path(), path, true) ? kTapeLeaderDone : kTapeLeaderCopyFailed;
}

}  // namespace

int addTapeLeader(const HString& path, const HString& designName, int stitches,
                  const HDiskFileFormat& format, int leaderBytes, int* systemError) {
  int ignoredError = 0;
  int& error = systemError != nullptr ? *systemError : ignoredError;
  error = 0;
  try {
    return addLeader(path, designName, stitches, format, leaderBytes, error);
  } catch (const std::bad_alloc&) {
    // Only text and path handling allocate; the design file is untouched.
    return kTapeLeaderWriteFailed;
  }
}

}  // namespace stitchkit
