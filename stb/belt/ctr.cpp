#include <openssl/crypto.h>

#include <cstring>

#include "stb/belt/block_access.h"
#include "stb/belt/kernels.h"
#include "stb/belt/modes.h"

namespace stb::belt {

Ctr::~Ctr() {
  OPENSSL_cleanse(counter_, sizeof counter_);
  OPENSSL_cleanse(gamma_, sizeof gamma_);
}

bool Ctr::init(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv) {
  if (!block_.set_key(key, key_len)) return false;
  set_iv(iv);
  return true;
}

void Ctr::set_iv(const std::uint8_t* iv) {
  // The counter starts from the encrypted IV.
  detail::kernels().ecb(detail::BlockAccess::key(block_), true, iv, counter_, 1);
  OPENSSL_cleanse(gamma_, sizeof gamma_);
  used_ = kBlockSize;
}

std::size_t Ctr::update(const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  const std::uint32_t* k = detail::BlockAccess::key(block_);
  std::size_t i = 0;
  for (; used_ < kBlockSize && i < len; ++used_, ++i)
    out[i] = static_cast<std::uint8_t>(in[i] ^ gamma_[used_]);
  if (i == len) return len;

  const detail::Kernels& run = detail::kernels();
  const std::size_t whole = (len - i) / kBlockSize;
  if (whole != 0) run.ctr(k, counter_, in + i, out + i, whole);
  i += whole * kBlockSize;
  if (i < len) {
    // Keystream for the short end; its unused tail carries over.
    static constexpr std::uint8_t kZero[kBlockSize] = {};
    run.ctr(k, counter_, kZero, gamma_, 1);
    for (used_ = 0; i < len; ++used_, ++i)
      out[i] = static_cast<std::uint8_t>(in[i] ^ gamma_[used_]);
  }
  return len;
}

bool Ctr::crypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  Ctr ctr;
  if (!ctr.init(key, key_len, iv)) return false;
  ctr.update(in, len, out);
  return true;
}

}  // namespace stb::belt
