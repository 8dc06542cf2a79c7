// Certificate exports: issuing from a request into the caller's index
// database, and re-encoding.
#include <openssl/err.h>
#include <openssl/pem.h>

#include "libtessel/internal/ca.h"
#include "libtessel/internal/loaders.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/request.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

// PEM or DER of a certificate into a fresh BIO: 49 for another form, 33
// when the encoding fails.
int32_t encode_certificate(X509* cert, int32_t form, BIO* out) {
  int written = 0;
  if (form == TESSEL_FORM_PEM) {
    written = PEM_write_bio_X509(out, cert);
  } else if (form == TESSEL_FORM_DER) {
    written = i2d_X509_bio(out, cert);
  } else {
    return TESSEL_UNKNOWN_FORM;
  }
  return written > 0 ? TESSEL_OK : TESSEL_BIO_WRITE_FAILED;
}

// The signing key and the issuer: the CA's certificate, or the request itself
// for a self-signed one. 23, 37, 96.
int32_t load_signer(const unsigned char* key, int32_t key_len, const char* password,
                    const unsigned char* ca_cert, int32_t ca_cert_len, bool self_signed,
                    X509_REQ* request, PkeyPtr& pkey, X509Ptr& ca) {
  pkey.reset(load_private_key(key, key_len, password));
  if (!pkey) return TESSEL_BAD_PRIVATE_KEY;
  if (self_signed) {
    const bool match = X509_REQ_check_private_key(request, pkey.get()) == 1;
    ERR_clear_error();
    return match ? TESSEL_OK : TESSEL_KEY_MISMATCH;
  }
  ca.reset(load_certificate(ca_cert, ca_cert_len));
  if (!ca) return TESSEL_BAD_CERTIFICATE;
  const bool match = X509_check_private_key(ca.get(), pkey.get()) == 1;
  ERR_clear_error();
  return match ? TESSEL_OK : TESSEL_KEY_MISMATCH;
}

int32_t choose_serial(IssueConfig& cfg, const char* serial, Asn1IntPtr& out) {
  if (cfg.rand_serial) {
    out = std::move(cfg.rand_serial);
    return TESSEL_OK;
  }
  if (serial != nullptr) {
    out = parse_serial(serial);
    return out ? TESSEL_OK : TESSEL_SERIAL_CONVERT_FAILED;
  }
  out = random_serial();
  return out ? TESSEL_OK : TESSEL_SERIAL_RANDOM_FAILED;
}

// The certificate and the index database into the record; on failure
// neither stays.
int32_t write_outputs(X509* cert, const INDEX_DB& index, int32_t form, CRYPTOCASE* rec) {
  const BioPtr cert_out = output_bio();
  const BioPtr index_out = output_bio();
  if (!cert_out || !index_out) return TESSEL_BIO_ALLOC_FAILED;
  if (const int32_t status = encode_certificate(cert, form, cert_out.get())) return status;
  if (TXT_DB_write(index_out.get(), index.db) < 0) return TESSEL_BIO_WRITE_FAILED;
  int32_t status = copy_out(cert_out.get(), &rec->data, &rec->data_len);
  if (status == TESSEL_OK) status = copy_out(index_out.get(), &rec->index_db, &rec->index_db_len);
  if (status != TESSEL_OK) {
    set_buffer(&rec->data, &rec->data_len, nullptr, 0);
    set_buffer(&rec->index_db, &rec->index_db_len, nullptr, 0);
  }
  return status;
}

int32_t create_certificate(CRYPTOCASE* rec, const unsigned char* request, int32_t request_len,
                           const unsigned char* key, int32_t key_len, const char* password,
                           const unsigned char* ca_cert, int32_t ca_cert_len,
                           const unsigned char* config, int32_t config_len,
                           const unsigned char* index_db, int32_t index_db_len, const char* serial,
                           bool self_signed, int32_t form) {
  // The request must carry its holder's valid self-signature.
  const ReqPtr req(load_request(request, request_len));
  if (!req) return TESSEL_BAD_REQUEST;
  if (const int32_t status = request_signature_status(req.get())) return status;
  PkeyPtr pkey;
  X509Ptr ca;
  if (const int32_t status = load_signer(key, key_len, password, ca_cert, ca_cert_len, self_signed,
                                         req.get(), pkey, ca))
    return status;
  IssueConfig cfg;
  if (const int32_t status = read_issue_config(config, config_len, cfg)) return status;
  Asn1IntPtr serial_number;
  if (const int32_t status = choose_serial(cfg, serial, serial_number)) return status;
  const IndexDbPtr index = index_db_load(index_db, index_db_len, cfg.unique_subject);
  if (!index) return TESSEL_BAD_INDEX_DB;
  X509Ptr cert;
  const IssueInput in{pkey.get(), ca.get(), req.get(), serial_number.get(), cfg, *index};
  if (const int32_t status = issue_certificate(in, cert)) return status;
  return write_outputs(cert.get(), *index, form, rec);
}

}  // namespace
}  // namespace tessel

extern "C" {

TESSEL_API CRYPTOCASE* CreateCertificate(const unsigned char* request, int32_t request_len,
                                         const unsigned char* key, int32_t key_len,
                                         const char* password, const unsigned char* ca_cert,
                                         int32_t ca_cert_len, const unsigned char* config,
                                         int32_t config_len, const unsigned char* index_db,
                                         int32_t index_db_len, const char* serial,
                                         int32_t self_signed, int32_t form) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  rec->status = tessel::create_certificate(rec, request, request_len, key, key_len, password,
                                           ca_cert, ca_cert_len, config, config_len, index_db,
                                           index_db_len, serial, self_signed != 0, form);
  return rec;
}

TESSEL_API CRYPTOCASE* ConvertCertificate(int32_t form, const unsigned char* cert,
                                          int32_t cert_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::X509Ptr loaded(tessel::load_certificate(cert, cert_len));
  if (!loaded) {
    rec->status = TESSEL_BAD_CERTIFICATE;
    return rec;
  }
  const tessel::BioPtr out = tessel::output_bio();
  if (!out) {
    rec->status = TESSEL_BIO_ALLOC_FAILED;
    return rec;
  }
  rec->status = tessel::encode_certificate(loaded.get(), form, out.get());
  if (rec->status == TESSEL_OK)
    rec->status = tessel::copy_out(out.get(), &rec->data, &rec->data_len);
  return rec;
}

}  // extern "C"
