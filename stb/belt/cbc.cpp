#include <openssl/crypto.h>

#include <cstring>

#include "stb/belt/block_access.h"
#include "stb/belt/cts_stream.h"
#include "stb/belt/internal.h"
#include "stb/belt/kernels.h"
#include "stb/belt/modes.h"

namespace stb::belt {
namespace {

// Encryption chains block to block; decryption has all its inputs at hand, so
// the kernels run several blocks at once (in == out allowed).
struct CbcBlocks {
  const std::uint32_t* k;
  bool encrypt;
  std::uint8_t* chain;

  void operator()(const std::uint8_t* in, std::uint8_t* out, std::size_t n) const {
    if (n != 0) detail::kernels().cbc(k, encrypt, chain, in, out, n);
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
    const detail::Kernels& run = detail::kernels();
    std::uint8_t t[kBlockSize];
    std::uint8_t last[kBlockSize];
    if (blocks.encrypt) {
      detail::xor_block(t, buf, blocks.chain);
      run.ecb(k, true, t, t, 1);
      std::memcpy(last, t, kBlockSize);
      detail::xor_bytes(last, last, buf + kBlockSize, m);
      run.ecb(k, true, last, out, 1);
      std::memcpy(out + kBlockSize, t, m);
    } else {
      run.ecb(k, false, buf, t, 1);
      std::memcpy(last, buf + kBlockSize, m);
      std::memcpy(last + m, t + m, kBlockSize - m);
      run.ecb(k, false, last, last, 1);
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
