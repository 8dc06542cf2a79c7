// Fixed-width unsigned numbers in 64-bit limbs, least significant limb first,
// with no data-dependent branches or memory accesses: loops run over the
// width n only, and choices are made with masks. Internal to bign.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace stb::bign::mp {

using Limb = std::uint64_t;
__extension__ using Wide = unsigned __int128;

inline constexpr std::size_t kMaxLimbs = 8;

// Little-endian octets (8n of them) to n limbs and back.
inline void from_le(Limb* r, const std::uint8_t* in, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    Limb w = 0;
    for (std::size_t j = 8; j-- > 0;) w = w << 8 | in[8 * i + j];
    r[i] = w;
  }
}

inline void to_le(std::uint8_t* out, const Limb* a, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < 8; ++j) out[8 * i + j] = static_cast<std::uint8_t>(a[i] >> (8 * j));
  }
}

// All ones when bit is 1, zero when it is 0.
inline Limb mask_of(Limb bit) {
  return Limb{0} - bit;
}

// One step of a carry chain: a + b + carry, the new carry (0 or 1) in carry.
// On x86-64 the intrinsics become one adc / sbb each.
inline Limb addc(Limb a, Limb b, unsigned char& carry) {
#if defined(__x86_64__)
  unsigned long long r;
  carry = _addcarry_u64(carry, a, b, &r);
  return r;
#else
  Wide t = Wide{a} + b + carry;
  carry = static_cast<unsigned char>(t >> 64);
  return static_cast<Limb>(t);
#endif
}

inline Limb subb(Limb a, Limb b, unsigned char& borrow) {
#if defined(__x86_64__)
  unsigned long long r;
  borrow = _subborrow_u64(borrow, a, b, &r);
  return r;
#else
  Wide t = Wide{a} - b - borrow;
  borrow = static_cast<unsigned char>((t >> 64) & 1);
  return static_cast<Limb>(t);
#endif
}

inline Limb add(Limb* r, const Limb* a, const Limb* b, std::size_t n) {
  unsigned char carry = 0;
  for (std::size_t i = 0; i < n; ++i) r[i] = addc(a[i], b[i], carry);
  return carry;
}

inline Limb sub(Limb* r, const Limb* a, const Limb* b, std::size_t n) {
  unsigned char borrow = 0;
  for (std::size_t i = 0; i < n; ++i) r[i] = subb(a[i], b[i], borrow);
  return borrow;
}

// r = mask ? a : b (mask all ones or zero).
inline void select(Limb* r, Limb mask, const Limb* a, const Limb* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) r[i] = (a[i] & mask) | (b[i] & ~mask);
}

// 1 when a < b, else 0.
inline Limb less(const Limb* a, const Limb* b, std::size_t n) {
  unsigned char borrow = 0;
  for (std::size_t i = 0; i < n; ++i) subb(a[i], b[i], borrow);
  return borrow;
}

// 1 when a == 0, else 0.
inline Limb is_zero(const Limb* a, std::size_t n) {
  Limb acc = 0;
  for (std::size_t i = 0; i < n; ++i) acc |= a[i];
  return 1 ^ ((acc | (Limb{0} - acc)) >> 63);
}

// Arithmetic modulo an odd m of n limbs; operands are below m.
struct Modulus {
  Limb m[kMaxLimbs];
  Limb r2[kMaxLimbs];  // 2^(128n) mod m: enters the Montgomery form
  Limb m0inv;          // -m^-1 mod 2^64
  std::size_t n;
};

inline void mod_add(Limb* r, const Limb* a, const Limb* b, const Modulus& M) {
  Limb s[kMaxLimbs], t[kMaxLimbs];
  Limb carry = add(s, a, b, M.n);
  Limb borrow = sub(t, s, M.m, M.n);
  // keep s only when a + b < m: no carry out and the subtraction borrowed
  select(r, mask_of(borrow & (carry ^ 1)), s, t, M.n);
}

inline void mod_sub(Limb* r, const Limb* a, const Limb* b, const Modulus& M) {
  Limb s[kMaxLimbs], t[kMaxLimbs];
  Limb borrow = sub(s, a, b, M.n);
  add(t, s, M.m, M.n);
  select(r, mask_of(borrow), t, s, M.n);
}

// r = a b 2^(-64n) mod m (word-by-word Montgomery reduction).
inline void mont_mul(Limb* r, const Limb* a, const Limb* b, const Modulus& M) {
  const std::size_t n = M.n;
  Limb t[kMaxLimbs + 2] = {};
  for (std::size_t i = 0; i < n; ++i) {
    Limb c = 0;
    for (std::size_t j = 0; j < n; ++j) {
      Wide x = Wide{a[j]} * b[i] + t[j] + c;
      t[j] = static_cast<Limb>(x);
      c = static_cast<Limb>(x >> 64);
    }
    Wide x = Wide{t[n]} + c;
    t[n] = static_cast<Limb>(x);
    t[n + 1] = static_cast<Limb>(x >> 64);

    Limb u = t[0] * M.m0inv;
    x = Wide{u} * M.m[0] + t[0];
    c = static_cast<Limb>(x >> 64);
    for (std::size_t j = 1; j < n; ++j) {
      x = Wide{u} * M.m[j] + t[j] + c;
      t[j - 1] = static_cast<Limb>(x);
      c = static_cast<Limb>(x >> 64);
    }
    x = Wide{t[n]} + c;
    t[n - 1] = static_cast<Limb>(x);
    t[n] = t[n + 1] + static_cast<Limb>(x >> 64);
  }
  Limb s[kMaxLimbs];
  Limb borrow = sub(s, t, M.m, n);
  // t < 2m: subtract m unless t (with its top limb t[n]) was already below m
  select(r, mask_of(borrow & (t[n] ^ 1)), t, s, n);
}

// Fills in r2 and m0inv for M.m and M.n.
inline void mod_setup(Modulus& M) {
  Limb inv = M.m[0];  // right to 3 bits for odd m; each step doubles that
  for (int i = 0; i < 5; ++i) inv *= 2 - M.m[0] * inv;
  M.m0inv = Limb{0} - inv;
  Limb x[kMaxLimbs] = {1};
  for (std::size_t i = 0; i < 128 * M.n; ++i) mod_add(x, x, x, M);
  for (std::size_t i = 0; i < M.n; ++i) M.r2[i] = x[i];
}

// r = a b mod m.
inline void mod_mul(Limb* r, const Limb* a, const Limb* b, const Modulus& M) {
  Limb t[kMaxLimbs];
  mont_mul(t, a, b, M);
  mont_mul(r, t, M.r2, M);
}

}  // namespace stb::bign::mp
