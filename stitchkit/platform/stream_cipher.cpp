#include "stitchkit/platform/stream_cipher.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace stitchkit {

bool StreamCipher::apply(const unsigned char* in, std::size_t size, unsigned char* out) const {
  const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(
      EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  if (!context || EVP_EncryptInit_ex(context.get(), EVP_aes_256_ctr(), nullptr, key_.data(),
                                     start_.data()) != 1) {
    return false;
  }
  // The library takes int lengths: the data goes through in pieces that fit one.
  constexpr std::size_t kPiece = 1u << 30;
  while (size > 0) {
    const std::size_t piece = std::min(size, kPiece);
    int produced = 0;
    if (EVP_EncryptUpdate(context.get(), out, &produced, in, static_cast<int>(piece)) != 1 ||
        produced != static_cast<int>(piece)) {
      return false;
    }
    in += piece;
    out += piece;
    size -= piece;
  }
  int tail = 0;
  return EVP_EncryptFinal_ex(context.get(), out, &tail) == 1 && tail == 0;
}

}  // namespace stitchkit
