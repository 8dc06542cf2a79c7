#include <openssl/crypto.h>

#include <cstring>

#include "stb/belt/block_access.h"
#include "stb/belt/cts_stream.h"
#include "stb/belt/kernels.h"
#include "stb/belt/modes.h"

namespace stb::belt {
namespace {

struct EcbBlocks {
  const std::uint32_t* k;
  bool encrypt;
  void operator()(const std::uint8_t* in, std::uint8_t* out, std::size_t n) const {
    if (n != 0) detail::kernels().ecb(k, encrypt, in, out, n);
  }
};

// The last 16..31 octets: with a short last piece m, the block before it is
// processed first, its first m octets become the short output piece and the
// rest fills up the last piece (the same shape both ways).
struct EcbTail {
  const std::uint32_t* k;
  bool encrypt;
  void crypt(const std::uint8_t* in, std::uint8_t* out) const {
    detail::kernels().ecb(k, encrypt, in, out, 1);
  }
  void operator()(const std::uint8_t* buf, std::size_t n, std::uint8_t* out) const {
    if (n == kBlockSize) {
      crypt(buf, out);
      return;
    }
    const std::size_t m = n - kBlockSize;
    std::uint8_t t[kBlockSize];
    crypt(buf, t);
    std::uint8_t last[kBlockSize];
    std::memcpy(last, buf + kBlockSize, m);
    std::memcpy(last + m, t + m, kBlockSize - m);
    crypt(last, out);
    std::memcpy(out + kBlockSize, t, m);
    OPENSSL_cleanse(t, sizeof t);
    OPENSSL_cleanse(last, sizeof last);
  }
};

bool ecb_one_shot(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* in,
                  std::size_t len, std::uint8_t* out, bool encrypt) {
  if (len < kBlockSize) return false;
  Ecb ecb;
  if (!ecb.init(key, key_len, encrypt)) return false;
  const std::size_t n = ecb.update(in, len, out);
  return ecb.final(out + n);
}

}  // namespace

Ecb::~Ecb() {
  OPENSSL_cleanse(buf_, sizeof buf_);
  OPENSSL_cleanse(queue_, sizeof queue_);
}

bool Ecb::init(const std::uint8_t* key, std::size_t key_len, bool encrypt) {
  if (!block_.set_key(key, key_len)) return false;
  encrypt_ = encrypt;
  buffered_ = 0;
  queued_ = 0;
  return true;
}

std::size_t Ecb::update(const std::uint8_t* in, std::size_t len, std::uint8_t* out) {
  if (len == 0) return 0;
  EcbBlocks blocks{detail::BlockAccess::key(block_), encrypt_};
  return detail::cts_update({buf_, buffered_, queue_, queued_}, blocks, in, len, out);
}

bool Ecb::final(std::uint8_t* out) {
  EcbTail tail{detail::BlockAccess::key(block_), encrypt_};
  return detail::cts_final({buf_, buffered_, queue_, queued_}, tail, out);
}

bool Ecb::encrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* in,
                  std::size_t len, std::uint8_t* out) {
  return ecb_one_shot(key, key_len, in, len, out, true);
}

bool Ecb::decrypt(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* in,
                  std::size_t len, std::uint8_t* out) {
  return ecb_one_shot(key, key_len, in, len, out, false);
}

}  // namespace stb::belt
