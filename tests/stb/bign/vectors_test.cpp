// Every record of bign.txt that belongs to the algorithms themselves, run
// through the public API; the ASN.1 and OpenSSL-side records are counted
// here and checked by stb_bign_openssl_test (tests/stb/openssl).
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>

#include "bign_records.h"
#include "stb/bign/curves.h"
#include "stb/bign/derive.h"
#include "stb/bign/dh.h"
#include "stb/bign/keys.h"
#include "stb/bign/sign.h"
#include "stb/bign/token.h"
#include "stb/brng/brng.h"

namespace {

using bign_test::Bytes;
using bign_test::Record;
using testsupport::to_hex;
namespace bign = stb::bign;

std::vector<Record> of(const std::string& alg) {
  return testsupport::records_of(bign_test::bign_vectors(), alg);
}

Bytes pub_of(unsigned level, const Bytes& d) {
  Bytes q(bign::public_key_size(level));
  EXPECT_TRUE(bign::public_key(level, d, q));
  return q;
}

const std::set<std::string> kHandled = {
    "bign-curve",        "bign-example-rng",        "bign-pubkey",
    "bign-pubkey-check", "bign-keypair-from-bytes", "bign-dh",
    "bign-sign",         "bign-sign-det",           "bign-verify",
    "bign-token",        "bign-token-decode"};
// Encodings and OpenSSL containers: bign_vectors_test.cpp in tests/stb/openssl.
const std::set<std::string> kCheckedWithOpenSSL = {"bign-algid",        "bign-oid",
                                                   "bign-spki",         "bign-pkcs8",
                                                   "bign-ecparams",     "bign-ecparams-parse",
                                                   "bign-epki-decrypt", "bign-privkey-protect",
                                                   "bign-csr-verify"};

TEST(BignVectors, EveryRecordIsCheckedHereOrWithOpenSSL) {
  std::map<std::string, int> handled, elsewhere;
  for (const Record& r : bign_test::bign_vectors()) {
    const std::string& alg = r.text("alg");
    if (kHandled.count(alg)) {
      ++handled[alg];
    } else if (kCheckedWithOpenSSL.count(alg)) {
      ++elsewhere[alg];
    } else {
      ADD_FAILURE() << r.where() << ": no test takes alg " << alg;
    }
  }
  int n_handled = 0, n_elsewhere = 0;
  for (const auto& [alg, n] : handled) n_handled += n;
  for (const auto& [alg, n] : elsewhere) n_elsewhere += n;
  EXPECT_EQ(handled.size(), kHandled.size());
  EXPECT_EQ(elsewhere.size(), kCheckedWithOpenSSL.size());
  std::cout << "bign.txt and bign_cross.txt: " << n_handled << " records checked here, " << n_elsewhere
            << " by stb_bign_openssl_test; none left\n";
  RecordProperty("checked", n_handled);
  RecordProperty("checked_with_openssl", n_elsewhere);
  RecordProperty("left_for_registration", 0);
}

TEST(BignVectors, CurveTables) {
  for (const Record& r : of("bign-curve")) {
    SCOPED_TRACE(r.where());
    const bign::Curve* c = bign::curve(bign_test::level_of(r));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c, bign::curve_by_oid(r.text("oid")));
    EXPECT_EQ(c, bign::curve_by_name(r.text("name")));
    const std::pair<const char*, const std::uint8_t*> fields[] = {
        {"p", c->p}, {"a", c->a}, {"b", c->b}, {"q", c->q}, {"yG", c->y_g}};
    for (const auto& [name, table] : fields) {
      EXPECT_EQ(to_hex(table, c->size), r.text(name)) << name;
    }
    EXPECT_EQ(to_hex(c->seed, sizeof c->seed), r.text("seed"));
  }
}

