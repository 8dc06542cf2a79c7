// Shared pieces of the bign-through-OpenSSL tests: owning handles, keys made
// the way the library makes them, DER/PEM round trips and a self-signed
// certificate.
#pragma once

#include <gtest/gtest.h>
// pem.h first: cms.h declares the CMS PEM functions only after it.
#include <openssl/pem.h>

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

#include "support/vectors.h"

namespace bigntest {

using testsupport::Bytes;
using testsupport::Record;

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
  void operator()(EVP_CIPHER_CTX* p) const { EVP_CIPHER_CTX_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(X509_REQ* p) const { X509_REQ_free(p); }
  void operator()(X509_CRL* p) const { X509_CRL_free(p); }
  void operator()(X509_STORE* p) const { X509_STORE_free(p); }
  void operator()(X509_STORE_CTX* p) const { X509_STORE_CTX_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(CMS_ContentInfo* p) const { CMS_ContentInfo_free(p); }
  void operator()(PKCS8_PRIV_KEY_INFO* p) const { PKCS8_PRIV_KEY_INFO_free(p); }
  void operator()(X509_SIG* p) const { X509_SIG_free(p); }
  void operator()(ASN1_TIME* p) const { ASN1_TIME_free(p); }
};
template <class T>
using Own = std::unique_ptr<T, Free>;
using Pkey = Own<EVP_PKEY>;
using PkeyCtx = Own<EVP_PKEY_CTX>;
using Cert = Own<X509>;
using Bio = Own<BIO>;

// Registers the algorithms.
class Bign : public ::testing::Test {
 protected:
  void SetUp() override;
};
// The same, with the level l as the parameter.
class Level : public Bign, public ::testing::WithParamInterface<unsigned> {
 protected:
  unsigned level() const { return GetParam(); }
};
std::string level_name(const ::testing::TestParamInfo<unsigned>& info);
#define BIGN_LEVELS(suite) \
  INSTANTIATE_TEST_SUITE_P(L, suite, ::testing::Values(128u, 192u, 256u), bigntest::level_name)

// A fresh key as the library makes it: key type found by name, a context by
// its NID, "params" = A/B/C by level.
Pkey generate(unsigned level);
const char* params_letter(unsigned level);
const char* curve_oid(unsigned level);

// The records of alg in bign.txt.
std::vector<Record> bign_records(const std::string& alg);

Bio mem_bio();
// Read-only views: data must outlive the BIO (temporaries are refused).
Bio mem_bio(const std::string& data);
Bio mem_bio(const Bytes& data);
Bio mem_bio(std::string&&) = delete;
Bio mem_bio(Bytes&&) = delete;
std::string text_of(BIO* bio);
Bytes bytes_of(BIO* bio);

// i2d_* into a vector.
template <class T, class F>
Bytes der(const T* obj, F i2d) {
  unsigned char* p = nullptr;
  const int len = i2d(obj, &p);
  if (len <= 0) return {};
  Bytes out(p, p + len);
  OPENSSL_free(p);
  return out;
}

// A self-signed certificate for key (CA: basicConstraints and keyUsage with
// certificate and CRL signing), signed with md (null: the key's default).
Cert self_signed(EVP_PKEY* key, const EVP_MD* md, const char* common_name);
// A certificate for subject_key issued and signed by issuer / issuer_key.
Cert issued(EVP_PKEY* subject_key, X509* issuer, EVP_PKEY* issuer_key, const char* common_name);

}  // namespace bigntest
