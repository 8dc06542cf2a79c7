#include <openssl/crypto.h>

#include <cstring>

#include "stb/belt/block_access.h"
#include "stb/belt/block_core.h"
#include "stb/belt/cts_stream.h"
#include "stb/belt/modes.h"
#include "stb/belt/wide.h"

namespace stb::belt {
namespace {

using detail::kLanes;
using detail::Words;

// Encryption chains block to block; decryption has all its inputs at hand, so
// it runs several blocks at once. Inputs are read before outputs are written
// (in == out).
struct CbcBlocks {
  const std::uint32_t* k;
  bool encrypt;
  std::uint8_t* chain;

  void operator()(const std::uint8_t* in, std::uint8_t* out, std::size_t n) const {
    if (n == 0) return;
    if (!encrypt) {
      const std::size_t wide = detail::cbc_decrypt_wide(k, chain, in, out, n);
      in += wide * kBlockSize;
      out += wide * kBlockSize;
      n -= wide;
    }
    Words c[1] = {detail::load_words(chain)};
    if (encrypt) {
      for (; n != 0; --n, in += kBlockSize, out += kBlockSize) {
        c[0] = c[0] ^ detail::load_words(in);
        detail::encrypt_words(k, c);
        detail::store_words(out, c[0]);
      }
    } else {
      for (; n >= kLanes; n -= kLanes, in += kLanes * kBlockSize, out += kLanes * kBlockSize) {
        Words y[kLanes];
        Words s[kLanes];
        for (std::size_t j = 0; j < kLanes; ++j)
          s[j] = y[j] = detail::load_words(in + j * kBlockSize);
        detail::decrypt_words(k, s);
        detail::store_words(out, s[0] ^ c[0]);
        for (std::size_t j = 1; j < kLanes; ++j)
          detail::store_words(out + j * kBlockSize, s[j] ^ y[j - 1]);
        c[0] = y[kLanes - 1];
      }
      for (; n != 0; --n, in += kBlockSize, out += kBlockSize) {
        Words s[1] = {detail::load_words(in)};
        const Words y = s[0];
        detail::decrypt_words(k, s);
        detail::store_words(out, s[0] ^ c[0]);
        c[0] = y;
      }
    }
    detail::store_words(chain, c[0]);
  }
};

// The last 16..31 octets, ciphertext stealing over the chained blocks.
struct CbcTail {
  CbcBlocks blocks;

  void operator()(const std::uint8_t* buf, std::size_t n, std::uint8_t* out) const {
    if (n == kBlockSize) {
      blocks(buf, out, 1);
      return;
    }
    const std::size_t m = n - kBlockSize;
    const std::uint32_t* k = blocks.k;
    std::uint8_t t[kBlockSize];
    std::uint8_t last[kBlockSize];
    if (blocks.encrypt) {
      detail::xor_block(t, buf, blocks.chain);
      detail::encrypt_block(k, t, t);
      std::memcpy(last, t, kBlockSize);
      detail::xor_bytes(last, last, buf + kBlockSize, m);
      detail::encrypt_block(k, last, out);
      std::memcpy(out + kBlockSize, t, m);
    } else {
      detail::decrypt_block(k, buf, t);
      std::memcpy(last, buf + kBlockSize, m);
      std::memcpy(last + m, t + m, kBlockSize - m);
      detail::decrypt_block(k, last, last);
      detail::xor_bytes(out + kBlockSize, t, buf + kBlockSize, m);
      detail::xor_block(out, last, blocks.chain);
    }
    OPENSSL_cleanse(t, sizeof t);
    OPENSSL_cleanse(last, sizeof last);
  }
};

bool cbc_one_shot(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                  const std::uint8_t* in, std::size_t len, std::uint8_t* out, bool encrypt) {
  if (len < kBlockSize) return false;
  Cbc cbc;
  if (!cbc.init(key, key_len, iv, encrypt)) return false;
  const std::size_t n = cbc.update(in, len, out);
  return cbc.final(out + n);
}

}  // namespace

Cbc::~Cbc() {
  OPENSSL_cleanse(chain_, sizeof chain_);
  OPENSSL_cleanse(buf_, sizeof buf_);
  OPENSSL_cleanse(queue_, sizeof queue_);
}

bool Cbc::init(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv, bool encrypt) {
  if (!block_.set_key(key, key_len)) return false;
  encrypt_ = encrypt;
  set_iv(iv);
  return true;
}

void Cbc::set_iv(const std::uint8_t* iv) {
  std::memcpy(chain_, iv, kBlockSize);
  OPENSSL_cleanse(buf_, sizeof buf_);
  OPENSSL_cleanse(queue_, sizeof queue_);
  buffered_ = 0;
  queued_ = 0;
}

std::size_t Cbc::update(const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  if (len == 0) return 0;
  CbcBlocks blocks{detail::BlockAccess::key(block_), encrypt_, chain_};
  return detail::cts_update({buf_, buffered_, queue_, queued_}, blocks, in, len, out);
}

bool Cbc::final(std::uint8_t* out) {
  CbcTail tail{{detail::BlockAccess::key(block_), encrypt_, chain_}};
  return detail::cts_final({buf_, buffered_, queue_, queued_}, tail, out);
}

bool Cbc::encrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                  const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  return cbc_one_shot(key, key_len, iv, in, len, out, true);
}

bool Cbc::decrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* iv,
                  const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  return cbc_one_shot(key, key_len, iv, in, len, out, false);
}

}  // namespace stb::belt
