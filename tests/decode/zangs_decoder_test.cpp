#include "stitchkit/decode/zangs_decoder.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "stitchkit/decode/zangs_records.h"
#include "tests/decode/decode_test_support.h"

namespace stitchkit {
namespace {

using namespace decode_test;  // NOLINT(google-build-using-namespace)
using Codes = std::vector<int>;
using Points = std::vector<std::pair<int, int>>;

// Every hard record of `bytes`, as (code, x, y, colour).
std::vector<std::vector<int>> readDsz(const Bytes& bytes, int* result = nullptr,
                                      HCoord<short> start = {0, 0}, int needle = 1) {
  StitchDecoderOptions o = readOptions(kFormatDsz);
  const Decoded d = readHard<ZangsStitchDecoder>(bytes, o, start, needle, 0);
  if (result != nullptr) *result = d.result;
  std::vector<std::vector<int>> out;
  for (const HStitch& s : d.stitches)
    out.push_back({s.getFlags(), s.xval(), s.yval(), s.getColor()});
  return out;
}

using Records = std::vector<std::vector<int>>;

TEST(ZangsRecords, WellFormedNeedsTopBitOnlyInTheThirdByteAndDirectionBitsSignEachAxis) {
  const struct {
    unsigned char b0, b1, b2;
    bool wellFormed;
  } layout[] = {{0x00, 0x00, 0x80, true},  {0x7F, 0x7F, 0xFF, true},  {0x05, 0x03, 0xE0, true},
                {0x00, 0x00, 0x00, false}, {0x00, 0x00, 0x7F, false}, {0x80, 0x00, 0x80, false},
                {0x00, 0x80, 0x80, false}, {0xFF, 0xFF, 0xFF, false}};
  for (const auto& r : layout)
    EXPECT_EQ(zangs::isWellFormed(r.b0, r.b1, r.b2), r.wellFormed) << std::hex << int{r.b2};

  const std::pair<Bytes, std::pair<int, int>> moves[] = {
      {{0x05, 0x03, 0x80}, {3, -5}},     {{0x05, 0x03, 0xE0}, {-3, 5}},
      {{0x05, 0x03, 0xC0}, {-3, -5}},    {{0x05, 0x03, 0xA0}, {3, 5}},
      {{0x7F, 0x7F, 0x80}, {127, -127}}, {{0x7F, 0x7F, 0xE0}, {-127, 127}},
      {{0x00, 0x00, 0xE0}, {0, 0}},      {{0x00, 0x01, 0x81}, {1, 0}},
      {{0x01, 0x00, 0xA1}, {0, 1}},      {{0x40, 0x40, 0xC1}, {-64, -64}},
  };
  for (const auto& [bytes, move] : moves) {
    // A first record so that the one under test moves from a point that is not the start.
    const Records r = readDsz(cat({{0x02, 0x01, 0x80}, bytes}), nullptr, {100, 200});
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ((std::vector<int>{r[0][1], r[0][2], r[1][1], r[1][2]}),
              (std::vector<int>{101, 198, 101 + move.first, 198 + move.second}))
        << testing::PrintToString(bytes);
  }
}

TEST(ZangsDecoderRecords, EveryCommandDecodesToItsCodeAndMoves) {
  // Each command moving (-3, +5), read on needle 4 outside sequin mode, and a jump after it
  // (which is no extension of the needle changes 18 and 19).
  const std::pair<int, int> rows[] = {
      {StitchCode::Normal, 3},       {StitchCode::Jump, 3},         {StitchCode::Stop, 3},
      {StitchCode::Stop, 3},         {StitchCode::ChangeNeedle, 0}, {StitchCode::ChangeNeedle, 0},
      {StitchCode::ChangeNeedle, 1}, {StitchCode::ChangeNeedle, 1}, {StitchCode::ChangeNeedle, 2},
      {StitchCode::ChangeNeedle, 2}, {StitchCode::ChangeNeedle, 3}, {StitchCode::ChangeNeedle, 3},
      {StitchCode::ChangeNeedle, 4}, {StitchCode::ChangeNeedle, 4}, {StitchCode::ChangeNeedle, 5},
      {StitchCode::ChangeNeedle, 5}, {StitchCode::DesignEnd, 3},    {StitchCode::DesignEnd, 3},
      {StitchCode::ChangeNeedle, 6}, {StitchCode::ChangeNeedle, 6}, {StitchCode::SequinStart, 3},
      {StitchCode::Stop, 3},         {StitchCode::UpperTrim, 3},    {StitchCode::UpperTrim, 3},
      {StitchCode::Stop, 3},         {StitchCode::Stop, 3},         {StitchCode::Trim, 3},
      {StitchCode::Trim, 3},         {StitchCode::BorerIn, 3},      {StitchCode::BorerIn, 3},
      {StitchCode::BorerOut, 3},     {StitchCode::BorerOut, 3},
  };
  for (int command = 0; command < 32; ++command) {
    const Bytes record = {0x05, 0x03, static_cast<unsigned char>(0xE0 | command)};
    const auto [code, colour] = rows[command];
    EXPECT_EQ(readDsz(cat({record, {0x00, 0x01, 0x81}}), nullptr, {10, 10}, 4),
              (Records{{code, 7, 15, colour}, {StitchCode::Jump, 8, 15, 3}}))
        << "command " << command;
  }
}

TEST(ZangsDecoderRecords, GoldenRecordsOfEachKind) {
  // clang-format off
  const struct {
    const char* what;
    Bytes bytes;
    Records records;
    int result;
  } rows[] = {
      {"needle 3", {0x00, 0x00, 0x88}, {{2, 0, 0, 2}}, kDecodeEnd},
      {"the end", {0x00, 0x00, 0x91}, {{7, 0, 0, 0}}, kDecodeEnd},
      {"92 8A: needle 11", {0x00, 0x00, 0x92, 0x00, 0x00, 0x8A}, {{2, 0, 0, 10}}, kDecodeEnd},
      {"92 81: needle 7, then the jump", {0x00, 0x00, 0x92, 0x00, 0x00, 0x81}, {{2, 0, 0, 6}, {1, 0, 0, 0}}, kDecodeEnd},
      {"the jump keeps its own move", {0x01, 0x02, 0x92, 0x03, 0x04, 0xE1}, {{2, 2, -1, 6}, {1, -2, 2, 0}}, kDecodeEnd},
      {"an extension's move adds up", {0x01, 0x02, 0x92, 0x03, 0x04, 0xE5}, {{2, -2, 2, 7}}, kDecodeEnd},
      {"92 92: needle 14", {0x00, 0x00, 0x92, 0x00, 0x00, 0x92}, {{2, 0, 0, 13}}, kDecodeEnd},
      {"93 93: needle 14", {0x00, 0x00, 0x93, 0x00, 0x00, 0x93}, {{2, 0, 0, 13}}, kDecodeEnd},
      {"93 8F: needle 13", {0x00, 0x00, 0x93, 0x00, 0x00, 0x8F}, {{2, 0, 0, 12}}, kDecodeEnd},
      {"92 84: needle 8", {0x00, 0x00, 0x92, 0x00, 0x00, 0x84}, {{2, 0, 0, 7}}, kDecodeEnd},
      {"an end is no extension", {0x00, 0x00, 0x93, 0x00, 0x00, 0x90}, {{2, 0, 0, 6}, {7, 0, 0, 0}}, kDecodeEnd},
      {"no extension", {0x00, 0x00, 0x92}, {{2, 0, 0, 6}}, kDecodeEnd},
      {"a truncated extension", {0x00, 0x00, 0x92, 0x00, 0x00}, {{2, 0, 0, 6}}, kDecodeEnd},
      {"a malformed extension", {0x00, 0x00, 0x92, 0x85, 0x00, 0x88}, {{2, 0, 0, 6}}, kDecodeMalformed},
      {"an extension without its top bit", {0x00, 0x00, 0x92, 0x00, 0x00, 0x08}, {{2, 0, 0, 6}}, kDecodeMalformed},
      // Alignment: leading bytes without the top bit are skipped.
      {"zero bytes only", {0x00, 0x00, 0x00, 0x00, 0x00}, {}, kDecodeEnd},
      {"a record without its top bit", {0x05, 0x03, 0x00}, {}, kDecodeEnd},
      {"junk first", {0x11, 0x22, 0x33, 0x05, 0x03, 0x80, 0x01, 0x01, 0xA0}, {{0, 3, -5, 0}, {0, 4, -4, 0}}, kDecodeEnd},
      {"a record of one byte", {0x81, 0x05, 0x03, 0x80}, {{1, 0, 0, 0}, {0, 3, -5, 0}}, kDecodeEnd},
      {"a leading top bit ends the record", {0x85, 0x03, 0x80}, {{2, 0, 0, 0}}, kDecodeEnd},
      {"a truncated second record", {0x05, 0x03, 0x80, 0x05}, {{0, 3, -5, 0}}, kDecodeEnd},
      {"a malformed b0", {0x05, 0x03, 0x80, 0x85, 0x03, 0x80}, {{0, 3, -5, 0}}, kDecodeMalformed},
      {"a malformed b1", {0x05, 0x03, 0x80, 0x05, 0x83, 0x80}, {{0, 3, -5, 0}}, kDecodeMalformed},
      {"a b2 without top bit", {0x05, 0x03, 0x80, 0x05, 0x03, 0x00}, {{0, 3, -5, 0}}, kDecodeMalformed},
  };
  // clang-format on
  for (const auto& r : rows) {
    int result = -1;
    EXPECT_EQ(readDsz(r.bytes, &result), r.records) << r.what;
    EXPECT_EQ(result, r.result) << r.what;
  }
}

TEST(ZangsDecoderRecords, SequinStateSwitchesCommandsTwentyAndThirtyUntilTheNextDesign) {
  // 20, 20, 30: start, drop, end; then 30 outside sequin mode pulls the borer out and 20
  // starts sequins again; 31 ends them like 30.
  const Records r = readDsz({0x00, 0x01, 0x94, 0x00, 0x01, 0x94, 0x00, 0x01, 0x9E, 0x00, 0x01, 0x9E,
                             0x00, 0x01, 0x94, 0x00, 0x01, 0x9F});
  Codes codes;
  for (const auto& record : r)
    codes.push_back(record[0]);
  EXPECT_EQ(codes, (Codes{18, 20, 19, 9, 18, 19}));

  // A new design starts outside sequin mode and aligns again.
  StitchDecoderOptions o = readOptions(kFormatDsz);
  RecordReader<ZangsStitchDecoder> reader(o);
  const Bytes first = {0x00, 0x01, 0x94, 0x00, 0x00};  // sequin start, then a partial record
  const Bytes second = {0x01, 0x00, 0x01, 0x94};       // junk, then sequin start again
  for (const Bytes* bytes : {&first, &second}) {
    MemoryInputBytestream stream(*bytes);
    reader.setBytestream(stream);
    ASSERT_EQ(reader.beginDesign({0, 0}, 1), kDecodeOk);
    HStitch s;
    ASSERT_EQ(reader.readRecord(s), kDecodeOk);
    EXPECT_EQ(s.getFlags(), StitchCode::SequinStart);
    EXPECT_EQ(reader.readRecord(s), kDecodeEnd);
  }
}

TEST(ZangsDecoderDesign, NeedleChangesAndCommandsReachTheCaller) {
  // stitch, needle 11 through an extension, stitch, needle 7 followed by a jump and a stitch,
  // trim, stitch, end.
  const Bytes bytes = cat({{0x05, 0x03, 0x80},
                           {0x00, 0x00, 0x92, 0x00, 0x00, 0x8A},
                           {0x00, 0x02, 0x80},
                           {0x00, 0x00, 0x93, 0x00, 0x00, 0x81},
                           {0x01, 0x01, 0xA0},
                           {0x00, 0x00, 0x9B},
                           {0x00, 0x02, 0xC0},
                           {0x00, 0x00, 0x90}});
  StitchDecoderOptions o = readOptions(kFormatDsz);
  const Decoded d = decodeWith<ZangsStitchDecoder>(bytes, o, {0, 0}, 1, 0);
  EXPECT_EQ(d.codes(), (Codes{0, 2, 0, 2, 1, 0, 3, 0, 7}));
  EXPECT_EQ(d.colours(), (Codes{0, 10, 10, 6, 6, 6, 6, 6, 6}));
  EXPECT_EQ(
      d.points(),
      (Points{{3, -5}, {3, -5}, {5, -5}, {5, -5}, {5, -5}, {6, -4}, {6, -4}, {4, -4}, {4, -4}}));
  // A failure while reading an extension record is a failure.
  ScriptedStream failing({0x05, 0x03, 0x80, 0x00, 0x00, 0x92, 0x00}, {kStreamFailure});
  ZangsStitchDecoder decoder(o);
  decoder.setBytestream(failing);
  EXPECT_EQ(runDecoder(decoder).result, kDecodeFailure);
}

}  // namespace
}  // namespace stitchkit
