#include "stitchkit/formats/disk_file_format.h"

#include <algorithm>

namespace stitchkit {
namespace {

using F = DiskFormatFamily;
using E = std::array<std::string_view, 3>;
using L = std::array<std::string_view, 5>;

// Read from, written as and filters of every code. Several rows break the pattern on
// purpose: the combined "*.DST; *.KRV; *.KVB; *.KVC" filter selects 0; ".zsk" reads as the
// DSZ family (3), not the ZSK transport file; code 10 writes ".exp", which reads as 2;
// ".pes" reads as 89, the last member of its family; ".sst" has no filter; filters are upper
// case except "*.twn" and "*.10o".
constexpr DiskFormatInfo kTable[] = {
    {kFormatDst, E{".krv", ".dst"}, 0, ".dst", L{"*.KRV", "*.DST", "*.DST; *.KRV; *.KVB; *.KVC"},
     F::kDst, "DST stitch file"},
    {kFormatDsb, E{".dsb", ".bar"}, 0, ".dsb", L{"*.DSB", "*.BAR", "*.DSB; *.BAR; *.DAT; *.U??"},
     F::kDsb, "Barudan stitch file"},
    {kFormatExp, E{".exp"}, 0, ".exp", L{"*.EXP"}, F::kNone, "Exp stitch file"},
    {kFormatDsz, E{".dsz", ".zsk"}, 0, ".dsz", L{"*.DSZ", "*.ZSK", "*.DSZ; *.ZSK"}, F::kDsz,
     "Zangs stitch file"},
    {HDiskFileFormat(4), E{}, 0, ".", L{}, F::kNone, ""},
    {HDiskFileFormat(5), E{".cnd"}, 0, ".cnd", L{"*.CND"}, F::kNone, ""},
    {kFormatDstVariant6, E{}, 0, ".dst", L{}, F::kDst, "DST stitch file"},
    {HDiskFileFormat(7), E{}, 0, ".", L{}, F::kNone, ""},
    {HDiskFileFormat(8), E{}, 0, ".", L{}, F::kNone, ""},
    {HDiskFileFormat(9), E{}, 0, ".", L{}, F::kNone, ""},
    {kFormatExpVariant10, E{}, 0, ".exp", L{}, F::kNone, ""},
    {HDiskFileFormat(11), E{".10o"}, 0, ".10o", L{"*.10o"}, F::kNone, ""},
    {HDiskFileFormat(12), E{".ksm"}, 0, ".ksm", L{"*.KSM"}, F::kNone, ""},
    {HDiskFileFormat(13), E{".tap"}, 0, ".tap", L{"*.TAP"}, F::kNone, ""},
    {kFormatNoExtension, E{"."}, 0, ".", L{"*."}, F::kNone, "file without extension"},
    {kFormatDstVariant15, E{}, 0, ".dst", L{}, F::kDst, "DST stitch file"},
    {kFormatDsbVariant16, E{}, 0, ".dsb", L{}, F::kDsb, "Barudan stitch file"},
    {kFormatDszVariant17, E{}, 0, ".dsz", L{}, F::kDsz, "Zangs stitch file"},
    {HDiskFileFormat(18), E{".pum", ".arc"}, 0, ".pum", L{"*.PUM", "*.ARC", "*.PUM; *.ARC"},
     F::kNone, ""},
    {HDiskFileFormat(19), E{".pat", ".t15"}, 0, ".pat", L{"*.PAT", "*.T15", "*.PAT; *.T15"},
     F::kNone, ""},
    {kFormatDstVariant20, E{}, 0, ".dst", L{}, F::kDst, "DST stitch file"},
    {kFormatDsbVariant21, E{}, 0, ".dsb", L{}, F::kDsb, "Barudan stitch file"},
    {HDiskFileFormat(22), E{".sew"}, 0, ".sew", L{"*.SEW"}, F::kNone, ""},
    {HDiskFileFormat(23), E{".hus"}, 0, ".hus", L{"*.HUS"}, F::kNone, ""},
    {HDiskFileFormat(24), E{".csd"}, 0, ".csd", L{"*.CSD"}, F::kNone, ""},
    {HDiskFileFormat(25), E{".xxx"}, 0, ".xxx", L{"*.XXX"}, F::kNone, ""},
    {HDiskFileFormat(26), E{".pec"}, 0, ".pec", L{"*.PEC"}, F::kNone, ""},
    {HDiskFileFormat(27), E{".jef", ".jef+"}, 0, ".jef", L{"*.JEF"}, F::kNone, ""},
    {HDiskFileFormat(28), E{".pcm", ".pcs"}, 0, ".pcm", L{"*.PCM", "*.PCS", "*.PCM; *.PCS"},
     F::kNone, ""},
    {kFormatEmb, E{".emb"}, 0, ".emb", L{"*.EMB"}, F::kNone, "EMB design exchange"},
    {kFormatHsf, E{".hsf", ".hch"}, 0, ".hsf", L{"*.HSF", "*.HCH", "*.HSF; *.HCH"}, F::kNone,
     "HSF stitch file"},
    {kFormatOutline, E{".hof", ".hed", ".kwk"}, 0, ".hof",
     L{"*.HOF", "*.HED", "*.KWK", "*.HED; *.KWK"}, F::kNone, "outline file (KWK header)"},
    {HDiskFileFormat(33), E{".hxf"}, 0, ".hxf", L{"*.HXF"}, F::kNone, ""},
    {kFormatDxf, E{".dxf"}, 0, "", L{"*.DXF"}, F::kNone, ""},
    {kFormatKvb, E{".kvb"}, 0, ".kvb", L{"*.KVB"}, F::kNone, "KVB container"},
    {HDiskFileFormat(37), E{".shv"}, 0, ".shv", L{"*.SHV"}, F::kNone, ""},
    {kFormatGnc, E{".gnc"}, 0, ".gnc", L{"*.GNC"}, F::kNone, "GN design exchange"},
    {HDiskFileFormat(40), E{".esx"}, 0, ".esx", L{"*.ESX"}, F::kNone, ""},
    {HDiskFileFormat(41), E{}, 0, ".pes", L{}, F::kPes, ""},
    {HDiskFileFormat(42), E{}, 0, ".pes", L{}, F::kPes, ""},
    {HDiskFileFormat(43), E{}, 0, ".pes", L{}, F::kPes, ""},
    {HDiskFileFormat(44), E{}, 0, ".pes", L{}, F::kPes, ""},
    {HDiskFileFormat(45), E{}, 0, ".pes", L{}, F::kPes, ""},
    {HDiskFileFormat(46), E{}, 0, ".pes", L{}, F::kPes, ""},
    {kFormatEmd, E{".emd"}, 0, ".emd", L{"*.EMD"}, F::kEmd, ""},
    {HDiskFileFormat(48), E{".las"}, 0, ".las", L{"*.LAS"}, F::kNone, ""},
    {HDiskFileFormat(49), E{".vip"}, 0, ".vip", L{"*.VIP"}, F::kNone, ""},
    {HDiskFileFormat(50), E{".ixp"}, 0, ".ixp", L{"*.IXP"}, F::kNone, ""},
    {HDiskFileFormat(51), E{".art"}, 0, ".art", L{"*.ART"}, F::kNone, ""},
    {kFormatZskTransport, E{}, 'Z', "", L{"*.Z??", "*.Z00"}, F::kNone, "ZSK transport file"},
    {HDiskFileFormat(53), E{}, 0, ".emd", L{}, F::kEmd, ""},
    {HDiskFileFormat(55), E{".vp3"}, 0, ".vp3", L{"*.VP3"}, F::kNone, ""},
    {HDiskFileFormat(56), E{}, 0, ".pes", L{}, F::kPes, ""},
    {HDiskFileFormat(57), E{}, 0, ".pes", L{}, F::kPes, ""},
    {kFormatDat, E{".dat"}, 0, ".dat", L{"*.DAT"}, F::kNone, ""},
    {kFormatU01, E{}, 'U', ".u01", L{"*.U??", "*.U01"}, F::kNone, ""},
    {kFormatKvc, E{".kvc"}, 0, ".kvc", L{"*.KVC"}, F::kNone, "KVC container"},
    {HDiskFileFormat(61), E{".sst"}, 0, ".sst", L{}, F::kNone, ""},
    {HDiskFileFormat(62), E{}, 0, ".pes", L{}, F::kPes, ""},
    {HDiskFileFormat(63), E{".ecs"}, 0, ".ecs", L{"*.ECS"}, F::kNone, ""},
    {HDiskFileFormat(64), E{".hcf"}, 0, ".hcf", L{"*.HCF"}, F::kNone, ""},
    {HDiskFileFormat(65), E{".embsplit"}, 0, "", L{}, F::kNone, ""},
    {HDiskFileFormat(66), E{".shf"}, 0, "", L{"*.SHF"}, F::kNone, ""},
    {HDiskFileFormat(67), E{".oldbrother"}, 0, "", L{}, F::kNone, ""},
    {HDiskFileFormat(68), E{".sxf"}, 0, ".sxf", L{"*.SXF"}, F::kNone, ""},
    {HDiskFileFormat(69), E{".gal"}, 0, ".gal", L{"*.GAL"}, F::kNone, ""},
    {HDiskFileFormat(70), E{".htf"}, 0, ".htf", L{"*.HTF"}, F::kNone, ""},
    {kFormatEdf, E{".edf"}, 0, ".edf", L{"*.EDF"}, F::kNone, "EDF package"},
    {kFormatTwn, E{".twn"}, 0, ".twn", L{"*.twn"}, F::kNone, ""},
    {HDiskFileFormat(73), E{".prj"}, 0, ".prj", L{"*.PRJ"}, F::kNone, ""},
    {HDiskFileFormat(74), E{".was"}, 0, ".was", L{"*.WAS"}, F::kNone, ""},
    {HDiskFileFormat(75), E{".cse"}, 0, ".cse", L{"*.CSE"}, F::kNone, ""},
    {HDiskFileFormat(76), E{}, 0, ".pes", L{}, F::kPes, ""},
    {HDiskFileFormat(77), E{".hbf"}, 0, ".hbf", L{"*.HBF"}, F::kNone, ""},
    {HDiskFileFormat(78), E{".jds"}, 0, ".jds", L{"*.JDS"}, F::kNone, ""},
    {HDiskFileFormat(79), E{".jdx"}, 0, ".jdx", L{"*.JDX"}, F::kNone, ""},
    {HDiskFileFormat(80), E{".dsg"}, 0, ".dsg", L{"*.DSG"}, F::kNone, ""},
    {HDiskFileFormat(81), E{".cqp"}, 0, ".cqp", L{"*.CQP"}, F::kNone, ""},
    {HDiskFileFormat(82), E{".hqf"}, 0, ".hqf", L{"*.HQF"}, F::kNone, ""},
    {HDiskFileFormat(83), E{".iqp"}, 0, ".iqp", L{"*.IQP"}, F::kNone, ""},
    {HDiskFileFormat(84), E{".plt"}, 0, ".plt", L{"*.PLT"}, F::kNone, ""},
    {HDiskFileFormat(85), E{".ssd"}, 0, ".ssd", L{"*.SSD"}, F::kNone, ""},
    {HDiskFileFormat(86), E{".qli"}, 0, ".qli", L{"*.QLI"}, F::kNone, ""},
    {HDiskFileFormat(87), E{".txt"}, 0, ".txt", L{"*.TXT"}, F::kNone, ""},
    {HDiskFileFormat(88), E{".bqm"}, 0, ".bqm", L{"*.BQM"}, F::kNone, ""},
    {kFormatPes, E{".pes"}, 0, ".pes", L{"*.PES"}, F::kPes, "PES family"},
};

constexpr bool tableIsInCodeOrder() {
  for (std::size_t i = 1; i < std::size(kTable); ++i) {
    if (kTable[i - 1].code >= kTable[i].code) return false;
  }
  return true;
}
static_assert(tableIsInCodeOrder(), "the format table is kept in code order for lookup");

}  // namespace

std::span<const DiskFormatInfo> diskFormatTable() {
  return kTable;
}

const DiskFormatInfo* findDiskFormat(std::int32_t code) {
  const auto* end = std::end(kTable);
  const auto* it =
      std::lower_bound(std::begin(kTable), end, code,
                       [](const DiskFormatInfo& row, std::int32_t c) { return row.code < c; });
  return it != end && it->code == code ? it : nullptr;
}

DiskFormatFamily diskFormatFamily(std::int32_t code) {
  const DiskFormatInfo* row = findDiskFormat(code);
  return row ? row->family : DiskFormatFamily::kNone;
}

std::string_view diskFormatFamilyName(DiskFormatFamily family) {
  switch (family) {
    case DiskFormatFamily::kDst:
      return "DST";
    case DiskFormatFamily::kDsb:
      return "DSB";
    case DiskFormatFamily::kDsz:
      return "DSZ";
    case DiskFormatFamily::kPes:
      return "PES";
    case DiskFormatFamily::kEmd:
      return "EMD";
    case DiskFormatFamily::kNone:
      break;
  }
  return "";
}

}  // namespace stitchkit
