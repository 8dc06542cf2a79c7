#include <openssl/crypto.h>

#include "stb/brng/brng.h"

namespace stb::brng {

CtrHbelt::~CtrHbelt() {
  OPENSSL_cleanse(s_, sizeof s_);
  OPENSSL_cleanse(r_, sizeof r_);
}

void CtrHbelt::init(const std::uint8_t key[32], const std::uint8_t start[32]) {
  // The key is exactly one hash block: absorbing it once saves a compression
  // per output block.
  keyed_.init();
  keyed_.update(key, 32);
  for (std::size_t i = 0; i < 32; ++i) {
    s_[i] = start[i];
    r_[i] = static_cast<std::uint8_t>(~start[i]);
  }
}

void CtrHbelt::generate(const std::uint8_t* x, std::size_t n, std::uint8_t* y) {
  static constexpr std::uint8_t kZeros[kBlockSize] = {};
  for (std::size_t i = 0; i < n; ++i) {
    // Y = belt-hash(key || s || X || r); X is read before Y is written, so the
    // two may share a buffer.
    belt::Hash h = keyed_;
    h.update(s_, sizeof s_);
    h.update(x != nullptr ? x + kBlockSize * i : kZeros, kBlockSize);
    h.update(r_, sizeof r_);
    std::uint8_t* out = y + kBlockSize * i;
    h.final(out);
    // s <- s + 1 (little-endian, wrapping), the carry through every octet;
    // r <- r ^ Y
    unsigned carry = 1;
    for (std::size_t j = 0; j < 32; ++j) {
      const unsigned v = s_[j] + carry;
      s_[j] = static_cast<std::uint8_t>(v);
      carry = v >> 8;
    }
    for (std::size_t j = 0; j < 32; ++j) r_[j] ^= out[j];
  }
}

}  // namespace stb::brng
