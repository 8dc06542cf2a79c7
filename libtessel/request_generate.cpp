// Certificate requests, last step: GenRequest builds the PKCS#10 request from
// the collected subject values, an existing private key and optional
// configuration, signs and encodes it.
#include <openssl/asn1.h>
#include <openssl/conf.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include "libtessel/internal/loaders.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/request.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

// NCONF's name for the lines before the first section header.
constexpr char kDefaultSection[] = "default";
constexpr char kExtensionSection[] = "request_extensions";

inline void free_extensions(STACK_OF(X509_EXTENSION) * list) {
  sk_X509_EXTENSION_pop_free(list, X509_EXTENSION_free);
}
using ExtensionListPtr = Owned<STACK_OF(X509_EXTENSION), free_extensions>;
using TimePtr = Owned<ASN1_TIME, ASN1_TIME_free>;

// Appends each stored value as an RDN of its own, in record order, releasing
// each value once it is in the subject. 85 when OpenSSL refuses one.
int32_t add_subject(REQUEST_INFO& info, X509_REQ* req) {
  X509_NAME* subject = X509_REQ_get_subject_name(req);
  for (const RequestField& f : request_fields()) {
    char*& value = info.*f.field;
    if (value == nullptr) continue;
    const int nid = OBJ_ln2nid(f.long_name);
    if (nid == NID_undef ||
        !X509_NAME_add_entry_by_NID(subject, nid, MBSTRING_UTF8,
                                    reinterpret_cast<const unsigned char*>(value), -1, -1, 0))
      return TESSEL_REQ_SUBJECT_FAILED;
    release_request_value(value);
  }
  return TESSEL_OK;
}

// PKCS#9 signingTime with the current time (UTCTime while the year allows).
bool add_signing_time(X509_REQ* req) {
  const TimePtr now(X509_gmtime_adj(nullptr, 0));
  return now && X509_REQ_add1_attr_by_NID(req, NID_pkcs9_signingTime, ASN1_STRING_type(now.get()),
                                          ASN1_STRING_get0_data(now.get()),
                                          ASN1_STRING_length(now.get())) > 0;
}

// The attribute type that carries the requested extensions.
int extension_attribute(const CONF* conf) {
  const char* name = NCONF_get_string(conf, kDefaultSection, "extensions_name");
  if (name == nullptr) {
    ERR_clear_error();
    return NID_ext_req;
  }
  const int nid = OBJ_sn2nid(name);
  return nid != NID_undef ? nid : NID_ext_req;
}

// Signing time and requested extensions from the configuration text: 41
// unreadable, 86 refused (a missing extension section included).
int32_t add_configured(X509_REQ* req, const unsigned char* p, int32_t len) {
  const ConfPtr conf(load_config(p, len));
  if (!conf) return TESSEL_BAD_CONFIG;
  if (NCONF_get_string(conf.get(), kDefaultSection, "signing_time") != nullptr) {
    if (!add_signing_time(req)) return TESSEL_REQ_EXTENSIONS_FAILED;
  } else {
    ERR_clear_error();
  }
  const int attribute = extension_attribute(conf.get());

  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, nullptr, nullptr, req, nullptr, 0);
  X509V3_set_nconf(&ctx, conf.get());
  // Present from the start, so that an empty section gives an empty list
  // rather than none.
  ExtensionListPtr extensions(sk_X509_EXTENSION_new_null());
  STACK_OF(X509_EXTENSION)* list = extensions.get();
  if (!extensions || !X509V3_EXT_add_nconf_sk(conf.get(), &ctx, kExtensionSection, &list) ||
      !X509_REQ_add_extensions_nid(req, extensions.get(), attribute))
    return TESSEL_REQ_EXTENSIONS_FAILED;
  return TESSEL_OK;
}

int32_t encode(X509_REQ* req, int32_t form, CRYPTOCASE* rec) {
  const BioPtr out = output_bio();
  if (!out) return TESSEL_BIO_ALLOC_FAILED;
  int written = 0;
  switch (form) {
    case TESSEL_FORM_PEM:
      written = PEM_write_bio_X509_REQ(out.get(), req);
      break;
    case TESSEL_FORM_DER:
      written = i2d_X509_REQ_bio(out.get(), req);
      break;
    default:
      return TESSEL_UNKNOWN_FORM;
  }
  if (written <= 0) return TESSEL_BIO_WRITE_FAILED;
  return copy_out(out.get(), &rec->data, &rec->data_len);
}

int32_t generate(REQUEST_INFO& info, const unsigned char* key, int32_t key_len,
                 const char* password, const unsigned char* config, int32_t config_len,
                 int32_t form, CRYPTOCASE* rec) {
  const ReqPtr req(X509_REQ_new());
  if (!req) return TESSEL_REQ_CREATE_FAILED;
  if (!X509_REQ_set_version(req.get(), 0)) return TESSEL_REQ_VERSION_FAILED;
  if (const int32_t status = add_subject(info, req.get()); status != TESSEL_OK) return status;

  const PkeyPtr pkey(load_private_key(key, key_len, password));
  if (!pkey) return TESSEL_BAD_PRIVATE_KEY;
  if (!X509_REQ_set_pubkey(req.get(), pkey.get())) return TESSEL_PUBLIC_KEY_SET_FAILED;
  if (config != nullptr) {
    if (const int32_t status = add_configured(req.get(), config, config_len); status != TESSEL_OK)
      return status;
  }
  const EVP_MD* md = default_digest(pkey.get());
  if (md == nullptr || X509_REQ_sign(req.get(), pkey.get(), md) <= 0) return TESSEL_REQ_SIGN_FAILED;
  return encode(req.get(), form, rec);
}

}  // namespace
}  // namespace tessel

extern "C" TESSEL_API CRYPTOCASE* GenRequest(CRYPTOCASE* record, const unsigned char* key,
                                             int32_t key_len, const char* password,
                                             const unsigned char* config, int32_t config_len,
                                             int32_t form) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  // The values are consumed whatever the outcome: a record serves one
  // request at most.
  const tessel::RequestInfoPtr info(record->request_info);
  record->request_info = nullptr;
  if (!info) {
    record->status = TESSEL_REQ_INFO_ALLOC_FAILED;
    return record;
  }
  record->status =
      tessel::generate(*info, key, key_len, password, config, config_len, form, record);
  return record;
}
