// The point arithmetic of ec.h on the fixed-size code of field.h and
// point.h. k G is the signed-digit comb of comb.h; k P runs a 4-bit fixed
// window over a table of 0..15 P, its doublings in Jacobian form, scanning
// whole table rows with masks; both perform the same operations for every
// scalar. Verification, all of whose inputs are public, uses the joint
// multiplication of joint.h. The tables of G (about 90, 200 and 350 KB) are
// built on first use of a level.
#include <openssl/crypto.h>

#include <memory>

#include "stb/bign/curves.h"
#include "stb/bign/comb.h"
#include "stb/bign/ec.h"
#include "stb/bign/joint.h"
#include "stb/bign/point.h"
#include "stb/ct.h"

namespace stb::bign::detail {
namespace {

using field::Limb;

using comb::eq_mask;

// The i-th 4-bit digit of a little-endian scalar.
Limb digit(const std::uint8_t* k, std::size_t i) {
  return (Limb{k[i / 2]} >> (4 * (i % 2))) & 15u;
}

template <std::size_t N, Limb C>
class Native {
  using Cv = point::Curve<N, C>;
  using F = typename Cv::F;
  using E = typename Cv::E;
  using P = typename Cv::Projective;
  using A = typename Cv::Affine;
  static constexpr std::size_t kOctets = 8 * N;
  static constexpr std::size_t kWindows = 16 * N;

 public:
  explicit Native(unsigned level) {
    const Curve* c = curve(level);
    mp::from_le(p_.v, c->p, N);
    mp::from_le(cv_.b.v, c->b, N);
    Limb e[N], one[N] = {1};
    mp::add(e, p_.v, one, N);  // p + 1 < 2^(64N): p is not all ones
    for (std::size_t i = 0; i < N; ++i) {
      e[i] = (e[i] >> 2) | (i + 1 < N ? e[i + 1] << 62 : 0);
    }
    mp::to_le(sqrt_exp_, e, N);
    A g;
    F::set_word(g.x, 0);
    mp::from_le(g.y.v, c->y_g, N);
    comb_.build(cv_, g);
    verifier_->build(cv_, g);
  }

  bool mul_base(const std::uint8_t* k, std::uint8_t* out) const {
    P r;
    comb_.mul(cv_, r, k);
    bool ok = store(r, out, true);
    OPENSSL_cleanse(&r, sizeof r);
    return ok;
  }

  bool mul_point(const std::uint8_t* k, const std::uint8_t* in, std::uint8_t* out) const {
    A a;
    if (!load(in, a)) return false;
    P r;
    window(r, k, a, kWindows);
    bool ok = store(r, out, true);
    OPENSSL_cleanse(&r, sizeof r);
    return ok;
  }

  bool mul2(const std::uint8_t* u, const std::uint8_t* v, const std::uint8_t* q,
            std::uint8_t* x) const {
    A a;
    if (!load(q, a)) return false;
    E rx;
    if (!verifier_->mul(u, v, a, rx)) return false;
    mp::to_le(x, rx.v, N);
    return true;
  }

  bool valid(const std::uint8_t* in) const {
    A a;
    return load(in, a);
  }

  bool lift(const std::uint8_t* x, std::uint8_t* out) const {
    A a;
    mp::from_le(a.x.v, x, N);
    if (!mp::less(a.x.v, p_.v, N)) return false;
    E w, y2;
    rhs(w, a.x);
    F::pow(a.y, w, sqrt_exp_);
    F::sqr(y2, a.y);
    if (!F::equal(y2, w)) return false;
    F::canonical(a.y, a.y);
    mp::to_le(out, a.x.v, N);
    mp::to_le(out + kOctets, a.y.v, N);
    return true;
  }

 private:
  // x^3 - 3x + b
  void rhs(E& r, const E& x) const {
    E t;
    F::sqr(t, x);
    F::mul(t, t, x);
    F::sub(t, t, x);
    F::sub(t, t, x);
    F::sub(t, t, x);
    F::add(r, t, cv_.b);
  }

