// The belt rounds on sixteen blocks held word-sliced in four 512-bit vectors
// (vector a holds word a of every block, and so on). The substitution H is
// two 128-entry byte permutes, picked between by the top bit of each octet;
// the rotations of G are single instructions.
#include <openssl/crypto.h>

#include <atomic>
#include <cstring>

#include "stb/belt/h_table.h"
#include "stb/belt/wide.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define BELT_HAVE_WIDE 1
#define BELT_WIDE __attribute__((target("avx512f,avx512bw,avx512vbmi")))
// GCC 12 reports its own placeholder operand inside several intrinsics as
// uninitialised when they are inlined into target-attributed functions.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace stb::belt::detail {
namespace {

std::atomic<bool> g_enabled{true};

bool cpu_has_wide() {
#ifdef BELT_HAVE_WIDE
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512vbmi");
  return has;
#else
  return false;
#endif
}

#ifdef BELT_HAVE_WIDE

struct Slices {
  __m512i a, b, c, d;
};

struct Tables {
  __m512i h0, h1, h2, h3;  // H in four 64-octet pieces
};

BELT_WIDE inline Tables load_tables() {
  return {_mm512_loadu_si512(kH), _mm512_loadu_si512(kH + 64), _mm512_loadu_si512(kH + 128),
          _mm512_loadu_si512(kH + 192)};
}

// H on every octet.
BELT_WIDE inline __m512i sub_h(const Tables& t, __m512i x) {
  const __m512i lo = _mm512_permutex2var_epi8(t.h0, x, t.h1);
  const __m512i hi = _mm512_permutex2var_epi8(t.h2, x, t.h3);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lo, hi);
}

template <int R>
BELT_WIDE inline __m512i g(const Tables& t, __m512i u) {
  return _mm512_rol_epi32(sub_h(t, u), R);
}

BELT_WIDE inline __m512i add(__m512i x, __m512i y) {
  return _mm512_add_epi32(x, y);
}
BELT_WIDE inline __m512i sub(__m512i x, __m512i y) {
  return _mm512_sub_epi32(x, y);
}
BELT_WIDE inline __m512i xr(__m512i x, __m512i y) {
  return _mm512_xor_si512(x, y);
}

// Steps 1-9 of a round on M groups of sixteen blocks side by side (the
// permutes have a long latency; four groups keep the units busy); kw = the
// seven key words in the order used.
template <std::size_t M>
BELT_WIDE inline void round_steps(const Tables& t, Slices (&s)[M], const __m512i (&kw)[7],
                                  std::uint32_t i) {
  const __m512i ri = _mm512_set1_epi32(static_cast<int>(i));
  __m512i e[M];
  for (std::size_t m = 0; m < M; ++m) s[m].b = xr(s[m].b, g<5>(t, add(s[m].a, kw[0])));
  for (std::size_t m = 0; m < M; ++m) s[m].c = xr(s[m].c, g<21>(t, add(s[m].d, kw[1])));
  for (std::size_t m = 0; m < M; ++m) s[m].a = sub(s[m].a, g<13>(t, add(s[m].b, kw[2])));
  for (std::size_t m = 0; m < M; ++m) e[m] = xr(g<21>(t, add(add(s[m].b, s[m].c), kw[3])), ri);
  for (std::size_t m = 0; m < M; ++m) s[m].b = add(s[m].b, e[m]), s[m].c = sub(s[m].c, e[m]);
  for (std::size_t m = 0; m < M; ++m) s[m].d = add(s[m].d, g<13>(t, add(s[m].c, kw[4])));
  for (std::size_t m = 0; m < M; ++m) s[m].b = xr(s[m].b, g<21>(t, add(s[m].a, kw[5])));
  for (std::size_t m = 0; m < M; ++m) s[m].c = xr(s[m].c, g<5>(t, add(s[m].d, kw[6])));
}

BELT_WIDE inline __m512i key_word(const std::uint32_t* k, unsigned j) {
  return _mm512_set1_epi32(static_cast<int>(k[j & 7]));
}

