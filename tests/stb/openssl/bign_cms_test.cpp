// bign in CMS the way the library drives it: SignedData (PEM, DER, S/MIME;
// attached and detached; with and without signed attributes) and
// EnvelopedData with a belt content cipher and bign key transport.
#include <gtest/gtest.h>
// pem.h first: cms.h declares the CMS PEM functions only after it.
#include <openssl/pem.h>

#include <openssl/cms.h>
#include <openssl/err.h>

#include <optional>

#include "bign_support.h"

namespace bigntest {
namespace {

using testsupport::to_hex;

enum class Form { pem, der, smime };
constexpr Form kForms[] = {Form::pem, Form::der, Form::smime};

const char* form_name(Form f) {
  return f == Form::pem ? "PEM" : f == Form::der ? "DER" : "S/MIME";
}

unsigned base_flags(Form f) {
  return CMS_PARTIAL | CMS_STREAM | CMS_BINARY | (f == Form::smime ? 0u : CMS_NOSMIMECAP);
}

// Completes cms over content and encodes it: CMS_final for PEM and DER, the
// streaming S/MIME writer otherwise.
std::optional<Bytes> finish(CMS_ContentInfo* cms, const Bytes& content, unsigned flags, Form f) {
  Bio in = mem_bio(content);
  if (f != Form::smime) {
    flags &= ~static_cast<unsigned>(CMS_STREAM);
    if (CMS_final(cms, in.get(), nullptr, flags) != 1) return std::nullopt;
  }
  Bio out = mem_bio();
  const int ok =
      f == Form::pem   ? PEM_write_bio_CMS_stream(out.get(), cms, in.get(), static_cast<int>(flags))
      : f == Form::der ? i2d_CMS_bio_stream(out.get(), cms, in.get(), static_cast<int>(flags))
                       : SMIME_write_CMS(out.get(), cms, in.get(), static_cast<int>(flags));
  if (ok != 1) return std::nullopt;
  return bytes_of(out.get());
}

// PEM, DER, then S/MIME (detached content not collected).
Own<CMS_ContentInfo> load(const Bytes& data) {
  {
    Bio in = mem_bio(data);
    if (CMS_ContentInfo* cms = PEM_read_bio_CMS(in.get(), nullptr, nullptr, nullptr)) {
      return Own<CMS_ContentInfo>(cms);
    }
  }
  ERR_clear_error();
  {
    Bio in = mem_bio(data);
    if (CMS_ContentInfo* cms = d2i_CMS_bio(in.get(), nullptr)) return Own<CMS_ContentInfo>(cms);
  }
  ERR_clear_error();
  Bio in = mem_bio(data);
  BIO_set_mem_eof_return(in.get(), 0);
  CMS_ContentInfo* cms = SMIME_read_CMS(in.get(), nullptr);
  if (cms == nullptr) ERR_clear_error();
  return Own<CMS_ContentInfo>(cms);
}

struct Signer {
  Pkey key;
  Cert cert;
};

Signer make_signer(unsigned level, const char* cn) {
  Signer s{generate(level), nullptr};
  s.cert = self_signed(s.key.get(), nullptr, cn);
  return s;
}

std::optional<Bytes> sign(const std::vector<const Signer*>& signers, const Bytes& content,
                          unsigned extra, Form f) {
  const unsigned flags = base_flags(f) | extra;
  Own<CMS_ContentInfo> cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags));
  if (cms == nullptr) return std::nullopt;
  for (const Signer* s : signers) {
    if (CMS_add1_signer(cms.get(), s->cert.get(), s->key.get(), nullptr, flags) == nullptr) {
      return std::nullopt;
    }
  }
  return finish(cms.get(), content, flags, f);
}

// The library's check: signatures only (no authority), the certificate
// given or carried; answers the signed content.
std::optional<Bytes> verify(const Bytes& signed_data, const Bytes* detached, X509* cert,
                            X509_STORE* store = nullptr) {
  Own<CMS_ContentInfo> cms = load(signed_data);
  if (cms == nullptr) return std::nullopt;
  Bio dcont = detached != nullptr ? mem_bio(*detached) : nullptr;
  STACK_OF(X509)* certs = sk_X509_new_null();
  if (cert != nullptr) sk_X509_push(certs, cert);
  Bio out = mem_bio();
  const unsigned flags = CMS_BINARY | (store == nullptr ? CMS_NO_SIGNER_CERT_VERIFY : 0u);
  const int ok = CMS_verify(cms.get(), certs, store, dcont.get(), out.get(), flags);
  sk_X509_free(certs);
  if (ok != 1) {
    ERR_clear_error();
    return std::nullopt;
  }
  return bytes_of(out.get());
}

class BignCms : public Level {};
BIGN_LEVELS(BignCms);

