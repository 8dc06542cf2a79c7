#include "stb/openssl/methods.h"

#include <new>

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
  delete set;
}

}  // namespace stb::openssl