template <std::size_t M>
BELT_WIDE void encrypt_n(const std::uint32_t* k, Slices (&s)[M]) {
  const Tables t = load_tables();
  for (std::uint32_t i = 1; i <= 8; ++i) {
    const unsigned base = 7 * (i - 1);
    const __m512i kw[7] = {key_word(k, base),     key_word(k, base + 1), key_word(k, base + 2),
                           key_word(k, base + 3), key_word(k, base + 4), key_word(k, base + 5),
                           key_word(k, base + 6)};
    round_steps(t, s, kw, i);
    for (std::size_t m = 0; m < M; ++m)
      s[m] = Slices{s[m].b, s[m].d, s[m].a, s[m].c};  // a<->b, c<->d, b<->c
  }
  for (std::size_t m = 0; m < M; ++m)
    s[m] = Slices{s[m].b, s[m].d, s[m].a, s[m].c};  // result b, d, a, c
}

template <std::size_t M>
BELT_WIDE void decrypt_n(const std::uint32_t* k, Slices (&s)[M]) {
  const Tables t = load_tables();
  for (std::uint32_t i = 8; i >= 1; --i) {
    const unsigned base = 7 * (i - 1);
    const __m512i kw[7] = {key_word(k, base + 6), key_word(k, base + 5), key_word(k, base + 4),
                           key_word(k, base + 3), key_word(k, base + 2), key_word(k, base + 1),
                           key_word(k, base)};
    round_steps(t, s, kw, i);
    for (std::size_t m = 0; m < M; ++m)
      s[m] = Slices{s[m].c, s[m].a, s[m].d, s[m].b};  // a<->b, c<->d, a<->d
  }
  for (std::size_t m = 0; m < M; ++m)
    s[m] = Slices{s[m].c, s[m].a, s[m].d, s[m].b};  // result c, a, d, b
}

// Four vectors of four whole blocks each <-> word slices.
BELT_WIDE inline Slices to_slices(__m512i z0, __m512i z1, __m512i z2, __m512i z3) {
  const __m512i ab = _mm512_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28, 1, 5, 9, 13, 17, 21, 25, 29);
  const __m512i cd = _mm512_setr_epi32(2, 6, 10, 14, 18, 22, 26, 30, 3, 7, 11, 15, 19, 23, 27, 31);
  const __m512i lo = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
  const __m512i hi =
      _mm512_setr_epi32(8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31);
  const __m512i t0 = _mm512_permutex2var_epi32(z0, ab, z1);
  const __m512i t1 = _mm512_permutex2var_epi32(z0, cd, z1);
  const __m512i t2 = _mm512_permutex2var_epi32(z2, ab, z3);
  const __m512i t3 = _mm512_permutex2var_epi32(z2, cd, z3);
  return {_mm512_permutex2var_epi32(t0, lo, t2), _mm512_permutex2var_epi32(t0, hi, t2),
          _mm512_permutex2var_epi32(t1, lo, t3), _mm512_permutex2var_epi32(t1, hi, t3)};
}

struct Blocks16 {
  __m512i z[4];
};

BELT_WIDE inline Blocks16 from_slices(const Slices& s) {
  const __m512i lo = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
  const __m512i hi =
      _mm512_setr_epi32(8, 9, 10, 11, 12, 13, 14, 15, 24, 25, 26, 27, 28, 29, 30, 31);
  const __m512i i0 = _mm512_setr_epi32(0, 8, 16, 24, 1, 9, 17, 25, 2, 10, 18, 26, 3, 11, 19, 27);
  const __m512i i1 = _mm512_setr_epi32(4, 12, 20, 28, 5, 13, 21, 29, 6, 14, 22, 30, 7, 15, 23, 31);
  const __m512i t0 = _mm512_permutex2var_epi32(s.a, lo, s.b);  // a0..a7, b0..b7
  const __m512i t2 = _mm512_permutex2var_epi32(s.a, hi, s.b);  // a8..a15, b8..b15
  const __m512i t1 = _mm512_permutex2var_epi32(s.c, lo, s.d);
  const __m512i t3 = _mm512_permutex2var_epi32(s.c, hi, s.d);
  return {{_mm512_permutex2var_epi32(t0, i0, t1), _mm512_permutex2var_epi32(t0, i1, t1),
           _mm512_permutex2var_epi32(t2, i0, t3), _mm512_permutex2var_epi32(t2, i1, t3)}};
}

BELT_WIDE inline Blocks16 load16(const std::uint8_t* p) {
  return {{_mm512_loadu_si512(p), _mm512_loadu_si512(p + 64), _mm512_loadu_si512(p + 128),
           _mm512_loadu_si512(p + 192)}};
}

