#include "stb/openssl/setup.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include "stb/openssl/methods.h"
#include "stb/openssl/objects.h"
#include "stb/openssl/provider.h"

namespace stb::openssl {
namespace {

CRYPTO_ONCE once = CRYPTO_ONCE_STATIC_INIT;
bool prepared = false;

// The objects behind OpenSSL's by-name tables (EVP_get_cipherbyname and
// friends). OpenSSL never frees those, so we do, as it cleans up.
MethodSet* named = nullptr;

void free_named() {
  free_methods(named);
  named = nullptr;
}

bool add_names() {
  named = new_methods();
  if (named == nullptr) return false;
  OPENSSL_atexit(free_named);
  bool ok = true;
  for (const EVP_CIPHER* c : named->ciphers) ok = EVP_add_cipher(c) && ok;
  for (const EVP_MD* d : named->digests) ok = EVP_add_digest(d) && ok;
  // Key types too: EVP_PKEY_asn1_find_str without an ENGINE pointer, and
  // EVP_PKEY_CTX_new_id without a registered ENGINE, look only here. Another
  // copy of the binding in the process (the module beside the static
  // library) may have put them there first.
  if (EVP_PKEY_asn1_find(nullptr, named->pkey_nids[0]) != nullptr) return ok;
  named->pkey_meths_given = EVP_PKEY_meth_add0(named->pkey_meths[0]) == 1;
  named->asn1_meths_given = EVP_PKEY_asn1_add0(named->asn1_meths[0]) == 1;
  return ok && named->pkey_meths_given && named->asn1_meths_given;
}

// Signature identifiers by digest and key type, so that X.509, request, CRL
// and CMS signing pick them and verification finds digest and key type.
// bign-with-hspec names its hash in the parameters (no digest here).
bool add_sigids() {
  const int key = nid_of(kBignPubkey);
  const struct {
    const char* sig;
    const char* md;
  } pairs[] = {{kBignWithHbelt, kBeltHash},
               {kBignWithBash256, kBash256},
               {kBignWithBash384, kBash384},
               {kBignWithBash512, kBash512},
               {kBignWithHspec, nullptr}};
  bool ok = true;
  for (const auto& p : pairs) {
    const int md = p.md == nullptr ? NID_undef : nid_of(p.md);
    ok = OBJ_add_sigid(nid_of(p.sig), md, key) && ok;
  }
  return ok;
}

// hmac-hbelt as a PBKDF2 PRF: OpenSSL's HMAC over the belt-hash digest.
bool add_prf() {
  const int hmac = nid_of(kHmacHbelt);
  const int hash = nid_of(kBeltHash);
  if (hmac == NID_undef || hash == NID_undef) return false;
  if (EVP_PBE_find(EVP_PBE_TYPE_PRF, hmac, nullptr, nullptr, nullptr)) return true;
  return EVP_PBE_alg_add_type(EVP_PBE_TYPE_PRF, hmac, -1, hash, nullptr) != 0;
}

void prepare() {
  // The configuration first: it may define identifiers and activate
  // providers, and both change what we do next.
  const uint64_t opts =
      OPENSSL_INIT_LOAD_CONFIG | OPENSSL_INIT_ADD_ALL_CIPHERS | OPENSSL_INIT_ADD_ALL_DIGESTS;
  prepared = OPENSSL_init_crypto(opts, nullptr) && create_objects() && add_names() &&
             add_sigids() && add_prf() && start_provider();
}

}  // namespace

bool prepare_process() {
  return CRYPTO_THREAD_run_once(&once, prepare) && prepared;
}

}  // namespace stb::openssl
