// Input loaders: caller bytes to OpenSSL objects. Each tries the encodings of
// its kind in a fixed order and answers a new object owned by the caller, or
// null with OpenSSL's error queue cleared (load_config leaves the queue as
// it is). They never set a status; the calling export picks its own.
#pragma once

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/conf.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <cstdint>

namespace tessel {

X509_REQ* load_request(const unsigned char* p, int32_t len);     // PEM, DER
X509* load_certificate(const unsigned char* p, int32_t len);     // PEM, DER
X509_CRL* load_crl(const unsigned char* p, int32_t len);         // PEM, DER
PKCS7* load_pkcs7(const unsigned char* p, int32_t len);          // PEM, DER
CMS_ContentInfo* load_cms(const unsigned char* p, int32_t len);  // PEM, DER, S/MIME
// NCONF text; a text with an ".include" directive is refused.
CONF* load_config(const unsigned char* p, int32_t len);
// PEM public key, public key blob, certificate, request.
EVP_PKEY* load_public_key(const unsigned char* p, int32_t len);
// PKCS#8 PEM only, plain or encrypted; a null password is the empty one.
EVP_PKEY* load_private_key(const unsigned char* p, int32_t len, const char* password);

// The key type's default digest, found by name so that the national digests
// registered under their short names are found as well; null when the key
// type names none.
const EVP_MD* default_digest(EVP_PKEY* key);

// A key-generation context for "bign-pubkey", or null.
EVP_PKEY_CTX* new_keygen_context();

// Writes key as PKCS#8 PEM: plain without a cipher, otherwise encrypted
// (PBES2 with cipher, 10000 iterations) under the password.
bool write_private_key(BIO* bio, EVP_PKEY* key, const EVP_CIPHER* cipher, const char* password,
                       int password_len);

}  // namespace tessel
