// Arithmetic in GF(p) for the primes of the standard curves, which all have
// the form p = 2^(64N) - C with a small C (189, 317 and 569): the high half of
// a product folds back as hi * C. Elements are N little-endian 64-bit limbs
// holding any value below 2^(64N) ("weakly reduced"); canonical() brings one
// below p. Every operation runs the same instructions whatever the values.
// Internal to bign.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stb/bign/field_x86.h"
#include "stb/bign/mp.h"

namespace stb::bign::field {

using mp::Limb;
using mp::Wide;

template <std::size_t N>
struct Fe {
  Limb v[N];
};

template <std::size_t N, Limb C>
struct Field {
  using E = Fe<N>;

  // r = a + top * 2^(64N) folded: adds top * C (top * C < 2^64). A second,
  // rarer wrap leaves a value below top * C in limb 0 alone, so the last
  // correction cannot carry.
  [[gnu::always_inline]] static void fold(E& r, Limb top) {
    unsigned char carry = 0;
    r.v[0] = mp::addc(r.v[0], top * C, carry);
#pragma GCC unroll 8
    for (std::size_t i = 1; i < N; ++i) r.v[i] = mp::addc(r.v[i], 0, carry);
    r.v[0] += carry * C;
  }

  [[gnu::always_inline]] static void add(E& r, const E& a, const E& b) {
    unsigned char carry = 0;
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) r.v[i] = mp::addc(a.v[i], b.v[i], carry);
    fold(r, carry);
  }

