// The KVB and KVC containers: the failures their readers and writers report, the header fields
// of one small design, and real designs written through both and EDF packages and read back
// whole.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "stitchkit/files/edf_package.h"
#include "stitchkit/files/kvb_file.h"
#include "stitchkit/files/read_design.h"
#include "stitchkit/files/write_design.h"
#include "tests/support/stitch_builders.h"
#include "tests/support/test_files.h"

namespace stitchkit {
namespace {

using testing_support::colourSequence;
using testing_support::penetrations;
using testing_support::stitch;

StitchOptions kvbOptions() {
  StitchOptions options;
  setDefaultDecoderOptions(options);
  options.setFileFormat(kFormatKvb);
  return options;
}

HeadGrouping twoHeads() {
  HeadGrouping grouping;
  grouping.type = kHeadGroupTypeFreePattern;
  grouping.headCount = 2;
  grouping.patterns[0].elements[0] = 1;
  grouping.patterns[1].elements[63] = 1;
  return grouping;
}

MachineRepeatSettings repeating() {
  MachineRepeatSettings repeat;
  repeat.enabled = 1;
  repeat.direction = 1;
  repeat.firstCount = 3;
  repeat.secondCount = 2;
  repeat.firstAxisFlag = 1;
  repeat.secondAxisFlag = 1;
  repeat.firstOffset = 120.0;  // the CT0 block holds whole units
  repeat.secondOffset = 80.0;
  return repeat;
}

ThreadPalette twoThreads() {
  ThreadPalette palette;
  palette.add(ThreadProperty(0xFF0000, L"red", L"1", L"maker"));
  ThreadProperty punch(0x0000FF, L"punch", L"2", L"maker");
  punch.type = ThreadType::kPunch;
  palette.add(punch);
  return palette;
}

// Three blocks of stitches on needles 1 and 2, with a trim and a long move.
HXArray<HStitch> smallDesign() {
  return testing_support::design(
      {stitch(0, 0), stitch(10, 10), stitch(20, 5), stitch(20, 5, StitchCode::Trim),
       stitch(300, 200, StitchCode::Jump), stitch(300, 200, StitchCode::ChangeNeedle, 1),
       stitch(310, 210, 0, 1), stitch(320, 200, 0, 1)});
}

struct ReadBack {
  int result = -1;
  HXArray<HStitch> stitches;
  HXArray<HString> lines;
  HeadGrouping grouping;
  MachineRepeatSettings repeat;
  HList<LT0LaserBlock> laser;
  ThreadPalette palette;
  CT0Properties ct0;
  HList<TT0Info> times;
};

ReadBack readContainer(const HString& path, bool kvc, bool withPalette = true) {
  ReadBack r;
  StitchOptions options = kvbOptions();
  StitchStats stats;
  ThreadPalette* palette = withPalette ? &r.palette : nullptr;
  if (strToUtf8(path).ends_with(".EDF")) {
    StitchArrayWrapper wrapper(r.stitches);
    r.result = decodeEDFFile(path, wrapper, options, stats, r.lines, r.grouping, r.repeat, palette,
                             nullptr);
    return r;
  }
  r.result = kvc ? decodeKVCFile(path, r.stitches, options, stats, r.lines, r.grouping, r.repeat,
                                 r.laser, palette, &r.ct0, nullptr, &r.times)
                 : decodeKVBFile(path, r.stitches, options, stats, r.lines, r.grouping, r.repeat,
                                 r.laser, palette, nullptr);
  return r;
}

class KvbFileTest : public testing_support::TempDirTest {
 protected:
  // Writes `stitches` by the name's extension; they are left as written.
  int write(const std::string& name, HXArray<HStitch>& stitches, const ThreadPalette& palette,
            const ExtraProperties& extra = {}, const HeadGrouping& grouping = {},
            const MachineRepeatSettings& repeat = {}) {
    HXArray<HString> lines;
    StitchOptions options;
    options.setFileFormat(name.ends_with(".KVC")   ? kFormatKvc
                          : name.ends_with(".EDF") ? kFormatEdf
                                                   : kFormatKvb);
    return makeStitchFormatFile(path(name), path("Rose.dst"), stitches, palette, lines, extra, 0.0,
                                &options, 0, 1, grouping, repeat, nullptr, nullptr);
  }
  std::string bytes(const std::string& name) const { return readFile(name).value_or(""); }
  void corrupt(const std::string& name, std::size_t at, const std::string& with) {
    std::string b = bytes(name);
    b.replace(at, with.size(), with);
    writeFile(name, b);
  }
};

TEST_F(KvbFileTest, FailuresAreReportedByCode) {
  HXArray<HStitch> design = smallDesign();
  ASSERT_EQ(write("A.KVB", design, twoThreads()), kWriteOk);
  ASSERT_EQ(write("A.KVC", design, twoThreads()), kWriteOk);
  writeFile("SHORT.KVB", bytes("A.KVB").substr(0, 600));
  writeFile("SHORT.KVC", bytes("A.KVC").substr(0, 100));
  writeFile("PAST.KVC", bytes("A.KVC"));
  corrupt("PAST.KVC", 33, "FFFFFF0");  // the CT0 section lies past the end
  writeFile("LONG.KVC", bytes("A.KVC"));
  corrupt("LONG.KVC", 88, "FFFFFFF");  // the CT1 section runs past the end
  const HString missingSide = path("A.KVB");
  std::filesystem::remove(dir_ / "A.CT0");

  struct Row {
    const char* name;
    bool kvc;
    int expected;
  };
  const Row rows[] = {
      {"NONE.KVB", false, kKvbReadCannotOpen},
      {"NONE.KVC", true, kKvbReadCannotOpen},
      {"SHORT.KVB", false, kKvbReadShort},
      {"SHORT.KVC", true, kKvbReadShort},
      {"PAST.KVC", true, kKvbReadShort},
      {"LONG.KVC", true, kKvbReadShort},
      {"A.KVB", false, kKvbReadOk},  // without its .CT0 side file
  };
  for (const Row& row : rows) {
    const ReadBack r = readContainer(path(row.name), row.kvc);
    EXPECT_EQ(r.result, row.expected) << row.name;
  }
  // The missing CT0 side file leaves the grouping as it was.
  EXPECT_EQ(readContainer(missingSide, false).grouping.headCount, 0);

  StitchOptions dst;
  dst.setFileFormat(kFormatDst);
  HXArray<HStitch> stitches;
  HXArray<HString> lines;
  HeadGrouping grouping;
  MachineRepeatSettings repeat;
  HList<LT0LaserBlock> laser;
  StitchStats stats;
  EXPECT_EQ(decodeKVBFile(path("A.KVB"), stitches, dst, stats, lines, grouping, repeat, laser,
                          nullptr, nullptr),
            kKvbReadWrongFormat);
  EXPECT_EQ(makeKVBFormatFile(path("B.KVB"), path("B.KVB"), design, nullptr, 0, grouping, repeat,
                              nullptr),
            kKvbWriteWrongFormat);
}

TEST_F(KvbFileTest, HeaderFieldsOfASmallDesign) {
  ExtraProperties extra;
  TT0Info entry;
  entry.name = L"first run";
  entry.numbers[0] = 12;
  entry.numbers[7] = 345;
  entry.flag = 1;
  entry.time = 1700000000;
  extra.timeInfo.append(entry);
  HXArray<HStitch> design = smallDesign();
  ASSERT_EQ(write("a(Rose).kvb", design, twoThreads()), kWriteOk);
  ASSERT_EQ(write("c.KVC", design, twoThreads(), extra), kWriteOk);
  const std::string kvb = bytes("a(Rose).kvb");
  const std::string kvc = bytes("c.KVC");
  ASSERT_GT(kvb.size(), 1536u);
  ASSERT_TRUE(readFile("a(Rose).CT0").has_value());
  ASSERT_TRUE(readFile("a(Rose).CT1").has_value());
  EXPECT_FALSE(readFile("a(Rose).LT0").has_value());

  const std::string sectionsAt = kvc.substr(24, 7);
  const std::size_t sections = std::stoul(sectionsAt, nullptr, 16);
  struct Field {
    const std::string* file;
    std::size_t at;
    std::string bytes;
  };
  const std::string blank(1, ' ');
  const Field fields[] = {
      {&kvb, 0, "A.00    "},
      {&kvb, 12, std::string(116, ' ')},
      {&kvb, 128, "LA:Rose            \r"},
      {&kvb, 266, std::string("\x01\x02\x00\x00", 4)},
      {&kvb, 522, "\rDA:"},
      {&kvb, 526, std::string("E\xFF\x00\x00 P\x00\x00\xFF ", 10)},
      {&kvb, 536, std::string(350, ' ')},
      {&kvb, 886, "\r\x1A"},
      {&kvb, 888, std::string(648, ' ')},
      {&kvb, kvb.size() - 1, "\x1A"},
      {&kvc, 0, "1.00KVC "},
      {&kvc, 12, std::string(12, ' ')},
      {&kvc, 31, "  " + sectionsAt + "0000790 0" + std::string(15, ' ')},  // CT0; no attachment
      {&kvc, 64, "0" + std::string(15, ' ')},                              // no LT0
      {&kvc, 96, "0       0000000 1"},                                     // no fifth section; TT0
      {&kvc, 127, " "},
      {&kvc, sections - 1, "\x1A"},
      {&kvc, 128, "LA:Rose            \r"},  // the design path names it
  };
  for (const Field& f : fields) {
    ASSERT_LE(f.at + f.bytes.size(), f.file->size());
    EXPECT_EQ(f.file->substr(f.at, f.bytes.size()), f.bytes)
        << (f.file == &kvb ? "KVB " : "KVC ") << f.at;
  }
  // The TT0 section: blanks, the key, one entry, the end mark.
  const std::size_t tt0 = std::stoul(kvc.substr(113, 7), nullptr, 16);
  ASSERT_EQ(std::stoul(kvc.substr(120, 7), nullptr, 16), 1024u + 4 + 96 + 1);
  EXPECT_EQ(kvc.substr(tt0 + 1024, 4), "AT2:");
  EXPECT_EQ(kvc.substr(tt0 + 1028, 26), "first run               12");
  EXPECT_EQ(kvc.substr(tt0 + 1028 + 35, 3), "345");
  EXPECT_EQ(kvc.substr(tt0 + 1028 + 95, 2), "\r\x1A");
  const ReadBack r = readContainer(path("c.KVC"), true);
  ASSERT_EQ(r.result, kKvbReadOk);
  ASSERT_EQ(r.times.length(), 1);
  EXPECT_EQ(r.times(0), entry);
}

// Real designs through both containers keep their penetrations, colour changes, needle-bar
// data, head grouping and repeat settings.
TEST_F(KvbFileTest, SamplesRoundTrip) {
  const char* samples[] = {"catalogue__Bean.dst", "emodder__Star.DST", "catalogue__Cake_3.dst"};
  for (const char* sample : samples) {
    const auto source = std::filesystem::path(STITCHKIT_SAMPLES_DIR) / "dst" / sample;
    HXArray<HStitch> original;
    StitchStats stats;
    double scale = 0;
    ASSERT_EQ(decodeFile(fromNativePath(source.string()), original, stats, scale, nullptr, nullptr,
                         nullptr, nullptr),
              kReadOk)
        << sample;
    for (const char* name : {"S.KVB", "S.KVC", "S.EDF"}) {
      const bool kvc = std::string(name) == "S.KVC";
      HXArray<HStitch> asWritten = original;
      ThreadPalette palette;
      for (int i = 0; i < 12; ++i) {
        palette.add(ThreadProperty(ThreadProperty::rgb(20 * i, 255 - 20 * i, 7), L"", L"", L""));
      }
      ASSERT_EQ(write(name, asWritten, palette, {}, twoHeads(), repeating()), kWriteOk) << sample;
      StitchOptions options;
      options.setFileFormat(kFormatKvb);

      const ReadBack r = readContainer(path(name), kvc);
      ASSERT_EQ(r.result, kKvbReadOk) << sample << name;
      EXPECT_EQ(penetrations(r.stitches), penetrations(original)) << sample << name;
      // The machine has 18 plain needles: a 19th colour block goes back to needle 1.
      std::vector<int> colours = colourSequence(asWritten);
      for (int& colour : colours)
        colour %= 18;
      EXPECT_EQ(colourSequence(r.stitches), colours) << sample << name;
      EXPECT_EQ(r.palette.length(), 12) << sample << name;
      auto before = std::make_unique<NeedleBarData>();
      auto after = std::make_unique<NeedleBarData>();
      StitchArrayWrapper w1(asWritten);
      StitchArrayWrapper w2(const_cast<HXArray<HStitch>&>(r.stitches));
      before->setNeedleBarData(w1, options, nullptr, -1);
      after->setNeedleBarData(w2, options, nullptr, -1);
      EXPECT_EQ(after->count, before->count) << sample << name;
      EXPECT_EQ(after->ns1, before->ns1) << sample << name;
      const HeadGrouping heads = twoHeads();
      EXPECT_EQ(r.grouping.type, heads.type) << sample << name;
      EXPECT_EQ(r.grouping.headCount, heads.headCount) << sample << name;
      EXPECT_EQ(r.grouping.patterns[1].elements, heads.patterns[1].elements) << sample << name;
      const MachineRepeatSettings repeat = repeating();
      EXPECT_EQ(r.repeat.enabled, repeat.enabled) << sample << name;
      EXPECT_EQ(r.repeat.direction, repeat.direction) << sample << name;
      EXPECT_EQ(r.repeat.firstCount, repeat.firstCount) << sample << name;
      EXPECT_EQ(r.repeat.secondCount, repeat.secondCount) << sample << name;
      EXPECT_DOUBLE_EQ(r.repeat.firstOffset, repeat.firstOffset) << sample << name;
      EXPECT_DOUBLE_EQ(r.repeat.secondOffset, repeat.secondOffset) << sample << name;

      // The reading entry point takes the same route (a package goes to the general loader).
      if (std::string(name) == "S.EDF") continue;
      HXArray<HStitch> viaEntry;
      ASSERT_EQ(decodeFile(path(name), viaEntry, stats, scale, nullptr, nullptr, nullptr, nullptr),
                kReadOk)
          << sample << name;
      EXPECT_EQ(penetrations(viaEntry), penetrations(original)) << sample << name;
    }
  }
}

}  // namespace
}  // namespace stitchkit
