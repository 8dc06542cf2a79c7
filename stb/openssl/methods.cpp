#include "stb/openssl/methods.h"

#include <new>

#include "stb/openssl/bign_key.h"
#include "stb/openssl/objects.h"

namespace stb::openssl {

MethodSet* new_methods() {
  auto* set = new (std::nothrow) MethodSet{};
  if (set == nullptr) return nullptr;
  bool ok = true;
  for (std::size_t i = 0; i < kCipherCount; ++i) {
    set->cipher_nids[i] = nid_of(kCipherNames[i]);
    set->ciphers[i] = new_cipher(i);
    ok = ok && set->ciphers[i] != nullptr;
  }
  for (std::size_t i = 0; i < kDigestCount; ++i) {
    set->digest_nids[i] = nid_of(kDigestNames[i]);
    set->digests[i] = new_digest(i);
    ok = ok && set->digests[i] != nullptr;
  }
  set->pkey_nids[0] = bign_nid();
  set->pkey_meths[0] = new_bign_pkey_method();
  set->asn1_meths[0] = new_bign_asn1_method();
  ok = ok && set->pkey_meths[0] != nullptr && set->asn1_meths[0] != nullptr;
  if (!ok) {
    free_methods(set);
    return nullptr;
  }
  return set;
}

void free_methods(MethodSet* set) {
  if (set == nullptr) return;
  for (EVP_CIPHER* c : set->ciphers) EVP_CIPHER_meth_free(c);
  for (EVP_MD* d : set->digests) EVP_MD_meth_free(d);
  if (!set->pkey_meths_given) {
    for (EVP_PKEY_METHOD* m : set->pkey_meths) EVP_PKEY_meth_free(m);
  }
  if (!set->asn1_meths_given) {
    for (EVP_PKEY_ASN1_METHOD* m : set->asn1_meths) EVP_PKEY_asn1_free(m);
  }
  delete set;
}

}  // namespace stb::openssl
