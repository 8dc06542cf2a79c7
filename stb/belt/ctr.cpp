#include <openssl/crypto.h>

#include <cstring>

#include "stb/belt/block_access.h"
#include "stb/belt/block_core.h"
#include "stb/belt/modes.h"
#include "stb/belt/wide.h"

namespace stb::belt {
namespace {

using detail::kLanes;
using detail::Words;

// s + 1 as a 128-bit little-endian number.
inline void increment(Words& s) {
  if (++s.a != 0) return;
  if (++s.b != 0) return;
  if (++s.c != 0) return;
  ++s.d;
}

}  // namespace

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
  detail::encrypt_block(detail::BlockAccess::key(block_), iv, counter_);
  OPENSSL_cleanse(gamma_, sizeof gamma_);
  used_ = kBlockSize;
}

std::size_t Ctr::update(const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  const std::uint32_t* k = detail::BlockAccess::key(block_);
  std::size_t i = 0;
  for (; used_ < kBlockSize && i < len; ++used_, ++i)
    out[i] = static_cast<std::uint8_t>(in[i] ^ gamma_[used_]);
  if (i == len) return len;

  i += kBlockSize * detail::ctr_wide(k, counter_, in + i, out + i, (len - i) / kBlockSize);
  Words ctr = detail::load_words(counter_);
  for (; len - i >= kLanes * kBlockSize; i += kLanes * kBlockSize) {
    Words s[kLanes];
    for (std::size_t j = 0; j < kLanes; ++j) {
      increment(ctr);
      s[j] = ctr;
    }
    detail::encrypt_words(k, s);
    for (std::size_t j = 0; j < kLanes; ++j) {
      const std::size_t off = i + j * kBlockSize;
      detail::store_words(out + off, s[j] ^ detail::load_words(in + off));
    }
  }
  for (; len - i >= kBlockSize; i += kBlockSize) {
    increment(ctr);
    Words s[1] = {ctr};
    detail::encrypt_words(k, s);
    detail::store_words(out + i, s[0] ^ detail::load_words(in + i));
  }
  if (i < len) {
    // Keystream for the short end; its unused tail carries over.
    increment(ctr);
    Words s[1] = {ctr};
    detail::encrypt_words(k, s);
    detail::store_words(gamma_, s[0]);
    for (used_ = 0; i < len; ++used_, ++i)
      out[i] = static_cast<std::uint8_t>(in[i] ^ gamma_[used_]);
  }
  detail::store_words(counter_, ctr);
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
