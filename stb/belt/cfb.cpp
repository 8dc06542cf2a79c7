#include <openssl/crypto.h>

#include <cstring>

#include "stb/belt/block_access.h"
#include "stb/belt/block_core.h"
#include "stb/belt/modes.h"
#include "stb/belt/wide.h"

namespace stb::belt {

// reg_ holds the gamma of the current block; each octet used is replaced by
// the ciphertext octet made with it, so once the block is used up reg_ is the
// ciphertext block the next gamma is made from.

namespace {

using detail::kLanes;
using detail::Words;

// Whole blocks, starting with reg_ = the previous ciphertext block; returns
// the octets done (a multiple of 16).
std::size_t cfb_blocks(const std::uint32_t* k, bool encrypt, std::uint8_t* reg,
                       const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  const std::size_t n = len / kBlockSize;
  std::size_t left = n;
  if (!encrypt) {
    const std::size_t wide = detail::cfb_decrypt_wide(k, reg, in, out, n);
    in += wide * kBlockSize;
    out += wide * kBlockSize;
    left -= wide;
  }
  Words c[1] = {detail::load_words(reg)};
  if (encrypt) {
    // Each gamma needs the ciphertext just made: strictly one block at a time.
    for (; left != 0; --left, in += kBlockSize, out += kBlockSize) {
      detail::encrypt_words(k, c);
      c[0] = c[0] ^ detail::load_words(in);
      detail::store_words(out, c[0]);
    }
  } else {
    for (; left >= kLanes; left -= kLanes, in += kLanes * kBlockSize, out += kLanes * kBlockSize) {
      Words y[kLanes];
      Words s[kLanes];
      for (std::size_t j = 0; j < kLanes; ++j) y[j] = detail::load_words(in + j * kBlockSize);
      s[0] = c[0];
      for (std::size_t j = 1; j < kLanes; ++j) s[j] = y[j - 1];
      detail::encrypt_words(k, s);
      for (std::size_t j = 0; j < kLanes; ++j)
        detail::store_words(out + j * kBlockSize, s[j] ^ y[j]);
      c[0] = y[kLanes - 1];
    }
    for (; left != 0; --left, in += kBlockSize, out += kBlockSize) {
      const Words y = detail::load_words(in);
      detail::encrypt_words(k, c);
      detail::store_words(out, c[0] ^ y);
      c[0] = y;
    }
  }
  detail::store_words(reg, c[0]);
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
    detail::encrypt_block(k, reg_, reg_);
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
