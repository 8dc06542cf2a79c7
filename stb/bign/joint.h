// u G + v Q for signature verification, where every input is public: one
// run of doublings shared by three scalars in width-w non-adjacent form
// (interleaved wNAF). v has l + 1 bits; u, up to 2l bits, is split as
// u0 + 2^l u1 with u1 taken against G' = 2^l G, so the doublings stop at
// l + 1. The odd multiples of G and G' are precomputed in affine form, those
// of Q computed per call. Branches and table indexes follow the scalars,
// which is fine only because they are public. Internal to bign.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "stb/bign/comb.h"
#include "stb/bign/point_public.h"

namespace stb::bign::joint {

using field::Limb;

// The width-w NAF of a little-endian scalar of `octets` octets, counting
// `bits` bits from bit `from`: digits odd or zero, |digit| < 2^(w-1), at most
// one non-zero in any w consecutive. Returns the number of digits.
template <std::size_t Max>
std::size_t wnaf(std::array<int, Max>& out, const std::uint8_t* k, std::size_t octets,
                 std::size_t from, std::size_t bits, unsigned w) {
  // The window value is kept in an int and refilled bit by bit.
  const int full = 1 << w, half = 1 << (w - 1);
  auto bit = [&](std::size_t i) -> int {
    const std::size_t b = from + i;
    if (i >= bits || b >= 8 * octets) return 0;
    return (k[b / 8] >> (b % 8)) & 1;
  };
  int window = 0;
  for (unsigned j = 0; j < w; ++j) window |= bit(j) << j;
  std::size_t n = 0;
  for (std::size_t i = 0; i < bits + 1 && n < Max; ++i) {
    int digit = 0;
    if ((window & 1) != 0) {
      digit = window & (full - 1);
      if (digit >= half) digit -= full;
      window -= digit;
    }
    out[n++] = digit;
    window = (window >> 1) + (bit(i + w) << (w - 1));
  }
  while (n > 0 && out[n - 1] == 0) --n;
  return n;
}

template <std::size_t N, Limb C>
class Verifier {
  using Cv = point::Curve<N, C>;
  using Ops = point::PublicOps<N, C>;
  using F = typename Cv::F;
  using E = typename Cv::E;
  using P = typename Cv::Projective;
  using A = typename Cv::Affine;
  using J = typename Cv::Jacobian;

 public:
  static constexpr unsigned kGWidth = 7;  // 32 odd multiples of G and G'
  static constexpr unsigned kQWidth = 5;  // 8 odd multiples of Q
  static constexpr std::size_t kHalf = 32 * N;  // l bits
  static constexpr std::size_t kMaxDigits = kHalf + 2;

  // The odd multiples of G and G' = 2^l G.
  void build(const Cv& cv, const A& g) {
    constexpr std::size_t kCount = std::size_t{1} << (kGWidth - 2);
    P pts[2 * kCount];
    P base;
    Cv::from_affine(base, g);
    for (std::size_t half = 0; half < 2; ++half) {
      P twice;
      cv.add(twice, base, base);
      pts[half * kCount] = base;
      for (std::size_t j = 1; j < kCount; ++j)
        cv.add(pts[half * kCount + j], pts[half * kCount + j - 1], twice);
      for (std::size_t i = 0; i < kHalf; ++i) cv.add(base, base, base);
    }
    comb::FixedBase<N, C>::normalize(odd_, pts, 2 * kCount);
  }

  // x(u G + v Q) for 8N-octet u and v, false for the point at infinity.
  bool mul(const std::uint8_t* u, const std::uint8_t* v, const A& q, E& x) const {
    std::array<int, kMaxDigits> dq{}, d0{}, d1{};
    const std::size_t nq = wnaf(dq, v, 8 * N, 0, kHalf + 1, kQWidth);
    const std::size_t n0 = wnaf(d0, u, 8 * N, 0, kHalf, kGWidth);
    const std::size_t n1 = wnaf(d1, u, 8 * N, kHalf, kHalf, kGWidth);
    J qs[1u << (kQWidth - 2)];
    Ops::from_affine(qs[0], q);
    J twice;
    Cv::dbl(twice, qs[0]);
    for (std::size_t j = 1; j < std::size(qs); ++j) Ops::add(qs[j], qs[j - 1], twice);

    constexpr std::size_t kCount = std::size_t{1} << (kGWidth - 2);
    J r;
    Ops::set_infinity(r);
    for (std::size_t i = std::max({nq, n0, n1}); i-- > 0;) {
      if (!Ops::is_infinity(r)) Cv::dbl(r, r);
      if (dq[i] != 0) {
        J t = qs[index(dq[i])];
        if (dq[i] < 0) Ops::negate(t, t);
        Ops::add(r, r, t);
      }
      add_g(r, odd_[index(d0[i])], d0[i]);
      add_g(r, odd_[kCount + index(d1[i])], d1[i]);
    }
    if (Ops::is_infinity(r)) return false;
    E zinv, t;
    F::inv(zinv, r.z);
    F::sqr(t, zinv);
    F::mul(x, r.x, t);
    F::canonical(x, x);
    return true;
  }

 private:
  // The table place of an odd digit's magnitude.
  static std::size_t index(int digit) { return static_cast<std::size_t>(std::abs(digit) / 2); }

  static void add_g(J& r, const A& p, int digit) {
    if (digit == 0) return;
    if (digit > 0) {
      Ops::add_mixed(r, r, p);
    } else {
      A n;
      Ops::negate(n, p);
      Ops::add_mixed(r, r, n);
    }
  }

  A odd_[2u << (kGWidth - 2)]{};
};

}  // namespace stb::bign::joint
