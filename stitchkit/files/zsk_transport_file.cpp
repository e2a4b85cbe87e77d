#include "stitchkit/files/zsk_transport_file.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <vector>

#include "stitchkit/decode/zsk_transport_decoder.h"
#include "stitchkit/filter/stitch_filter.h"
#include "stitchkit/formats/disk_file_format.h"
#include "stitchkit/platform/bytestream.h"
#include "stitchkit/platform/h_file.h"

namespace stitchkit {
namespace {

using namespace zsk;

void putText(std::uint8_t* at, const std::string& text, std::size_t size) {
  std::memcpy(at, text.data(), std::min(text.size(), size));
}

// ANSI text of a fixed field: up to the first zero byte, trailing blanks removed.
HString fieldText(const std::uint8_t* at, std::size_t size) {
  std::size_t length = 0;
  while (length < size && at[length] != 0)
    ++length;
  while (length > 0 && at[length - 1] == ' ')
    --length;
  return mbsToWide(std::string(reinterpret_cast<const char*>(at), length), kCodePageAnsi);
}

std::string trimmed(const std::uint8_t* at, std::size_t size) {
  return strToUtf8(fieldText(at, size));
}

ZSKNeedle needleOf(const ThreadProperty& thread, int number) {
  ZSKNeedle needle;
  std::uint8_t* b = needle.bytes.data();
  b[0] = 0;
  b[kNeedleNumberOffset] = static_cast<std::uint8_t>(number);
  b[kNeedleColourOffset] = static_cast<std::uint8_t>(thread.red());
  b[kNeedleColourOffset + 1] = static_cast<std::uint8_t>(thread.green());
  b[kNeedleColourOffset + 2] = static_cast<std::uint8_t>(thread.blue());
  putText(b + kNeedleNameOffset, encodeWithin(thread.name, kNeedleNameSize, kCodePageAnsi),
          kNeedleNameSize);
  putText(b + kNeedleCodeOffset, encodeWithin(thread.code, kNeedleCodeSize, kCodePageAnsi),
          kNeedleCodeSize);
  putText(b + kNeedleMakerOffset,
          encodeWithin(thread.manufacturer, kNeedleMakerSize, kCodePageAnsi), kNeedleMakerSize);
  b[kNeedleEndOffset] = 0;
  return needle;
}

void writeFraming(std::ostream& out, std::size_t length, std::uint8_t type) {
  const char framing[kFramingSize] = {static_cast<char>(kFramedClass),
                                      static_cast<char>(length >> 8), static_cast<char>(length),
                                      static_cast<char>(type)};
  out.write(framing, kFramingSize);
}

void writeBytes(std::ostream& out, const std::uint8_t* bytes, std::size_t count) {
  out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
}

// Loads the whole file: kZskReadOk, kZskReadCannotOpen, or kZskReadDecodeFailed for an empty
// file or one above the decoder's cap (which is not read).
int loadFile(const HString& path, std::vector<std::uint8_t>& bytes) {
  std::error_code ec;
  const std::string native = toNativePath(path);
  if (std::filesystem::is_directory(native, ec)) return kZskReadCannotOpen;
  std::ifstream in(native, std::ios::binary);
  if (!in) return kZskReadCannotOpen;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0 ||
      static_cast<unsigned long long>(size) > ZSKTransportStitchDecoder::kMaxLoadedBytes) {
    return kZskReadDecodeFailed;
  }
  in.seekg(0);
  bytes.resize(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
  return in ? kZskReadOk : kZskReadDecodeFailed;
}

}  // namespace

void makeZSKTransportHeader(ZSKTransportHeader& header, const HString& path,
                            const StitchStats& stats, const StitchOptions& options,
                            std::time_t when) {
  header = ZSKTransportHeader();
  std::uint8_t* b = header.bytes.data();
  b[0] = 0;
  std::copy(kTag.begin(), kTag.end(), b + kTagOffset);
  HString drive;
  HString dir;
  HString name;
  HString ext;
  StringUtils::splitPath(path, drive, dir, name, ext);
  // The two characters after the dot, for an extension that has them.
  if (const HMultiByteString e = writeOldWideToMbs(ext.wide()); e.size() >= 3) {
    b[kExtensionOffset] = static_cast<std::uint8_t>(e[1]);
    b[kExtensionOffset + 1] = static_cast<std::uint8_t>(e[2]);
  }
  b[kVersionOffset] = '1';
  putText(b + kNameOffset, encodeWithin(name, kNameSize, kCodePageAnsi), kNameSize);
  header.put16(kZeroWordOffset, 0);
  std::tm local{};
  localtime_r(&when, &local);
  char date[kDateSize + 1];
  std::strftime(date, sizeof date, "%d.%m.%Y%H:%M", &local);
  for (std::size_t at : kDateOffsets)
    putText(b + at, date, kDateSize);
  header.put16(kMinRealLengthOffset, static_cast<std::uint16_t>(options.getMinRealLength()));
  header.put16(kMaxRealLengthOffset, static_cast<std::uint16_t>(options.getMaxRealLength()));
  header.put32(kStitchCountOffset, static_cast<std::uint32_t>(stats.stitchCount));
  header.put16(kMinOffset, static_cast<std::uint16_t>(stats.minX));
  header.put16(kMinOffset + 2, static_cast<std::uint16_t>(stats.minY));
  header.put16(kMaxOffset, static_cast<std::uint16_t>(stats.maxX));
  header.put16(kMaxOffset + 2, static_cast<std::uint16_t>(stats.maxY));
  header.put16(kEndOffset, static_cast<std::uint16_t>(stats.endX));
  header.put16(kEndOffset + 2, static_cast<std::uint16_t>(stats.endY));
  header.put16(kTrailingZeroOffset, 0);
}

ThreadPalette paletteFromZSKNeedles(const HList<ZSKNeedle>& needles) {
  ThreadPalette palette;
  for (const ZSKNeedle& needle : needles) {
    const std::uint8_t* b = needle.bytes.data();
    palette.add(
        ThreadProperty(ThreadProperty::rgb(b[kNeedleColourOffset], b[kNeedleColourOffset + 1],
                                           b[kNeedleColourOffset + 2]),
                       fieldText(b + kNeedleNameOffset, kNeedleNameSize),
                       fieldText(b + kNeedleCodeOffset, kNeedleCodeSize),
                       fieldText(b + kNeedleMakerOffset, kNeedleMakerSize)));
  }
  return palette;
}

int makeZSKTransportFile(const HString& path, const HString& designPath, StitchWrapper& stitches,
                         const ThreadPalette& palette, const StitchOptions* options, int trace,
                         StitchStats* written) {
  if (options == nullptr || options->getFileFormat() != kFormatZskTransport) {
    return kZskWriteWrongFormat;
  }
  try {
    std::ofstream out(toNativePath(path), std::ios::binary | std::ios::trunc);
    if (!out) return kZskWriteFailed;
    StitchFilter filter(stitches);
    filter.setTraceDesign(trace);
    const std::time_t now = std::time(nullptr);
    ZSKTransportHeader header;
    // The header holds its place until the figures of what was written are known; asking the
    // filter for its statistics before encoding would cost a pass over the whole design.
    makeZSKTransportHeader(header, designPath, StitchStats(), *options, now);
    writeFraming(out, kHeaderLength, kHeaderType);
    writeBytes(out, header.bytes.data(), kHeaderSize);

    const int threads = std::min(palette.length(), kMaxNeedles);
    if (threads > 0) {
      writeFraming(out, kNeedleSize * static_cast<std::size_t>(threads) + 1, kThreadTableType);
      for (int i = 0; i < threads; ++i)
        writeBytes(out, needleOf(palette[i], i + 1).bytes.data(), kNeedleSize);
    }
    if (!out) return kZskWriteFailed;

    {
      FileOutputBytestream stream(out);
      const int encoded = filter.encodeStitches(*options, &stream);
      if (stream.flush() != kStreamOk || stream.systemError() != 0 || !out) return kZskWriteFailed;
      if (encoded != kFilterOk) return kZskWriteEncodeFailed;
    }
    const StitchStats& stats = filter.getStats();
    makeZSKTransportHeader(header, designPath, stats, *options, now);
    out.seekp(kFramingSize);
    writeBytes(out, header.bytes.data(), kHeaderSize);
    out.close();
    if (!out) return kZskWriteFailed;
    if (written != nullptr) *written = stats;
    return kZskWriteOk;
  } catch (const std::exception&) {
    return kZskWriteFailed;
  }
}

int decodeZSKTransportFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                           StitchStats& stats, ThreadPalette* palette) {
  if (options.getFileFormat() != kFormatZskTransport) return kZskReadWrongFormat;
  try {
    std::error_code ec;
    const std::string native = toNativePath(path);
    if (std::filesystem::is_directory(native, ec)) return kZskReadCannotOpen;
    std::ifstream in(native, std::ios::binary);
    if (!in) return kZskReadCannotOpen;
    FileInputBytestream stream(in);
    StitchFilter filter(stitches);
    const int r = filter.decodeStitches(options, 1, stream);
    if (r == kFilterNoCoder) return kZskReadWrongFormat;
    if (r != kFilterOk) return kZskReadDecodeFailed;
    const auto* decoder = dynamic_cast<const ZSKTransportStitchDecoder*>(filter.getDecoder());
    if (decoder == nullptr) return kZskReadWrongFormat;
    if (palette != nullptr) *palette = paletteFromZSKNeedles(decoder->getZSKNeedleInfo());
    stats = filter.getStats();
    return kZskReadOk;
  } catch (const std::exception&) {
    return kZskReadDecodeFailed;
  }
}

