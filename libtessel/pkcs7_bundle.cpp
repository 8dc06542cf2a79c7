// Certificate bundles: a PKCS#7 SignedData without signers that carries
// certificates and CRLs, built item by item or re-encoded.
#include "libtessel/internal/ossl.h"  // first: brings pem.h before cms.h

#include <openssl/crypto.h>
#include <openssl/objects.h>

#include <utility>

#include "libtessel/internal/loaders.h"
#include "libtessel/internal/pkcs7.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

// Writes a bundle in form 0 (PEM) or 1 (DER) into data; S/MIME is not
// offered for bundles.
int32_t write_bundle(PKCS7* p7, int32_t form, CRYPTOCASE* rec) {
  const BioPtr out = output_bio();
  if (!out) return TESSEL_BIO_ALLOC_FAILED;
  int written = 0;
  if (form == TESSEL_FORM_PEM) {
    written = PEM_write_bio_PKCS7(out.get(), p7);
  } else if (form == TESSEL_FORM_DER) {
    written = i2d_PKCS7_bio(out.get(), p7);
  } else {
    return TESSEL_UNKNOWN_FORM;
  }
  if (written <= 0) return TESSEL_BIO_WRITE_FAILED;
  return copy_out(out.get(), &rec->data, &rec->data_len);
}

// Appends an item to a list of the context, made on first use. The Add
// steps keep the context when they fail: the caller may go on adding.
int32_t append_cert(PKCS7_CONTEXT* ctx, X509Ptr item) {
  if (ctx->certs == nullptr) ctx->certs = sk_X509_new_null();
  if (ctx->certs == nullptr || !sk_X509_push(ctx->certs, item.get()))
    return TESSEL_CERT_LIST_FAILED;
  static_cast<void>(item.release());  // the list owns it now
  return TESSEL_OK;
}

int32_t append_crl(PKCS7_CONTEXT* ctx, CrlPtr item) {
  if (ctx->crls == nullptr) ctx->crls = sk_X509_CRL_new_null();
  if (ctx->crls == nullptr || !sk_X509_CRL_push(ctx->crls, item.get()))
    return TESSEL_CRL_LIST_FAILED;
  static_cast<void>(item.release());
  return TESSEL_OK;
}

}  // namespace
}  // namespace tessel

extern "C" {

TESSEL_API CRYPTOCASE* CreateP7B_Init(void) {
  return tessel::new_context_record(0, 0);
}

TESSEL_API CRYPTOCASE* CreateP7B_AddCert(CRYPTOCASE* record, const unsigned char* cert,
                                         int32_t cert_len) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  tessel::X509Ptr item(tessel::load_certificate(cert, cert_len));
  if (!item) {
    record->status = TESSEL_BAD_CERTIFICATE;
  } else if (record->context == nullptr) {
    // Init failed, or the bundle is built: no list to hold the item.
    record->status = TESSEL_CERT_LIST_FAILED;
  } else {
    record->status = tessel::append_cert(record->context, std::move(item));
  }
  return record;
}

TESSEL_API CRYPTOCASE* CreateP7B_AddCRL(CRYPTOCASE* record, const unsigned char* crl,
                                        int32_t crl_len) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  tessel::CrlPtr item(tessel::load_crl(crl, crl_len));
  if (!item) {
    record->status = TESSEL_BAD_CRL;
  } else if (record->context == nullptr) {
    record->status = TESSEL_CRL_LIST_FAILED;
  } else {
    record->status = tessel::append_crl(record->context, std::move(item));
  }
  return record;
}

TESSEL_API CRYPTOCASE* CreateP7B(CRYPTOCASE* record, int32_t form) {
  if (record == nullptr) return nullptr;
  tessel::ensure_registered();
  // A record whose bundle is already built (or whose Init failed) has no
  // items left to bundle. The status of earlier Add steps is not consulted:
  // failed items are simply missing.
  if (record->context == nullptr) {
    record->status = TESSEL_CONTEXT_ALLOC_FAILED;
    return record;
  }
  tessel::Pkcs7Ptr p7(PKCS7_new());
  PKCS7_SIGNED* signed_data = p7 ? PKCS7_SIGNED_new() : nullptr;
  if (signed_data == nullptr) {
    record->status = TESSEL_PKCS7_CREATE_FAILED;  // the context stays for another try
    return record;
  }
  p7->type = OBJ_nid2obj(NID_pkcs7_signed);
  p7->d.sign = signed_data;
  signed_data->contents->type = OBJ_nid2obj(NID_pkcs7_data);  // no content octets
  if (!ASN1_INTEGER_set(signed_data->version, 1)) {
    record->status = TESSEL_PKCS7_CREATE_FAILED;
    return record;
  }
  // The lists pass into the structure, which releases them with itself.
  PKCS7_CONTEXT* ctx = record->context;
  signed_data->cert = ctx->certs;
  signed_data->crl = ctx->crls;
  ctx->certs = nullptr;
  ctx->crls = nullptr;
  tessel::release_context(record);
  record->status = tessel::write_bundle(p7.get(), form, record);
  return record;
}

TESSEL_API CRYPTOCASE* ConvertP7B(int32_t form, const unsigned char* bundle, int32_t bundle_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::Pkcs7Ptr loaded(tessel::load_pkcs7(bundle, bundle_len));
  rec->status = loaded ? tessel::write_bundle(loaded.get(), form, rec) : TESSEL_BAD_PKCS7;
  return rec;
}

}  // extern "C"
