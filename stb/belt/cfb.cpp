#include <openssl/crypto.h>

#include <cstring>

#include "stb/belt/block_access.h"
#include "stb/belt/kernels.h"
#include "stb/belt/modes.h"

namespace stb::belt {

// reg_ holds the gamma of the current block; each octet used is replaced by
// the ciphertext octet made with it, so once the block is used up reg_ is the
// ciphertext block the next gamma is made from.

namespace {

// Whole blocks, starting with reg_ = the previous ciphertext block; returns
// the octets done (a multiple of 16). Encryption needs each ciphertext block
// for the next gamma; decryption has them all and runs blocks side by side.
std::size_t cfb_blocks(const std::uint32_t* k, bool encrypt, std::uint8_t* reg,
                       const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  const std::size_t n = len / kBlockSize;
  if (n != 0) detail::kernels().cfb(k, encrypt, reg, in, out, n);
  return n * kBlockSize;
}

bool cfb_one_shot(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                  const std::uint8_t* in, std::size_t len, std::uint8_t* out, bool encrypt) {
  Cfb cfb;
  if (!cfb.init(key, key_len, iv, encrypt)) return false;
  cfb.update(in, len, out);
  return true;
}

}  // namespace

Cfb::~Cfb() {
  OPENSSL_cleanse(reg_, sizeof reg_);
}

bool Cfb::init(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv, bool encrypt) {
  if (!block_.set_key(key, key_len)) return false;
  encrypt_ = encrypt;
  set_iv(iv);
  return true;
}

void Cfb::set_iv(const std::uint8_t* iv) {
  std::memcpy(reg_, iv, kBlockSize);
  used_ = kBlockSize;
}

std::size_t Cfb::update(const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  const std::uint32_t* k = detail::BlockAccess::key(block_);
  std::size_t i = 0;
  auto use_gamma = [&] {
    for (; used_ < kBlockSize && i < len; ++used_, ++i) {
      const std::uint8_t x = in[i];
      const auto y = static_cast<std::uint8_t>(x ^ reg_[used_]);
      out[i] = y;
      reg_[used_] = encrypt_ ? y : x;
    }
  };
  use_gamma();
  if (i == len) return len;
  i += cfb_blocks(k, encrypt_, reg_, in + i, len - i, out + i);
  if (i < len) {
    detail::kernels().ecb(k, true, reg_, reg_, 1);
    used_ = 0;
    use_gamma();
  }
  return len;
}

bool Cfb::encrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                  const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  return cfb_one_shot(key, key_len, iv, in, len, out, true);
}

bool Cfb::decrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                  const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  return cfb_one_shot(key, key_len, iv, in, len, out, false);
}

}  // namespace stb::belt