int decodeZSKTransportFile(const HString& path, HXArray<HStitch>& stitches, StitchOptions& options,
                           StitchStats& stats, ThreadPalette* palette) {
  StitchArrayWrapper wrapper(stitches);
  return decodeZSKTransportFile(path, wrapper, options, stats, palette);
}

ZSKTransportDesignInfo describeZSKTransportHeader(const ZSKTransportHeader& header) {
  const std::uint8_t* b = header.bytes.data();
  ZSKTransportDesignInfo info;
  info.tagged = header.hasTag();
  info.name = trimmed(b + kNameOffset, kNameSize);
  info.written = trimmed(b + kDateOffsets[0], kDateSize);
  if (!info.tagged) return info;
  info.minRealLength = header.i16(kMinRealLengthOffset);
  info.maxRealLength = header.i16(kMaxRealLengthOffset);
  info.stitchCount = header.u32(kStitchCountOffset);
  info.minX = header.i16(kMinOffset);
  info.minY = header.i16(kMinOffset + 2);
  info.maxX = header.i16(kMaxOffset);
  info.maxY = header.i16(kMaxOffset + 2);
  info.endX = header.i16(kEndOffset);
  info.endY = header.i16(kEndOffset + 2);
  return info;
}

int readZSKTransportDescription(const HString& path, ZSKTransportHeader& header,
                                HList<ZSKNeedle>& needles) {
  try {
    std::vector<std::uint8_t> bytes;
    if (const int r = loadFile(path, bytes); r != kZskReadOk) return r;
    ZSKTransportHeader read;
    HList<ZSKNeedle> listed;
    readLeadingRecords(bytes, read, listed);
    if (read.bytes == ZSKTransportHeader().bytes) return kZskReadDecodeFailed;
    header = read;
    needles = std::move(listed);
    return kZskReadOk;
  } catch (const std::exception&) {
    return kZskReadDecodeFailed;
  }
}

}  // namespace stitchkit
