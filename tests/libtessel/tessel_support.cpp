#include "tessel_support.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/objects.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <stdexcept>

namespace tesseltest {
namespace {

Bytes buffer(const unsigned char* p, int32_t n) {
  return p == nullptr || n <= 0 ? Bytes{} : Bytes(p, p + n);
}

using Bio = std::unique_ptr<BIO, Free>;

std::string drain(BIO* bio) {
  char* p = nullptr;
  const long n = BIO_get_mem_data(bio, &p);
  return std::string(p, static_cast<std::size_t>(n));
}

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

// An RSA key with a 256-bit modulus, below what OpenSSL generates: too small
// for a PKCS#1 signature block around a SHA-256 digest.
Pkey tiny_rsa() {
  using Bn = std::unique_ptr<BIGNUM, decltype(&BN_clear_free)>;
  auto bn = [] { return Bn(BN_new(), BN_clear_free); };
  Bn p = bn(), q = bn(), n = bn(), e = bn(), d = bn(), p1 = bn(), q1 = bn(), phi = bn(), dp = bn(),
     dq = bn(), qinv = bn();
  std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
  check(BN_set_word(e.get(), 65537), "e");
  do {
    check(BN_generate_prime_ex(p.get(), 128, 0, nullptr, nullptr, nullptr) &&
              BN_generate_prime_ex(q.get(), 128, 0, nullptr, nullptr, nullptr) &&
              BN_sub(p1.get(), p.get(), BN_value_one()) &&
              BN_sub(q1.get(), q.get(), BN_value_one()) &&
              BN_mul(phi.get(), p1.get(), q1.get(), ctx.get()),
          "primes");
  } while (BN_cmp(p.get(), q.get()) == 0 ||
           BN_mod_inverse(d.get(), e.get(), phi.get(), ctx.get()) == nullptr);
  check(BN_mul(n.get(), p.get(), q.get(), ctx.get()) &&
            BN_mod(dp.get(), d.get(), p1.get(), ctx.get()) &&
            BN_mod(dq.get(), d.get(), q1.get(), ctx.get()) &&
            BN_mod_inverse(qinv.get(), q.get(), p.get(), ctx.get()),
        "CRT values");
  std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> bld(OSSL_PARAM_BLD_new(),
                                                                      OSSL_PARAM_BLD_free);
  const std::pair<const char*, const BIGNUM*> parts[] = {{"n", n.get()},
                                                         {"e", e.get()},
                                                         {"d", d.get()},
                                                         {"rsa-factor1", p.get()},
                                                         {"rsa-factor2", q.get()},
                                                         {"rsa-exponent1", dp.get()},
                                                         {"rsa-exponent2", dq.get()},
                                                         {"rsa-coefficient1", qinv.get()}};
  for (const auto& [name, value] : parts)
    check(OSSL_PARAM_BLD_push_BN(bld.get(), name, value), name);
  OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld.get());
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> pctx(
      EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr), EVP_PKEY_CTX_free);
  EVP_PKEY* key = nullptr;
  const bool ok = pctx && EVP_PKEY_fromdata_init(pctx.get()) > 0 &&
                  EVP_PKEY_fromdata(pctx.get(), &key, EVP_PKEY_KEYPAIR, params) > 0;
  OSSL_PARAM_free(params);
  check(ok, "RSA key from numbers");
  return Pkey(key);
}

Pkey generate(const std::string& kind) {
  if (kind == "RSA-256") return tiny_rsa();
  if (kind == "EC") return Pkey(EVP_EC_gen("P-256"));
  if (kind == "X25519") return Pkey(EVP_PKEY_Q_keygen(nullptr, nullptr, "X25519"));
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
      EVP_PKEY_CTX_new_id(OBJ_sn2nid("bign-pubkey"), nullptr), EVP_PKEY_CTX_free);
  EVP_PKEY* key = nullptr;
  check(ctx && EVP_PKEY_keygen_init(ctx.get()) > 0 &&
            EVP_PKEY_CTX_ctrl_str(ctx.get(), "params", kind.c_str()) > 0 &&
            EVP_PKEY_keygen(ctx.get(), &key) > 0,
        "bign key generation");
  return Pkey(key);
}

const EVP_MD* default_md(EVP_PKEY* key) {
  int nid = NID_undef;
  check(EVP_PKEY_get_default_digest_nid(key, &nid) > 0, "default digest");
  return EVP_get_digestbynid(nid);
}

// Self-signed certificates share their name: distinct serial numbers keep
// them apart where a signer is found by issuer and serial number.
Cert certify(EVP_PKEY* subject, EVP_PKEY* issuer_key, const char* cn, bool skid) {
  static std::atomic<long> serial{1};
  Cert x(X509_new());
  X509_NAME* name = X509_get_subject_name(x.get());
  check(
      X509_set_version(x.get(), 2) && ASN1_INTEGER_set(X509_get_serialNumber(x.get()), serial++) &&
          X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>(cn), -1, -1, 0) &&
          X509_set_issuer_name(x.get(), name) && X509_gmtime_adj(X509_getm_notBefore(x.get()), 0) &&
          X509_gmtime_adj(X509_getm_notAfter(x.get()), 86400L) && X509_set_pubkey(x.get(), subject),
      "certificate fields");
  if (skid) {
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, x.get(), x.get(), nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &v3, NID_subject_key_identifier, "hash");
    check(ext != nullptr && X509_add_ext(x.get(), ext, -1), "subject key identifier");
    X509_EXTENSION_free(ext);
  }
  check(X509_sign(x.get(), issuer_key, default_md(issuer_key)) > 0, "certificate signature");
  return x;
}

}  // namespace

