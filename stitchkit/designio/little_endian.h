#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Little-endian numbers in a design file's bytes. Readers check the length before reading.
namespace stitchkit::le {

inline std::uint8_t byteAt(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint8_t>(bytes[at]);
}
inline std::uint32_t u32At(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(byteAt(bytes, at)) |
         static_cast<std::uint32_t>(byteAt(bytes, at + 1)) << 8 |
         static_cast<std::uint32_t>(byteAt(bytes, at + 2)) << 16 |
         static_cast<std::uint32_t>(byteAt(bytes, at + 3)) << 24;
}
inline std::int32_t i32At(std::string_view bytes, std::size_t at) {
  return static_cast<std::int32_t>(u32At(bytes, at));
}
inline std::int16_t i16At(std::string_view bytes, std::size_t at) {
  return static_cast<std::int16_t>(byteAt(bytes, at) | byteAt(bytes, at + 1) << 8);
}

inline void putByte(std::string& bytes, unsigned value) {
  bytes.push_back(static_cast<char>(value & 0xFF));
}
inline void put16(std::string& bytes, std::int32_t value) {
  putByte(bytes, static_cast<unsigned>(value));
  putByte(bytes, static_cast<unsigned>(value) >> 8);
}
inline void put32(std::string& bytes, std::int64_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    putByte(bytes, static_cast<unsigned>(static_cast<std::uint64_t>(value) >> shift));
}
// Overwrites four bytes at `at` (which must lie within `bytes`).
inline void set32(std::string& bytes, std::size_t at, std::int64_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    bytes[at + static_cast<std::size_t>(shift / 8)] =
        static_cast<char>((static_cast<std::uint64_t>(value) >> shift) & 0xFF);
}
inline void set16(std::string& bytes, std::size_t at, std::int32_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

}  // namespace stitchkit::le
