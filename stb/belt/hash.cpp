#include "stb/belt/hash.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>

#include "stb/belt/h_table.h"
#include "stb/belt/internal.h"
#include "stb/belt/kernels.h"

namespace stb::belt {

using detail::load32;
using detail::store32;

// belt-compress(X1 || X2 || X3 || X4) is one step of belt-hash with the
// block X1 || X2 and the chaining value X3 || X4.
void compress(const std::uint8_t in[64], std::uint8_t s[16], std::uint8_t y[32]) {
  std::uint32_t h[8];
  std::uint32_t sw[4] = {};
  for (int i = 0; i < 8; ++i) h[i] = load32(in + 32 + 4 * i);
  detail::kernels().absorb(h, sw, in, 1);
  if (s != nullptr)
    for (int i = 0; i < 4; ++i) store32(s + 4 * i, sw[i]);
  if (y != nullptr)
    for (int i = 0; i < 8; ++i) store32(y + 4 * i, h[i]);
  OPENSSL_cleanse(h, sizeof h);
  OPENSSL_cleanse(sw, sizeof sw);
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
    detail::kernels().absorb(h_, s_, buf_, 1);
    buffered_ = 0;
  }
  const std::size_t whole = len / kHashBlockSize;
  if (whole != 0) {
    detail::kernels().absorb(h_, s_, data, whole);
    data += whole * kHashBlockSize;
    len -= whole * kHashBlockSize;
  }
  if (len != 0) {
    std::memcpy(buf_, data, len);
    buffered_ = len;
  }
}

void Hash::final(std::uint8_t out[kHashSize]) const {
  const detail::Kernels& run = detail::kernels();
  std::uint32_t h[8];
  std::uint32_t s[4];
  std::memcpy(h, h_, sizeof h);
  std::memcpy(s, s_, sizeof s);
  std::uint8_t last[kHashBlockSize] = {};
  if (buffered_ != 0) {
    std::memcpy(last, buf_, buffered_);
    run.absorb(h, s, last, 1);
  }
  // Closing block: the bit length (128-bit little-endian), then s; h is the
  // chaining value.
  const std::uint32_t x[8] = {static_cast<std::uint32_t>(bits_lo_),
                              static_cast<std::uint32_t>(bits_lo_ >> 32),
                              static_cast<std::uint32_t>(bits_hi_),
                              static_cast<std::uint32_t>(bits_hi_ >> 32),
                              s[0],
                              s[1],
                              s[2],
                              s[3]};
  for (int i = 0; i < 8; ++i) store32(last + 4 * i, x[i]);
  std::uint32_t unused[4] = {};
  run.absorb(h, unused, last, 1);
  for (int i = 0; i < 8; ++i) store32(out + 4 * i, h[i]);
  OPENSSL_cleanse(h, sizeof h);
  OPENSSL_cleanse(s, sizeof s);
  OPENSSL_cleanse(last, sizeof last);
  OPENSSL_cleanse(unused, sizeof unused);
}

void Hash::compute(const std::uint8_t* data, std::size_t len, std::uint8_t out[kHashSize]) {
  Hash hash;
  hash.update(data, len);
  hash.final(out);
}

}  // namespace stb::belt
