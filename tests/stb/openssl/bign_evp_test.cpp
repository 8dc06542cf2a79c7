// bign keys through OpenSSL's generic key interface: generation by name with
// "params", what a key answers (sizes, default digest, parts), signatures
// with the digest OpenSSL sets, context duplication, key transport as
// encryption, derivation, and the published signatures through EVP.
#include <gtest/gtest.h>
#include <openssl/engine.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include <cstring>
#include <optional>

#include "bign_support.h"
#include "stb/stb.h"

namespace bigntest {
namespace {

using testsupport::from_hex;

int nid_of(const char* sn) {
  return OBJ_sn2nid(sn);
}

const char* default_digest(unsigned level) {
  return level == 128 ? "belt-hash" : level == 192 ? "bash384" : "bash512";
}

Bytes private_key(const EVP_PKEY* key) {
  Bytes d(BIGN_get_privkey(key, nullptr, 0));
  EXPECT_EQ(BIGN_get_privkey(key, d.data(), d.size()), d.size());
  return d;
}

Bytes public_key(const EVP_PKEY* key) {
  Bytes q(BIGN_get_pubkey(key, nullptr, 0));
  EXPECT_EQ(BIGN_get_pubkey(key, q.data(), q.size()), q.size());
  return q;
}

Pkey from_private(const Bytes& d) {
  return Pkey(EVP_PKEY_new_raw_private_key(nid_of("bign-pubkey"), nullptr, d.data(), d.size()));
}

Pkey from_public(const Bytes& q) {
  return Pkey(EVP_PKEY_new_raw_public_key(nid_of("bign-pubkey"), nullptr, q.data(), q.size()));
}

// EVP_DigestSign of msg; md null: the key's default. Empty on failure.
Bytes digest_sign(EVP_PKEY* key, const EVP_MD* md, const Bytes& msg) {
  Own<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
  std::size_t len = 0;
  if (EVP_DigestSignInit(ctx.get(), nullptr, md, nullptr, key) != 1 ||
      EVP_DigestSign(ctx.get(), nullptr, &len, msg.data(), msg.size()) != 1) {
    return {};
  }
  Bytes sig(len);
  if (EVP_DigestSign(ctx.get(), sig.data(), &len, msg.data(), msg.size()) != 1) return {};
  sig.resize(len);
  return sig;
}

bool digest_verify(EVP_PKEY* key, const EVP_MD* md, const Bytes& msg, const Bytes& sig) {
  Own<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
  return EVP_DigestVerifyInit(ctx.get(), nullptr, md, nullptr, key) == 1 &&
         EVP_DigestVerify(ctx.get(), sig.data(), sig.size(), msg.data(), msg.size()) == 1;
}

class BignKeys : public Level {};
BIGN_LEVELS(BignKeys);

TEST_F(Bign, KeyTypeFoundByNameEveryWay) {
  const int nid = nid_of("bign-pubkey");
  ASSERT_NE(nid, NID_undef);
  ENGINE* e = nullptr;
  const EVP_PKEY_ASN1_METHOD* by_engine = EVP_PKEY_asn1_find_str(&e, "bign-pubkey", -1);
  ASSERT_NE(by_engine, nullptr);
  EXPECT_NE(e, nullptr);
  ENGINE_finish(e);
  const EVP_PKEY_ASN1_METHOD* by_table = EVP_PKEY_asn1_find_str(nullptr, "bign-pubkey", -1);
  ASSERT_NE(by_table, nullptr);
  // OpenSSL frees the ENGINE's methods and the table's separately.
  EXPECT_NE(by_engine, by_table);
  for (const EVP_PKEY_ASN1_METHOD* m : {by_engine, by_table}) {
    int id = 0;
    const char* pem = nullptr;
    ASSERT_EQ(EVP_PKEY_asn1_get0_info(&id, nullptr, nullptr, nullptr, &pem, m), 1);
    EXPECT_EQ(id, nid);
    EXPECT_STREQ(pem, "bign-pubkey");
  }
  PkeyCtx by_name(EVP_PKEY_CTX_new_from_name(nullptr, "bign-pubkey", nullptr));
  ASSERT_NE(by_name, nullptr);
  EXPECT_EQ(EVP_PKEY_keygen_init(by_name.get()), 1);
}

TEST_P(BignKeys, GeneratedKeyAnswersItsSizesAndDigest) {
  Pkey key = generate(level());
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(EVP_PKEY_get_base_id(key.get()), nid_of("bign-pubkey"));
  EXPECT_EQ(EVP_PKEY_get_bits(key.get()), static_cast<int>(2 * level()));
  EXPECT_EQ(EVP_PKEY_get_security_bits(key.get()), static_cast<int>(level()));
  EXPECT_EQ(EVP_PKEY_get_size(key.get()), static_cast<int>(3 * level() / 8));
  int md = NID_undef;
  EXPECT_EQ(EVP_PKEY_get_default_digest_nid(key.get(), &md), 1);
  EXPECT_EQ(md, nid_of(default_digest(level())));
  char name[64];
  EXPECT_GT(EVP_PKEY_get_default_digest_name(key.get(), name, sizeof name), 0);
  EXPECT_STREQ(name, default_digest(level()));

  EXPECT_STREQ(BIGN_get_params(key.get()), curve_oid(level()));
  const Bytes d = private_key(key.get());
  const Bytes q = public_key(key.get());
  EXPECT_EQ(d.size(), level() / 4);
  EXPECT_EQ(q.size(), level() / 2);
  // The generic raw-key calls give the same octets.
  std::size_t len = 0;
  ASSERT_EQ(EVP_PKEY_get_raw_private_key(key.get(), nullptr, &len), 1);
  Bytes raw(len);
  ASSERT_EQ(EVP_PKEY_get_raw_private_key(key.get(), raw.data(), &len), 1);
  EXPECT_EQ(raw, d);

  PkeyCtx check(EVP_PKEY_CTX_new(key.get(), nullptr));
  EXPECT_EQ(EVP_PKEY_check(check.get()), 1);
  EXPECT_EQ(EVP_PKEY_public_check(check.get()), 1);
  EXPECT_EQ(EVP_PKEY_param_check(check.get()), 1);

  // Two generations differ; the private key rebuilt from its octets is the
  // same key.
  Pkey other = generate(level());
  EXPECT_NE(private_key(other.get()), d);
  Pkey rebuilt = from_private(d);
  ASSERT_NE(rebuilt, nullptr);
  EXPECT_EQ(public_key(rebuilt.get()), q);
  EXPECT_EQ(EVP_PKEY_eq(rebuilt.get(), key.get()), 1);
  EXPECT_EQ(EVP_PKEY_eq(other.get(), key.get()), 0);
}

TEST_F(Bign, ParamsControlTakesLettersNamesAndOids) {
  struct Case {
    const char* value;
    unsigned level;  // 0: refused
  };
  const Case cases[] = {{"A", 128},
                        {"B", 192},
                        {"C", 256},
                        {"bign-curve384v1", 192},
                        {"1.2.112.0.2.0.34.101.45.3.3", 256},
                        {"D", 0},
                        {"", 0},
                        {"128", 0},
                        {"1.2.112.0.2.0.34.101.45.3.4", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    PkeyCtx ctx(EVP_PKEY_CTX_new_id(nid_of("bign-pubkey"), nullptr));
    ASSERT_EQ(EVP_PKEY_keygen_init(ctx.get()), 1);
    const int r = EVP_PKEY_CTX_ctrl_str(ctx.get(), "params", c.value);
    if (c.level == 0) {
      EXPECT_LE(r, 0);
      ERR_clear_error();
      continue;
    }
    ASSERT_EQ(r, 1);
    EVP_PKEY* raw = nullptr;
    ASSERT_EQ(EVP_PKEY_keygen(ctx.get(), &raw), 1);
    Pkey key(raw);
    EXPECT_EQ(EVP_PKEY_get_bits(key.get()), static_cast<int>(2 * c.level));
  }
  // No "params" at all: level 128. An unknown control is refused as such.
  PkeyCtx ctx(EVP_PKEY_CTX_new_id(nid_of("bign-pubkey"), nullptr));
  ASSERT_EQ(EVP_PKEY_keygen_init(ctx.get()), 1);
  EXPECT_EQ(EVP_PKEY_CTX_ctrl_str(ctx.get(), "curve", "A"), -2);
  ERR_clear_error();
  EVP_PKEY* raw = nullptr;
  ASSERT_EQ(EVP_PKEY_keygen(ctx.get(), &raw), 1);
  Pkey key(raw);
  EXPECT_EQ(EVP_PKEY_get_bits(key.get()), 256);
}

TEST_P(BignKeys, DigestSignVerifiesAndIsDeterministic) {
  Pkey key = generate(level());
  Pkey other = generate(level());
  Pkey pub = from_public(public_key(key.get()));
  ASSERT_NE(pub, nullptr);
  const Bytes msg(32, 0x3C);
  const Bytes sig = digest_sign(key.get(), nullptr, msg);
  ASSERT_EQ(sig.size(), 3 * level() / 8);
  EXPECT_EQ(digest_sign(key.get(), nullptr, msg), sig);  // the one-time key comes from d and H
  // The same digest fetched from the provider signs alike.
  EVP_MD* fetched = EVP_MD_fetch(nullptr, default_digest(level()), nullptr);
  ASSERT_NE(fetched, nullptr);
  EXPECT_EQ(digest_sign(key.get(), fetched, msg), sig);
  EVP_MD_free(fetched);
  EXPECT_TRUE(digest_verify(pub.get(), nullptr, msg, sig));
  EXPECT_TRUE(digest_verify(key.get(), EVP_get_digestbyname(default_digest(level())), msg, sig));
  EXPECT_FALSE(digest_verify(other.get(), nullptr, msg, sig));
  Bytes msg2 = msg;
  msg2[31] ^= 1;
  EXPECT_FALSE(digest_verify(pub.get(), nullptr, msg2, sig));
  for (std::size_t i : {std::size_t{0}, sig.size() - 1}) {
    Bytes bad = sig;
    bad[i] ^= 0x80;
    EXPECT_FALSE(digest_verify(pub.get(), nullptr, msg, bad)) << i;
  }
  EXPECT_FALSE(digest_verify(pub.get(), nullptr, msg, Bytes(sig.begin(), sig.end() - 1)));
  ERR_clear_error();
}

// Only the hashes that fit the level sign: bash256 also at 128, nothing
// foreign anywhere.
TEST_P(BignKeys, DigestMustFitTheLevel) {
  Pkey key = generate(level());
  const Bytes msg(5, 0x11);
  for (const char* name : {"belt-hash", "bash256", "bash384", "bash512", "SHA256", "SHA512"}) {
    SCOPED_TRACE(name);
    const EVP_MD* md = EVP_get_digestbyname(name);
    ASSERT_NE(md, nullptr);
    const bool fits = (level() == 128 && (std::strcmp(name, "belt-hash") == 0 ||
                                          std::strcmp(name, "bash256") == 0)) ||
                      (level() == 192 && std::strcmp(name, "bash384") == 0) ||
                      (level() == 256 && std::strcmp(name, "bash512") == 0);
    const Bytes sig = digest_sign(key.get(), md, msg);
    EXPECT_EQ(!sig.empty(), fits);
    if (fits) {
      EXPECT_TRUE(digest_verify(key.get(), md, msg, sig));
    }
    // The hash OID is part of the signature: the default does not verify it.
    if (fits && std::strcmp(name, default_digest(level())) != 0) {
      EXPECT_FALSE(digest_verify(key.get(), nullptr, msg, sig));
    }
    ERR_clear_error();
  }
}

// EVP_DigestSignFinal copies the context (and so the key context) before it
// finishes; a copy made halfway continues the same message.
TEST_P(BignKeys, DuplicatedContextsFinishAlike) {
  Pkey key = generate(level());
  Own<EVP_MD_CTX> a(EVP_MD_CTX_new());
  ASSERT_EQ(EVP_DigestSignInit(a.get(), nullptr, nullptr, nullptr, key.get()), 1);
  ASSERT_EQ(EVP_DigestSignUpdate(a.get(), "first half,", 11), 1);
  Own<EVP_MD_CTX> b(EVP_MD_CTX_new());
  ASSERT_EQ(EVP_MD_CTX_copy_ex(b.get(), a.get()), 1);
  for (EVP_MD_CTX* c : {a.get(), b.get()}) ASSERT_EQ(EVP_DigestSignUpdate(c, " second", 7), 1);
  std::size_t la = 0;
  std::size_t lb = 0;
  ASSERT_EQ(EVP_DigestSignFinal(a.get(), nullptr, &la), 1);
  Bytes sa(la);
  Bytes sb(la);
  lb = la;
  ASSERT_EQ(EVP_DigestSignFinal(a.get(), sa.data(), &la), 1);
  ASSERT_EQ(EVP_DigestSignFinal(b.get(), sb.data(), &lb), 1);
  EXPECT_EQ(sa, sb);
  const std::string whole = "first half, second";
  EXPECT_EQ(sa, digest_sign(key.get(), nullptr, Bytes(whole.begin(), whole.end())));

  PkeyCtx pctx(EVP_PKEY_CTX_new(key.get(), nullptr));
  ASSERT_EQ(EVP_PKEY_sign_init(pctx.get()), 1);
  ASSERT_EQ(
      EVP_PKEY_CTX_set_signature_md(pctx.get(), EVP_get_digestbyname(default_digest(level()))), 1);
  PkeyCtx dup(EVP_PKEY_CTX_dup(pctx.get()));
  ASSERT_NE(dup, nullptr);
  const EVP_MD* md = nullptr;
  ASSERT_EQ(EVP_PKEY_CTX_get_signature_md(dup.get(), &md), 1);
  EXPECT_EQ(EVP_MD_get_type(md), nid_of(default_digest(level())));
}

// Encryption is key transport with a zero header: a token of
// |key| + 16 + l/4 octets that only the private key opens.
TEST_P(BignKeys, EncryptionIsKeyTransport) {
  Pkey key = generate(level());
  Pkey pub = from_public(public_key(key.get()));
  Pkey other = generate(level());
  const Bytes secret(32, 0xA5);
  PkeyCtx enc(EVP_PKEY_CTX_new(pub.get(), nullptr));
  ASSERT_EQ(EVP_PKEY_encrypt_init(enc.get()), 1);
  std::size_t len = 0;
  ASSERT_EQ(EVP_PKEY_encrypt(enc.get(), nullptr, &len, secret.data(), secret.size()), 1);
  EXPECT_EQ(len, secret.size() + 16 + level() / 4);
  Bytes token(len);
  ASSERT_EQ(EVP_PKEY_encrypt(enc.get(), token.data(), &len, secret.data(), secret.size()), 1);
  std::size_t tiny = 0;
  EXPECT_LE(EVP_PKEY_encrypt(enc.get(), nullptr, &tiny, secret.data(), 15), 0);

  auto decrypt = [&](EVP_PKEY* k, const Bytes& in) -> std::optional<Bytes> {
    PkeyCtx dec(EVP_PKEY_CTX_new(k, nullptr));
    std::size_t n = 0;
    if (EVP_PKEY_decrypt_init(dec.get()) != 1 ||
        EVP_PKEY_decrypt(dec.get(), nullptr, &n, in.data(), in.size()) != 1) {
      return std::nullopt;
    }
    Bytes out(n);
    if (EVP_PKEY_decrypt(dec.get(), out.data(), &n, in.data(), in.size()) != 1) return std::nullopt;
    out.resize(n);
    return out;
  };
  EXPECT_EQ(decrypt(key.get(), token), secret);
  EXPECT_EQ(decrypt(other.get(), token), std::nullopt);
  Bytes damaged = token;
  damaged.back() ^= 1;
  EXPECT_EQ(decrypt(key.get(), damaged), std::nullopt);
  EXPECT_EQ(decrypt(key.get(), Bytes(token.begin(), token.begin() + 16 + level() / 4 + 15)),
            std::nullopt);
  EXPECT_EQ(decrypt(pub.get(), token), std::nullopt);  // no private key
  // The same token through the C function, with the zero header spelled out.
  Bytes out(secret.size());
  const Bytes zero(16, 0);
  EXPECT_EQ(
      BIGN_decode_token(key.get(), token.data(), token.size(), zero.data(), nullptr, out.data()),
      0);
  EXPECT_EQ(out, secret);
  ERR_clear_error();
}

TEST_P(BignKeys, BothSidesDeriveTheSameSecret) {
  Pkey a = generate(level());
  Pkey b = generate(level());
  auto derive = [](EVP_PKEY* own, EVP_PKEY* peer) {
    PkeyCtx ctx(EVP_PKEY_CTX_new(own, nullptr));
    std::size_t len = 0;
    EXPECT_EQ(EVP_PKEY_derive_init(ctx.get()), 1);
    EXPECT_EQ(EVP_PKEY_derive_set_peer(ctx.get(), peer), 1);
    EXPECT_EQ(EVP_PKEY_derive(ctx.get(), nullptr, &len), 1);
    Bytes out(len);
    EXPECT_EQ(EVP_PKEY_derive(ctx.get(), out.data(), &len), 1);
    return out;
  };
  const Bytes ab = derive(a.get(), b.get());
  EXPECT_EQ(ab.size(), level() / 4);
  EXPECT_EQ(ab, derive(b.get(), a.get()));
  // A peer on another curve is refused.
  Pkey far = generate(level() == 128 ? 192 : 128);
  PkeyCtx ctx(EVP_PKEY_CTX_new(a.get(), nullptr));
  ASSERT_EQ(EVP_PKEY_derive_init(ctx.get()), 1);
  EXPECT_LE(EVP_PKEY_derive_set_peer(ctx.get(), far.get()), 0);
  ERR_clear_error();
}

// Parameters and public keys compare separately: same level, different
// keys; different levels.
TEST_F(Bign, ComparisonsSeeParametersAndKeys) {
  Pkey a = generate(128);
  Pkey b = generate(128);
  Pkey c = generate(256);
  EXPECT_EQ(EVP_PKEY_parameters_eq(a.get(), b.get()), 1);
  EXPECT_EQ(EVP_PKEY_parameters_eq(a.get(), c.get()), 0);
  EXPECT_EQ(EVP_PKEY_eq(a.get(), b.get()), 0);
  EXPECT_EQ(EVP_PKEY_eq(a.get(), c.get()), 0);
  EXPECT_EQ(EVP_PKEY_eq(a.get(), from_public(public_key(a.get())).get()), 1);
  // Parameters copied into an empty key.
  Pkey empty(EVP_PKEY_new());
  ASSERT_EQ(EVP_PKEY_copy_parameters(empty.get(), c.get()), 1);
  EXPECT_EQ(EVP_PKEY_missing_parameters(empty.get()), 0);
  EXPECT_STREQ(BIGN_get_params(empty.get()), curve_oid(256));
  EXPECT_EQ(EVP_PKEY_parameters_eq(empty.get(), c.get()), 1);
}

// The published signatures (official G.2, G.3 and the other levels) verify
// through EVP with the key made from Q and the digest named by hash_oid; the
// deterministic ones without extra data come out the same through
// EVP_DigestSign from d.
TEST_F(Bign, PublishedSignaturesThroughEvp) {
  int verified = 0;
  for (const std::string alg : {"bign-sign", "bign-sign-det"}) {
    for (const Record& r : bign_records(alg)) {
      SCOPED_TRACE(r.where());
      if (!r.has("msg")) continue;
      const Bytes d = r.bytes("d");
      Pkey key = from_private(d);
      ASSERT_NE(key, nullptr);
      const EVP_MD* md = EVP_get_digestbyname(r.text("hash_oid").c_str());
      ASSERT_NE(md, nullptr);
      EXPECT_TRUE(digest_verify(key.get(), md, r.bytes("msg"), r.bytes("sig")));
      if (alg == "bign-sign-det" && r.text("t").empty()) {
        EXPECT_EQ(testsupport::to_hex(digest_sign(key.get(), md, r.bytes("msg"))), r.text("sig"));
      }
      ++verified;
    }
  }
  EXPECT_GE(verified, 10);
}

}  // namespace
}  // namespace bigntest
