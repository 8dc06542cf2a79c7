#include "stb/belt/hash.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

#include "stb/belt/compress_core.h"
#include "stb/belt/h_table.h"
#include "stb/belt/internal.h"

namespace stb::belt {

using detail::load32;
using detail::store32;

namespace detail {

void absorb_blocks(std::uint32_t h[8], std::uint32_t s[4], const std::uint8_t* data,
                   std::size_t n) {
  CompressScratch w;
  std::uint32_t m[8];
  std::uint32_t t[4];
  for (; n != 0; --n, data += kHashBlockSize) {
    for (int i = 0; i < 8; ++i) m[i] = load32(data + 4 * i);
    compress_words(m, h, t, h, w);
    s[0] ^= t[0];
    s[1] ^= t[1];
    s[2] ^= t[2];
    s[3] ^= t[3];
  }
  OPENSSL_cleanse(&w, sizeof w);
  OPENSSL_cleanse(m, sizeof m);
  OPENSSL_cleanse(t, sizeof t);
}

}  // namespace detail

void compress(const std::uint8_t in[64], std::uint8_t s[16], std::uint8_t y[32]) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = load32(in + 4 * i);
  std::uint32_t sw[4];
  std::uint32_t yw[8];
  detail::CompressScratch w;
  detail::compress_words(x, x + 8, sw, yw, w);
  OPENSSL_cleanse(&w, sizeof w);
  if (s != nullptr)
    for (int i = 0; i < 4; ++i) store32(s + 4 * i, sw[i]);
  if (y != nullptr)
    for (int i = 0; i < 8; ++i) store32(y + 4 * i, yw[i]);
  OPENSSL_cleanse(x, sizeof x);
  OPENSSL_cleanse(sw, sizeof sw);
  OPENSSL_cleanse(yw, sizeof yw);
}

Hash::~Hash() {
  OPENSSL_cleanse(this, sizeof *this);
}

void Hash::init() {
  for (int i = 0; i < 8; ++i) h_[i] = load32(kH + 4 * i);
  std::memset(s_, 0, sizeof s_);
  bits_lo_ = 0;
  bits_hi_ = 0;
  std::memset(buf_, 0, sizeof buf_);
  buffered_ = 0;
}

void Hash::update(const std::uint8_t* data, std::size_t len) {
  if (len == 0) return;
  // The bit count is 128 bits wide: octets * 8 can exceed 64 bits only through
  // the carry, and len itself contributes at most 3 bits to the high word.
  const std::uint64_t add_lo = static_cast<std::uint64_t>(len) << 3;
  const std::uint64_t add_hi = static_cast<std::uint64_t>(len) >> 61;
  bits_lo_ += add_lo;
  bits_hi_ += add_hi + (bits_lo_ < add_lo ? 1 : 0);

  if (buffered_ != 0) {
    const std::size_t take = std::min(len, kHashBlockSize - buffered_);
    std::memcpy(buf_ + buffered_, data, take);
    buffered_ += take;
    data += take;
    len -= take;
    if (buffered_ < kHashBlockSize) return;
    detail::absorb_blocks(h_, s_, buf_, 1);
    buffered_ = 0;
  }
  const std::size_t whole = len / kHashBlockSize;
  if (whole != 0) {
    detail::absorb_blocks(h_, s_, data, whole);
    data += whole * kHashBlockSize;
    len -= whole * kHashBlockSize;
  }
  if (len != 0) {
    std::memcpy(buf_, data, len);
    buffered_ = len;
  }
}

void Hash::final(std::uint8_t out[kHashSize]) const {
  std::uint32_t h[8];
  std::uint32_t s[4];
  std::memcpy(h, h_, sizeof h);
  std::memcpy(s, s_, sizeof s);
  if (buffered_ != 0) {
    std::uint8_t last[kHashBlockSize] = {};
    std::memcpy(last, buf_, buffered_);
    detail::absorb_blocks(h, s, last, 1);
    OPENSSL_cleanse(last, sizeof last);
  }
  // Closing block: the bit length (128-bit little-endian), then s, then h.
  std::uint32_t x[8] = {static_cast<std::uint32_t>(bits_lo_),
                        static_cast<std::uint32_t>(bits_lo_ >> 32),
                        static_cast<std::uint32_t>(bits_hi_),
                        static_cast<std::uint32_t>(bits_hi_ >> 32),
                        s[0],
                        s[1],
                        s[2],
                        s[3]};
  std::uint32_t y[8];
  detail::CompressScratch w;
  detail::compress_words(x, h, nullptr, y, w);
  OPENSSL_cleanse(&w, sizeof w);
  for (int i = 0; i < 8; ++i) store32(out + 4 * i, y[i]);
  OPENSSL_cleanse(h, sizeof h);
  OPENSSL_cleanse(s, sizeof s);
  OPENSSL_cleanse(x, sizeof x);
  OPENSSL_cleanse(y, sizeof y);
}

void Hash::compute(const std::uint8_t* data, std::size_t len, std::uint8_t out[kHashSize]) {
  Hash hash;
  hash.update(data, len);
  hash.final(out);
}

}  // namespace stb::belt