BELT_WIDE inline void store16(std::uint8_t* p, const Blocks16& b) {
  for (int j = 0; j < 4; ++j) _mm512_storeu_si512(p + 64 * j, b.z[j]);
}

BELT_WIDE inline Slices slices(const Blocks16& b) {
  return to_slices(b.z[0], b.z[1], b.z[2], b.z[3]);
}

// The blocks one place on: block 0 = prev, block j = b[j-1]; returns that and
// leaves the last block of b in prev's top lane for next time.
BELT_WIDE inline Blocks16 shift_in(const Blocks16& b, __m512i& prev) {
  Blocks16 r;
  r.z[0] = _mm512_alignr_epi32(b.z[0], prev, 12);
  for (int j = 1; j < 4; ++j) r.z[j] = _mm512_alignr_epi32(b.z[j], b.z[j - 1], 12);
  prev = b.z[3];
  return r;
}

// Each mode runs 64 blocks at a time while it can, then 16.
template <std::size_t M>
BELT_WIDE void ecb_run(const std::uint32_t* k, bool encrypt, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t blocks, std::size_t& done) {
  for (; blocks - done >= 16 * M; done += 16 * M) {
    Slices s[M];
    for (std::size_t m = 0; m < M; ++m) s[m] = slices(load16(in + 16 * done + 256 * m));
    if (encrypt) {
      encrypt_n(k, s);
    } else {
      decrypt_n(k, s);
    }
    for (std::size_t m = 0; m < M; ++m) store16(out + 16 * done + 256 * m, from_slices(s[m]));
  }
}

BELT_WIDE std::size_t ecb_impl(const std::uint32_t* k, bool encrypt, const std::uint8_t* in,
                               std::uint8_t* out, std::size_t blocks) {
  std::size_t done = 0;
  ecb_run<4>(k, encrypt, in, out, blocks, done);
  ecb_run<1>(k, encrypt, in, out, blocks, done);
  return done;
}

// The next sixteen counter values (w = the counter words, advanced).
BELT_WIDE inline Slices next_counters(std::uint32_t (&w)[4]) {
  if (w[0] <= 0xFFFFFFFFu - 16) {
    // No carry out of the first word: the slices are the counter words, the
    // first one stepped by 1..16.
    const __m512i steps = _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const Slices s{_mm512_add_epi32(_mm512_set1_epi32(static_cast<int>(w[0])), steps),
                   _mm512_set1_epi32(static_cast<int>(w[1])),
                   _mm512_set1_epi32(static_cast<int>(w[2])),
                   _mm512_set1_epi32(static_cast<int>(w[3]))};
    w[0] += 16;
    return s;
  }
  alignas(64) std::uint32_t counters[64];
  for (int j = 0; j < 16; ++j) {
    for (int t = 0; t < 4 && ++w[t] == 0; ++t) {
    }
    std::memcpy(counters + 4 * j, w, 16);
  }
  const Slices s = slices(load16(reinterpret_cast<const std::uint8_t*>(counters)));
  OPENSSL_cleanse(counters, sizeof counters);
  return s;
}

template <std::size_t M>
BELT_WIDE void ctr_run(const std::uint32_t* k, std::uint32_t (&w)[4], const std::uint8_t* in,
                       std::uint8_t* out, std::size_t blocks, std::size_t& done) {
  for (; blocks - done >= 16 * M; done += 16 * M) {
    Slices s[M];
    for (std::size_t m = 0; m < M; ++m) s[m] = next_counters(w);
    encrypt_n(k, s);
    for (std::size_t m = 0; m < M; ++m) {
      const Blocks16 g = from_slices(s[m]);
      const Blocks16 x = load16(in + 16 * done + 256 * m);
      Blocks16 y;
      for (int j = 0; j < 4; ++j) y.z[j] = xr(x.z[j], g.z[j]);
      store16(out + 16 * done + 256 * m, y);
    }
  }
}

BELT_WIDE std::size_t ctr_impl(const std::uint32_t* k, std::uint8_t ctr[16], const std::uint8_t* in,
                               std::uint8_t* out, std::size_t blocks) {
  std::uint32_t w[4];
  std::memcpy(w, ctr, 16);
  std::size_t done = 0;
  ctr_run<4>(k, w, in, out, blocks, done);
  ctr_run<1>(k, w, in, out, blocks, done);
  std::memcpy(ctr, w, 16);
  return done;
}