TEST(BignVectors, PublicKeys) {
  for (const Record& r : of("bign-pubkey")) {
    SCOPED_TRACE(r.where());
    const unsigned level = bign_test::level_of(r);
    const Bytes q = pub_of(level, r.bytes("d"));
    EXPECT_EQ(to_hex(q), r.text("Q"));
    EXPECT_TRUE(bign::public_key_valid(level, q));
  }
  for (const Record& r : of("bign-pubkey-check")) {
    SCOPED_TRACE(r.where());
    EXPECT_EQ(bign::public_key_valid(bign_test::level_of(r), r.bytes("Q")),
              bign_test::expects_ok(r));
  }
}

TEST(BignVectors, KeyPairsFromOctets) {
  for (const Record& r : of("bign-keypair-from-bytes")) {
    SCOPED_TRACE(r.where());
    const unsigned level = bign_test::level_of(r);
    Bytes d(bign::private_key_size(level)), q(bign::public_key_size(level));
    const bool ok = bign::keypair_from_octets(level, r.bytes("source"), d, q);
    if (r.has("result")) {
      EXPECT_FALSE(ok);
      continue;
    }
    ASSERT_TRUE(ok);
    EXPECT_EQ(to_hex(d), r.text("d"));
    EXPECT_EQ(to_hex(q), r.text("Q"));
  }
}

TEST(BignVectors, DiffieHellman) {
  for (const Record& r : of("bign-dh")) {
    SCOPED_TRACE(r.where());
    const unsigned level = bign_test::level_of(r);
    Bytes shared(bign::public_key_size(level));
    ASSERT_TRUE(bign::dh(level, r.bytes("d"), r.bytes("Q"), shared));
    EXPECT_EQ(to_hex(shared), r.text("shared"));
    if (r.has("d_peer")) {
      Bytes other(bign::public_key_size(level));
      ASSERT_TRUE(bign::dh(level, r.bytes("d_peer"), r.bytes("Q_peer"), other));
      EXPECT_EQ(other, shared);
    }
  }
}

TEST(BignVectors, SignaturesWithGivenK) {
  for (const Record& r : of("bign-sign")) {
    SCOPED_TRACE(r.where());
    const unsigned level = bign_test::level_of(r);
    const Bytes oid = bign_test::hash_oid_der(r), h = r.bytes("H"), d = r.bytes("d");
    if (r.has("msg")) {
      const bign::HashInfo* info = bign::hash_by_oid(r.text("hash_oid"));
      ASSERT_NE(info, nullptr);
      Bytes computed(info->size);
      ASSERT_TRUE(bign::hash(info->alg, r.bytes("msg"), computed));
      EXPECT_EQ(computed, h);
    }
    Bytes sig(bign::signature_size(level));
    ASSERT_TRUE(bign::sign_with_k(level, oid, h, d, r.bytes("k"), sig));
    EXPECT_EQ(to_hex(sig), r.text("sig"));
    EXPECT_TRUE(bign::verify(level, oid, h, sig, pub_of(level, d)));
  }
}

TEST(BignVectors, DeterministicSignatures) {
  for (const Record& r : of("bign-sign-det")) {
    SCOPED_TRACE(r.where());
    const unsigned level = bign_test::level_of(r);
    const Bytes oid = bign_test::hash_oid_der(r), h = r.bytes("H"), d = r.bytes("d");
    const Bytes t = r.bytes("t");
    Bytes k(bign::field_size(level)), sig(bign::signature_size(level));
    ASSERT_TRUE(bign::genk(level, oid, h, d, t, k));
    EXPECT_EQ(to_hex(k), r.text("k"));
    ASSERT_TRUE(bign::sign(level, oid, h, d, sig, t));
    EXPECT_EQ(to_hex(sig), r.text("sig"));
    EXPECT_TRUE(bign::verify(level, oid, h, sig, pub_of(level, d)));
  }
}

