#pragma once

#include <array>
#include <cstddef>

// A length-preserving cipher for whole blocks of data: AES-256 in counter mode, through the
// system's crypto library. Enciphering and deciphering are the same operation, and the output
// is exactly as long as the input.
namespace stitchkit {

class StreamCipher {
 public:
  using Key = std::array<unsigned char, 32>;
  using Counter = std::array<unsigned char, 16>;  // the counter block the stream starts from

  StreamCipher(const Key& key, const Counter& start) : key_(key), start_(start) {}

  // Enciphers (or deciphers) `size` bytes of `in` into `out`, which must hold `size` bytes
  // (`in` and `out` may be the same buffer). False when the crypto library fails.
  bool apply(const unsigned char* in, std::size_t size, unsigned char* out) const;

 private:
  Key key_;
  Counter start_;
};

}  // namespace stitchkit
