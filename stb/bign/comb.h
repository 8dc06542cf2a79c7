// k G for a secret k: the scalar in signed 6-bit digits (Booth recoding,
// digits -32..32), and for every digit position i a table of j 2^(6i) G,
// j = 1..32, in affine form. Each digit costs one masked scan of its row,
// a masked negation and one complete mixed addition whose result is kept
// only for a non-zero digit: the same operations and the same memory for
// every scalar. Internal to bign.
#pragma once

#include <openssl/crypto.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "stb/bign/point.h"

namespace stb::bign::comb {

using field::Limb;

// All ones when a == b (both small), else zero.
inline Limb eq_mask(Limb a, Limb b) {
  const Limb x = a ^ b;
  return mp::mask_of(((x | (Limb{0} - x)) >> 63) ^ 1);
}

// Bits pos .. pos + count - 1 of a little-endian scalar of `octets` octets
// (bits outside it read as 0). The positions are public; the value is not.
inline Limb bits_at(const std::uint8_t* k, std::size_t octets, long pos, unsigned count) {
  Limb v = 0;
  for (unsigned j = 0; j < count; ++j) {
    const long b = pos + static_cast<long>(j);
    if (b < 0 || static_cast<std::size_t>(b) >= 8 * octets) continue;
    const auto ub = static_cast<std::size_t>(b);
    v |= Limb{static_cast<std::uint8_t>(k[ub / 8] >> (ub % 8)) & 1u} << j;
  }
  return v;
}

template <std::size_t N, Limb C>
class FixedBase {
  using Cv = point::Curve<N, C>;
  using F = typename Cv::F;
  using E = typename Cv::E;
  using P = typename Cv::Projective;
  using A = typename Cv::Affine;

 public:
  static constexpr unsigned kBits = 6;
  static constexpr unsigned kRow = 1u << (kBits - 1);  // 32 points per digit
  static constexpr std::size_t kDigits = (64 * N + 1 + kBits - 1) / kBits;

  // Projective points to affine ones with one inversion for all.
  static void normalize(A* out, const P* in, std::size_t n) {
    auto prefix = std::make_unique<E[]>(n);
    prefix[0] = in[0].z;
    for (std::size_t i = 1; i < n; ++i) F::mul(prefix[i], prefix[i - 1], in[i].z);
    E inv;
    F::inv(inv, prefix[n - 1]);
    for (std::size_t i = n; i-- > 0;) {
      E zinv;
      if (i > 0) {
        F::mul(zinv, inv, prefix[i - 1]);
        F::mul(inv, inv, in[i].z);
      } else {
        zinv = inv;
      }
      F::mul(out[i].x, in[i].x, zinv);
      F::mul(out[i].y, in[i].y, zinv);
    }
  }

  void build(const Cv& cv, const A& g) {
    constexpr std::size_t kCount = kRow * kDigits;
    auto points = std::make_unique<P[]>(kCount);
    P base;
    Cv::from_affine(base, g);
    for (std::size_t i = 0; i < kDigits; ++i) {
      P* row = &points[kRow * i];
      row[0] = base;
      for (std::size_t j = 1; j < kRow; ++j) cv.add(row[j], row[j - 1], base);
      cv.add(base, row[kRow - 1], row[kRow - 1]);  // 64 times this row's base
    }
    table_ = std::make_unique<A[]>(kCount);
    normalize(table_.get(), points.get(), kCount);
  }

  // r = k G for a scalar of 8N octets.
  void mul(const Cv& cv, P& r, const std::uint8_t* k) const {
    Cv::set_infinity(r);
    A t;
    P s;
    E minus_y, zero;
    F::set_word(zero, 0);
    for (std::size_t i = 0; i < kDigits; ++i) {
      // Digit i from bits 6i - 1 .. 6i + 5: (low six + 1) / 2, less 32
      // when the top bit is set.
      const Limb w = bits_at(k, 8 * N, static_cast<long>(kBits * i) - 1, kBits + 1);
      const Limb negative = w >> kBits;
      const Limb up = ((w & (2 * kRow - 1)) + 1) >> 1;
      const Limb digit = up ^ ((up ^ (kRow - up)) & mp::mask_of(negative));
      select(t, &table_[kRow * i], digit);
      F::sub(minus_y, zero, t.y);
      F::cmov(t.y, minus_y, mp::mask_of(negative));
      cv.add_affine(s, r, t);
      Cv::cmov(r, s, ~eq_mask(digit, 0));
    }
    OPENSSL_cleanse(&t, sizeof t);
    OPENSSL_cleanse(&s, sizeof s);
    OPENSSL_cleanse(&minus_y, sizeof minus_y);
  }

 private:
  // t = row[digit - 1], every entry read; zero for digit 0. Two limbs at a
  // time in 128-bit vectors, which every x86-64 processor has.
  static void select(A& t, const A* row, Limb digit) {
    using V2 = Limb __attribute__((vector_size(16)));
    static_assert(sizeof(A) == 16 * N, "an affine point is 2N limbs");
    V2 acc[N] = {};
    for (unsigned j = 0; j < kRow; ++j) {
      const Limb m = eq_mask(digit, j + 1);
      const V2 mask = {m, m};
      const auto* e = reinterpret_cast<const unsigned char*>(&row[j]);
      for (std::size_t l = 0; l < N; ++l) {
        V2 v;
        std::memcpy(&v, e + 16 * l, sizeof v);
        acc[l] |= v & mask;
      }
    }
    std::memcpy(&t, acc, sizeof t);
    OPENSSL_cleanse(acc, sizeof acc);
  }

  std::unique_ptr<A[]> table_;
};

}  // namespace stb::bign::comb
