#include "stb/belt/kwp.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "stb/belt/block.h"
#include "stb/belt/internal.h"
#include "stb/ct.h"

// belt-wblock moves the whole string 16 octets per step (2n steps of an
// n-piece string), and each step wants the XOR of all pieces but the last.
// Done literally that is quadratic. Instead the buffer is treated as a ring
// of len octets: dropping the first 16 octets and appending 16 is just
// writing over them and moving the start, and the XOR sum is kept up to date
// from the few pieces a step changes. One rotation at the end puts the
// string back in order.

namespace stb::belt {
namespace {

struct Ring {
  std::uint8_t* p;
  std::size_t len;

  void load(std::size_t pos, std::uint8_t out[16]) const {
    const std::size_t first = std::min<std::size_t>(16, len - pos);
    std::memcpy(out, p + pos, first);
    std::memcpy(out + first, p, 16 - first);
  }
  void store(std::size_t pos, const std::uint8_t in[16]) {
    const std::size_t first = std::min<std::size_t>(16, len - pos);
    std::memcpy(p + pos, in, first);
    std::memcpy(p, in + first, 16 - first);
  }
  void xor_in(std::size_t pos, const std::uint8_t in[16]) {
    std::uint8_t t[16];
    load(pos, t);
    detail::xor_block(t, t, in);
    store(pos, t);
  }
  std::size_t at(std::size_t start, std::size_t offset) const { return (start + offset) % len; }
};

// Working blocks that carry key-dependent values; wiped when done.
struct Work {
  std::uint8_t s[16];  // the running sum (encryption) or r* (decryption)
  std::uint8_t t[16];  // F(s) ^ <i>
  std::uint8_t a[16];  // pieces read from the ring
  std::uint8_t b[16];
  std::uint8_t delta[16];  // what the r* update changed in piece n-1
  ~Work() { OPENSSL_cleanse(this, sizeof *this); }
};

// t = F(s) ^ <i>_16, and delta = the part of t that lands in piece n-1 when
// the last piece is short (m octets): 0^m || t[0 : 16-m].
void step_value(const Block& f, const std::uint8_t s[16], std::size_t i, std::size_t m, Work& w) {
  f.encrypt(s, w.t);
  const std::uint64_t step = i;
  for (int j = 0; j < 8; ++j) w.t[j] ^= static_cast<std::uint8_t>(step >> (8 * j));
  std::memset(w.delta, 0, 16);
  std::memcpy(w.delta + m, w.t, 16 - m);
}

void xor_pieces(const std::uint8_t* data, std::size_t from, std::size_t to, std::uint8_t out[16]) {
  std::memset(out, 0, 16);
  for (std::size_t j = from; j < to; ++j) detail::xor_block(out, out, data + 16 * j);
}

}  // namespace

bool wblock_encrypt(const std::uint8_t* key, std::size_t key_len, std::uint8_t* data,
                    std::size_t len) {
  if (len < 32 || !valid_key_length(key_len)) return false;
  Block f;
  f.set_key(key, key_len);
  const std::size_t n = (len + 15) / 16;
  const std::size_t m = len - 16 * (n - 1);
  Ring r{data, len};
  Work w;
  xor_pieces(data, 0, n - 1, w.s);
  std::size_t p = 0;  // where the string starts in the ring
  for (std::size_t i = 1; i <= 2 * n; ++i) {
    step_value(f, w.s, i, m, w);
    r.xor_in(r.at(p, len - 16), w.t);    // r* ^= F(s) ^ <i>
    r.load(p, w.a);                      // piece 1 as it leaves
    r.store(p, w.s);                     // s appended where piece 1 was
    r.load(r.at(p, 16 * (n - 1)), w.b);  // the new piece n-1: old piece n, then s
    // New sum = pieces 2..n-1 (s ^ piece 1, with the r* change undone) ^ that.
    detail::xor_block(w.s, w.s, w.a);
    detail::xor_block(w.s, w.s, w.delta);
    detail::xor_block(w.s, w.s, w.b);
    p = r.at(p, 16);
  }
  std::rotate(data, data + p, data + len);
  return true;
}

bool wblock_decrypt(const std::uint8_t* key, std::size_t key_len, std::uint8_t* data,
                    std::size_t len) {
  if (len < 32 || !valid_key_length(key_len)) return false;
  Block f;
  f.set_key(key, key_len);
  const std::size_t n = (len + 15) / 16;
  const std::size_t m = len - 16 * (n - 1);
  Ring r{data, len};
  Work w;
  std::uint8_t u[16];  // pieces 2..n-1 of the current string
  xor_pieces(data, 1, n - 1, u);
  std::size_t p = 0;
  for (std::size_t i = 2 * n; i >= 1; --i) {
    r.load(r.at(p, len - 16), w.s);      // s = r*
    r.load(p, w.a);                      // piece 1
    r.load(r.at(p, 16 * (n - 2)), w.b);  // piece n-1
    p = r.at(p, len - 16);               // the string moves 16 octets on
    step_value(f, w.s, i, m, w);
    r.xor_in(r.at(p, len - 16), w.t);  // r* ^= F(s) ^ <i>
    // Pieces 2..n-1 now are the old pieces 1..n-2, the last of them changed
    // by the r* update (with n = 2 that piece is the placeholder itself).
    detail::xor_block(u, u, w.a);
    detail::xor_block(u, u, w.b);
    if (n >= 3) detail::xor_block(u, u, w.delta);
    detail::xor_block(w.a, w.s, u);
    r.store(p, w.a);  // piece 1 = s ^ pieces 2..n-1
  }
  OPENSSL_cleanse(u, sizeof u);
  std::rotate(data, data + p, data + len);
  return true;
}

bool kwp_wrap(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* secret,
              std::size_t len, const std::uint8_t header[kHeaderSize], std::uint8_t* out) {
  if (len < 16 || !valid_key_length(key_len)) return false;
  std::memmove(out, secret, len);
  std::memcpy(out + len, header, kHeaderSize);
  return wblock_encrypt(key, key_len, out, len + kHeaderSize);
}

bool kwp_unwrap(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* wrapped,
                std::size_t len, const std::uint8_t header[kHeaderSize], std::uint8_t* out) {
  if (len < 32 || !valid_key_length(key_len)) return false;
  std::vector<std::uint8_t> z(wrapped, wrapped + len);
  wblock_decrypt(key, key_len, z.data(), len);
  const std::size_t secret_len = len - kHeaderSize;
  // Whether the header matched is the public outcome of the call.
  const bool ok = ct::declassified(CRYPTO_memcmp(z.data() + secret_len, header, kHeaderSize) == 0);
  if (ok) {
    std::memcpy(out, z.data(), secret_len);
  } else {
    OPENSSL_cleanse(out, secret_len);
  }
  OPENSSL_cleanse(z.data(), len);
  return ok;
}

}  // namespace stb::belt
