// CMS SignedData checks and re-encoding.
#include "libtessel/internal/ossl.h"  // first: brings pem.h before cms.h

#include "libtessel/internal/loaders.h"
#include "libtessel/internal/pkcs7.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"

namespace tessel {

int32_t write_cms(CMS_ContentInfo* cms, int32_t form, CRYPTOCASE* rec) {
  const BioPtr out = output_bio();
  if (!out) return TESSEL_BIO_ALLOC_FAILED;
  int written = 0;
  if (form == TESSEL_FORM_PEM) {
    written = PEM_write_bio_CMS(out.get(), cms);
  } else if (form == TESSEL_FORM_DER) {
    written = i2d_CMS_bio(out.get(), cms);
  } else {
    return TESSEL_UNKNOWN_FORM;
  }
  if (written <= 0) return TESSEL_BIO_WRITE_FAILED;
  return copy_out(out.get(), &rec->data, &rec->data_len);
}

}  // namespace tessel

namespace {

// Signatures are checked, signer certificates are not checked against any
// authority; the content passes through unchanged.
constexpr unsigned kVerifyFlags = CMS_NO_SIGNER_CERT_VERIFY | CMS_BINARY;

}  // namespace

extern "C" {

TESSEL_API CRYPTOCASE* VerifySignP7S(const unsigned char* cms, int32_t cms_len,
                                     const unsigned char* content, int32_t content_len,
                                     const unsigned char* cert, int32_t cert_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::CmsPtr signed_data(tessel::load_cms(cms, cms_len));
  if (!signed_data) {
    rec->status = TESSEL_BAD_CMS;
    return rec;
  }
  tessel::BioPtr detached;
  if (content != nullptr) {
    int32_t status = TESSEL_OK;
    tessel::BioPtr bytes = tessel::input_bio(content, content_len, status);
    if (!bytes) {
      rec->status = status;
      return rec;
    }
    // CMS_verify reads detached content from a memory BIO through a copy of
    // its own, which OpenSSL 3.0 loses when the content cannot be digested
    // (a digest algorithm it does not know): behind a null filter the
    // content is read in place, and its end must read as the end.
    BIO_set_mem_eof_return(bytes.get(), 0);
    detached.reset(BIO_new(BIO_f_null()));
    if (!detached) {
      rec->status = TESSEL_BIO_ALLOC_FAILED;
      return rec;
    }
    BIO_push(detached.get(), bytes.release());
  }
  tessel::X509ListPtr extra;
  if (cert != nullptr) {
    tessel::X509Ptr signer(tessel::load_certificate(cert, cert_len));
    if (!signer) {
      rec->status = TESSEL_BAD_CERTIFICATE;
      return rec;
    }
    extra.reset(sk_X509_new_null());
    if (!extra || !sk_X509_push(extra.get(), signer.get())) {
      rec->status = TESSEL_CERT_LIST_FAILED;
      return rec;
    }
    static_cast<void>(signer.release());  // the list owns it now
  }
  const tessel::BioPtr out = tessel::output_bio();
  if (!out) {
    rec->status = TESSEL_BIO_ALLOC_FAILED;
    return rec;
  }
  if (CMS_verify(signed_data.get(), extra.get(), nullptr, detached.get(), out.get(),
                 kVerifyFlags) <= 0) {
    rec->status = TESSEL_VERIFY_FAILED;
    return rec;
  }
  rec->status = tessel::copy_out(out.get(), &rec->data, &rec->data_len);
  return rec;
}

TESSEL_API CRYPTOCASE* ConvertP7S(int32_t form, const unsigned char* cms, int32_t cms_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::CmsPtr loaded(tessel::load_cms(cms, cms_len));
  rec->status = loaded ? tessel::write_cms(loaded.get(), form, rec) : TESSEL_BAD_CMS;
  // OpenSSL accepts some structures (odd algorithm parameters in a signer
  // info, say) that it then writes as bytes it cannot read again: no result.
  if (rec->status == TESSEL_OK && !tessel::CmsPtr(tessel::load_cms(rec->data, rec->data_len))) {
    tessel::set_buffer(&rec->data, &rec->data_len, nullptr, 0);
    rec->status = TESSEL_BAD_CMS;
  }
  return rec;
}

}  // extern "C"
