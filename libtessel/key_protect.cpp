// Reading keys out (public key PEM, raw private key) and protecting private
// keys: adding, removing and changing the password.
#include <openssl/evp.h>
#include <openssl/pem.h>

#include "libtessel/internal/key_output.h"
#include "libtessel/internal/loaders.h"
#include "libtessel/internal/ossl.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/secret_bytes.h"
#include "libtessel/tessel_stb.h"

namespace {

CRYPTOCASE* answer(CRYPTOCASE* rec, int32_t status) {
  rec->status = status;
  return rec;
}

// The private key loaded with load_password, written again under
// new_password (null: plain).
CRYPTOCASE* rewrite(const unsigned char* key, int32_t key_len, const char* load_password,
                    const char* new_password) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::PkeyPtr pkey(tessel::load_private_key(key, key_len, load_password));
  if (!pkey) return answer(rec, TESSEL_BAD_PRIVATE_KEY);
  return answer(rec, tessel::write_key(rec, pkey.get(), new_password, false));
}

}  // namespace

extern "C" {

TESSEL_API CRYPTOCASE* GetPublicKey(const unsigned char* input, int32_t input_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::BioPtr out = tessel::output_bio();
  if (!out) return answer(rec, TESSEL_BIO_ALLOC_FAILED);
  const tessel::PkeyPtr pkey(tessel::load_public_key(input, input_len));
  if (!pkey) return answer(rec, TESSEL_BAD_PUBLIC_KEY);
  if (PEM_write_bio_PUBKEY(out.get(), pkey.get()) <= 0) return answer(rec, TESSEL_BIO_WRITE_FAILED);
  return answer(rec, tessel::copy_out(out.get(), &rec->public_key, &rec->public_key_len));
}

TESSEL_API CRYPTOCASE* GetPrivateKey(const unsigned char* key, int32_t key_len,
                                     const char* password) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::PkeyPtr pkey(tessel::load_private_key(key, key_len, password));
  if (!pkey) return answer(rec, TESSEL_BAD_PRIVATE_KEY);
  // The key size in bits over 8: l/4 bytes for a bign key.
  const int bits = EVP_PKEY_get_bits(pkey.get());
  const std::size_t size = bits > 0 ? static_cast<std::size_t>(bits) / 8 : 0;
  tessel::SecretBytes raw(size);
  if (!raw) return answer(rec, TESSEL_NO_MEMORY);
  // Only a national key hands out its raw private key.
  if (BIGN_get_privkey(pkey.get(), raw.get(), raw.size()) != raw.size())
    return answer(rec, TESSEL_NOT_NATIONAL_KEY);
  raw.hand_to(&rec->key, &rec->key_len);
  return answer(rec, TESSEL_OK);
}

TESSEL_API CRYPTOCASE* KeyProtect(const unsigned char* key, int32_t key_len, const char* password) {
  // Without a password only a plain key loads.
  return rewrite(key, key_len, nullptr, password);
}

TESSEL_API CRYPTOCASE* KeyUnprotect(const unsigned char* key, int32_t key_len,
                                    const char* password) {
  return rewrite(key, key_len, password, nullptr);
}

TESSEL_API CRYPTOCASE* ChangePassword(const unsigned char* key, int32_t key_len,
                                      const char* old_password, const char* new_password) {
  return rewrite(key, key_len, old_password, new_password);
}

}  // extern "C"
