// Digests by name, belt-mac and hmac-hbelt.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstddef>

#include "libtessel/internal/md_steps.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"

namespace tessel {

CRYPTOCASE* md_update(CRYPTOCASE* rec, const unsigned char* data, int32_t len) {
  if (rec == nullptr) return nullptr;
  ensure_registered();
  // A negative length or a missing buffer would send OpenSSL reading from
  // nowhere; refuse it like any other failed update.
  if (rec->md_ctx == nullptr || len < 0 || (data == nullptr && len > 0))
    return fail_md(rec, TESSEL_UPDATE_FAILED);
  if (!EVP_DigestUpdate(rec->md_ctx, data, static_cast<std::size_t>(len)))
    return fail_md(rec, TESSEL_UPDATE_FAILED);
  rec->status = TESSEL_OK;
  return rec;
}

namespace {

using MacFunction = int (*)(const unsigned char*, std::size_t, const unsigned char*, std::size_t,
                            unsigned char*);

// belt-mac and hmac-hbelt: a fixed-size value into digest, 8 when the
// function refuses the lengths (it then writes nothing).
CRYPTOCASE* mac(MacFunction fn, int size, const unsigned char* data, int32_t data_len,
                const unsigned char* key, int32_t key_len) {
  ensure_registered();
  CRYPTOCASE* rec = new_record();
  if (rec == nullptr) return nullptr;
  if (data_len < 0 || key_len < 0) {
    rec->status = TESSEL_BAD_LENGTH;
    return rec;
  }
  auto* out = static_cast<unsigned char*>(OPENSSL_zalloc(static_cast<std::size_t>(size)));
  if (out == nullptr) {
    rec->status = TESSEL_NO_MEMORY;
    return rec;
  }
  if (fn(data, static_cast<std::size_t>(data_len), key, static_cast<std::size_t>(key_len), out) !=
      0) {
    OPENSSL_free(out);
    rec->status = TESSEL_BAD_LENGTH;
    return rec;
  }
  rec->digest = out;
  rec->digest_len = size;
  return rec;
}

}  // namespace
}  // namespace tessel

using tessel::fail_md;

extern "C" {

TESSEL_API CRYPTOCASE* CreateDigest_Init(const char* name) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const EVP_MD* md = name != nullptr ? EVP_get_digestbyname(name) : nullptr;
  if (md == nullptr) {
    rec->status = TESSEL_UNKNOWN_ALGORITHM;
    return rec;
  }
  rec->md_ctx = EVP_MD_CTX_new();
  if (rec->md_ctx == nullptr) {
    rec->status = TESSEL_CTX_ALLOC_FAILED;
    return rec;
  }
  if (!EVP_DigestInit(rec->md_ctx, md)) return fail_md(rec, TESSEL_INIT_FAILED);
  rec->status = TESSEL_OK;
  return rec;
}

TESSEL_API CRYPTOCASE* CreateDigest_Update(CRYPTOCASE* record, const unsigned char* data,
                                           int32_t data_len) {
  return tessel::md_update(record, data, data_len);
}

// One operation under three names.
TESSEL_API CRYPTOCASE* CreateSign_Update(CRYPTOCASE*, const unsigned char*, int32_t)
    __attribute__((alias("CreateDigest_Update")));
TESSEL_API CRYPTOCASE* VerifySign_Update(CRYPTOCASE*, const unsigned char*, int32_t)
    __attribute__((alias("CreateDigest_Update")));

TESSEL_API CRYPTOCASE* CreateDigest_Final(CRYPTOCASE* record) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  EVP_MD_CTX* ctx = record->md_ctx;
  // A record without a digest context, or one whose context holds no
  // digest, has nothing to finish.
  const EVP_MD* md = ctx != nullptr ? EVP_MD_CTX_get0_md(ctx) : nullptr;
  const int size = md != nullptr ? EVP_MD_get_size(md) : 0;
  if (size <= 0) return fail_md(record, TESSEL_FINAL_FAILED);
  auto* out = static_cast<unsigned char*>(OPENSSL_malloc(static_cast<std::size_t>(size)));
  if (out == nullptr) return fail_md(record, TESSEL_NO_MEMORY);
  unsigned int written = 0;
  const bool ok = EVP_DigestFinal(ctx, out, &written) && written == static_cast<unsigned>(size);
  tessel::release_md_ctx(record);
  if (!ok) {
    OPENSSL_clear_free(out, static_cast<std::size_t>(size));
    record->status = TESSEL_FINAL_FAILED;
    return record;
  }
  tessel::set_buffer(&record->digest, &record->digest_len, nullptr, 0);
  record->digest = out;
  record->digest_len = size;
  record->status = TESSEL_OK;
  return record;
}

TESSEL_API CRYPTOCASE* CreateDigest(const char* name, const unsigned char* data, int32_t data_len) {
  CRYPTOCASE* rec = CreateDigest_Init(name);
  if (rec == nullptr || rec->status != TESSEL_OK) return rec;
  if (tessel::md_update(rec, data, data_len)->status != TESSEL_OK) return rec;
  return CreateDigest_Final(rec);
}

TESSEL_API CRYPTOCASE* CreateMac(const unsigned char* data, int32_t data_len,
                                 const unsigned char* key, int32_t key_len) {
  return tessel::mac(belt_mac, tessel::kMacSize, data, data_len, key, key_len);
}

TESSEL_API CRYPTOCASE* CreateHmac(const unsigned char* data, int32_t data_len,
                                  const unsigned char* key, int32_t key_len) {
  return tessel::mac(hmac_hbelt, tessel::kHmacSize, data, data_len, key, key_len);
}

}  // extern "C"
