// Certificate requests as input: the self-signature check and the subject
// and public key read back.
#include <openssl/pem.h>
#include <openssl/x509.h>

#include "libtessel/internal/loaders.h"
#include "libtessel/internal/record.h"
#include "libtessel/internal/request.h"
#include "libtessel/tessel_stb.h"

namespace tessel {

int32_t request_signature_status(X509_REQ* req) {
  EVP_PKEY* key = X509_REQ_get0_pubkey(req);
  if (key == nullptr) return TESSEL_REQ_NO_PUBLIC_KEY;
  const int answer = X509_REQ_verify(req, key);
  return answer == 1 ? TESSEL_OK : answer == 0 ? TESSEL_VERIFY_FAILED : TESSEL_REQ_VERIFY_ERROR;
}

int32_t request_signature_status(const unsigned char* p, int32_t len) {
  const ReqPtr req(load_request(p, len));
  return req ? request_signature_status(req.get()) : TESSEL_BAD_REQUEST;
}

namespace {

// One line per entry, short names, no escaping: what the caller shows.
constexpr unsigned long kSubjectFlags = XN_FLAG_SEP_MULTILINE;

int32_t read_request(const unsigned char* p, int32_t len, CRYPTOCASE* rec) {
  const BioPtr subject = output_bio();
  const BioPtr public_key = output_bio();
  if (!subject || !public_key) return TESSEL_BIO_ALLOC_FAILED;
  const ReqPtr req(load_request(p, len));
  if (!req) return TESSEL_BAD_REQUEST;

  if (X509_NAME_print_ex(subject.get(), X509_REQ_get_subject_name(req.get()), 0, kSubjectFlags) < 0)
    return TESSEL_BIO_WRITE_FAILED;
  // An empty subject leaves data absent; copy_out does that by itself.
  if (copy_out(subject.get(), &rec->data, &rec->data_len) != TESSEL_OK)
    return TESSEL_BIO_READ_FAILED;

  EVP_PKEY* key = X509_REQ_get0_pubkey(req.get());
  if (key == nullptr) return TESSEL_REQ_NO_PUBLIC_KEY;
  if (PEM_write_bio_PUBKEY(public_key.get(), key) <= 0) return TESSEL_BIO_WRITE_FAILED;
  return copy_out(public_key.get(), &rec->public_key, &rec->public_key_len);
}

}  // namespace
}  // namespace tessel

extern "C" {

TESSEL_API CRYPTOCASE* VerifyRequest(const unsigned char* request, int32_t request_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  rec->status = tessel::request_signature_status(request, request_len);
  return rec;
}

TESSEL_API CRYPTOCASE* GetRequestInfo(const unsigned char* request, int32_t request_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  rec->status = tessel::read_request(request, request_len, rec);
  return rec;
}

}  // extern "C"