void Tessel::SetUp() {
  CRYPTOCASE_free(CreateDigest_Init("bash256"));
}

Bytes data_of(const CRYPTOCASE* rec) {
  return buffer(rec->data, rec->data_len);
}
std::string text_of(const CRYPTOCASE* rec) {
  const Bytes b = data_of(rec);
  return std::string(b.begin(), b.end());
}
Bytes digest_of(const CRYPTOCASE* rec) {
  return buffer(rec->digest, rec->digest_len);
}
Bytes signature_of(const CRYPTOCASE* rec) {
  return buffer(rec->signature, rec->signature_len);
}

Signer make_signer(const std::string& kind, const char* password, bool subject_key_id) {
  Signer s;
  s.key = generate(kind);
  check(s.key != nullptr, "key generation");
  if (kind == "X25519" || kind == "RSA-256") {
    // Keys that cannot sign their own certificate get an EC issuer.
    const Pkey issuer = generate("EC");
    s.cert = certify(s.key.get(), issuer.get(), "tessel subject", subject_key_id);
  } else {
    s.cert = certify(s.key.get(), s.key.get(), "tessel signer", subject_key_id);
  }
  Bio bio(BIO_new(BIO_s_mem()));
  // bign keys are protected with the national cipher, the others with AES.
  const EVP_CIPHER* cipher = password == nullptr ? nullptr
                             : kind.size() == 1  ? EVP_get_cipherbyname("belt-ctr256")
                                                 : EVP_aes_256_cbc();
  check(PEM_write_bio_PKCS8PrivateKey(bio.get(), s.key.get(), cipher, nullptr, 0, nullptr,
                                      const_cast<char*>(password)) > 0,
        "PKCS#8 PEM");
  s.key_pem = drain(bio.get());
  Bio pub(BIO_new(BIO_s_mem()));
  check(PEM_write_bio_PUBKEY(pub.get(), s.key.get()) > 0, "public key PEM");
  s.pubkey_pem = drain(pub.get());
  s.cert_pem = pem_of(s.cert.get());
  s.cert_der = der_of(s.cert.get());
  return s;
}

Req make_request(EVP_PKEY* key) {
  Req req(X509_REQ_new());
  check(req && X509_REQ_set_pubkey(req.get(), key) &&
            X509_REQ_sign(req.get(), key, default_md(key)) > 0,
        "request");
  return req;
}

std::string pem_of(const X509_REQ* req) {
  Bio bio(BIO_new(BIO_s_mem()));
  check(PEM_write_bio_X509_REQ(bio.get(), req) > 0, "request PEM");
  return drain(bio.get());
}

std::string pem_of(const X509* cert) {
  Bio bio(BIO_new(BIO_s_mem()));
  check(PEM_write_bio_X509(bio.get(), cert) > 0, "certificate PEM");
  return drain(bio.get());
}

Bytes der_of(const X509* cert) {
  unsigned char* p = nullptr;
  const int n = i2d_X509(cert, &p);
  check(n > 0, "certificate DER");
  Bytes out(p, p + n);
  OPENSSL_free(p);
  return out;
}

std::string traditional_pem(EVP_PKEY* key) {
  Bio bio(BIO_new(BIO_s_mem()));
  check(PEM_write_bio_PrivateKey_traditional(bio.get(), key, nullptr, nullptr, 0, nullptr,
                                             nullptr) > 0,
        "traditional PEM");
  return drain(bio.get());
}

Bytes pkcs8_der(EVP_PKEY* key) {
  Bio bio(BIO_new(BIO_s_mem()));
  check(i2d_PKCS8PrivateKey_bio(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) > 0,
        "PKCS#8 DER");
  const std::string s = drain(bio.get());
  return Bytes(s.begin(), s.end());
}

std::string gen_request(const std::string& key_pem, const std::vector<RequestValue>& subject,
                        const std::string& config, int32_t form, const char* password) {
  const auto fail = [](const char* step, const CRYPTOCASE* rec) {
    throw std::runtime_error(std::string(step) + " answered " +
                             (rec == nullptr ? "no record" : std::to_string(rec->status)));
  };
  Case rec(REQUEST_INFO_Init());
  if (!rec || rec->status != TESSEL_OK) fail("REQUEST_INFO_Init", rec.get());
  for (const RequestValue& v : subject)
    if (REQUEST_INFO_AddValue(rec.get(), v.type, bytes(v.value), len(v.value))->status !=
        TESSEL_OK)
      fail("REQUEST_INFO_AddValue", rec.get());
  GenRequest(rec.get(), bytes(key_pem), len(key_pem), password,
             config.empty() ? nullptr : bytes(config), len(config), form);
  if (rec->status != TESSEL_OK) fail("GenRequest", rec.get());
  return text_of(rec.get());
}

}  // namespace tesseltest