  // A borrow means 2^(64N) too much, that is C too much mod p. Subtracting C
  // can borrow only when the value was below C; the wrapped value then has
  // all high limbs set and limb 0 at least 2^64 - C, so the second
  // subtraction stays in limb 0.
  [[gnu::always_inline]] static void sub(E& r, const E& a, const E& b) {
    unsigned char borrow = 0;
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) r.v[i] = mp::subb(a.v[i], b.v[i], borrow);
    Limb k = Limb{borrow} * C;
    borrow = 0;
    r.v[0] = mp::subb(r.v[0], k, borrow);
#pragma GCC unroll 8
    for (std::size_t i = 1; i < N; ++i) r.v[i] = mp::subb(r.v[i], 0, borrow);
    r.v[0] -= borrow * C;
  }

  // lo + hi * C, then the carry word folded in.
  [[gnu::always_inline]] static void reduce(E& r, const Limb (&t)[2 * N]) {
    Limb carry = 0;
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) {
      Wide x = Wide{t[N + i]} * C + t[i] + carry;
      r.v[i] = static_cast<Limb>(x);
      carry = static_cast<Limb>(x >> 64);
    }
    fold(r, carry);
  }

  // Kept out of line: inlined into every formula the unrolled product blows
  // the point code past the instruction cache.
  [[gnu::noinline]] static void mul(E& r, const E& a, const E& b) {
#if STB_BIGN_X86_MUL
    if constexpr (N == 4) {
      if (x86::enabled()) {
        x86::mul4<C>(r.v, a.v, b.v);
        return;
      }
    }
#endif
    Limb t[2 * N] = {};
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) {
      Limb carry = 0;
#pragma GCC unroll 8
      for (std::size_t j = 0; j < N; ++j) {
        Wide x = Wide{a.v[i]} * b.v[j] + t[i + j] + carry;
        t[i + j] = static_cast<Limb>(x);
        carry = static_cast<Limb>(x >> 64);
      }
      t[i + N] = carry;
    }
    reduce(r, t);
  }

  // The cross products once; then doubled, with the squares of the limbs
  // added in the same pass.
  [[gnu::noinline]] static void sqr(E& r, const E& a) {
#if STB_BIGN_X86_MUL
    if constexpr (N == 4) {
      if (x86::enabled()) {
        x86::mul4<C>(r.v, a.v, a.v);
        return;
      }
    }
#endif
    Limb t[2 * N] = {};
#pragma GCC unroll 8
    for (std::size_t i = 0; i + 1 < N; ++i) {
      Limb carry = 0;
#pragma GCC unroll 8
      for (std::size_t j = i + 1; j < N; ++j) {
        Wide x = Wide{a.v[i]} * a.v[j] + t[i + j] + carry;
        t[i + j] = static_cast<Limb>(x);
        carry = static_cast<Limb>(x >> 64);
      }
      t[i + N] = carry;
    }
    Limb carry = 0;
#pragma GCC unroll 8
    for (std::size_t i = 0; i < N; ++i) {
      const Wide square = Wide{a.v[i]} * a.v[i];
      const Wide x = (Wide{t[2 * i]} << 1) + static_cast<Limb>(square) + carry;
      t[2 * i] = static_cast<Limb>(x);
      const Wide y = (Wide{t[2 * i + 1]} << 1) + static_cast<Limb>(square >> 64) +
                     static_cast<Limb>(x >> 64);
      t[2 * i + 1] = static_cast<Limb>(y);
      carry = static_cast<Limb>(y >> 64);
    }
    reduce(r, t);
  }

  static void sqr_n(E& r, const E& a, unsigned n) {
    r = a;
    for (unsigned i = 0; i < n; ++i) sqr(r, r);
  }

  // a^(p-2) = 1/a (0 for 0). p - 2 = 2^(64N) - C - 2 is a run of ones
  // followed by a few low bits: the run costs one squaring per bit and a
  // multiplication per bit of its length, the tail one per set bit. The
  // exponent is fixed, so the sequence of operations is too.
  static void inv(E& r, const E& a) {
    constexpr Limb kLow = Limb{0x10000} - (C + 2);  // the last 16 bits of p - 2
    static_assert(C + 2 < 0x8000, "p - 2 must start with a long run of ones");
    unsigned tail = 16;
    while (tail > 0 && ((kLow >> (tail - 1)) & 1u) != 0) --tail;
    const unsigned run = 64 * N - tail;
    // t = a^(2^len - 1), len growing along the binary digits of run
    E t = a, s;
    unsigned len = 1;
    for (int bit = 30 - __builtin_clz(run); bit >= 0; --bit) {
      sqr_n(s, t, len);
      mul(t, s, t);
      len *= 2;
      if (((run >> bit) & 1u) != 0) {
        sqr(t, t);
        mul(t, t, a);
        len += 1;
      }
    }
    for (int bit = static_cast<int>(tail) - 1; bit >= 0; --bit) {
      sqr(t, t);
      if (((kLow >> bit) & 1u) != 0) mul(t, t, a);
    }
    r = t;
  }

  // Below p: v >= p exactly when v + C carries out of 2^(64N).
  static void canonical(E& r, const E& a) {
    E t;
    Limb c[N] = {C};
    Limb carry = mp::add(t.v, a.v, c, N);
    mp::select(r.v, mp::mask_of(carry), t.v, a.v, N);
  }

  // 1 when a = 0 mod p.
  static Limb is_zero(const E& a) {
    E t;
    canonical(t, a);
    return mp::is_zero(t.v, N);
  }

  // 1 when a = b mod p.
  static Limb equal(const E& a, const E& b) {
    E t;
    sub(t, a, b);
    return is_zero(t);
  }

  // r = mask ? a : r.
  static void cmov(E& r, const E& a, Limb mask) {
    mp::select(r.v, mask, a.v, r.v, N);
  }

  static void set_word(E& r, Limb w) {
    r.v[0] = w;
    for (std::size_t i = 1; i < N; ++i) r.v[i] = 0;
  }

  // a^e for a public exponent e (8N little-endian octets), four bits at a
  // time; the table index is the exponent's, never a's.
  static void pow(E& r, const E& a, const std::uint8_t* e) {
    E table[16];
    set_word(table[0], 1);
    table[1] = a;
    for (std::size_t i = 2; i < 16; ++i) mul(table[i], table[i - 1], a);
    E acc;
    set_word(acc, 1);
    for (std::size_t i = 16 * N; i-- > 0;) {
      for (int s = 0; s < 4; ++s) sqr(acc, acc);
      mul(acc, acc, table[(unsigned{e[i / 2]} >> (4 * (i % 2))) & 15u]);
    }
    r = acc;
  }
};

}  // namespace stb::bign::field
