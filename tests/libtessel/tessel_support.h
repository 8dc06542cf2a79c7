// Shared pieces of the libtessel tests: the record as an owning handle, key
// pairs and certificates made through OpenSSL (after libtessel has
// registered the national algorithms in the process), and PEM/DER helpers.
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

#include "libtessel/tessel.h"
#include "support/vectors.h"

namespace tesseltest {

using testsupport::Bytes;

struct Free {
  void operator()(CRYPTOCASE* p) const { CRYPTOCASE_free(p); }
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(X509_REQ* p) const { X509_REQ_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
};
using Case = std::unique_ptr<CRYPTOCASE, Free>;
using Pkey = std::unique_ptr<EVP_PKEY, Free>;
using Cert = std::unique_ptr<X509, Free>;
using Req = std::unique_ptr<X509_REQ, Free>;

// Registers the algorithms by a first call into the library.
class Tessel : public ::testing::Test {
 protected:
  void SetUp() override;
};

inline const unsigned char* bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
inline int32_t len(const std::string& s) {
  return static_cast<int32_t>(s.size());
}
inline int32_t len(const Bytes& b) {
  return static_cast<int32_t>(b.size());
}

// The record's buffers as values (empty when absent).
Bytes data_of(const CRYPTOCASE* rec);
std::string text_of(const CRYPTOCASE* rec);
Bytes digest_of(const CRYPTOCASE* rec);
Bytes signature_of(const CRYPTOCASE* rec);

// A signer: a key pair, its PKCS#8 PEM (encrypted when password is set) and
// a self-signed certificate. kind: "A", "B", "C" (bign levels), "EC" (P-256),
// "X25519" (no signing) and "RSA-256" (too small for a SHA-256 signature),
// both certified by a separate EC issuer.
struct Signer {
  Pkey key;
  Cert cert;
  std::string key_pem;
  std::string cert_pem;
  Bytes cert_der;
  std::string pubkey_pem;
};
Signer make_signer(const std::string& kind, const char* password = nullptr,
                   bool subject_key_id = true);

// A certificate request for key, signed with it.
Req make_request(EVP_PKEY* key);

std::string pem_of(const X509_REQ* req);
std::string pem_of(const X509* cert);
Bytes der_of(const X509* cert);
// The traditional (non-PKCS#8) PEM of a key, and its DER PKCS#8.
std::string traditional_pem(EVP_PKEY* key);
Bytes pkcs8_der(EVP_PKEY* key);

// ---- Certificate requests through the library ----
// One subject value: the attribute type number n of 2.5.4.n (3 commonName,
// 6 countryName, 10 organizationName, ...) and its UTF-8 text.
struct RequestValue {
  uint32_t type;
  std::string value;
};
// A request made by REQUEST_INFO_Init, REQUEST_INFO_AddValue for each value
// and GenRequest with the PKCS#8 PEM key; config empty = no configuration.
// Throws std::runtime_error naming the step and status when one fails.
std::string gen_request(const std::string& key_pem, const std::vector<RequestValue>& subject,
                        const std::string& config = {}, int32_t form = TESSEL_FORM_PEM,
                        const char* password = nullptr);

}  // namespace tesseltest
