// The encoding records of bign.txt through OpenSSL: identifiers, algorithm
// identifiers as writers emit them, SubjectPublicKeyInfo, PKCS#8, specified
// domain parameters, password-protected keys and a real request.
#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <map>

#include "bign_support.h"
#include "stb/bign/curves.h"
#include "stb/openssl/bign_params.h"
#include "stb/stb.h"

namespace bigntest {
namespace {

using testsupport::from_hex;
using testsupport::to_hex;

// Every record of these algs is consumed here; the count guards against
// records that a filter below would skip silently.
const std::map<std::string, int> kExpected = {
    {"bign-oid", 20},         {"bign-algid", 13},          {"bign-spki", 4},
    {"bign-pkcs8", 3},        {"bign-ecparams", 3},        {"bign-ecparams-parse", 1},
    {"bign-epki-decrypt", 1}, {"bign-privkey-protect", 1}, {"bign-csr-verify", 2}};

TEST_F(Bign, EveryEncodingRecordIsHere) {
  for (const auto& [alg, n] : kExpected) {
    EXPECT_EQ(static_cast<int>(bign_records(alg).size()), n) << alg;
  }
}

TEST_F(Bign, ObjectIdentifiers) {
  for (const Record& r : bign_records("bign-oid")) {
    SCOPED_TRACE(r.where());
    const int nid = OBJ_sn2nid(r.text("name").c_str());
    ASSERT_NE(nid, NID_undef);
    EXPECT_EQ(to_hex(der(OBJ_nid2obj(nid), i2d_ASN1_OBJECT)), r.text("der"));
    if (r.has("oid")) {
      EXPECT_EQ(OBJ_txt2nid(r.text("oid").c_str()), nid);
    }
  }
}

// The signature identifier a request gets when signed with the digest that
// goes with it (NULL parameters); the key's own identifier as SPKI writes
// it; hspec identifiers decode to their hash. Key transport is in the CMS
// tests.
TEST_F(Bign, AlgorithmIdentifiers) {
  const std::map<std::string, std::pair<unsigned, const char*>> by_sig = {
      {"bign-with-hbelt", {128, "belt-hash"}},
      {"bign-with-bash256", {128, "bash256"}},
      {"bign-with-bash384", {192, "bash384"}},
      {"bign-with-bash512", {256, "bash512"}}};
  int seen = 0;
  for (const Record& r : bign_records("bign-algid")) {
    SCOPED_TRACE(r.where());
    const std::string& name = r.text("name");
    if (const auto it = by_sig.find(name); it != by_sig.end()) {
      Pkey key = generate(it->second.first);
      Own<X509_REQ> req(X509_REQ_new());
      ASSERT_EQ(X509_REQ_set_pubkey(req.get(), key.get()), 1);
      ASSERT_GT(X509_REQ_sign(req.get(), key.get(), EVP_get_digestbyname(it->second.second)), 0);
      const X509_ALGOR* alg = nullptr;
      X509_REQ_get0_signature(req.get(), nullptr, &alg);
      EXPECT_EQ(to_hex(der(alg, i2d_X509_ALGOR)), r.text("der"));
      EXPECT_EQ(X509_REQ_verify(req.get(), key.get()), 1);
    } else if (name == "bign-pubkey") {
      const Bytes d = r.bytes("der");
      const unsigned level = d.back() == 1 ? 128 : d.back() == 2 ? 192 : 256;
      Pkey key = generate(level);
      X509_PUBKEY* pub = nullptr;
      ASSERT_EQ(X509_PUBKEY_set(&pub, key.get()), 1);
      X509_ALGOR* alg = nullptr;
      ASSERT_EQ(X509_PUBKEY_get0_param(nullptr, nullptr, nullptr, &alg, pub), 1);
      EXPECT_EQ(to_hex(der(alg, i2d_X509_ALGOR)), r.text("der"));
      X509_PUBKEY_free(pub);
    } else if (name == "bign-with-hspec") {
      const Bytes d = r.bytes("der");
      const unsigned char* p = d.data();
      X509_ALGOR* alg = d2i_X509_ALGOR(nullptr, &p, static_cast<long>(d.size()));
      ASSERT_NE(alg, nullptr);
      const ASN1_OBJECT* obj = nullptr;
      int ptype = 0;
      const void* pval = nullptr;
      X509_ALGOR_get0(&obj, &ptype, &pval, alg);
      EXPECT_STREQ(OBJ_nid2sn(OBJ_obj2nid(obj)), "bign-with-hspec");
      ASSERT_EQ(ptype, V_ASN1_OBJECT);
      EXPECT_EQ(OBJ_nid2sn(OBJ_obj2nid(static_cast<const ASN1_OBJECT*>(pval))), r.text("hash"));
      X509_ALGOR_free(alg);
    } else {
      EXPECT_EQ(name, "bign-keytransport");
      continue;
    }
    ++seen;
  }
  EXPECT_EQ(seen, 11);
}

TEST_F(Bign, SubjectPublicKeyInfo) {
  for (const Record& r : bign_records("bign-spki")) {
    SCOPED_TRACE(r.where());
    const Bytes spki = r.bytes("der");
    const unsigned char* p = spki.data();
    Pkey key(d2i_PUBKEY(nullptr, &p, static_cast<long>(spki.size())));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(EVP_PKEY_get_bits(key.get()), 2 * std::stoi(r.text("level")));
    Bytes q(BIGN_get_pubkey(key.get(), nullptr, 0));
    ASSERT_EQ(BIGN_get_pubkey(key.get(), q.data(), q.size()), q.size());
    EXPECT_EQ(to_hex(q), r.text("Q"));
    EXPECT_EQ(BIGN_get_privkey(key.get(), nullptr, 0), 0u);
    EXPECT_EQ(to_hex(der(key.get(), i2d_PUBKEY)), r.text("der"));
    // A point off the curve is refused.
    Bytes bad = spki;
    bad.back() ^= 1;
    p = bad.data();
    EXPECT_EQ(d2i_PUBKEY(nullptr, &p, static_cast<long>(bad.size())), nullptr);
    ERR_clear_error();
  }
}

TEST_F(Bign, PrivateKeyInfo) {
  for (const Record& r : bign_records("bign-pkcs8")) {
    SCOPED_TRACE(r.where());
    const Bytes d = r.bytes("d");
    Pkey key(EVP_PKEY_new_raw_private_key(OBJ_sn2nid("bign-pubkey"), nullptr, d.data(), d.size()));
    ASSERT_NE(key, nullptr);
    Own<PKCS8_PRIV_KEY_INFO> p8(EVP_PKEY2PKCS8(key.get()));
    ASSERT_NE(p8, nullptr);
    EXPECT_EQ(to_hex(der(p8.get(), i2d_PKCS8_PRIV_KEY_INFO)), r.text("der"));

    const Bytes in = r.bytes("der");
    const unsigned char* p = in.data();
    Own<PKCS8_PRIV_KEY_INFO> back(
        d2i_PKCS8_PRIV_KEY_INFO(nullptr, &p, static_cast<long>(in.size())));
    ASSERT_NE(back, nullptr);
    Pkey loaded(EVP_PKCS82PKEY(back.get()));
    ASSERT_NE(loaded, nullptr);
    Bytes got(d.size());
    EXPECT_EQ(BIGN_get_privkey(loaded.get(), got.data(), got.size()), d.size());
    EXPECT_EQ(got, d);
    EXPECT_EQ(EVP_PKEY_eq(loaded.get(), key.get()), 1);
    ERR_clear_error();
  }
}

// A SubjectPublicKeyInfo whose parameters are the given DER.
Bytes spki_with_params(const Bytes& params, const Bytes& q) {
  const Bytes oid = from_hex("060A2A7000020022652D0201");
  auto tlv = [](std::uint8_t tag, const Bytes& content) {
    Bytes out{tag};
    const std::size_t n = content.size();
    if (n >= 0x100)
      out.insert(out.end(), {0x82, std::uint8_t(n >> 8), std::uint8_t(n)});
    else if (n >= 0x80)
      out.insert(out.end(), {0x81, std::uint8_t(n)});
    else
      out.push_back(std::uint8_t(n));
    out.insert(out.end(), content.begin(), content.end());
    return out;
  };
  Bytes alg = oid;
  alg.insert(alg.end(), params.begin(), params.end());
  Bytes bits{0};
  bits.insert(bits.end(), q.begin(), q.end());
  Bytes body = tlv(0x30, alg);
  const Bytes bs = tlv(0x03, bits);
  body.insert(body.end(), bs.begin(), bs.end());
  return tlv(0x30, body);
}

// The specified form of each standard curve, with and without cofactor,
// parses, maps to its level and re-encodes; a key carrying it decodes.
TEST_F(Bign, SpecifiedParametersOfStandardCurves) {
  namespace so = stb::openssl;
  for (const Record& r : bign_records("bign-ecparams")) {
    SCOPED_TRACE(r.where());
    const unsigned level = static_cast<unsigned>(std::stoul(r.text("level")));
    const stb::bign::Curve* curve = stb::bign::curve(level);
    ASSERT_NE(curve, nullptr);
    for (bool cofactor : {false, true}) {
      const Bytes want = r.bytes(cofactor ? "der_cofactor" : "der");
      EXPECT_EQ(so::encode_ec_params(so::ec_params_of(*curve, cofactor)), want);
      so::EcParams parsed;
      ASSERT_TRUE(so::parse_ec_params(want.data(), want.size(), parsed));
      EXPECT_EQ(parsed.has_cofactor, cofactor);
      EXPECT_EQ(so::standard_level(parsed), level);

      Pkey key = generate(level);
      Bytes q(level / 2);
      ASSERT_EQ(BIGN_get_pubkey(key.get(), q.data(), q.size()), q.size());
      const Bytes spki = spki_with_params(want, q);
      const unsigned char* p = spki.data();
      Pkey back(d2i_PUBKEY(nullptr, &p, static_cast<long>(spki.size())));
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(EVP_PKEY_eq(back.get(), key.get()), 1);
      // Bare parameters read the same way.
      p = want.data();
      Pkey params(
          d2i_KeyParams(OBJ_sn2nid("bign-pubkey"), nullptr, &p, static_cast<long>(want.size())));
      ASSERT_NE(params, nullptr);
      EXPECT_STREQ(BIGN_get_params(params.get()), curve->oid);
    }
    // Truncated or trailing octets are not DER of one ECParameters.
    const Bytes der_form = r.bytes("der");
    so::EcParams parsed;
    EXPECT_FALSE(so::parse_ec_params(der_form.data(), der_form.size() - 1, parsed));
    Bytes longer = der_form;
    longer.push_back(0);
    EXPECT_FALSE(so::parse_ec_params(longer.data(), longer.size(), parsed));
  }
}

// A curve that is none of the standard ones parses field by field and
// re-encodes, but no key is accepted on it.
TEST_F(Bign, SpecifiedParametersOfAnotherCurve) {
  namespace so = stb::openssl;
  for (const Record& r : bign_records("bign-ecparams-parse")) {
    SCOPED_TRACE(r.where());
    const Bytes in = r.bytes("der");
    so::EcParams parsed;
    ASSERT_TRUE(so::parse_ec_params(in.data(), in.size(), parsed));
    EXPECT_EQ(parsed.level, static_cast<unsigned>(std::stoul(r.text("level"))));
    const std::size_t n = parsed.size;
    EXPECT_EQ(to_hex(parsed.p, n), r.text("p"));
    EXPECT_EQ(to_hex(parsed.a, n), r.text("a"));
    EXPECT_EQ(to_hex(parsed.b, n), r.text("b"));
    EXPECT_EQ(to_hex(parsed.q, n), r.text("q"));
    EXPECT_EQ(to_hex(parsed.y_g, n), r.text("yG"));
    EXPECT_EQ(to_hex(parsed.seed, 8), r.text("seed"));
    EXPECT_EQ(so::encode_ec_params(parsed), in);
    EXPECT_EQ(so::standard_level(parsed), 0u);

    const Bytes spki = spki_with_params(in, Bytes(parsed.size * 2, 1));
    const unsigned char* p = spki.data();
    EXPECT_EQ(d2i_PUBKEY(nullptr, &p, static_cast<long>(spki.size())), nullptr);
    ERR_clear_error();
  }
}

// The container written by another implementation: PBES2 with PBKDF2 over
// hmac-hbelt and belt-kwp256; it opens with its password only.
TEST_F(Bign, EncryptedPrivateKeyInfoFromElsewhere) {
  for (const Record& r : bign_records("bign-epki-decrypt")) {
    SCOPED_TRACE(r.where());
    const Bytes in = r.bytes("der");
    const unsigned char* p = in.data();
    Own<X509_SIG> sig(d2i_X509_SIG(nullptr, &p, static_cast<long>(in.size())));
    ASSERT_NE(sig, nullptr);
    const Bytes pass = r.bytes("password");
    const std::string pw(pass.begin(), pass.end());
    Own<PKCS8_PRIV_KEY_INFO> p8(PKCS8_decrypt(sig.get(), pw.data(), static_cast<int>(pw.size())));
    ASSERT_NE(p8, nullptr);
    EXPECT_EQ(to_hex(der(p8.get(), i2d_PKCS8_PRIV_KEY_INFO)), r.text("pki"));
    Pkey key(EVP_PKCS82PKEY(p8.get()));
    ASSERT_NE(key, nullptr);
    Bytes d(32);
    EXPECT_EQ(BIGN_get_privkey(key.get(), d.data(), d.size()), 32u);
    EXPECT_EQ(to_hex(d), r.text("d"));
    EXPECT_EQ(PKCS8_decrypt(sig.get(), "zee", 3), nullptr);
    ERR_clear_error();
  }
}

// The standard's key protection example: the PBKDF2 key through OpenSSL
// with belt-hash, then belt-kwp of d under a zero header.
TEST_F(Bign, PrivateKeyProtectionExample) {
  for (const Record& r : bign_records("bign-privkey-protect")) {
    SCOPED_TRACE(r.where());
    const Bytes pass = r.bytes("password");
    const Bytes salt = r.bytes("salt");
    Bytes key(32);
    ASSERT_EQ(
        PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(pass.data()), static_cast<int>(pass.size()),
                          salt.data(), static_cast<int>(salt.size()), std::stoi(r.text("iter")),
                          EVP_get_digestbyname("belt-hash"), 32, key.data()),
        1);
    EXPECT_EQ(to_hex(key), r.text("key"));
    const EVP_CIPHER* kwp = EVP_get_cipherbyname("belt-kwp256");
    ASSERT_NE(kwp, nullptr);
    const Bytes d = r.bytes("d");
    Own<EVP_CIPHER_CTX> ctx(EVP_CIPHER_CTX_new());
    ASSERT_EQ(EVP_EncryptInit_ex(ctx.get(), kwp, nullptr, key.data(), nullptr), 1);
    Bytes out(d.size() + 32);
    int n = 0;
    int m = 0;
    ASSERT_EQ(EVP_EncryptUpdate(ctx.get(), out.data(), &n, d.data(), static_cast<int>(d.size())),
              1);
    ASSERT_EQ(EVP_EncryptFinal_ex(ctx.get(), out.data() + n, &m), 1);
    out.resize(static_cast<std::size_t>(n + m));
    EXPECT_EQ(to_hex(out), r.text("wrapped"));
  }
}

TEST_F(Bign, RequestFromElsewhere) {
  const Bytes q = bign_records("bign-spki").front().bytes("Q");
  for (const Record& r : bign_records("bign-csr-verify")) {
    SCOPED_TRACE(r.where());
    const Bytes in = r.bytes("der");
    const unsigned char* p = in.data();
    Own<X509_REQ> req(d2i_X509_REQ(nullptr, &p, static_cast<long>(in.size())));
    ASSERT_NE(req, nullptr);
    EVP_PKEY* key = X509_REQ_get0_pubkey(req.get());
    ASSERT_NE(key, nullptr);
    Bytes got(q.size());
    ASSERT_EQ(BIGN_get_pubkey(key, got.data(), got.size()), q.size());
    EXPECT_EQ(got, q);
    EXPECT_EQ(X509_REQ_verify(req.get(), key), r.text("result") == "ok" ? 1 : 0);
    ERR_clear_error();
  }
}

}  // namespace
}  // namespace bigntest
