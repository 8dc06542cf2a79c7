// Raw detached signatures: made with a PKCS#8 private key, checked with a
// public key, both under the key type's default digest.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include <cstddef>

#include "libtessel/internal/loaders.h"
#include "libtessel/internal/md_steps.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"

namespace {

// Signatures longer than this are refused by the final signing step.
constexpr std::size_t kSignatureRoom = 8192;

}  // namespace

using tessel::fail_md;

extern "C" {

TESSEL_API CRYPTOCASE* CreateSign_Init(const unsigned char* key, int32_t key_len,
                                       const char* password) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  rec->md_ctx = EVP_MD_CTX_new();
  if (rec->md_ctx == nullptr) {
    rec->status = TESSEL_CTX_ALLOC_FAILED;
    return rec;
  }
  const tessel::PkeyPtr pkey(tessel::load_private_key(key, key_len, password));
  if (!pkey) return fail_md(rec, TESSEL_BAD_PRIVATE_KEY);
  // No digest named: the key type's default one is used.
  if (EVP_DigestSignInit(rec->md_ctx, nullptr, nullptr, nullptr, pkey.get()) <= 0)
    return fail_md(rec, TESSEL_INIT_FAILED);
  rec->status = TESSEL_OK;
  return rec;
}

TESSEL_API CRYPTOCASE* CreateSign_Final(CRYPTOCASE* record) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  if (record->md_ctx == nullptr) return fail_md(record, TESSEL_FINAL_FAILED);
  auto* room = static_cast<unsigned char*>(OPENSSL_malloc(kSignatureRoom));
  if (room == nullptr) return fail_md(record, TESSEL_NO_MEMORY);
  std::size_t len = kSignatureRoom;
  const bool ok = EVP_DigestSignFinal(record->md_ctx, room, &len) > 0 && len <= kSignatureRoom;
  tessel::release_md_ctx(record);
  if (!ok) {
    record->status = TESSEL_FINAL_FAILED;
  } else if (!tessel::set_buffer(&record->signature, &record->signature_len, room, len)) {
    record->status = TESSEL_NO_MEMORY;
  } else {
    record->status = TESSEL_OK;
  }
  OPENSSL_clear_free(room, kSignatureRoom);
  return record;
}

TESSEL_API CRYPTOCASE* CreateSign(const unsigned char* data, int32_t data_len,
                                  const unsigned char* key, int32_t key_len, const char* password) {
  CRYPTOCASE* rec = CreateSign_Init(key, key_len, password);
  if (rec == nullptr || rec->status != TESSEL_OK) return rec;
  if (tessel::md_update(rec, data, data_len)->status != TESSEL_OK) return rec;
  return CreateSign_Final(rec);
}

TESSEL_API CRYPTOCASE* VerifySign_Init(const unsigned char* public_key, int32_t public_key_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::PkeyPtr pkey(tessel::load_public_key(public_key, public_key_len));
  if (!pkey) {
    rec->status = TESSEL_BAD_PUBLIC_KEY;
    return rec;
  }
  rec->md_ctx = EVP_MD_CTX_new();
  if (rec->md_ctx == nullptr) {
    rec->status = TESSEL_CTX_ALLOC_FAILED;
    return rec;
  }
  if (EVP_DigestVerifyInit(rec->md_ctx, nullptr, tessel::default_digest(pkey.get()), nullptr,
                           pkey.get()) <= 0)
    return fail_md(rec, TESSEL_INIT_FAILED);
  rec->status = TESSEL_OK;
  return rec;
}

TESSEL_API CRYPTOCASE* VerifySign_Final(CRYPTOCASE* record, const unsigned char* signature,
                                        int32_t signature_len) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  if (record->md_ctx == nullptr || signature_len < 0 || (signature == nullptr && signature_len > 0))
    return fail_md(record, TESSEL_FINAL_FAILED);
  // An empty signature is a mismatch, not an error: give OpenSSL a valid
  // pointer to look at.
  static constexpr unsigned char kNothing = 0;
  const unsigned char* sig = signature != nullptr ? signature : &kNothing;
  const int answer =
      EVP_DigestVerifyFinal(record->md_ctx, sig, static_cast<std::size_t>(signature_len));
  tessel::release_md_ctx(record);
  record->status = answer == 1   ? TESSEL_OK
                   : answer == 0 ? TESSEL_VERIFY_FAILED
                                 : TESSEL_FINAL_FAILED;
  return record;
}

TESSEL_API CRYPTOCASE* VerifySign(const unsigned char* data, int32_t data_len,
                                  const unsigned char* public_key, int32_t public_key_len,
                                  const unsigned char* signature, int32_t signature_len) {
  CRYPTOCASE* rec = VerifySign_Init(public_key, public_key_len);
  if (rec == nullptr || rec->status != TESSEL_OK) return rec;
  if (tessel::md_update(rec, data, data_len)->status != TESSEL_OK) return rec;
  return VerifySign_Final(rec, signature, signature_len);
}

}  // extern "C"
