// Round trips and refusals at every level: keys, signatures, tokens and the
// Diffie-Hellman point, on fresh random keys.
#include <gtest/gtest.h>
#include <openssl/rand.h>

#include <algorithm>

#include "bign_records.h"
#include "stb/bign/curves.h"
#include "stb/bign/derive.h"
#include "stb/bign/dh.h"
#include "stb/bign/digest.h"
#include "stb/bign/keys.h"
#include "stb/bign/sign.h"
#include "stb/bign/token.h"

namespace {

using bign_test::Bytes;
namespace bign = stb::bign;

Bytes random_bytes(std::size_t n) {
  Bytes b(n);
  if (n != 0) {
    EXPECT_EQ(RAND_bytes(b.data(), static_cast<int>(n)), 1);
  }
  return b;
}

Bytes flipped(Bytes b, std::size_t bit) {
  b[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
  return b;
}

// l/4 octets holding q + delta (delta small, q's low octet does not wrap).
Bytes q_plus(unsigned level, int delta) {
  const bign::Curve& c = *bign::curve(level);
  std::uint8_t v[bign::kMaxFieldSize];
  std::copy_n(c.q, c.size, v);
  v[0] = static_cast<std::uint8_t>(v[0] + delta);
  return Bytes(v, v + c.size);
}

// n octets holding the number v.
Bytes small_scalar(std::size_t n, std::uint8_t v) {
  Bytes b(n, 0);
  if (!b.empty()) b.front() = v;
  return b;
}

class BignLevel : public ::testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override {
    level_ = GetParam();
    d_.resize(bign::private_key_size(level_));
    q_.resize(bign::public_key_size(level_));
    ASSERT_TRUE(bign::generate_keypair(level_, d_, q_));
    const bign::HashInfo& info = bign::hash_info(bign::default_hash(level_));
    oid_.assign(info.der, info.der + bign::kHashOidDerSize);
    h_.resize(info.size);
    ASSERT_TRUE(bign::hash(info.alg, random_bytes(100), h_));
  }
  Bytes sign(const Bytes& h, const Bytes& t = {}) {
    Bytes sig(bign::signature_size(level_));
    EXPECT_TRUE(bign::sign(level_, oid_, h, d_, sig, t));
    return sig;
  }
  bool verify(const Bytes& sig, const Bytes& h, const Bytes& q) {
    return bign::verify(level_, oid_, h, sig, q);
  }

  unsigned level_ = 0;
  Bytes d_, q_, oid_, h_;
};

INSTANTIATE_TEST_SUITE_P(Levels, BignLevel, ::testing::Values(128u, 192u, 256u),
                         [](const auto& p) { return std::to_string(p.param); });

TEST_P(BignLevel, PrivateKeyRange) {
  const std::size_t n = bign::private_key_size(level_);
  Bytes one = {1}, all_ones(n, 0xFF);
  one.resize(n, 0);
  const struct {
    Bytes d;
    bool valid;
  } cases[] = {{one, true},
               {q_plus(level_, -1), true},
               {Bytes(n, 0), false},
               {q_plus(level_, 0), false},
               {q_plus(level_, 1), false},
               {all_ones, false},
               {Bytes(n - 1, 1), false},
               {Bytes(n + 1, 1), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testsupport::to_hex(c.d));
    EXPECT_EQ(bign::private_key_valid(level_, c.d), c.valid);
    Bytes q(bign::public_key_size(level_));
    EXPECT_EQ(bign::public_key(level_, c.d, q), c.valid);
    if (c.valid) {
      EXPECT_TRUE(bign::public_key_valid(level_, q));
    }
  }
  EXPECT_FALSE(bign::private_key_valid(level_ + 1, one));
}

TEST_P(BignLevel, GeneratedKeysAreConsistent) {
  EXPECT_TRUE(bign::private_key_valid(level_, d_));
  EXPECT_TRUE(bign::public_key_valid(level_, q_));
  Bytes q(q_.size());
  ASSERT_TRUE(bign::public_key(level_, d_, q));
  EXPECT_EQ(q, q_);
  Bytes d2(d_.size()), q2(q_.size());
  ASSERT_TRUE(bign::generate_keypair(level_, d2, q2));
  EXPECT_NE(d2, d_);
  // a key of another level is refused by its length alone
  EXPECT_FALSE(bign::public_key_valid(level_ == 128 ? 192 : 128, q_));
}

TEST_P(BignLevel, ScalarFromOctetsSkipsOutOfRangePieces) {
  const std::size_t n = bign::field_size(level_);
  Bytes src(Bytes(n, 0xFF));
  const Bytes second = random_bytes(n);
  src.insert(src.end(), second.begin(), second.end());
  Bytes out(n);
  if (bign::private_key_valid(level_, second)) {
    ASSERT_TRUE(bign::scalar_from_octets(level_, src, out));
    EXPECT_EQ(out, second);
  }
  // a tail shorter than l/4 is never used
  Bytes tail_only(Bytes(n, 0));
  tail_only.insert(tail_only.end(), second.begin(), second.end() - 1);
  EXPECT_FALSE(bign::scalar_from_octets(level_, tail_only, out));
  EXPECT_FALSE(bign::scalar_from_octets(level_, {}, out));
}

TEST_P(BignLevel, SignVerifyRoundTrip) {
  const Bytes sig = sign(h_);
  EXPECT_TRUE(verify(sig, h_, q_));
  EXPECT_EQ(sign(h_), sig) << "without t the signature is deterministic";
  const Bytes with_t = sign(h_, random_bytes(23));
  EXPECT_NE(with_t, sig);
  EXPECT_TRUE(verify(with_t, h_, q_));

  Bytes r1(sig.size()), r2(sig.size());
  ASSERT_TRUE(bign::sign_randomized(level_, oid_, h_, d_, r1));
  ASSERT_TRUE(bign::sign_randomized(level_, oid_, h_, d_, r2));
  EXPECT_NE(r1, r2);
  EXPECT_TRUE(verify(r1, h_, q_));
  EXPECT_TRUE(verify(r2, h_, q_));
}

// Public keys that are small multiples of G: the joint multiplication then
// adds points of the G and Q tables that coincide or cancel, the cases its
// additions must branch on; and H chosen so that u = s1 + H is 0 or 1.
TEST_P(BignLevel, VerificationWithKeysNearTheBase) {
  const struct {
    const char* name;
    Bytes d;
  } keys[] = {{"1", small_scalar(d_.size(), 1)},
              {"2", small_scalar(d_.size(), 2)},
              {"3", small_scalar(d_.size(), 3)},
              {"q-1", q_plus(level_, -1)},
              {"q-2", q_plus(level_, -2)}};
  for (const auto& key : keys) {
    SCOPED_TRACE(key.name);
    Bytes q(q_.size());
    ASSERT_TRUE(bign::public_key(level_, key.d, q));
    for (int i = 0; i < 4; ++i) {
      const Bytes h = random_bytes(h_.size());
      Bytes sig(bign::signature_size(level_));
      ASSERT_TRUE(bign::sign(level_, oid_, h, key.d, sig));
      EXPECT_TRUE(verify(sig, h, q));
      EXPECT_FALSE(verify(sig, flipped(h, 3), q));
    }
  }
}

TEST_P(BignLevel, FlippedBitsFail) {
  const Bytes sig = sign(h_);
  const std::size_t s0_bits = level_;
  const std::size_t sig_bits = 8 * sig.size();
  // first/last bits of s0 and of s1, and a bit in the middle of each
  for (std::size_t bit :
       {std::size_t{0}, s0_bits / 2, s0_bits - 1, s0_bits, s0_bits + 77, sig_bits - 1}) {
    EXPECT_FALSE(verify(flipped(sig, bit), h_, q_)) << "signature bit " << bit;
  }
  for (std::size_t bit : {std::size_t{0}, 8 * h_.size() - 1, std::size_t{100}}) {
    EXPECT_FALSE(verify(sig, flipped(h_, bit), q_)) << "hash bit " << bit;
  }
  for (std::size_t bit : {std::size_t{0}, 8 * q_.size() / 2, 8 * q_.size() - 1}) {
    EXPECT_FALSE(verify(sig, h_, flipped(q_, bit))) << "public key bit " << bit;
  }
  // the hash OID is part of what is signed
  const bign::HashInfo& other =
      bign::hash_info(level_ == 128 ? bign::HashAlg::bash256 : bign::HashAlg::belt_hash);
  EXPECT_FALSE(
      bign::verify(level_, Bytes(other.der, other.der + bign::kHashOidDerSize), h_, sig, q_));
  // another key pair
  Bytes d2(d_.size()), q2(q_.size());
  ASSERT_TRUE(bign::generate_keypair(level_, d2, q2));
  EXPECT_FALSE(verify(sig, h_, q2));
}

TEST_P(BignLevel, MalformedSignatureInputsFail) {
  const Bytes sig = sign(h_);
  Bytes longer = sig;
  longer.push_back(0);
  EXPECT_FALSE(verify(Bytes(sig.begin(), sig.end() - 1), h_, q_));
  EXPECT_FALSE(verify(longer, h_, q_));
  EXPECT_FALSE(verify(sig, Bytes(h_.begin(), h_.end() - 1), q_));
  EXPECT_FALSE(verify(sig, h_, Bytes(q_.begin(), q_.end() - 1)));
  EXPECT_FALSE(bign::verify(level_, {}, h_, sig, q_));
  EXPECT_FALSE(bign::verify(level_ + 64 * 3, oid_, h_, sig, q_));

  // s1 = q and s1 = 2^(2l) - 1 are out of range even though they reduce
  Bytes s1_is_q(sig.begin(), sig.begin() + level_ / 8);
  const Bytes q = q_plus(level_, 0);
  s1_is_q.insert(s1_is_q.end(), q.begin(), q.end());
  EXPECT_FALSE(verify(s1_is_q, h_, q_));
  Bytes s1_max(sig.begin(), sig.begin() + level_ / 8);
  s1_max.resize(sig.size(), 0xFF);
  EXPECT_FALSE(verify(s1_max, h_, q_));

  Bytes out(sig.size());
  const std::size_t n = bign::field_size(level_);
  EXPECT_FALSE(bign::sign(level_, oid_, h_, Bytes(n, 0), out));
  EXPECT_FALSE(bign::sign(level_, oid_, h_, q_plus(level_, 0), out));
  EXPECT_FALSE(bign::sign(level_, oid_, Bytes(h_.begin(), h_.end() - 1), d_, out));
  Bytes short_out(sig.size() - 1);
  EXPECT_FALSE(bign::sign(level_, oid_, h_, d_, short_out));
  EXPECT_FALSE(bign::sign_with_k(level_, oid_, h_, d_, Bytes(n, 0), out));
  EXPECT_FALSE(bign::sign_with_k(level_, oid_, h_, d_, q_plus(level_, 0), out));
}

TEST_P(BignLevel, TokenRoundTrip) {
  const Bytes header = random_bytes(bign::kTokenHeaderSize);
  for (std::size_t len : {std::size_t{16}, std::size_t{17}, std::size_t{32}, std::size_t{100}}) {
    SCOPED_TRACE(len);
    const Bytes key = random_bytes(len);
    Bytes token(bign::token_size(level_, len));
    ASSERT_TRUE(bign::token_create(level_, key, header, q_, token));
    Bytes opened(len);
    ASSERT_EQ(bign::token_decode(level_, token, header, d_, opened), bign::TokenResult::ok);
    EXPECT_EQ(opened, key);
    // a second token for the same key uses a fresh one-time key
    Bytes again(token.size());
    ASSERT_TRUE(bign::token_create(level_, key, header, q_, again));
    EXPECT_NE(again, token);
  }
}

TEST_P(BignLevel, TokenFailuresAreClassified) {
  const Bytes header = random_bytes(bign::kTokenHeaderSize), key = random_bytes(32);
  const std::size_t n = bign::field_size(level_);
  Bytes token(bign::token_size(level_, key.size()));
  ASSERT_TRUE(bign::token_create(level_, key, header, q_, token));
  Bytes out(key.size());
  using R = bign::TokenResult;

  EXPECT_EQ(bign::token_decode(level_, token, flipped(header, 5), d_, out), R::integrity);
  Bytes d2(d_.size()), q2(q_.size());
  ASSERT_TRUE(bign::generate_keypair(level_, d2, q2));
  EXPECT_EQ(bign::token_decode(level_, token, header, d2, out), R::integrity);
  EXPECT_EQ(bign::token_decode(level_, flipped(token, 8 * n + 3), header, d_, out), R::integrity);
  EXPECT_EQ(bign::token_decode(level_, flipped(token, 8 * token.size() - 1), header, d_, out),
            R::integrity);
  // cut by one octet the token still has room for a key, but does not open
  const Bytes cut(token.begin(), token.end() - 1);
  Bytes cut_out(cut.size() - bign::token_size(level_, 0));
  EXPECT_EQ(bign::token_decode(level_, cut, header, d_, cut_out), R::integrity);

  // too short to hold a 16-octet key and the header
  const Bytes shortest(token.begin(), token.begin() + static_cast<long>(n + 31));
  Bytes short_out(15);
  EXPECT_EQ(bign::token_decode(level_, shortest, header, d_, short_out), R::malformed);
  EXPECT_EQ(bign::token_decode(level_, Bytes(token.begin(), token.begin() + static_cast<long>(n)),
                               header, d_, std::span<std::uint8_t>{}),
            R::malformed);
  // x = p is not below p; x = 2^(2l) - 1 neither
  Bytes x_is_p = token;
  const bign::Curve* c = bign::curve(level_);
  std::copy_n(c->p, n, x_is_p.begin());
  EXPECT_EQ(bign::token_decode(level_, x_is_p, header, d_, out), R::malformed);
  Bytes x_max = token;
  std::fill_n(x_max.begin(), n, 0xFF);
  EXPECT_EQ(bign::token_decode(level_, x_max, header, d_, out), R::malformed);
  // output of the wrong size, a bad private key, a bad level
  Bytes wrong_out(key.size() + 1);
  EXPECT_EQ(bign::token_decode(level_, token, header, d_, wrong_out), R::malformed);
  EXPECT_EQ(bign::token_decode(level_, token, header, Bytes(n, 0), out), R::malformed);
  EXPECT_EQ(bign::token_decode(level_, token, Bytes(15, 0), d_, out), R::malformed);
  EXPECT_EQ(bign::token_decode(level_ + 1, token, header, d_, out), R::malformed);
}

TEST_P(BignLevel, TokenCreationRefusesBadInput) {
  const Bytes header(bign::kTokenHeaderSize, 0), key = random_bytes(32);
  Bytes token(bign::token_size(level_, key.size()));
  EXPECT_FALSE(bign::token_create(level_, Bytes(15, 1), header, q_, token));
  EXPECT_FALSE(bign::token_create(level_, key, Bytes(17, 0), q_, token));
  EXPECT_FALSE(bign::token_create(level_, key, header, flipped(q_, 0), token));
  Bytes longer(token.size() + 1);
  EXPECT_FALSE(bign::token_create(level_, key, header, q_, longer));
  // random octets that hold no usable one-time key
  EXPECT_FALSE(bign::token_create(level_, key, header, q_, token, Bytes(64, 0)));
  EXPECT_FALSE(
      bign::token_create(level_, key, header, q_, token, Bytes(bign::field_size(level_) - 1, 7)));
}

TEST_P(BignLevel, DiffieHellmanAgreesAndChecksLengths) {
  Bytes d2(d_.size()), q2(q_.size());
  ASSERT_TRUE(bign::generate_keypair(level_, d2, q2));
  Bytes ab(q_.size()), ba(q_.size());
  ASSERT_TRUE(bign::dh(level_, d_, q2, ab));
  ASSERT_TRUE(bign::dh(level_, d2, q_, ba));
  EXPECT_EQ(ab, ba);
  Bytes first(1);
  ASSERT_TRUE(bign::dh(level_, d_, q2, first));
  EXPECT_EQ(first[0], ab[0]);
  Bytes none, too_long(q_.size() + 1);
  EXPECT_FALSE(bign::dh(level_, d_, q2, none));
  EXPECT_FALSE(bign::dh(level_, d_, q2, too_long));
  EXPECT_FALSE(bign::dh(level_, d_, flipped(q2, 1), ab));
}

}  // namespace
