#include "stb/openssl/engine.h"

#include <openssl/crypto.h>
#include <openssl/engine.h>

#include <cstddef>
#include <cstring>

#include "stb/openssl/methods.h"

namespace stb::openssl {
namespace {

constexpr char kEngineName[] = "belt ciphers, belt-hash and bash digests, bign keys";

// The ENGINE's MethodSet sits in its ex_data slot.
CRYPTO_ONCE slot_once = CRYPTO_ONCE_STATIC_INIT;
int slot = -1;

void make_slot() {
  slot = CRYPTO_get_ex_new_index(CRYPTO_EX_INDEX_ENGINE, 0, nullptr, nullptr, nullptr, nullptr);
}

MethodSet* methods_of(ENGINE* e) {
  return slot < 0 ? nullptr : static_cast<MethodSet*>(ENGINE_get_ex_data(e, slot));
}

// ENGINE method callbacks: with a null out pointer they list the NIDs,
// otherwise they look one up. Out is the method type, const for ciphers and
// digests.
template <class Method, class Out, std::size_t N>
int lookup(Method* const (&methods)[N], const int (&nids)[N], Out** out, const int** list,
           int nid) {
  if (out == nullptr) {
    *list = nids;
    return static_cast<int>(N);
  }
  for (std::size_t i = 0; i < N; ++i) {
    if (nids[i] == nid) {
      *out = methods[i];
      return 1;
    }
  }
  *out = nullptr;
  return 0;
}

int ciphers(ENGINE* e, const EVP_CIPHER** cipher, const int** nids, int nid) {
  MethodSet* set = methods_of(e);
  if (set == nullptr) {
    if (cipher != nullptr) *cipher = nullptr;
    return 0;
  }
  return lookup(set->ciphers, set->cipher_nids, cipher, nids, nid);
}

int digests(ENGINE* e, const EVP_MD** digest, const int** nids, int nid) {
  MethodSet* set = methods_of(e);
  if (set == nullptr) {
    if (digest != nullptr) *digest = nullptr;
    return 0;
  }
  return lookup(set->digests, set->digest_nids, digest, nids, nid);
}

int pkey_meths(ENGINE* e, EVP_PKEY_METHOD** method, const int** nids, int nid) {
  MethodSet* set = methods_of(e);
  if (set == nullptr) {
    if (method != nullptr) *method = nullptr;
    return 0;
  }
  return lookup(set->pkey_meths, set->pkey_nids, method, nids, nid);
}

int pkey_asn1_meths(ENGINE* e, EVP_PKEY_ASN1_METHOD** method, const int** nids, int nid) {
  MethodSet* set = methods_of(e);
  if (set == nullptr) {
    if (method != nullptr) *method = nullptr;
    return 0;
  }
  return lookup(set->asn1_meths, set->pkey_nids, method, nids, nid);
}

// Called from ENGINE_free once the last reference goes. Key-type methods are
// freed by OpenSSL itself just before this (it asks the pkey callbacks for
// them), which the MethodSet's *_given flags record.
int destroy(ENGINE* e) {
  free_methods(methods_of(e));
  if (slot >= 0) ENGINE_set_ex_data(e, slot, nullptr);
  return 1;
}

// Looks through the list only: ENGINE_by_id would go on to try loading a
// module of that name from the engines folder.
bool listed() {
  for (ENGINE* e = ENGINE_get_first(); e != nullptr; e = ENGINE_get_next(e)) {
    const char* id = ENGINE_get_id(e);
    if (id != nullptr && std::strcmp(id, kEngineId) == 0) {
      ENGINE_free(e);
      return true;
    }
  }
  return false;
}

}  // namespace

bool bind_engine(ENGINE* e) {
  if (!CRYPTO_THREAD_run_once(&slot_once, make_slot) || slot < 0) return false;
  // Destroy first: from here on the ENGINE frees whatever we attach.
  if (!ENGINE_set_destroy_function(e, destroy)) return false;
  MethodSet* set = new_methods();
  if (set == nullptr) return false;
  if (!ENGINE_set_ex_data(e, slot, set)) {
    free_methods(set);
    return false;
  }
  if (!ENGINE_set_pkey_meths(e, pkey_meths) || !ENGINE_set_pkey_asn1_meths(e, pkey_asn1_meths)) {
    return false;
  }
  set->pkey_meths_given = set->asn1_meths_given = true;
  return ENGINE_set_id(e, kEngineId) && ENGINE_set_name(e, kEngineName) &&
         ENGINE_set_ciphers(e, ciphers) && ENGINE_set_digests(e, digests);
}

bool add_engine() {
  if (listed()) return true;
  ENGINE* e = ENGINE_new();
  if (e == nullptr) return false;
  bool ok = bind_engine(e) && ENGINE_add(e);
  // Register with a functional reference held, then drop both of ours; the
  // list keeps the ENGINE alive until OpenSSL cleans up.
  if (ok && ENGINE_init(e)) {
    ok = ENGINE_register_ciphers(e) && ENGINE_register_digests(e) &&
         ENGINE_register_pkey_meths(e) && ENGINE_register_pkey_asn1_meths(e);
    ENGINE_finish(e);
  } else {
    ok = false;
  }
  ENGINE_free(e);
  return ok;
}

}  // namespace stb::openssl
