// Jacobian point additions for public points only (signature verification):
// the usual formulas, cheaper than the complete ones of point.h, which branch
// on the exceptional cases (a point at infinity, P + P, P - P). Never use
// them with secret values. O is any point with Z = 0. Internal to bign.
#pragma once

#include "stb/bign/point.h"

namespace stb::bign::point {

template <std::size_t N, field::Limb C>
struct PublicOps {
  using Cv = Curve<N, C>;
  using F = typename Cv::F;
  using E = typename Cv::E;
  using J = typename Cv::Jacobian;
  using A = typename Cv::Affine;

  static bool is_infinity(const J& p) { return F::is_zero(p.z) != 0; }

  static void set_infinity(J& r) {
    F::set_word(r.x, 1);
    F::set_word(r.y, 1);
    F::set_word(r.z, 0);
  }

  static void from_affine(J& r, const A& a) {
    r.x = a.x;
    r.y = a.y;
    F::set_word(r.z, 1);
  }

  static void negate(A& r, const A& a) {
    E zero;
    F::set_word(zero, 0);
    r.x = a.x;
    F::sub(r.y, zero, a.y);
  }

  static void negate(J& r, const J& a) {
    E zero;
    F::set_word(zero, 0);
    r.x = a.x;
    r.z = a.z;
    F::sub(r.y, zero, a.y);
  }

  // The common end of both additions: h = U2 - U1, r = S2 - S1 (not both
  // zero), z = Z1 Z2 h.
  static void finish(J& out, const E& h, const E& r, const E& u1, const E& s1, const E& z) {
    E hh, hhh, v, t;
    F::sqr(hh, h);
    F::mul(hhh, h, hh);
    F::mul(v, u1, hh);
    F::sqr(t, r);
    F::sub(t, t, hhh);
    F::sub(t, t, v);
    F::sub(out.x, t, v);
    F::sub(t, v, out.x);
    F::mul(t, r, t);
    F::mul(v, s1, hhh);
    F::sub(out.y, t, v);
    out.z = z;
  }

  // out = p + q for an affine q.
  static void add_mixed(J& out, const J& p, const A& q) {
    if (is_infinity(p)) {
      from_affine(out, q);
      return;
    }
    E z1z1, u2, s2, h, r, z;
    F::sqr(z1z1, p.z);
    F::mul(u2, q.x, z1z1);
    F::mul(s2, q.y, p.z);
    F::mul(s2, s2, z1z1);
    F::sub(h, u2, p.x);
    F::sub(r, s2, p.y);
    if (F::is_zero(h)) {
      if (F::is_zero(r)) {
        Cv::dbl(out, p);
      } else {
        set_infinity(out);
      }
      return;
    }
    F::mul(z, p.z, h);
    const E u1 = p.x, s1 = p.y;
    finish(out, h, r, u1, s1, z);
  }

  // out = p + q.
  static void add(J& out, const J& p, const J& q) {
    if (is_infinity(p)) {
      out = q;
      return;
    }
    if (is_infinity(q)) {
      out = p;
      return;
    }
    E z1z1, z2z2, u1, u2, s1, s2, h, r, z;
    F::sqr(z1z1, p.z);
    F::sqr(z2z2, q.z);
    F::mul(u1, p.x, z2z2);
    F::mul(u2, q.x, z1z1);
    F::mul(s1, p.y, q.z);
    F::mul(s1, s1, z2z2);
    F::mul(s2, q.y, p.z);
    F::mul(s2, s2, z1z1);
    F::sub(h, u2, u1);
    F::sub(r, s2, s1);
    if (F::is_zero(h)) {
      if (F::is_zero(r)) {
        Cv::dbl(out, p);
      } else {
        set_infinity(out);
      }
      return;
    }
    F::mul(z, p.z, q.z);
    F::mul(z, z, h);
    finish(out, h, r, u1, s1, z);
  }
};

}  // namespace stb::bign::point
