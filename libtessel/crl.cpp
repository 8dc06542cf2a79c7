// CRLs: built and signed from the revoked rows of the caller's index
// database, and re-encoded.
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <climits>
#include <cstring>

#include "libtessel/internal/ca.h"
#include "libtessel/internal/loaders.h"
#include "libtessel/internal/record.h"
#include "libtessel/tessel_stb.h"

namespace tessel {
namespace {

using EnumPtr = Owned<ASN1_ENUMERATED, ASN1_ENUMERATED_free>;

constexpr long kSecondsPerHour = 3600;
// Every CRL carries the crlNumber extension, and a CRL with extensions must
// say it is version 2.
constexpr long kCrlVersion2 = 1;

int32_t encode_crl(X509_CRL* crl, int32_t form, CRYPTOCASE* rec) {
  const BioPtr out = output_bio();
  if (!out) return TESSEL_BIO_ALLOC_FAILED;
  int written = 0;
  if (form == TESSEL_FORM_PEM) {
    written = PEM_write_bio_X509_CRL(out.get(), crl);
  } else if (form == TESSEL_FORM_DER) {
    written = i2d_X509_CRL_bio(out.get(), crl);
  } else {
    return TESSEL_UNKNOWN_FORM;
  }
  if (written <= 0) return TESSEL_BIO_WRITE_FAILED;
  return copy_out(out.get(), &rec->data, &rec->data_len);
}

int32_t set_update_times(X509_CRL* crl, const CrlConfig& cfg) {
  const Asn1TimePtr now(X509_gmtime_adj(nullptr, 0));
  if (!now || !X509_CRL_set1_lastUpdate(crl, now.get())) return TESSEL_TIME_SET_FAILED;
  // The configured figures are unbounded decimal numbers: keep the sum in
  // range rather than let it wrap.
  if (cfg.days > INT_MAX || cfg.hours > (LONG_MAX - cfg.seconds) / kSecondsPerHour)
    return TESSEL_TIME_SET_FAILED;
  const long seconds = cfg.hours * kSecondsPerHour + cfg.seconds;
  const Asn1TimePtr next(X509_time_adj_ex(nullptr, static_cast<int>(cfg.days), seconds, nullptr));
  if (!next || !X509_CRL_set1_nextUpdate(crl, next.get())) return TESSEL_TIME_SET_FAILED;
  return TESSEL_OK;
}

bool add_entry_extensions(X509_REVOKED* entry, const RevocationInfo& info) {
  if (info.reason_code != -1) {
    const EnumPtr code(ASN1_ENUMERATED_new());
    if (!code || !ASN1_ENUMERATED_set(code.get(), info.reason_code) ||
        !X509_REVOKED_add1_ext_i2d(entry, NID_crl_reason, code.get(), 0, 0))
      return false;
  }
  if (info.invalidity_date &&
      !X509_REVOKED_add1_ext_i2d(entry, NID_invalidity_date, info.invalidity_date.get(), 0, 0))
    return false;
  if (info.hold_instruction && !X509_REVOKED_add1_ext_i2d(entry, NID_hold_instruction_code,
                                                          info.hold_instruction.get(), 0, 0))
    return false;
  return true;
}

bool add_revoked_row(X509_CRL* crl, char** row) {
  RevokedPtr entry(X509_REVOKED_new());
  RevocationInfo info;
  if (!entry || !parse_revocation_info(row[kColRevocation], info) ||
      !X509_REVOKED_set_revocationDate(entry.get(), info.time.get()) ||
      !add_entry_extensions(entry.get(), info))
    return false;
  BIGNUM* parsed = nullptr;
  const std::size_t digits = std::strlen(row[kColSerial]);
  const int read = BN_hex2bn(&parsed, row[kColSerial]);
  const BnPtr bn(parsed);
  // The whole column must be hexadecimal, not just its start.
  if (read <= 0 || static_cast<std::size_t>(read) != digits) return false;
  const Asn1IntPtr serial(BN_to_ASN1_INTEGER(bn.get(), nullptr));
  if (!serial || !X509_REVOKED_set_serialNumber(entry.get(), serial.get())) return false;
  if (!X509_CRL_add0_revoked(crl, entry.get())) return false;
  static_cast<void>(entry.release());  // the CRL owns it now
  return true;
}

int32_t add_revoked_rows(X509_CRL* crl, const INDEX_DB& index) {
  STACK_OF(OPENSSL_PSTRING)* rows = index.db->data;
  for (int i = 0; i < sk_OPENSSL_PSTRING_num(rows); ++i) {
    char** row = sk_OPENSSL_PSTRING_value(rows, i);
    if (row[kColStatus][0] != 'R') continue;
    if (!add_revoked_row(crl, row)) {
      ERR_clear_error();
      return TESSEL_REVOKED_ENTRY_FAILED;
    }
  }
  return X509_CRL_sort(crl) ? TESSEL_OK : TESSEL_REVOKED_ENTRY_FAILED;
}

int32_t add_crl_extensions(X509_CRL* crl, X509* ca, const CrlConfig& cfg, int32_t crl_number) {
  if (cfg.extensions != nullptr) {
    X509V3_CTX ctx;
    X509V3_set_ctx(&ctx, ca, nullptr, nullptr, crl, 0);
    X509V3_set_nconf(&ctx, cfg.conf.get());
    if (!X509V3_EXT_CRL_add_nconf(cfg.conf.get(), &ctx, cfg.extensions, crl))
      return TESSEL_CONFIG_EXTENSIONS_FAILED;
  }
  // crlNumber is INTEGER (0..MAX): a negative counter is no CRL number.
  const Asn1IntPtr number(ASN1_INTEGER_new());
  if (crl_number < 0 || !number || !ASN1_INTEGER_set(number.get(), crl_number))
    return TESSEL_SERIAL_CONVERT_FAILED;
  if (!X509_CRL_add1_ext_i2d(crl, NID_crl_number, number.get(), 0, 0))
    return TESSEL_SERIAL_SET_FAILED;
  return TESSEL_OK;
}

int32_t create_crl(CRYPTOCASE* rec, const unsigned char* key, int32_t key_len, const char* password,
                   const unsigned char* ca_cert, int32_t ca_cert_len, const unsigned char* config,
                   int32_t config_len, const unsigned char* index_db, int32_t index_db_len,
                   int32_t crl_number, int32_t form) {
  const PkeyPtr pkey(load_private_key(key, key_len, password));
  if (!pkey) return TESSEL_BAD_PRIVATE_KEY;
  const X509Ptr ca(load_certificate(ca_cert, ca_cert_len));
  if (!ca) return TESSEL_BAD_CERTIFICATE;
  const bool match = X509_check_private_key(ca.get(), pkey.get()) == 1;
  ERR_clear_error();
  if (!match) return TESSEL_KEY_MISMATCH;
  CrlConfig cfg;
  if (const int32_t status = read_crl_config(config, config_len, cfg)) return status;
  IndexDbPtr index = index_db_load(index_db, index_db_len, cfg.unique_subject);
  if (!index) return TESSEL_BAD_INDEX_DB;

  const CrlPtr crl(X509_CRL_new());
  if (!crl) return TESSEL_CRL_CREATE_FAILED;
  if (!X509_CRL_set_issuer_name(crl.get(), X509_get_subject_name(ca.get())))
    return TESSEL_ISSUER_SET_FAILED;
  if (const int32_t status = set_update_times(crl.get(), cfg)) return status;
  if (const int32_t status = add_revoked_rows(crl.get(), *index)) return status;
  index.reset();
  if (const int32_t status = add_crl_extensions(crl.get(), ca.get(), cfg, crl_number))
    return status;
  if (!X509_CRL_set_version(crl.get(), kCrlVersion2)) return TESSEL_CRL_CREATE_FAILED;
  const EVP_MD* md = default_digest(pkey.get());
  if (md == nullptr || X509_CRL_sign(crl.get(), pkey.get(), md) <= 0) return TESSEL_CRL_SIGN_FAILED;
  return encode_crl(crl.get(), form, rec);
}

}  // namespace
}  // namespace tessel

extern "C" {

TESSEL_API CRYPTOCASE* CreateCRL(const unsigned char* key, int32_t key_len, const char* password,
                                 const unsigned char* ca_cert, int32_t ca_cert_len,
                                 const unsigned char* config, int32_t config_len,
                                 const unsigned char* index_db, int32_t index_db_len,
                                 int32_t crl_number, int32_t form) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  rec->status = tessel::create_crl(rec, key, key_len, password, ca_cert, ca_cert_len, config,
                                   config_len, index_db, index_db_len, crl_number, form);
  return rec;
}

TESSEL_API CRYPTOCASE* ConvertCRL(int32_t form, const unsigned char* crl, int32_t crl_len) {
  tessel::ensure_registered();
  CRYPTOCASE* rec = tessel::new_record();
  if (rec == nullptr) return nullptr;
  const tessel::CrlPtr loaded(tessel::load_crl(crl, crl_len));
  rec->status = loaded ? tessel::encode_crl(loaded.get(), form, rec) : TESSEL_BAD_CRL;
  return rec;
}

}  // extern "C"
