// Revocation: marks a certificate's row revoked in the caller's index
// database and hands the database back.
#include <openssl/err.h>

#include <cstring>

#include "libtessel/internal/ca.h"
#include "libtessel/internal/loaders.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

bool revocable_reason(const char* reason) {
  for (int i = 0; i < kRevokeReasons; ++i)
    if (std::strcmp(reason, kReasonNames[i]) == 0) return true;
  return false;
}

// "time,reason" with the current time, or null.
char* revocation_text(const char* reason) {
  const Asn1TimePtr now(X509_gmtime_adj(nullptr, 0));
  if (!now) return nullptr;
  const auto time_len = static_cast<std::size_t>(ASN1_STRING_length(now.get()));
  const std::size_t reason_len = std::strlen(reason);
  auto* text = static_cast<char*>(OPENSSL_malloc(time_len + reason_len + 2));
  if (text == nullptr) return nullptr;
  std::memcpy(text, ASN1_STRING_get0_data(now.get()), time_len);
  text[time_len] = ',';
  std::memcpy(text + time_len + 1, reason, reason_len + 1);
  return text;
}

int32_t revoke_in_index(X509* cert, INDEX_DB& index, const char* reason) {
  const StrPtr serial = serial_text(X509_get0_serialNumber(cert));
  if (!serial) return TESSEL_REVOKE_NAME_FAILED;
  const StrPtr subject = subject_text(X509_get_subject_name(cert), serial.get());
  if (!subject) return TESSEL_REVOKE_NAME_FAILED;
  char** row = index_find_serial(index, serial.get());
  // A certificate the database never had is refused, not added.
  if (row == nullptr) return TESSEL_NOT_IN_INDEX;
  if (std::strcmp(row[kColSubject], subject.get()) != 0) return TESSEL_SUBJECT_DIFFERS;
  if (row[kColStatus][0] == 'R') return TESSEL_ALREADY_REVOKED;
  if (reason == nullptr || !revocable_reason(reason)) return TESSEL_BAD_REVOCATION;
  char* info = revocation_text(reason);
  char* status = OPENSSL_strdup("R");
  if (info == nullptr || status == nullptr) {
    OPENSSL_free(info);
    OPENSSL_free(status);
    return TESSEL_BAD_REVOCATION;
  }
  index_set_field(row, kColStatus, status);
  index_set_field(row, kColRevocation, info);
  return TESSEL_OK;
}

int32_t revoke_certificate(CRYPTOCASE* rec, const unsigned char* cert, int32_t cert_len,
                           const unsigned char* index_db, int32_t index_db_len, const char* reason,
                           const unsigned char* config, int32_t config_len) {
  int unique_subject = 1;
  if (const int32_t status = read_unique_subject(config, config_len, unique_subject)) return status;
  const IndexDbPtr index = index_db_load(index_db, index_db_len, unique_subject);
  if (!index) return TESSEL_BAD_INDEX_DB;
  const X509Ptr loaded(load_certificate(cert, cert_len));
  if (!loaded) return TESSEL_BAD_CERTIFICATE;
  if (const int32_t status = revoke_in_index(loaded.get(), *index, reason)) return status;
  return index_db_write(*index, rec);
}

}  // namespace
}  // namespace tessel

extern "C" TESSEL_API CRYPTOCASE* RevokeCertificate(const unsigned char* cert, int32_t cert_len,
                                                    const unsigned char* index_db,
                                                    int32_t index_db_len, const char* reason,
                                                    const unsigned char* config,
                                                    int32_t config_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  rec->status = tessel::revoke_certificate(rec, cert, cert_len, index_db, index_db_len, reason,
                                           config, config_len);
  return rec;
}
