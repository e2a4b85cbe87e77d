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

}  // namespace
}  // namespace stitchkit
