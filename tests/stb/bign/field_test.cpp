// The fixed-size field and point code against OpenSSL's BIGNUM: every pair of
// boundary values (0, C, p - 1, p, 2^(64N) - 1, limb edges, ...) where the
// carry folds and second borrows happen, random values, and the cases the
// complete point formulas exist for (O, P + P, P + (-P)).
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/rand.h>

#include <memory>
#include <vector>

#include "stb/bign/curves.h"
#include "stb/bign/ec.h"
#include "stb/bign/field.h"
#include "stb/bign/point.h"

namespace {

namespace bign = stb::bign;
using bign::field::Limb;

struct BnDel {
  void operator()(BIGNUM* b) const { BN_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnDel>;

template <std::size_t n, Limb c, unsigned l>
struct Params {
  static constexpr std::size_t N = n;
  static constexpr Limb C = c;
  static constexpr unsigned level = l;
};

template <class T>
class FieldTest : public ::testing::Test {
 protected:
  static constexpr std::size_t kN = T::N;
  using FieldOps = bign::field::Field<kN, T::C>;
  using Elem = bign::field::Fe<kN>;
  using CurveOps = bign::point::Curve<kN, T::C>;

  void SetUp() override {
    const bign::Curve* c = bign::curve(T::level);
    ASSERT_NE(c, nullptr);
    p_.reset(BN_lebin2bn(c->p, static_cast<int>(c->size), nullptr));
    // the field code relies on p = 2^(64N) - C
    Bn expect(BN_new());
    BN_set_bit(expect.get(), static_cast<int>(64 * kN));
    BN_sub_word(expect.get(), T::C);
    ASSERT_EQ(BN_cmp(expect.get(), p_.get()), 0);
    curve_ = c;
  }

  Bn bn(const Elem& a) const {
    std::uint8_t buf[8 * kN];
    bign::mp::to_le(buf, a.v, kN);
    return Bn(BN_lebin2bn(buf, sizeof buf, nullptr));
  }
  Elem fe(const BIGNUM* b) const {
    std::uint8_t buf[8 * kN];
    EXPECT_EQ(BN_bn2lebinpad(b, buf, sizeof buf), static_cast<int>(sizeof buf));
    Elem a;
    bign::mp::from_le(a.v, buf, kN);
    return a;
  }
  Elem word_at(std::size_t limb, Limb w) const {
    Elem a{};
    a.v[limb] = w;
    return a;
  }
  // Values around every place a carry or borrow changes course.
  std::vector<Elem> boundary() const {
    std::vector<Elem> v;
    for (Limb w : {Limb{0}, Limb{1}, Limb{2}, T::C - 1, T::C, T::C + 1}) v.push_back(word_at(0, w));
    for (Limb d : {Limb{0}, Limb{1}, Limb{2}, T::C - 1, T::C, T::C + 1, 2 * T::C}) {
      Elem a;
      for (std::size_t i = 0; i < kN; ++i) a.v[i] = ~Limb{0};
      a.v[0] -= d;  // 2^(64N) - 1 - d: p - 1 + C - d, around p and the top
      v.push_back(a);
    }
    v.push_back(word_at(kN - 1, 1));         // 2^(64(kN-1))
    v.push_back(word_at(kN - 1, ~Limb{0}));  // top limb only
    v.push_back(word_at(0, ~Limb{0}));       // 2^64 - 1
    Elem alt;
    for (std::size_t i = 0; i < kN; ++i) alt.v[i] = i % 2 ? ~Limb{0} : 0;
    v.push_back(alt);
    return v;
  }
  Elem random() const {
    Elem a;
    RAND_bytes(reinterpret_cast<unsigned char*>(a.v), sizeof a.v);
    return a;
  }
  // The canonical form of a (below p) as a number.
  Bn value(const Elem& a) const {
    Elem c;
    FieldOps::canonical(c, a);
    Bn r = bn(c);
    EXPECT_LT(BN_cmp(r.get(), p_.get()), 0);
    return r;
  }

  void check_pair(const Elem& a, const Elem& b) {
    BN_CTX* ctx = ctx_.get();
    Bn ba = bn(a), bb = bn(b), want(BN_new());
    Elem r;
    FieldOps::add(r, a, b);
    BN_mod_add(want.get(), ba.get(), bb.get(), p_.get(), ctx);
    EXPECT_EQ(BN_cmp(value(r).get(), want.get()), 0) << "add";
    FieldOps::sub(r, a, b);
    BN_mod_sub(want.get(), ba.get(), bb.get(), p_.get(), ctx);
    EXPECT_EQ(BN_cmp(value(r).get(), want.get()), 0) << "sub";
    FieldOps::mul(r, a, b);
    BN_mod_mul(want.get(), ba.get(), bb.get(), p_.get(), ctx);
    EXPECT_EQ(BN_cmp(value(r).get(), want.get()), 0) << "mul";
    FieldOps::sqr(r, a);
    BN_mod_sqr(want.get(), ba.get(), p_.get(), ctx);
    EXPECT_EQ(BN_cmp(value(r).get(), want.get()), 0) << "sqr";
    EXPECT_EQ(FieldOps::equal(a, b) != 0,
              BN_mod_sub(want.get(), ba.get(), bb.get(), p_.get(), ctx) && BN_is_zero(want.get()));
  }

  const bign::Curve* curve_ = nullptr;
  Bn p_;
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx_{BN_CTX_new(), BN_CTX_free};
};

using Fields = ::testing::Types<Params<4, 189, 128>, Params<6, 317, 192>, Params<8, 569, 256>>;
TYPED_TEST_SUITE(FieldTest, Fields);

TYPED_TEST(FieldTest, BoundaryPairsMatchBignum) {
  const auto values = this->boundary();
  for (std::size_t i = 0; i < values.size(); ++i) {
    for (std::size_t j = 0; j < values.size(); ++j) {
      SCOPED_TRACE(testing::Message() << "pair " << i << ", " << j);
      this->check_pair(values[i], values[j]);
    }
  }
}

TYPED_TEST(FieldTest, RandomValuesMatchBignum) {
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE(i);
    this->check_pair(this->random(), this->random());
  }
}

// Both ways to 1/a: the generic power a^(p-2) and the addition chain of inv.
TYPED_TEST(FieldTest, PowerAndChainGiveInverses) {
  using F = typename TestFixture::FieldOps;
  using E = typename TestFixture::Elem;
  constexpr std::size_t N = TestFixture::kN;
  Bn e(BN_dup(this->p_.get()));
  BN_sub_word(e.get(), 2);
  std::uint8_t exp[8 * N];
  BN_bn2lebinpad(e.get(), exp, sizeof exp);
  for (int i = 0; i < 20; ++i) {
    E a = i == 0 ? this->word_at(0, 1) : this->random(), inv, chain, prod, one = this->word_at(0, 1);
    F::pow(inv, a, exp);
    F::inv(chain, a);
    EXPECT_EQ(F::equal(inv, chain), 1u);
    F::mul(prod, a, inv);
    EXPECT_EQ(F::equal(prod, one), F::is_zero(a) ? 0u : 1u);
  }
}

// The complete formulas on the curve itself, compared through affine x and y.
TYPED_TEST(FieldTest, CompleteFormulasCoverEveryCase) {
  using F = typename TestFixture::FieldOps;
  using E = typename TestFixture::Elem;
  using Cv = typename TestFixture::CurveOps;
  using P = typename Cv::Projective;
  using A = typename Cv::Affine;
  constexpr std::size_t N = TestFixture::kN;
  const unsigned level = TypeParam::level;
  Cv cv{};
  bign::mp::from_le(cv.b.v, this->curve_->b, N);
  Bn e(BN_dup(this->p_.get()));
  BN_sub_word(e.get(), 2);
  std::uint8_t inv_exp[8 * N];
  BN_bn2lebinpad(e.get(), inv_exp, sizeof inv_exp);

  const auto random_point = [&] {
    std::uint8_t k[8 * N], out[16 * N];
    RAND_bytes(k, sizeof k);
    k[8 * N - 1] = 0x10;  // below q
    EXPECT_TRUE(bign::detail::mul_base(level, k, out));
    A a;
    bign::mp::from_le(a.x.v, out, N);
    bign::mp::from_le(a.y.v, out + 8 * N, N);
    return a;
  };
  // affine form of a projective point; nullopt-like flag for O
  const auto affine = [&](const P& p, A& out) {
    if (F::is_zero(p.z)) return false;
    E inv;
    F::pow(inv, p.z, inv_exp);
    F::mul(out.x, p.x, inv);
    F::mul(out.y, p.y, inv);
    return true;
  };
  const auto same = [&](const P& p, const A& a) {
    A got;
    return affine(p, got) && F::equal(got.x, a.x) && F::equal(got.y, a.y);
  };
  const auto scale = [&](const A& a) {  // the same point with Z = a random r
    P p;
    E r = this->random();
    F::mul(p.x, a.x, r);
    F::mul(p.y, a.y, r);
    p.z = r;
    return p;
  };
  P inf;
  Cv::set_infinity(inf);
  for (int i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    const A a = random_point(), b = random_point();
    P pa = scale(a), pb = scale(b), r, r2;
    A neg = a;
    E zero = this->word_at(0, 0);
    F::sub(neg.y, zero, a.y);

    // P + Q against the chord rule computed here
    cv.add(r, pa, pb);
    E lambda, t, dx;
    F::sub(dx, b.x, a.x);
    F::pow(t, dx, inv_exp);
    F::sub(lambda, b.y, a.y);
    F::mul(lambda, lambda, t);
    A sum;
    F::sqr(sum.x, lambda);
    F::sub(sum.x, sum.x, a.x);
    F::sub(sum.x, sum.x, b.x);
    F::sub(t, a.x, sum.x);
    F::mul(sum.y, lambda, t);
    F::sub(sum.y, sum.y, a.y);
    EXPECT_TRUE(same(r, sum)) << "P + Q";
    cv.add_affine(r2, pa, b);
    EXPECT_TRUE(same(r2, sum)) << "P + Q, Q affine";

    cv.add(r, pa, pa);
    typename Cv::Jacobian j;
    Cv::to_jacobian(j, pa);
    Cv::dbl(j, j);
    Cv::to_projective(r2, j);
    A twice;
    ASSERT_TRUE(affine(r2, twice));
    EXPECT_TRUE(same(r, twice)) << "P + P = 2P";
    cv.add_affine(r, pa, a);
    EXPECT_TRUE(same(r, twice)) << "P + P, affine";

    cv.add(r, pa, scale(neg));
    EXPECT_TRUE(F::is_zero(r.z)) << "P + (-P) = O";
    cv.add_affine(r, pa, neg);
    EXPECT_TRUE(F::is_zero(r.z)) << "P + (-P) = O, affine";
    cv.add(r, inf, pa);
    EXPECT_TRUE(same(r, a)) << "O + P";
    cv.add(r, pa, inf);
    EXPECT_TRUE(same(r, a)) << "P + O";
    cv.add_affine(r, inf, a);
    EXPECT_TRUE(same(r, a)) << "O + P, affine";
  }
  // O survives the trip through Jacobian doublings (a run of zero digits)
  P r;
  typename Cv::Jacobian j;
  Cv::to_jacobian(j, inf);
  for (int i = 0; i < 4; ++i) Cv::dbl(j, j);
  Cv::to_projective(r, j);
  EXPECT_TRUE(F::is_zero(r.z)) << "16 O = O";
  EXPECT_FALSE(F::is_zero(r.y)) << "O must keep Y != 0 for the addition formulas";
  cv.add(r, inf, inf);
  EXPECT_TRUE(F::is_zero(r.z)) << "O + O = O";
}

}  // namespace