TEST_P(BignCms, SignedDataEveryFormAttachedAndDetached) {
  const Signer s = make_signer(level(), "cms signer");
  const Bytes content = {'p', 'a', 'y', ' ', '1', '0', '0', '\r', '\n', 0, 0xFF};
  for (Form f : kForms) {
    for (bool detached : {false, true}) {
      for (bool attrs : {true, false}) {
        SCOPED_TRACE(std::string(form_name(f)) + (detached ? " detached" : " attached") +
                     (attrs ? "" : " without attributes"));
        const unsigned extra = (detached ? CMS_DETACHED : 0u) | (attrs ? 0u : CMS_NOATTR);
        const std::optional<Bytes> sd = sign({&s}, content, extra, f);
        ASSERT_TRUE(sd.has_value());
        if (detached) {
          EXPECT_EQ(verify(*sd, &content, nullptr), content);
          Bytes other = content;
          other[0] ^= 1;
          EXPECT_EQ(verify(*sd, &other, nullptr), std::nullopt);
          EXPECT_EQ(verify(*sd, nullptr, nullptr), std::nullopt);
        } else {
          EXPECT_EQ(verify(*sd, nullptr, nullptr), content);
        }
      }
    }
  }
}

// The SignerInfo names the level's digest, and the signature identifier
// linked to it with parameters absent; the signature has 3l/8 octets.
TEST_P(BignCms, SignerInfoAlgorithms) {
  const Signer s = make_signer(level(), "cms signer");
  const std::optional<Bytes> sd = sign({&s}, Bytes(100, 'x'), 0, Form::der);
  ASSERT_TRUE(sd.has_value());
  Own<CMS_ContentInfo> cms = load(*sd);
  ASSERT_NE(cms, nullptr);
  STACK_OF(CMS_SignerInfo)* infos = CMS_get0_SignerInfos(cms.get());
  ASSERT_EQ(sk_CMS_SignerInfo_num(infos), 1);
  CMS_SignerInfo* si = sk_CMS_SignerInfo_value(infos, 0);
  X509_ALGOR* dig = nullptr;
  X509_ALGOR* sig = nullptr;
  CMS_SignerInfo_get0_algs(si, nullptr, nullptr, &dig, &sig);
  const ASN1_OBJECT* obj = nullptr;
  int ptype = 0;
  X509_ALGOR_get0(&obj, &ptype, nullptr, sig);
  const char* want = level() == 128   ? "bign-with-hbelt"
                     : level() == 192 ? "bign-with-bash384"
                                      : "bign-with-bash512";
  EXPECT_STREQ(OBJ_nid2sn(OBJ_obj2nid(obj)), want);
  EXPECT_EQ(ptype, V_ASN1_UNDEF);
  X509_ALGOR_get0(&obj, nullptr, nullptr, dig);
  int md = NID_undef;
  ASSERT_EQ(EVP_PKEY_get_default_digest_nid(s.key.get(), &md), 1);
  EXPECT_EQ(OBJ_obj2nid(obj), md);
  EXPECT_EQ(ASN1_STRING_length(CMS_SignerInfo_get0_signature(si)),
            static_cast<int>(3 * level() / 8));
}

TEST_F(Bign, SignersOfEveryLevelInOneStructure) {
  const Signer a = make_signer(128, "a");
  const Signer b = make_signer(192, "b");
  const Signer c = make_signer(256, "c");
  const Bytes content(3000, 'z');
  const std::optional<Bytes> sd = sign({&a, &b, &c}, content, CMS_DETACHED, Form::der);
  ASSERT_TRUE(sd.has_value());
  EXPECT_EQ(verify(*sd, &content, nullptr), content);
  // Against a trust store holding the three certificates, full checks pass.
  Own<X509_STORE> store(X509_STORE_new());
  for (const Signer* s : {&a, &b, &c}) X509_STORE_add_cert(store.get(), s->cert.get());
  EXPECT_EQ(verify(*sd, &content, nullptr, store.get()), content);
  // A signer whose key does not match its certificate is refused.
  Own<CMS_ContentInfo> cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, base_flags(Form::der)));
  EXPECT_EQ(CMS_add1_signer(cms.get(), a.cert.get(), b.key.get(), nullptr, base_flags(Form::der)),
            nullptr);
  ERR_clear_error();
}

// Signed without the certificate: verifies only when it is given.
TEST_F(Bign, SignedDataWithoutCertificate) {
  const Signer s = make_signer(128, "cms signer");
  const Bytes content(10, 'q');
  const std::optional<Bytes> sd = sign({&s}, content, CMS_NOCERTS, Form::der);
  ASSERT_TRUE(sd.has_value());
  EXPECT_EQ(verify(*sd, nullptr, nullptr), std::nullopt);
  EXPECT_EQ(verify(*sd, nullptr, s.cert.get()), content);
}

