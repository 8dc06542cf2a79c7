// belt-hash and bash256/384/512 through EVP digests looked up by name and
// fetched from the provider; hmac-hbelt as OpenSSL's HMAC over belt-hash.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/engine.h>
#include <openssl/hmac.h>
#include <openssl/objects.h>
#include <openssl/provider.h>

#include <ostream>

#include "evp_support.h"

namespace ossltest {
namespace {

struct Alg {
  const char* name;
  const char* file;
  int size, block;
  friend void PrintTo(const Alg& a, std::ostream* os) { *os << a.name; }
};

constexpr Alg kAlgs[] = {
    {"belt-hash", "belt_hash.txt", 32, 32},
    {"bash256", "bash.txt", 32, 128},
    {"bash384", "bash.txt", 48, 96},
    {"bash512", "bash.txt", 64, 64},
};

class DigestVectors : public Registered, public testing::WithParamInterface<Alg> {
 protected:
  std::vector<Record> all() {
    auto r = records(GetParam().file, GetParam().name);
    EXPECT_FALSE(r.empty());
    return r;
  }
};

TEST_P(DigestVectors, SizesAndNames) {
  const EVP_MD* md = digest(GetParam().name);
  ASSERT_NE(md, nullptr);
  EXPECT_EQ(EVP_MD_get_size(md), GetParam().size);
  EXPECT_EQ(EVP_MD_get_block_size(md), GetParam().block);
  EXPECT_STREQ(EVP_MD_get0_name(md), GetParam().name);
  EXPECT_EQ(EVP_get_digestbyobj(OBJ_nid2obj(EVP_MD_get_type(md))), md);
  EXPECT_EQ(EVP_get_digestbyname(OBJ_nid2ln(EVP_MD_get_type(md))), md);
}

TEST_P(DigestVectors, OneUpdateAndEveryPieceSize) {
  const EVP_MD* md = digest(GetParam().name);
  ASSERT_NE(md, nullptr);
  for (const Record& r : all()) {
    SCOPED_TRACE(r.where());
    const Bytes msg = r.bytes("msg"), want = r.bytes("hash");
    EXPECT_EQ(hash(md, msg), want);
    for (std::size_t step = 1; step < msg.size(); ++step) {
      EXPECT_EQ(hash(md, msg, step), want) << "step " << step;
    }
  }
}

TEST_P(DigestVectors, CopiedContextContinues) {
  const EVP_MD* md = digest(GetParam().name);
  ASSERT_NE(md, nullptr);
  for (const Record& r : all()) {
    SCOPED_TRACE(r.where());
    const Bytes msg = r.bytes("msg"), want = r.bytes("hash");
    for (std::size_t cut = 0; cut <= msg.size(); ++cut) {
      MdCtx a(EVP_MD_CTX_new()), b(EVP_MD_CTX_new());
      ASSERT_EQ(EVP_DigestInit_ex(a.get(), md, nullptr), 1);
      ASSERT_EQ(EVP_DigestUpdate(a.get(), msg.data(), cut), 1);
      ASSERT_EQ(EVP_MD_CTX_copy_ex(b.get(), a.get()), 1);
      for (EVP_MD_CTX* ctx : {b.get(), a.get()}) {  // the copy first: a must be untouched
        Bytes out(EVP_MAX_MD_SIZE);
        unsigned int n = 0;
        ASSERT_EQ(EVP_DigestUpdate(ctx, msg.data() + cut, msg.size() - cut), 1);
        ASSERT_EQ(EVP_DigestFinal_ex(ctx, out.data(), &n), 1);
        out.resize(n);
        EXPECT_EQ(out, want) << "cut " << cut << (ctx == a.get() ? " original" : " copy");
      }
    }
  }
}

// A context used again after Final starts a new message.
TEST_P(DigestVectors, ReinitAfterFinal) {
  const EVP_MD* md = digest(GetParam().name);
  ASSERT_NE(md, nullptr);
  const auto r = all();
  ASSERT_GE(r.size(), 2u);
  MdCtx ctx(EVP_MD_CTX_new());
  for (const Record& rec : {r[0], r[1], r[0]}) {
    const Bytes msg = rec.bytes("msg");
    Bytes out(EVP_MAX_MD_SIZE);
    unsigned int n = 0;
    ASSERT_EQ(EVP_DigestInit_ex(ctx.get(), md, nullptr), 1);
    ASSERT_EQ(EVP_DigestUpdate(ctx.get(), msg.data(), msg.size()), 1);
    ASSERT_EQ(EVP_DigestFinal_ex(ctx.get(), out.data(), &n), 1);
    out.resize(n);
    EXPECT_EQ(out, rec.bytes("hash")) << rec.where();
  }
}

// EVP takes the legacy route (our hash object in md_data) through the
// ENGINE, which owns digest objects apart from the by-name ones. (The
// context reports the requested digest, not the ENGINE's.)
TEST_P(DigestVectors, EvpRunsTheEngineDigest) {
  const int nid = OBJ_sn2nid(GetParam().name);
  ENGINE* e = ENGINE_get_digest_engine(nid);
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(ENGINE_get_id(e), "stb");
  const EVP_MD* own = ENGINE_get_digest(e, nid);
  ENGINE_finish(e);
  ASSERT_NE(own, nullptr);
  EXPECT_NE(own, digest(GetParam().name));
  MdCtx ctx(EVP_MD_CTX_new());
  ASSERT_EQ(EVP_DigestInit_ex(ctx.get(), digest(GetParam().name), nullptr), 1);
  EXPECT_NE(EVP_MD_CTX_md_data(ctx.get()), nullptr);
  EXPECT_EQ(EVP_MD_get0_provider(EVP_MD_CTX_get0_md(ctx.get())), nullptr);
}

// Fetching code (EVP_MD_fetch, EVP_Q_digest) finds the provider's digest,
// under the name and under the dotted OID.
TEST_P(DigestVectors, ProviderDigest) {
  const Record r = all().back();
  const Bytes msg = r.bytes("msg"), want = r.bytes("hash");
  const std::string oid = [&] {
    char buf[64];
    OBJ_obj2txt(buf, sizeof buf, OBJ_nid2obj(OBJ_sn2nid(GetParam().name)), 1);
    return std::string(buf);
  }();
  for (const std::string& name : {std::string(GetParam().name), oid}) {
    SCOPED_TRACE(name);
    std::unique_ptr<EVP_MD, Free> md(EVP_MD_fetch(nullptr, name.c_str(), nullptr));
    ASSERT_NE(md, nullptr);
    EXPECT_STREQ(OSSL_PROVIDER_get0_name(EVP_MD_get0_provider(md.get())), "stb");
    EXPECT_EQ(EVP_MD_get_size(md.get()), GetParam().size);
    EXPECT_EQ(EVP_MD_get_block_size(md.get()), GetParam().block);
    EXPECT_EQ(hash(md.get(), msg, 7), want);
    Bytes out(EVP_MAX_MD_SIZE);
    std::size_t n = 0;
    ASSERT_EQ(EVP_Q_digest(nullptr, name.c_str(), nullptr, msg.data(), msg.size(), out.data(), &n),
              1);
    out.resize(n);
    EXPECT_EQ(out, want);
  }
}

INSTANTIATE_TEST_SUITE_P(All, DigestVectors, testing::ValuesIn(kAlgs), [](const auto& p) {
  std::string s = p.param.name;
  return s == "belt-hash" ? std::string("belt_hash") : s;
});

// Loading our provider must not cost the application OpenSSL's own.
TEST_F(Registered, DefaultProviderStillThere) {
  std::unique_ptr<EVP_MD, Free> sha(EVP_MD_fetch(nullptr, "SHA256", nullptr));
  ASSERT_NE(sha, nullptr);
  EXPECT_EQ(testsupport::to_hex(hash(sha.get(), Bytes{'a', 'b', 'c'})),
            "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  EVP_CIPHER* aes = EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr);
  EXPECT_NE(aes, nullptr);
  EVP_CIPHER_free(aes);
}

// hmac-hbelt is OpenSSL's HMAC over belt-hash: HMAC() in one go, EVP_MAC
// in pieces.
TEST_F(Registered, HmacHbeltVectors) {
  const EVP_MD* md = digest("belt-hash");
  std::unique_ptr<EVP_MAC, Free> mac(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
  ASSERT_NE(md, nullptr);
  ASSERT_NE(mac, nullptr);
  char name[] = "belt-hash";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, name, 0),
                               OSSL_PARAM_construct_end()};
  const auto rs = records("hmac_hbelt.txt", "hmac-hbelt");
  ASSERT_FALSE(rs.empty());
  for (const Record& r : rs) {
    SCOPED_TRACE(r.where());
    const Bytes key = r.bytes("key"), msg = r.bytes("msg"), want = r.bytes("mac");
    const unsigned char none = 0;  // both want a key pointer even for the empty key
    const unsigned char* k = key.empty() ? &none : key.data();
    Bytes out(32);
    unsigned int n = 0;
    ASSERT_NE(HMAC(md, k, static_cast<int>(key.size()), msg.data(), msg.size(), out.data(), &n),
              nullptr);
    EXPECT_EQ(out, want);
    for (std::size_t step : {std::size_t{1}, std::size_t{13}}) {
      std::unique_ptr<EVP_MAC_CTX, Free> ctx(EVP_MAC_CTX_new(mac.get()));
      ASSERT_EQ(EVP_MAC_init(ctx.get(), k, key.size(), params), 1);
      for (std::size_t pos = 0; pos < msg.size(); pos += step) {
        ASSERT_EQ(EVP_MAC_update(ctx.get(), msg.data() + pos, std::min(step, msg.size() - pos)), 1);
      }
      std::size_t len = 0;
      ASSERT_EQ(EVP_MAC_final(ctx.get(), out.data(), &len, out.size()), 1);
      EXPECT_EQ(out, want) << "step " << step;
    }
  }
}

}  // namespace
}  // namespace ossltest
