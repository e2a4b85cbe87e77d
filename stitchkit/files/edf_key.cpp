#include "stitchkit/files/edf_key_internal.h"

#include <openssl/sha.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>

// Why an EDF package is enciphered at all: the package is what a design travels to the
// machine in, and enciphering it keeps the stitch and condition data from being edited by
// hand or read by tools that would take it for a plain KVB file on the way. It is not a
// secret: the key is the same for every package and lives in this file. Packages written here
// are read by this library; other systems' EDF readers use their own key and cannot open
// them.
//
// The key is a fixed block of 1024 bytes. The cipher's 256-bit key is the SHA-256 digest of
// that block, and the counter it starts from the first 16 bytes of the SHA-256 digest of the
// cipher key followed by the block.
namespace stitchkit {
namespace {

constexpr std::size_t kKeyBlockSize = 1024;

// The block is the output of a 64-bit mixing generator from a fixed seed, so that it is
// stored whole in the program without 1024 bytes of literal text in the source.
constexpr std::array<unsigned char, kKeyBlockSize> makeKeyBlock() {
  std::array<unsigned char, kKeyBlockSize> block{};
  std::uint64_t state = 0x5354'4954'4348'4B54ULL;
  for (std::size_t i = 0; i < kKeyBlockSize; i += 8) {
    state += 0x9E37'79B9'7F4A'7C15ULL;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBULL;
    z ^= z >> 31;
    for (std::size_t b = 0; b < 8; ++b)
      block[i + b] = static_cast<unsigned char>(z >> (8 * b));
  }
  return block;
}

constexpr std::array<unsigned char, kKeyBlockSize> kKeyBlock = makeKeyBlock();

}  // namespace

StreamCipher edfCipher() {
  StreamCipher::Key key{};
  SHA256(kKeyBlock.data(), kKeyBlock.size(), key.data());
  std::array<unsigned char, std::tuple_size_v<StreamCipher::Key> + kKeyBlockSize> seed{};
  std::copy(key.begin(), key.end(), seed.begin());
  std::copy(kKeyBlock.begin(), kKeyBlock.end(), seed.begin() + key.size());
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  SHA256(seed.data(), seed.size(), digest.data());
  StreamCipher::Counter start{};
  std::copy(digest.begin(), digest.begin() + start.size(), start.begin());
  return StreamCipher(key, start);
}

}  // namespace stitchkit