// CBC and CFB decryption: block j pairs with ciphertext block j-1 (the chain
// block for j = 0), held in the top lane of prev between groups.
template <bool Cbc, std::size_t M>
BELT_WIDE void chained_run(const std::uint32_t* k, __m512i& prev, const std::uint8_t* in,
                           std::uint8_t* out, std::size_t blocks, std::size_t& done) {
  for (; blocks - done >= 16 * M; done += 16 * M) {
    Blocks16 y[M], p[M];
    Slices s[M];
    for (std::size_t m = 0; m < M; ++m) {
      y[m] = load16(in + 16 * done + 256 * m);
      p[m] = shift_in(y[m], prev);
      s[m] = slices(Cbc ? y[m] : p[m]);
    }
    if (Cbc) {
      decrypt_n(k, s);
    } else {
      encrypt_n(k, s);
    }
    for (std::size_t m = 0; m < M; ++m) {
      const Blocks16 x = from_slices(s[m]);
      const Blocks16& other = Cbc ? p[m] : y[m];
      Blocks16 r;
      for (int j = 0; j < 4; ++j) r.z[j] = xr(x.z[j], other.z[j]);
      store16(out + 16 * done + 256 * m, r);
    }
  }
}

template <bool Cbc>
BELT_WIDE std::size_t chained_impl(const std::uint32_t* k, std::uint8_t chain[16],
                                   const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chain));
  __m512i prev = _mm512_broadcast_i32x4(c);
  std::size_t done = 0;
  chained_run<Cbc, 4>(k, prev, in, out, blocks, done);
  chained_run<Cbc, 1>(k, prev, in, out, blocks, done);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(chain), _mm512_extracti32x4_epi32(prev, 3));
  return done;
}

bool use_wide(std::size_t blocks) {
  return blocks >= 16 && g_enabled.load(std::memory_order_relaxed) && cpu_has_wide();
}

#endif  // BELT_HAVE_WIDE

}  // namespace

bool wide_available() {
  return cpu_has_wide();
}

void set_wide_enabled(bool on) {
  g_enabled.store(on, std::memory_order_relaxed);
}

#ifdef BELT_HAVE_WIDE

std::size_t ecb_wide(const std::uint32_t* k, bool encrypt, const std::uint8_t* in,
                     std::uint8_t* out, std::size_t blocks) {
  return use_wide(blocks) ? ecb_impl(k, encrypt, in, out, blocks) : 0;
}

std::size_t ctr_wide(const std::uint32_t* k, std::uint8_t ctr[16], const std::uint8_t* in,
                     std::uint8_t* out, std::size_t blocks) {
  return use_wide(blocks) ? ctr_impl(k, ctr, in, out, blocks) : 0;
}

std::size_t cbc_decrypt_wide(const std::uint32_t* k, std::uint8_t chain[16], const std::uint8_t* in,
                             std::uint8_t* out, std::size_t blocks) {
  return use_wide(blocks) ? chained_impl<true>(k, chain, in, out, blocks) : 0;
}

std::size_t cfb_decrypt_wide(const std::uint32_t* k, std::uint8_t chain[16], const std::uint8_t* in,
                             std::uint8_t* out, std::size_t blocks) {
  return use_wide(blocks) ? chained_impl<false>(k, chain, in, out, blocks) : 0;
}

#else

std::size_t ecb_wide(const std::uint32_t*, bool, const std::uint8_t*, std::uint8_t*, std::size_t) {
  return 0;
}
std::size_t ctr_wide(const std::uint32_t*, std::uint8_t*, const std::uint8_t*, std::uint8_t*,
                     std::size_t) {
  return 0;
}
std::size_t cbc_decrypt_wide(const std::uint32_t*, std::uint8_t*, const std::uint8_t*,
                             std::uint8_t*, std::size_t) {
  return 0;
}
std::size_t cfb_decrypt_wide(const std::uint32_t*, std::uint8_t*, const std::uint8_t*,
                             std::uint8_t*, std::size_t) {
  return 0;
}

#endif

}  // namespace stb::belt::detail