TEST(BignVectors, Verification) {
  int must_fail = 0;
  for (const Record& r : of("bign-verify")) {
    SCOPED_TRACE(r.where());
    const bool expected = bign_test::expects_ok(r);
    must_fail += expected ? 0 : 1;
    EXPECT_EQ(bign::verify(bign_test::level_of(r), bign_test::hash_oid_der(r), r.bytes("H"),
                           r.bytes("sig"), r.bytes("Q")),
              expected);
  }
  EXPECT_GT(must_fail, 0);
}

TEST(BignVectors, Tokens) {
  for (const Record& r : of("bign-token")) {
    SCOPED_TRACE(r.where());
    const unsigned level = bign_test::level_of(r);
    const Bytes key = r.bytes("key"), header = r.bytes("header");
    const Bytes k = r.bytes("k");
    if (r.has("rand")) {
      Bytes picked(bign::field_size(level));
      ASSERT_TRUE(bign::scalar_from_octets(level, r.bytes("rand"), picked));
      EXPECT_EQ(picked, k);
    }
    const Bytes rand = r.has("rand") ? r.bytes("rand") : k;
    Bytes token(bign::token_size(level, key.size()));
    ASSERT_TRUE(bign::token_create(level, key, header, r.bytes("Q"), token, rand));
    EXPECT_EQ(to_hex(token), r.text("token"));
    Bytes opened(key.size());
    EXPECT_EQ(bign::token_decode(level, token, header, r.bytes("d"), opened),
              bign::TokenResult::ok);
    EXPECT_EQ(opened, key);
  }
}

TEST(BignVectors, TokenDecoding) {
  const std::map<std::string, bign::TokenResult> results = {
      {"ok", bign::TokenResult::ok},
      {"malformed", bign::TokenResult::malformed},
      {"integrity", bign::TokenResult::integrity}};
  for (const Record& r : of("bign-token-decode")) {
    SCOPED_TRACE(r.where());
    const unsigned level = bign_test::level_of(r);
    const Bytes token = r.bytes("token");
    const std::size_t overhead = bign::token_size(level, 0);
    Bytes key(token.size() > overhead ? token.size() - overhead : 0, 0xA5);
    ASSERT_EQ(results.count(r.text("result")), 1u);
    const bign::TokenResult expected = results.at(r.text("result"));
    EXPECT_EQ(bign::token_decode(level, token, r.bytes("header"), r.bytes("d"), key), expected);
    if (expected == bign::TokenResult::ok) {
      EXPECT_EQ(to_hex(key), r.text("key"));
    } else {
      EXPECT_TRUE(std::all_of(key.begin(), key.end(), [](std::uint8_t b) { return b == 0; }))
          << "a failed decode must wipe its output";
    }
  }
}

// The standard's level-128 examples draw d and every k from one generator
// stream; replaying it through the API reproduces the G.1 key pair and the
// G.4 token from raw generator output.
TEST(BignVectors, ExampleGeneratorStream) {
  for (const Record& r : of("bign-example-rng")) {
    SCOPED_TRACE(r.where());
    const Bytes x = r.bytes("x");
    Bytes out(x.size());
    stb::brng::CtrHbelt rng;
    rng.init(r.bytes("key").data(), r.bytes("start").data());
    rng.generate(x.data(), x.size() / stb::brng::kBlockSize, out.data());
    ASSERT_EQ(to_hex(out), r.text("out"));

    const auto block = [&](std::size_t i) {
      return Bytes(out.data() + 32 * i, out.data() + 32 * (i + 1));
    };
    Bytes d(32), q(64);
    ASSERT_TRUE(bign::keypair_from_octets(128, block(0), d, q));
    const Record g1 = of("bign-pubkey").front();
    EXPECT_EQ(to_hex(q), g1.text("Q"));

    const Record g4 = of("bign-token").front();
    const Bytes key = g4.bytes("key");
    Bytes token(bign::token_size(128, key.size()));
    ASSERT_TRUE(bign::token_create(128, key, g4.bytes("header"), q, token, block(2)));
    EXPECT_EQ(to_hex(token), g4.text("token"));
  }
}

}  // namespace
