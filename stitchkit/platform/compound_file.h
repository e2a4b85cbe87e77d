#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Reading one stream of a structured-storage compound file (the container some design formats
// keep their parts in): the file is a FAT-like table of fixed-size sectors, a directory of
// 128-byte entries kept as a tree, and a mini stream of 64-byte sectors for small streams.
//
// Only reading, and only what a caller asks for: the header is checked, the stream is found
// among the root storage's children, and its sector chain is followed. Every sector number and
// length read from the file is checked against the file's size, and every chain walk is
// bounded by the number of sectors, so a damaged or hostile file fails instead of looping or
// reading outside the bytes given.
namespace stitchkit {

// Results of readCompoundStream.
inline constexpr int kCompoundOk = 0;
inline constexpr int kCompoundNotCompound = 1;  // no compound-file header, or one that is not
                                                // consistent with the file
inline constexpr int kCompoundNoStream = 2;     // the root storage has no stream of that name
inline constexpr int kCompoundBroken = 3;       // a sector chain or the directory is damaged

// The largest file readCompoundStream is given by the file-level readers (bytes).
inline constexpr std::size_t kMaxCompoundFileSize = 64u << 20;

// Copies the stream `name` (compared without regard to ASCII case, as the format does) of the
// root storage of the compound file `file` into `stream`. `stream` is changed only on success.
int readCompoundStream(std::span<const std::uint8_t> file, std::u16string_view name,
                       std::vector<std::uint8_t>& stream);

}  // namespace stitchkit
