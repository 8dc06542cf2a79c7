// The parts of the bign ASN.1 method that deal with algorithm identifiers:
// the default digest, the SignerInfo and RecipientInfo algorithms of CMS and
// PKCS#7, and bign-with-hspec, whose hash sits in its parameters.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace stb::openssl {

// The ASN.1 method's ctrl (ASN1_PKEY_CTRL_*).
int bign_asn1_ctrl(EVP_PKEY* pkey, int op, long arg1, void* arg2);

// X.509 verification of bign-with-hspec: sets up ctx with the named hash
// (2: carry on) or fails (0).
int bign_item_verify(EVP_MD_CTX* ctx, const ASN1_ITEM* it, const void* data, const X509_ALGOR* alg,
                     const ASN1_BIT_STRING* sig, EVP_PKEY* pkey);

// Signature information of bign-with-hspec (digest, security bits).
int bign_siginf_set(X509_SIG_INFO* siginf, const X509_ALGOR* alg, const ASN1_STRING* sig);

}  // namespace stb::openssl