std::optional<Bytes> encrypt(const char* cipher, const std::vector<X509*>& recipients,
                             const Bytes& content, Form f, unsigned extra = 0) {
  const unsigned flags = base_flags(f) | extra;
  Own<CMS_ContentInfo> cms(CMS_encrypt(nullptr, nullptr, EVP_get_cipherbyname(cipher), flags));
  if (cms == nullptr) return std::nullopt;
  for (X509* r : recipients) {
    if (CMS_add1_recipient_cert(cms.get(), r, flags) == nullptr) return std::nullopt;
  }
  return finish(cms.get(), content, flags, f);
}

// The library's decryption: every recipient tried with the key, and a key
// that opens none is an error (CMS_DEBUG_DECRYPT), not random content.
std::optional<Bytes> decrypt(const Bytes& enveloped, EVP_PKEY* key) {
  Own<CMS_ContentInfo> cms = load(enveloped);
  if (cms == nullptr) return std::nullopt;
  Bio out = mem_bio();
  if (CMS_decrypt(cms.get(), key, nullptr, nullptr, out.get(), CMS_DEBUG_DECRYPT | CMS_BINARY) !=
      1) {
    ERR_clear_error();
    return std::nullopt;
  }
  return bytes_of(out.get());
}

TEST_P(BignCms, EnvelopedDataOpensWithTheRecipientKeyOnly) {
  const Signer r = make_signer(level(), "recipient");
  const Pkey stranger = generate(level());
  const Bytes content(1000, 0x5A);
  for (const char* cipher : {"belt-ctr256", "belt-cfb256", "belt-cbc256"}) {
    for (Form f : kForms) {
      SCOPED_TRACE(std::string(cipher) + " " + form_name(f));
      const std::optional<Bytes> env = encrypt(cipher, {r.cert.get()}, content, f);
      ASSERT_TRUE(env.has_value());
      EXPECT_EQ(decrypt(*env, r.key.get()), content);
      EXPECT_EQ(decrypt(*env, stranger.get()), std::nullopt);
    }
  }
}

// Two recipients on different curves, one identified by key identifier; the
// key transport identifier with NULL parameters and a token of
// |key| + 16 + l/4 octets; absent parameters read as well.
TEST_F(Bign, EnvelopedDataRecipientInfo) {
  const Signer a = make_signer(128, "a");
  const Signer c = make_signer(256, "c");
  const Bytes content(77, 0x01);
  const std::optional<Bytes> env =
      encrypt("belt-ctr256", {a.cert.get(), c.cert.get()}, content, Form::der, CMS_USE_KEYID);
  ASSERT_TRUE(env.has_value());
  EXPECT_EQ(decrypt(*env, a.key.get()), content);
  EXPECT_EQ(decrypt(*env, c.key.get()), content);

  std::vector<Record> algids;
  for (const Record& rec : bign_records("bign-algid")) {
    if (rec.text("name") == "bign-keytransport") algids.push_back(rec);
  }
  ASSERT_EQ(algids.size(), 2u);  // NULL parameters, then absent
  Own<CMS_ContentInfo> cms = load(*env);
  ASSERT_NE(cms, nullptr);
  STACK_OF(CMS_RecipientInfo)* ris = CMS_get0_RecipientInfos(cms.get());
  ASSERT_EQ(sk_CMS_RecipientInfo_num(ris), 2);
  for (int i = 0; i < 2; ++i) {
    CMS_RecipientInfo* ri = sk_CMS_RecipientInfo_value(ris, i);
    ASSERT_EQ(CMS_RecipientInfo_type(ri), CMS_RECIPINFO_TRANS);
    X509_ALGOR* alg = nullptr;
    ASSERT_EQ(CMS_RecipientInfo_ktri_get0_algs(ri, nullptr, nullptr, &alg), 1);
    EXPECT_EQ(to_hex(der(alg, i2d_X509_ALGOR)), algids[0].text("der"));
    // Rewritten with the parameters absent.
    X509_ALGOR_set0(alg, OBJ_nid2obj(OBJ_sn2nid("bign-keytransport")), V_ASN1_UNDEF, nullptr);
    EXPECT_EQ(to_hex(der(alg, i2d_X509_ALGOR)), algids[1].text("der"));
  }
  // The 32-octet content key of belt-ctr256 travels in a token of 80
  // (l = 128) or 112 (l = 256) octets right after the identifier.
  const std::string hex = to_hex(*env);
  for (const char* token_header : {"0450", "0470"}) {
    EXPECT_NE(hex.find(algids[0].text("der") + token_header), std::string::npos) << token_header;
  }
  const Bytes rewritten = der(cms.get(), i2d_CMS_ContentInfo);
  EXPECT_NE(to_hex(rewritten).find(algids[1].text("der") + "0450"), std::string::npos);
  EXPECT_EQ(decrypt(rewritten, a.key.get()), content);
  EXPECT_EQ(decrypt(rewritten, c.key.get()), content);
}

}  // namespace
}  // namespace bigntest
