// The result record: allocation, release, output buffers and the memory
// BIOs all families share.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <climits>
#include <cstddef>
#include <cstring>

#include "libtessel/internal/record.h"
#include "libtessel/internal/request.h"

// The caller reads status, data and data_len straight from the record: keep
// the layout a C compiler gives the header on this platform.
static_assert(offsetof(CRYPTOCASE, status) == 0);
static_assert(offsetof(CRYPTOCASE, data) == 8);
static_assert(offsetof(CRYPTOCASE, data_len) == 16);
static_assert(offsetof(CRYPTOCASE, context) == 144);
static_assert(sizeof(CRYPTOCASE) == 152);

namespace tessel {
namespace {

// explicit_bzero is memset that the compiler may not drop: on large outputs
// (a mebibyte of ciphertext) it is several times faster than OpenSSL's
// byte-wise cleanse.
void wipe_buffer(unsigned char*& buf, int32_t& len) {
  if (buf != nullptr && len > 0) explicit_bzero(buf, static_cast<std::size_t>(len));
  OPENSSL_free(buf);
  buf = nullptr;
  len = 0;
}

}  // namespace

CRYPTOCASE* new_record() {
  return static_cast<CRYPTOCASE*>(OPENSSL_zalloc(sizeof(CRYPTOCASE)));
}

void release_md_ctx(CRYPTOCASE* rec) {
  EVP_MD_CTX_free(rec->md_ctx);  // resets (and so wipes) the digest state first
  rec->md_ctx = nullptr;
}

void release_context(CRYPTOCASE* rec) {
  PKCS7_CONTEXT* ctx = rec->context;
  rec->context = nullptr;
  if (ctx == nullptr) return;
  ctx->flags = 0;
  ctx->form = 0;
  CMS_ContentInfo_free(ctx->cms);
  // A bundle sequence that never reached its end still holds its lists.
  sk_X509_pop_free(ctx->certs, X509_free);
  sk_X509_CRL_pop_free(ctx->crls, X509_CRL_free);
  OPENSSL_clear_free(ctx, sizeof *ctx);
}

CRYPTOCASE* fail_md(CRYPTOCASE* rec, int32_t status) {
  release_md_ctx(rec);
  rec->status = status;
  return rec;
}

CRYPTOCASE* fail_context(CRYPTOCASE* rec, int32_t status) {
  release_context(rec);
  rec->status = status;
  return rec;
}

bool set_buffer(unsigned char** buf, int32_t* len, const unsigned char* src, std::size_t n) {
  wipe_buffer(*buf, *len);
  if (n == 0) return true;
  if (n > INT32_MAX) return false;
  auto* copy = static_cast<unsigned char*>(OPENSSL_malloc(n));
  if (copy == nullptr) return false;
  std::memcpy(copy, src, n);
  *buf = copy;
  *len = static_cast<int32_t>(n);
  return true;
}

int32_t copy_out(BIO* bio, unsigned char** buf, int32_t* len) {
  wipe_buffer(*buf, *len);
  const long pending = BIO_get_mem_data(bio, static_cast<char**>(nullptr));
  if (pending < 0 || pending > INT32_MAX) return TESSEL_BIO_READ_FAILED;
  if (pending == 0) return TESSEL_OK;
  const int n = static_cast<int>(pending);
  auto* out = static_cast<unsigned char*>(OPENSSL_malloc(static_cast<std::size_t>(n)));
  if (out == nullptr) return TESSEL_NO_MEMORY;
  if (BIO_read(bio, out, n) != n) {
    OPENSSL_clear_free(out, static_cast<std::size_t>(n));
    return TESSEL_BIO_READ_FAILED;
  }
  *buf = out;
  *len = n;
  return TESSEL_OK;
}

BioPtr input_bio(const unsigned char* p, int32_t len, int32_t& status) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio) {
    status = TESSEL_BIO_ALLOC_FAILED;
    return nullptr;
  }
  if (!has_bytes(p, len) || BIO_write(bio.get(), p, len) <= 0) {
    status = TESSEL_BIO_WRITE_FAILED;
    return nullptr;
  }
  status = TESSEL_OK;
  return bio;
}

BioPtr output_bio() {
  return BioPtr(BIO_new(BIO_s_mem()));
}

}  // namespace tessel

extern "C" TESSEL_API void CRYPTOCASE_free(CRYPTOCASE* record) {
  if (record == nullptr) return;
  tessel::wipe_buffer(record->data, record->data_len);
  tessel::wipe_buffer(record->digest, record->digest_len);
  tessel::wipe_buffer(record->key, record->key_len);
  tessel::wipe_buffer(record->public_key, record->public_key_len);
  tessel::wipe_buffer(record->signature, record->signature_len);
  tessel::wipe_buffer(record->token, record->token_len);
  tessel::wipe_buffer(record->index_db, record->index_db_len);
  // Contexts of a sequence that never reached its end.
  tessel::release_md_ctx(record);
  EVP_CIPHER_CTX_free(record->cipher_ctx);
  tessel::release_context(record);
  tessel::release_request_info(record);  // a request never generated
  OPENSSL_clear_free(record, sizeof *record);
}