  // x || y with both coordinates below p and on the curve.
  bool load(const std::uint8_t* in, A& a) const {
    mp::from_le(a.x.v, in, N);
    mp::from_le(a.y.v, in + kOctets, N);
    if (!mp::less(a.x.v, p_.v, N) || !mp::less(a.y.v, p_.v, N)) return false;
    E l, r;
    F::sqr(l, a.y);
    rhs(r, a.x);
    return F::equal(l, r) != 0;
  }

  // Affine x (and y) of r; false for O.
  bool store(const P& r, std::uint8_t* out, bool with_y) const {
    // Only a scalar 0 mod q gives O, and callers have ruled that out.
    if (ct::declassified(F::is_zero(r.z))) return false;
    E inv, t;
    F::inv(inv, r.z);
    F::mul(t, r.x, inv);
    F::canonical(t, t);
    mp::to_le(out, t.v, N);
    if (with_y) {
      F::mul(t, r.y, inv);
      F::canonical(t, t);
      mp::to_le(out + kOctets, t.v, N);
    }
    OPENSSL_cleanse(&t, sizeof t);
    return true;
  }

  // r = k a over the lowest `windows` digits of k.
  void window(P& r, const std::uint8_t* k, const A& a, std::size_t windows) const {
    P table[16];
    Cv::set_infinity(table[0]);
    Cv::from_affine(table[1], a);
    for (std::size_t j = 2; j < 16; ++j) cv_.add(table[j], table[j - 1], table[1]);
    Cv::set_infinity(r);
    P t;
    typename Cv::Jacobian jr;
    for (std::size_t i = windows; i-- > 0;) {
      Cv::to_jacobian(jr, r);
      for (int s = 0; s < 4; ++s) Cv::dbl(jr, jr);
      Cv::to_projective(r, jr);
      const Limb d = digit(k, i);
      t = table[0];
      for (std::size_t j = 1; j < 16; ++j) Cv::cmov(t, table[j], eq_mask(d, j));
      cv_.add(r, r, t);
    }
    OPENSSL_cleanse(&t, sizeof t);
    OPENSSL_cleanse(&jr, sizeof jr);
  }

  Cv cv_{};
  E p_{};
  std::uint8_t sqrt_exp_[kOctets]{};  // (p + 1) / 4
  comb::FixedBase<N, C> comb_;
  std::unique_ptr<joint::Verifier<N, C>> verifier_ = std::make_unique<joint::Verifier<N, C>>();
};

using Native128 = Native<4, 189>;
using Native192 = Native<6, 317>;
using Native256 = Native<8, 569>;

const Native128& native128() {
  static const Native128 n(128);
  return n;
}
const Native192& native192() {
  static const Native192 n(192);
  return n;
}
const Native256& native256() {
  static const Native256 n(256);
  return n;
}

// Calls f with the curve object of the level.
template <class Fn>
bool with_level(unsigned level, Fn&& f) {
  switch (level) {
    case 128:
      return f(native128());
    case 192:
      return f(native192());
    case 256:
      return f(native256());
    default:
      return false;
  }
}

}  // namespace

bool mul_base(unsigned level, const std::uint8_t* k, std::uint8_t* point) {
  return with_level(level, [&](const auto& c) { return c.mul_base(k, point); });
}

bool mul_point(unsigned level, const std::uint8_t* k, const std::uint8_t* p, std::uint8_t* out) {
  return with_level(level, [&](const auto& c) { return c.mul_point(k, p, out); });
}

bool mul2_public(unsigned level, const std::uint8_t* u, const std::uint8_t* v,
                 const std::uint8_t* q, std::uint8_t* x) {
  return with_level(level, [&](const auto& c) { return c.mul2(u, v, q, x); });
}

bool point_valid(unsigned level, const std::uint8_t* point) {
  return with_level(level, [&](const auto& c) { return c.valid(point); });
}

bool lift_x(unsigned level, const std::uint8_t* x, std::uint8_t* point) {
  return with_level(level, [&](const auto& c) { return c.lift(x, point); });
}

}  // namespace stb::bign::detail
