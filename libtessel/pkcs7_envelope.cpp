// CMS EnvelopedData: the Init / AddRecipient / Final sequence, its one-shot
// form, and decryption with a recipient's private key.
#include "libtessel/internal/ossl.h"  // first: brings pem.h before cms.h

#include <openssl/crypto.h>

#include "libtessel/internal/loaders.h"
#include "libtessel/internal/pkcs7.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

// Every recipient is tried with the key, and a key that opens none is an
// error rather than a content decrypted with a random key.
constexpr unsigned kDecryptFlags = CMS_DEBUG_DECRYPT | CMS_BINARY;

// Enveloped data always carries its content: only the key identifier bit
// of the caller counts.
int32_t enveloped_flags(int32_t form, int32_t caller) {
  int32_t flags = base_cms_flags(form);
  if (caller & TESSEL_CMS_KEYID) flags |= CMS_USE_KEYID;
  return flags;
}

CRYPTOCASE* envelope_init(const char* cipher_name, int32_t form, int32_t caller_flags) {
  CRYPTOCASE* rec = new_context_record(form, enveloped_flags(form, caller_flags));
  if (rec == nullptr || rec->status != TESSEL_OK) return rec;
  PKCS7_CONTEXT* ctx = rec->context;
  const EVP_CIPHER* cipher = cipher_name != nullptr ? EVP_get_cipherbyname(cipher_name) : nullptr;
  // A key-wrapping cipher is no content cipher: refused like an unknown one.
  if (!is_content_cipher(cipher)) return fail_context(rec, TESSEL_UNKNOWN_ALGORITHM);
  ctx->cms = CMS_encrypt(nullptr, nullptr, cipher, static_cast<unsigned>(ctx->flags));
  if (ctx->cms == nullptr) return fail_context(rec, TESSEL_CMS_ENCRYPT_FAILED);
  rec->status = TESSEL_OK;
  return rec;
}

CRYPTOCASE* add_recipient(CRYPTOCASE* rec, const unsigned char* cert, int32_t cert_len) {
  if (rec == nullptr) return nullptr;
  ensure_registered();
  PKCS7_CONTEXT* ctx = rec->context;
  // Nothing to add to once the sequence has ended or failed.
  if (ctx == nullptr || ctx->cms == nullptr) return fail_context(rec, TESSEL_CMS_ADD_FAILED);
  const X509Ptr recipient(load_certificate(cert, cert_len));
  if (!recipient) return fail_context(rec, TESSEL_BAD_CERTIFICATE);
  if (CMS_add1_recipient_cert(ctx->cms, recipient.get(), static_cast<unsigned>(ctx->flags)) ==
      nullptr)
    return fail_context(rec, TESSEL_CMS_ADD_FAILED);
  rec->status = TESSEL_OK;
  return rec;
}

// An envelope without a recipient is one nobody can open: refuse to call
// it done.
CRYPTOCASE* finish_envelope(CRYPTOCASE* rec, const unsigned char* content, int32_t content_len) {
  const PKCS7_CONTEXT* ctx = rec->context;
  if (ctx != nullptr && ctx->cms != nullptr &&
      sk_CMS_RecipientInfo_num(CMS_get0_RecipientInfos(ctx->cms)) <= 0)
    return fail_context(rec, TESSEL_CMS_FINAL_FAILED);
  return finish_cms(rec, content, content_len);
}

}  // namespace
}  // namespace tessel

extern "C" {

TESSEL_API CRYPTOCASE* EncryptP7S_Init(const char* cipher, int32_t form, int32_t flags) {
  return tessel::envelope_init(cipher, form, flags);
}

TESSEL_API CRYPTOCASE* EncryptP7S_AddRecipient(CRYPTOCASE* record, const unsigned char* cert,
                                               int32_t cert_len) {
  return tessel::add_recipient(record, cert, cert_len);
}

TESSEL_API CRYPTOCASE* EncryptP7S_Final(CRYPTOCASE* record, const unsigned char* content,
                                        int32_t content_len) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  return tessel::finish_envelope(record, content, content_len);
}

TESSEL_API CRYPTOCASE* EncryptP7S(const char* cipher, const unsigned char* content,
                                  int32_t content_len, const unsigned char* cert, int32_t cert_len,
                                  int32_t form, int32_t flags) {
  CRYPTOCASE* rec = tessel::envelope_init(cipher, form, flags);
  if (rec == nullptr || rec->status != TESSEL_OK) return rec;
  if (tessel::add_recipient(rec, cert, cert_len)->status != TESSEL_OK) return rec;
  return tessel::finish_envelope(rec, content, content_len);
}

TESSEL_API CRYPTOCASE* DecryptP7S(const unsigned char* cms, int32_t cms_len,
                                  const unsigned char* key, int32_t key_len, const char* password) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::CmsPtr enveloped(tessel::load_cms(cms, cms_len));
  if (!enveloped) {
    rec->status = TESSEL_BAD_CMS;
    return rec;
  }
  // Refused before any work: such content would reach the cipher's final
  // step in pieces, with bytes the sender chooses.
  if (tessel::names_key_wrap_content_cipher(enveloped.get())) {
    rec->status = TESSEL_UNKNOWN_ALGORITHM;
    return rec;
  }
  const tessel::PkeyPtr pkey(tessel::load_private_key(key, key_len, password));
  if (!pkey) {
    rec->status = TESSEL_BAD_PRIVATE_KEY;
    return rec;
  }
  const tessel::BioPtr out = tessel::output_bio();
  if (!out) {
    rec->status = TESSEL_BIO_ALLOC_FAILED;
    return rec;
  }
  if (CMS_decrypt(enveloped.get(), pkey.get(), nullptr, nullptr, out.get(), tessel::kDecryptFlags) <
      1) {
    rec->status = TESSEL_CMS_DECRYPT_FAILED;
    return rec;
  }
  rec->status = tessel::copy_out(out.get(), &rec->data, &rec->data_len);
  return rec;
}

}  // extern "C"
