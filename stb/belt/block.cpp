#include "stb/belt/block.h"

#include <openssl/crypto.h>

#include "stb/belt/internal.h"
#include "stb/belt/kernels.h"

namespace stb::belt {

bool keyexpand(const std::uint8_t* key, std::size_t len, std::uint8_t out[kKeySize]) {
  if (!valid_key_length(len)) return false;
  std::uint8_t tmp[kKeySize];
  std::memcpy(tmp, key, len);
  if (len == 16) {
    std::memcpy(tmp + 16, key, 16);
  } else if (len == 24) {
    // Three 32-bit words each: the official 192-bit vector rules out
    // reading this as three 64-bit pieces.
    detail::store32(tmp + 24,
                    detail::load32(key) ^ detail::load32(key + 4) ^ detail::load32(key + 8));
    detail::store32(tmp + 28,
                    detail::load32(key + 12) ^ detail::load32(key + 16) ^ detail::load32(key + 20));
  }
  // Through a copy so that out may overlap key.
  std::memcpy(out, tmp, kKeySize);
  OPENSSL_cleanse(tmp, sizeof tmp);
  return true;
}

Block::~Block() {
  OPENSSL_cleanse(k_, sizeof k_);
}

bool Block::set_key(const std::uint8_t* key, std::size_t len) {
  std::uint8_t full[kKeySize];
  if (!keyexpand(key, len, full)) return false;
  set_key32(full);
  OPENSSL_cleanse(full, sizeof full);
  return true;
}

void Block::set_key32(const std::uint8_t key[kKeySize]) {
  for (std::size_t i = 0; i < 8; ++i) k_[i] = detail::load32(key + 4 * i);
}

void Block::encrypt(const std::uint8_t in[kBlockSize], std::uint8_t out[kBlockSize]) const {
  detail::kernels().ecb(k_, true, in, out, 1);
}

void Block::decrypt(const std::uint8_t in[kBlockSize], std::uint8_t out[kBlockSize]) const {
  detail::kernels().ecb(k_, false, in, out, 1);
}

}  // namespace stb::belt
