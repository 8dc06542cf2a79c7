// The eight belt-block rounds on the key words, for N blocks at once. The
// blocks are independent; running several side by side lets the lookups of
// one block fill the load latency of another (ECB, CTR, CBC/CFB decryption).
// A single block (CBC/CFB encryption, MAC) is bound by the latency of the
// chain of G lookups, so the expressions below are arranged for a short
// critical path: the slowest lookup enters last and key additions are
// started before the value they are added to is ready.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stb/belt/g_tables.h"
#include "stb/belt/internal.h"

#if defined(__GNUC__)
#define BELT_INLINE [[gnu::always_inline]] inline
#else
#define BELT_INLINE inline
#endif

namespace stb::belt::detail {

struct Words {
  std::uint32_t a, b, c, d;
};

inline Words load_words(const std::uint8_t* p) {
  return {load32(p), load32(p + 4), load32(p + 8), load32(p + 12)};
}

inline Words operator^(const Words& x, const Words& y) {
  return {x.a ^ y.a, x.b ^ y.b, x.c ^ y.c, x.d ^ y.d};
}

inline void store_words(std::uint8_t* p, const Words& w) {
  store32(p, w.a);
  store32(p + 4, w.b);
  store32(p + 8, w.c);
  store32(p + 12, w.d);
}

// G_r(u) with r = 5 + 8R: octet p of u looks up table p + R. Octet 2 needs a
// shift and a mask, the others one operation, so its lookup comes in last.
template <unsigned R>
BELT_INLINE std::uint32_t gr(std::uint32_t u) {
  const std::uint32_t t0 = kG.t[R & 3][u & 0xFF];
  const std::uint32_t t1 = kG.t[(R + 1) & 3][(u >> 8) & 0xFF];
  const std::uint32_t t2 = kG.t[(R + 2) & 3][(u >> 16) & 0xFF];
  const std::uint32_t t3 = kG.t[(R + 3) & 3][u >> 24];
  return ((t0 ^ t3) ^ t1) ^ t2;
}

// x ^ G_r(u), x folded in early.
template <unsigned R>
BELT_INLINE std::uint32_t xor_gr(std::uint32_t x, std::uint32_t u) {
  const std::uint32_t t0 = kG.t[R & 3][u & 0xFF];
  const std::uint32_t t1 = kG.t[(R + 1) & 3][(u >> 8) & 0xFF];
  const std::uint32_t t2 = kG.t[(R + 2) & 3][(u >> 16) & 0xFF];
  const std::uint32_t t3 = kG.t[(R + 3) & 3][u >> 24];
  return ((x ^ t0) ^ (t1 ^ t3)) ^ t2;
}

// Steps 1-9 of a round on N blocks, step by step across the blocks; the same
// for both directions apart from the key words (ki: k1..k7 in the order used).
template <std::size_t N>
BELT_INLINE void round_steps(std::uint32_t (&a)[N], std::uint32_t (&b)[N], std::uint32_t (&c)[N],
                             std::uint32_t (&d)[N], const std::uint32_t* k, const unsigned (&ki)[7],
                             std::uint32_t i) {
  std::uint32_t e[N], ck[N], dk[N], g[N];
  for (std::size_t j = 0; j < N; ++j) b[j] = xor_gr<0>(b[j], a[j] + k[ki[0]]);
  for (std::size_t j = 0; j < N; ++j) c[j] = xor_gr<2>(c[j], d[j] + k[ki[1]]);
  for (std::size_t j = 0; j < N; ++j) a[j] = a[j] - gr<1>(b[j] + k[ki[2]]);
  for (std::size_t j = 0; j < N; ++j) e[j] = xor_gr<2>(i, (b[j] + k[ki[3]]) + c[j]);
  for (std::size_t j = 0; j < N; ++j) {
    ck[j] = c[j] + k[ki[4]];
    dk[j] = d[j] + k[ki[6]];
    b[j] = b[j] + e[j];
    c[j] = c[j] - e[j];
  }
  for (std::size_t j = 0; j < N; ++j) {
    g[j] = gr<1>(ck[j] - e[j]);  // G13(c + k5) with the new c
    d[j] = d[j] + g[j];
  }
  for (std::size_t j = 0; j < N; ++j) b[j] = xor_gr<2>(b[j], a[j] + k[ki[5]]);
  for (std::size_t j = 0; j < N; ++j) c[j] = xor_gr<0>(c[j], dk[j] + g[j]);  // G5(d + k7), new d
}

template <std::size_t N>
BELT_INLINE void encrypt_words(const std::uint32_t* k, Words (&s)[N]) {
  std::uint32_t a[N], b[N], c[N], d[N];
  for (std::size_t j = 0; j < N; ++j) a[j] = s[j].a, b[j] = s[j].b, c[j] = s[j].c, d[j] = s[j].d;
    // Fully unrolled: the key indices become constants and the swaps vanish.
#pragma GCC unroll 8
  for (unsigned i = 1; i <= 8; ++i) {
    // Round i uses key words 7(i-1) .. 7(i-1)+6, counted modulo 8.
    const unsigned base = 7 * (i - 1);
    const unsigned ki[7] = {base & 7,       (base + 1) & 7, (base + 2) & 7, (base + 3) & 7,
                            (base + 4) & 7, (base + 5) & 7, (base + 6) & 7};
    round_steps(a, b, c, d, k, ki, i);
    // swap a,b; swap c,d; swap b,c
    for (std::size_t j = 0; j < N; ++j) {
      const std::uint32_t ta = a[j], tb = b[j], tc = c[j], td = d[j];
      a[j] = tb, b[j] = td, c[j] = ta, d[j] = tc;
    }
  }
  // The result is b, d, a, c.
  for (std::size_t j = 0; j < N; ++j) s[j] = Words{b[j], d[j], a[j], c[j]};
}

template <std::size_t N>
BELT_INLINE void decrypt_words(const std::uint32_t* k, Words (&s)[N]) {
  std::uint32_t a[N], b[N], c[N], d[N];
  for (std::size_t j = 0; j < N; ++j) a[j] = s[j].a, b[j] = s[j].b, c[j] = s[j].c, d[j] = s[j].d;
#pragma GCC unroll 8
  for (unsigned i = 8; i >= 1; --i) {
    // The round's key words backwards: 7(i-1)+6 down to 7(i-1).
    const unsigned base = 7 * (i - 1);
    const unsigned ki[7] = {(base + 6) & 7, (base + 5) & 7, (base + 4) & 7, (base + 3) & 7,
                            (base + 2) & 7, (base + 1) & 7, base & 7};
    round_steps(a, b, c, d, k, ki, i);
    // swap a,b; swap c,d; swap a,d
    for (std::size_t j = 0; j < N; ++j) {
      const std::uint32_t ta = a[j], tb = b[j], tc = c[j], td = d[j];
      a[j] = tc, b[j] = ta, c[j] = td, d[j] = tb;
    }
  }
  // The result is c, a, d, b.
  for (std::size_t j = 0; j < N; ++j) s[j] = Words{c[j], a[j], d[j], b[j]};
}

// Blocks run side by side in the bulk loops of the modes.
inline constexpr std::size_t kLanes = 4;

inline void encrypt_block(const std::uint32_t* k, const std::uint8_t* in, std::uint8_t* out) {
  Words s[1] = {load_words(in)};
  encrypt_words(k, s);
  store_words(out, s[0]);
}

inline void decrypt_block(const std::uint32_t* k, const std::uint8_t* in, std::uint8_t* out) {
  Words s[1] = {load_words(in)};
  decrypt_words(k, s);
  store_words(out, s[0]);
}

}  // namespace stb::belt::detail

#undef BELT_INLINE
