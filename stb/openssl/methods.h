// The OpenSSL method objects of the binding. OpenSSL keeps the objects that
// sit in its by-name tables apart from those an ENGINE hands out (and frees
// some of the latter itself), so each owner builds a set of its own.
#pragma once

#include <openssl/evp.h>

#include <cstddef>

namespace stb::openssl {

inline constexpr std::size_t kCipherCount = 12;
inline constexpr std::size_t kDigestCount = 4;

// Short names in the order of the arrays below.
extern const char* const kCipherNames[kCipherCount];
extern const char* const kDigestNames[kDigestCount];

// One owner's ciphers and digests with their NIDs. A later key type adds its
// EVP_PKEY_METHOD / EVP_PKEY_ASN1_METHOD arrays here; OpenSSL frees those
// itself (the ENGINE's in ENGINE_free, the by-name ones added with
// EVP_PKEY_meth_add0/EVP_PKEY_asn1_add0 as it cleans up), so free_methods()
// must leave them alone.
struct MethodSet {
  EVP_CIPHER* ciphers[kCipherCount];
  int cipher_nids[kCipherCount];
  EVP_MD* digests[kDigestCount];
  int digest_nids[kDigestCount];
};

// Builds every method; the objects (identifiers) must exist. nullptr on
// failure. free_methods accepts nullptr.
MethodSet* new_methods();
void free_methods(MethodSet* set);

// Builders behind new_methods(): one object by index into the name arrays.
EVP_CIPHER* new_cipher(std::size_t index);
EVP_MD* new_digest(std::size_t index);

}  // namespace stb::openssl
