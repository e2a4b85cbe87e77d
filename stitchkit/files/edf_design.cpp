#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "stitchkit/files/edf_package.h"
#include "stitchkit/files/edf_package_internal.h"
#include "stitchkit/files/edf_records.h"
#include "stitchkit/platform/h_file.h"
#include "stitchkit/platform/replacement_file.h"

// Designs to and from EDF packages, through a KVB file and its CT0 file in the temporary
// directory.
namespace stitchkit {
namespace {

using namespace edf;

// One member of a deciphered payload; `fits` false when the directory puts it past the end.
struct MemberPlace {
  std::size_t offset = 0;
  std::size_t length = 0;
  bool fits = true;
};

MemberPlace placeOf(const std::vector<unsigned char>& payload, std::size_t offsetField,
                    std::size_t lengthField) {
  MemberPlace place;
  place.offset = detail::edfNumber(payload.data(), offsetField);
  place.length = detail::edfNumber(payload.data(), lengthField);
  place.fits = place.length == 0 ||
               (place.offset <= payload.size() && place.length <= payload.size() - place.offset);
  return place;
}

bool writeTemporary(const HString& path, const unsigned char* head, std::size_t headSize,
                    const unsigned char* bytes, std::size_t size) {
  HFile out;
  return out.open(path, kGenericWrite, kCreateAlways, kShareRead) &&
         detail::writeFully(out, head, headSize) && detail::writeFully(out, bytes, size) &&
         out.close();
}

int decodePackage(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, ThreadPalette* palette, EdfMembers* members) {
  if (!fileExists(path)) return kKvbReadCannotOpen;
  std::vector<unsigned char> payload;
  if (!detail::decipherEnvelope(path, payload) || payload.size() < kDirectorySize) {
    return kKvbReadShort;
  }
  const std::size_t kvbEnd = detail::edfNumber(payload.data(), kKvbEndField);
  const MemberPlace ct0 = placeOf(payload, kCt0OffsetField, kCt0LengthField);
  if (kvbEnd < kDirectorySize || kvbEnd > payload.size() || !ct0.fits) return kKvbReadShort;
  if (members != nullptr) {
    *members = EdfMembers{kvbEnd - kDirectorySize, ct0.length, 0, 0};
    // An optional member is counted only where it lies inside the payload.
    for (auto [fields, length] :
         {std::pair{kGraphics, &members->graphics}, std::pair{kAd0, &members->ad0}}) {
      const MemberPlace place = placeOf(payload, fields.offset, fields.length);
      if (payload[fields.flag] == '1' && place.fits) *length = place.length;
    }
  }

  HTemporaryFileManager manager(HString(L"qvm"), 0);
  const HString base = manager.getFilePath();
  if (base.isEmpty()) return kKvbReadCannotOpen;
  const TemporaryFile reserved(base);
  const TemporaryFile kvb(base + HString(kKvbExtension));
  const TemporaryFile ct0File(base + HString(kCt0Extension));
  const std::vector<unsigned char> blank(kKvbHeaderArea, ' ');
  if (!writeTemporary(kvb.path(), blank.data(), blank.size(), payload.data() + kDirectorySize,
                      kvbEnd - kDirectorySize) ||
      (ct0.length > 0 &&
       !writeTemporary(ct0File.path(), nullptr, 0, payload.data() + ct0.offset, ct0.length))) {
    return kKvbReadCannotOpen;
  }
  std::vector<unsigned char>().swap(payload);

  const HDiskFileFormat format = options.getFileFormat();
  options.setFileFormat(kFormatKvb);
  HList<LT0LaserBlock> laserBlocks;
  const int r = decodeKVBFile(kvb.path(), stitches, options, stats, ct0Lines, grouping, repeat,
                              laserBlocks, palette, nullptr);
  options.setFileFormat(format);
  return r;
}

int writePackage(const KvbWriteRequest& request) {
  HString filePath;
  HString label;
  kvbOutputNames(request.path, request.designPath, filePath, label);
  HTemporaryFileManager manager(HString(L"qvm"), 0);
  const HString base = manager.getFilePath();
  if (base.isEmpty()) return kKvbWriteFailed;
  const TemporaryFile reserved(base);
  const TemporaryFile kvb(base + HString(kKvbExtension));
  // The KVB writer's side files, of which the package keeps the CT0 file only.
  const TemporaryFile ct0(base + HString(kCt0Extension));
  const TemporaryFile ct1(base + HString(L".CT1"));
  const TemporaryFile lt0(base + HString(L".LT0"));
  const TemporaryFile graphics(base + HString(kGraphicsExtension));

  StitchOptions options(request.options);
  options.setFileFormat(kFormatKvb);
  // The KVB writer takes the file-name part of the design path: the extension keeps a label
  // with a dot in it whole.
  const HString designName = label + HString(kKvbExtension);
  const KvbWriteRequest kvbRequest{
      kvb.path(),    designName,         request.stitches, request.palette, request.ct0Lines,
      options,       request.grouping,   request.first,    request.extra,   request.repeat,
      request.trace, request.asciiLabel, nullptr,          request.written};
  if (const int r = writeKVBFile(kvbRequest); r != kKvbWriteOk) return r;
  if (request.attachPath != nullptr && !request.attachPath->isEmpty() &&
      !HFile::copy(*request.attachPath, graphics.path(), false)) {
    return kKvbWriteFailed;
  }
  return makeEDFFromKVBandCT0(filePath, base) == kEdfOk ? kKvbWriteOk : kKvbWriteFailed;
}

}  // namespace

int decodeEDFFile(const HString& path, StitchWrapper& stitches, StitchOptions& options,
                  StitchStats& stats, HXArray<HString>& ct0Lines, HeadGrouping& grouping,
                  MachineRepeatSettings& repeat, ThreadPalette* palette, EdfMembers* members) {
  const HDiskFileFormat format = options.getFileFormat();
  if (format != kFormatEdf && format != kFormatKvb) return kKvbReadWrongFormat;
  try {
    return decodePackage(path, stitches, options, stats, ct0Lines, grouping, repeat, palette,
                         members);
  } catch (const std::exception&) {
    options.setFileFormat(format);
    return kKvbReadDecodeFailed;
  }
}

int writeEDFFile(const KvbWriteRequest& request) {
  const HDiskFileFormat format = request.options.getFileFormat();
  if (format != kFormatEdf && format != kFormatKvb) return kKvbWriteWrongFormat;
  try {
    return writePackage(request);
  } catch (const std::bad_alloc&) {
    return kKvbWriteNoMemory;
  } catch (const std::exception&) {
    return kKvbWriteFailed;
  }
}

}  // namespace stitchkit
