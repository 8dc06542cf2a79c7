// The OpenSSL method objects of the binding. OpenSSL keeps the objects that
// sit in its by-name tables apart from those an ENGINE hands out (and frees
// some of the latter itself), so each owner builds a set of its own.
#pragma once

#include <openssl/evp.h>

#include <cstddef>

namespace stb::openssl {

inline constexpr std::size_t kCipherCount = 15;
inline constexpr std::size_t kDigestCount = 4;

// Short names in the order of the arrays below.
extern const char* const kCipherNames[kCipherCount];
extern const char* const kDigestNames[kDigestCount];

// One owner's ciphers, digests and key types with their NIDs. Key-type
// methods belong to OpenSSL once it holds them: it frees the ENGINE's in
// ENGINE_free (through the pkey callbacks) and the by-name key method
// (EVP_PKEY_meth_add0) as it cleans up; the by-name ASN.1 method
// (EVP_PKEY_asn1_add0) stays in its table, reachable, until the process
// ends. free_methods() leaves alone what the *_given flags mark as handed
// over.
inline constexpr std::size_t kKeyTypeCount = 1;

struct MethodSet {
  EVP_CIPHER* ciphers[kCipherCount];
  int cipher_nids[kCipherCount];
  EVP_MD* digests[kDigestCount];
  int digest_nids[kDigestCount];
  EVP_PKEY_METHOD* pkey_meths[kKeyTypeCount];
  EVP_PKEY_ASN1_METHOD* asn1_meths[kKeyTypeCount];
  int pkey_nids[kKeyTypeCount];
  bool pkey_meths_given;
  bool asn1_meths_given;
};

// Builds every method; the objects (identifiers) must exist. nullptr on
// failure. free_methods accepts nullptr.
MethodSet* new_methods();
void free_methods(MethodSet* set);

// Builders behind new_methods(): one object by index into the name arrays.
EVP_CIPHER* new_cipher(std::size_t index);
// belt-kwp with a zero header, key_len 16, 24 or 32 (new_cipher's last three).
EVP_CIPHER* new_kwp_cipher(int nid, int key_len);
EVP_MD* new_digest(std::size_t index);

// The bign-pubkey key type: its key method and its ASN.1 method.
EVP_PKEY_METHOD* new_bign_pkey_method();
EVP_PKEY_ASN1_METHOD* new_bign_asn1_method();

}  // namespace stb::openssl
