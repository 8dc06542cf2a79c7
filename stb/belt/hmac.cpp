#include "stb/belt/hmac.h"

#include <openssl/crypto.h>

#include <cstring>

namespace stb::belt {

Hmac::~Hmac() = default;  // the two Hash members wipe themselves

void Hmac::init(const std::uint8_t* key, std::size_t key_len) {
  std::uint8_t k0[kHashBlockSize] = {};
  if (key_len > kHashBlockSize) {
    Hash::compute(key, key_len, k0);  // kHashSize == kHashBlockSize
  } else if (key_len != 0) {
    std::memcpy(k0, key, key_len);
  }
  std::uint8_t pad[kHashBlockSize];
  for (std::size_t i = 0; i < kHashBlockSize; ++i) pad[i] = static_cast<std::uint8_t>(k0[i] ^ 0x36);
  inner_.init();
  inner_.update(pad, sizeof pad);
  for (std::size_t i = 0; i < kHashBlockSize; ++i) pad[i] = static_cast<std::uint8_t>(k0[i] ^ 0x5C);
  outer_.init();
  outer_.update(pad, sizeof pad);
  OPENSSL_cleanse(k0, sizeof k0);
  OPENSSL_cleanse(pad, sizeof pad);
}

void Hmac::update(const std::uint8_t* data, std::size_t len) {
  inner_.update(data, len);
}

void Hmac::final(std::uint8_t out[kHashSize]) const {
  std::uint8_t inner[kHashSize];
  inner_.final(inner);
  Hash outer = outer_;
  outer.update(inner, sizeof inner);
  outer.final(out);
  OPENSSL_cleanse(inner, sizeof inner);
}

void Hmac::compute(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* data,
                   std::size_t len, std::uint8_t out[kHashSize]) {
  Hmac mac;
  mac.init(key, key_len);
  mac.update(data, len);
  mac.final(out);
}

}  // namespace stb::belt
