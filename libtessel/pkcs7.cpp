// CMS SignedData: the Init / AddSigner / Final sequence and its one-shot
// form.
#include <openssl/cms.h>
#include <openssl/crypto.h>

#include "libtessel/internal/loaders.h"
#include "libtessel/internal/pkcs7.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"

namespace tessel {

CRYPTOCASE* new_context_record(int32_t form, int32_t flags) {
  ensure_registered();
  CRYPTOCASE* rec = new_record();
  if (rec == nullptr) return nullptr;
  rec->context = static_cast<PKCS7_CONTEXT*>(OPENSSL_zalloc(sizeof(PKCS7_CONTEXT)));
  if (rec->context == nullptr) {
    rec->status = TESSEL_CONTEXT_ALLOC_FAILED;
    return rec;
  }
  rec->context->form = form;
  rec->context->flags = flags;
  rec->status = TESSEL_OK;
  return rec;
}

int32_t base_cms_flags(int32_t form) {
  int32_t flags = CMS_PARTIAL | CMS_STREAM | CMS_BINARY;
  if (form == TESSEL_FORM_PEM || form == TESSEL_FORM_DER) flags |= CMS_NOSMIMECAP;
  return flags;
}

CRYPTOCASE* finish_cms(CRYPTOCASE* rec, const unsigned char* content, int32_t content_len) {
  PKCS7_CONTEXT* ctx = rec->context;
  if (ctx == nullptr || ctx->cms == nullptr) return fail_context(rec, TESSEL_CMS_FINAL_FAILED);
  int32_t status = TESSEL_OK;
  const BioPtr in = input_bio(content, content_len, status);
  if (!in) return fail_context(rec, status);

  const int32_t form = ctx->form;
  if (form == TESSEL_FORM_PEM || form == TESSEL_FORM_DER) {
    // Complete the structure now; S/MIME output completes it while writing.
    ctx->flags &= ~CMS_STREAM;
    if (CMS_final(ctx->cms, in.get(), nullptr, static_cast<unsigned>(ctx->flags)) <= 0)
      return fail_context(rec, TESSEL_CMS_FINAL_FAILED);
  }
  const BioPtr out = output_bio();
  if (!out) return fail_context(rec, TESSEL_BIO_ALLOC_FAILED);
  const int flags = ctx->flags;
  int written = 0;
  switch (form) {
    case TESSEL_FORM_PEM:
      written = PEM_write_bio_CMS_stream(out.get(), ctx->cms, in.get(), flags);
      break;
    case TESSEL_FORM_DER:
      written = i2d_CMS_bio_stream(out.get(), ctx->cms, in.get(), flags);
      break;
    case TESSEL_FORM_SMIME:
      written = SMIME_write_CMS(out.get(), ctx->cms, in.get(), flags);
      break;
    default:
      return fail_context(rec, TESSEL_UNKNOWN_FORM);
  }
  release_context(rec);
  rec->status =
      written > 0 ? copy_out(out.get(), &rec->data, &rec->data_len) : TESSEL_BIO_WRITE_FAILED;
  return rec;
}

namespace {

int32_t signed_flags(int32_t form, int32_t caller) {
  int32_t flags = base_cms_flags(form);
  if (caller & TESSEL_CMS_DETACHED) flags |= CMS_DETACHED;
  if (caller & TESSEL_CMS_KEYID) flags |= CMS_USE_KEYID;
  if (caller & TESSEL_CMS_NOCERTS) flags |= CMS_NOCERTS;
  if (caller & TESSEL_CMS_NOATTR) flags |= CMS_NOATTR;
  return flags;
}

CRYPTOCASE* sign_init(int32_t form, int32_t caller_flags) {
  CRYPTOCASE* rec = new_context_record(form, signed_flags(form, caller_flags));
  if (rec == nullptr || rec->status != TESSEL_OK) return rec;
  PKCS7_CONTEXT* ctx = rec->context;
  ctx->cms = CMS_sign(nullptr, nullptr, nullptr, nullptr, static_cast<unsigned>(ctx->flags));
  if (ctx->cms == nullptr) return fail_context(rec, TESSEL_CMS_SIGN_FAILED);
  rec->status = TESSEL_OK;
  return rec;
}

CRYPTOCASE* add_signer(CRYPTOCASE* rec, const unsigned char* key, int32_t key_len,
                       const char* password, const unsigned char* cert, int32_t cert_len) {
  if (rec == nullptr) return nullptr;
  ensure_registered();
  PKCS7_CONTEXT* ctx = rec->context;
  // Nothing to add to once the sequence has ended or failed.
  if (ctx == nullptr || ctx->cms == nullptr) return fail_context(rec, TESSEL_CMS_ADD_FAILED);
  const PkeyPtr pkey(load_private_key(key, key_len, password));
  if (!pkey) return fail_context(rec, TESSEL_BAD_PRIVATE_KEY);
  const X509Ptr signer(load_certificate(cert, cert_len));
  if (!signer) return fail_context(rec, TESSEL_BAD_CERTIFICATE);
  // No digest named: the key type's default one is used.
  if (CMS_add1_signer(ctx->cms, signer.get(), pkey.get(), nullptr,
                      static_cast<unsigned>(ctx->flags)) == nullptr)
    return fail_context(rec, TESSEL_CMS_ADD_FAILED);
  rec->status = TESSEL_OK;
  return rec;
}

}  // namespace
}  // namespace tessel

extern "C" {

TESSEL_API CRYPTOCASE* CreateSignP7S_Init(int32_t form, int32_t flags) {
  return tessel::sign_init(form, flags);
}

TESSEL_API CRYPTOCASE* CreateSignP7S_AddSigner(CRYPTOCASE* record, const unsigned char* key,
                                               int32_t key_len, const char* password,
                                               const unsigned char* cert, int32_t cert_len) {
  return tessel::add_signer(record, key, key_len, password, cert, cert_len);
}

TESSEL_API CRYPTOCASE* CreateSignP7S_Final(CRYPTOCASE* record, const unsigned char* content,
                                           int32_t content_len) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  return tessel::finish_cms(record, content, content_len);
}

TESSEL_API CRYPTOCASE* CreateSignP7S(const unsigned char* content, int32_t content_len,
                                     const unsigned char* key, int32_t key_len,
                                     const char* password, const unsigned char* cert,
                                     int32_t cert_len, int32_t form, int32_t flags) {
  CRYPTOCASE* rec = tessel::sign_init(form, flags);
  if (rec == nullptr || rec->status != TESSEL_OK) return rec;
  if (tessel::add_signer(rec, key, key_len, password, cert, cert_len)->status != TESSEL_OK)
    return rec;
  return tessel::finish_cms(rec, content, content_len);
}

}  // extern "C"
