// Points of y^2 = x^3 - 3x + b over the fields of field.h, in homogeneous
// projective coordinates (X : Y : Z), x = X/Z, y = Y/Z, with the point at
// infinity O = (0 : 1 : 0). Addition and doubling use the published complete
// (exception-free) projective formulas for prime-order curves with a = -3:
// one sequence of field operations for every input, O and P + P included, so
// no branch ever depends on a point. Internal to bign.
#pragma once

#include "stb/bign/field.h"

namespace stb::bign::point {

template <std::size_t N, field::Limb C>
struct Curve {
  using F = field::Field<N, C>;
  using E = field::Fe<N>;

  struct Projective {
    E x, y, z;
  };
  struct Affine {
    E x, y;
  };
  // Jacobian coordinates, x = X/Z^2, y = Y/Z^3: only for runs of doublings,
  // which cost about a third less there. O is kept as (1 : 1 : 0).
  struct Jacobian {
    E x, y, z;
  };

  E b;

  static void set_infinity(Projective& r) {
    F::set_word(r.x, 0);
    F::set_word(r.y, 1);
    F::set_word(r.z, 0);
  }

  static void from_affine(Projective& r, const Affine& a) {
    r.x = a.x;
    r.y = a.y;
    F::set_word(r.z, 1);
  }

  static void cmov(Projective& r, const Projective& a, field::Limb mask) {
    F::cmov(r.x, a.x, mask);
    F::cmov(r.y, a.y, mask);
    F::cmov(r.z, a.z, mask);
  }

  static void cmov(Affine& r, const Affine& a, field::Limb mask) {
    F::cmov(r.x, a.x, mask);
    F::cmov(r.y, a.y, mask);
  }

  static void to_jacobian(Jacobian& r, const Projective& p) {
    E z2;
    F::mul(r.x, p.x, p.z);
    F::sqr(z2, p.z);
    F::mul(r.y, p.y, z2);
    r.z = p.z;
    // O = (0 : Y : 0) would become (0, 0, 0), which doubling cannot keep
    const field::Limb inf = mp::mask_of(F::is_zero(p.z));
    E one;
    F::set_word(one, 1);
    F::cmov(r.x, one, inf);
    F::cmov(r.y, one, inf);
  }

  // (X Z, Y, Z^3); O = (1 : 1 : 0) maps to (0 : 1 : 0).
  static void to_projective(Projective& r, const Jacobian& p) {
    E z2;
    F::mul(r.x, p.x, p.z);
    r.y = p.y;
    F::sqr(z2, p.z);
    F::mul(r.z, z2, p.z);
  }

  // r = 2p for a = -3. No exceptions on a prime-order curve: there is no
  // point of order two, and O = (1 : 1 : 0) doubles to itself.
  static void dbl(Jacobian& r, const Jacobian& p) {
    E delta, gamma, beta, alpha, t, u;
    F::sqr(delta, p.z);
    F::sqr(gamma, p.y);
    F::mul(beta, p.x, gamma);
    F::sub(t, p.x, delta);
    F::add(u, p.x, delta);
    F::mul(alpha, t, u);
    F::add(t, alpha, alpha);
    F::add(alpha, t, alpha);  // 3 (x - delta)(x + delta)
    F::add(t, p.y, p.z);
    F::sqr(t, t);
    F::sub(t, t, gamma);
    F::sub(r.z, t, delta);  // 2yz
    F::add(beta, beta, beta);
    F::add(beta, beta, beta);  // 4 beta
    F::sqr(t, alpha);
    F::sub(t, t, beta);
    F::sub(r.x, t, beta);  // alpha^2 - 8 beta
    F::sub(t, beta, r.x);
    F::mul(t, alpha, t);
    F::sqr(u, gamma);
    F::add(u, u, u);
    F::add(u, u, u);
    F::add(u, u, u);  // 8 gamma^2
    F::sub(r.y, t, u);
  }

  // r = p + q for any p, q.
  void add(Projective& r, const Projective& p, const Projective& q) const {
    E t0, t1, t2, t3, t4, x3, y3;
    F::mul(t0, p.x, q.x);
    F::mul(t1, p.y, q.y);
    F::mul(t2, p.z, q.z);
    F::add(t3, p.x, p.y);
    F::add(t4, q.x, q.y);
    F::mul(t3, t3, t4);
    F::add(t4, t0, t1);
    F::sub(t3, t3, t4);
    F::add(t4, p.y, p.z);
    F::add(x3, q.y, q.z);
    F::mul(t4, t4, x3);
    F::add(x3, t1, t2);
    F::sub(t4, t4, x3);
    F::add(x3, p.x, p.z);
    F::add(y3, q.x, q.z);
    F::mul(x3, x3, y3);
    F::add(y3, t0, t2);
    F::sub(y3, x3, y3);
    finish_add(r, t0, t1, t2, t3, t4, y3);
  }

  // r = p + q for any p and an affine q (which cannot be O).
  void add_affine(Projective& r, const Projective& p, const Affine& q) const {
    E t0, t1, t3, t4, y3;
    F::mul(t0, p.x, q.x);
    F::mul(t1, p.y, q.y);
    F::add(t3, q.x, q.y);
    F::add(t4, p.x, p.y);
    F::mul(t3, t3, t4);
    F::add(t4, t0, t1);
    F::sub(t3, t3, t4);
    F::mul(t4, q.y, p.z);
    F::add(t4, t4, p.y);
    F::mul(y3, q.x, p.z);
    F::add(y3, y3, p.x);
    E t2 = p.z;  // z1 z2 with z2 = 1
    finish_add(r, t0, t1, t2, t3, t4, y3);
  }

 private:
  // The common second half of both additions (complete formulas for
  // a = -3): t0 = x1 x2, t1 = y1 y2, t2 = z1 z2, t3 = x1 y2 + x2 y1,
  // t4 = y1 z2 + y2 z1, s = x1 z2 + x2 z1.
  void finish_add(Projective& r, E& t0, E& t1, E& t2, const E& t3, const E& t4, const E& s) const {
    E x3, y3, z3;
    F::mul(z3, b, t2);
    F::sub(x3, s, z3);
    F::add(z3, x3, x3);
    F::add(x3, x3, z3);
    F::sub(z3, t1, x3);
    F::add(x3, t1, x3);
    F::mul(y3, b, s);
    F::add(t1, t2, t2);
    F::add(t2, t1, t2);
    F::sub(y3, y3, t2);
    F::sub(y3, y3, t0);
    F::add(t1, y3, y3);
    F::add(y3, t1, y3);
    F::add(t1, t0, t0);
    F::add(t0, t1, t0);
    F::sub(t0, t0, t2);
    F::mul(t1, t4, y3);
    F::mul(t2, t0, y3);
    F::mul(y3, x3, z3);
    F::add(y3, y3, t2);
    F::mul(x3, t3, x3);
    F::sub(x3, x3, t1);
    F::mul(z3, t4, z3);
    F::mul(t1, t3, t0);
    F::add(z3, z3, t1);
    r.x = x3;
    r.y = y3;
    r.z = z3;
  }
};

}  // namespace stb::bign::point
