// Issuing one certificate from a request into the index database.
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <climits>
#include <cstring>

#include "libtessel/internal/ca.h"
#include "libtessel/internal/loaders.h"

namespace tessel {
namespace {

constexpr int kSerialBits = 159;
constexpr int kSerialLineRoom = 1024;
constexpr long kX509Version3 = 2;

void free_extensions(STACK_OF(X509_EXTENSION) * list) {
  sk_X509_EXTENSION_pop_free(list, X509_EXTENSION_free);
}
using ExtListPtr = Owned<STACK_OF(X509_EXTENSION), free_extensions>;

int32_t set_validity(X509* cert, const IssueConfig& cfg) {
  // The start is the configured time or now; the end counts from now, not
  // from the start.
  ASN1_TIME* not_before = X509_getm_notBefore(cert);
  if (cfg.start == nullptr ? X509_gmtime_adj(not_before, 0) == nullptr
                           : ASN1_TIME_set_string_X509(not_before, cfg.start) != 1)
    return TESSEL_TIME_SET_FAILED;
  ASN1_TIME* not_after = X509_getm_notAfter(cert);
  if (cfg.end == nullptr) {
    if (cfg.days > INT_MAX ||
        X509_time_adj_ex(not_after, static_cast<int>(cfg.days), 0, nullptr) == nullptr)
      return TESSEL_TIME_SET_FAILED;
    return TESSEL_OK;
  }
  if (ASN1_TIME_set_string_X509(not_after, cfg.end) != 1) return TESSEL_TIME_SET_FAILED;
  int days = 0;
  int seconds = 0;
  if (!ASN1_TIME_diff(&days, &seconds, nullptr, not_after)) return TESSEL_BAD_DATE;
  return TESSEL_OK;
}

int32_t add_configured_extensions(X509* cert, const IssueInput& in) {
  const IssueConfig& cfg = in.config;
  if (cfg.extensions == nullptr) return TESSEL_OK;
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, in.ca != nullptr ? in.ca : cert, cert, in.request, nullptr, 0);
  X509V3_set_nconf(&ctx, cfg.conf.get());
  if (!X509V3_EXT_add_nconf(cfg.conf.get(), &ctx, cfg.extensions, cert))
    return TESSEL_CONFIG_EXTENSIONS_FAILED;
  return TESSEL_OK;
}

int32_t copy_request_extensions(X509* cert, const IssueInput& in) {
  if (in.config.copy == CopyMode::kNone) return TESSEL_OK;
  const ExtListPtr exts(X509_REQ_get_extensions(in.request));
  ERR_clear_error();  // a request without extensions is no error
  for (int i = 0; i < sk_X509_EXTENSION_num(exts.get()); ++i) {
    X509_EXTENSION* ext = sk_X509_EXTENSION_value(exts.get(), i);
    const ASN1_OBJECT* type = X509_EXTENSION_get_object(ext);
    int at = X509_get_ext_by_OBJ(cert, type, -1);
    if (at != -1) {
      if (in.config.copy == CopyMode::kCopy) continue;
      for (; at != -1; at = X509_get_ext_by_OBJ(cert, type, -1))
        X509_EXTENSION_free(X509_delete_ext(cert, at));
    }
    if (!X509_add_ext(cert, ext, -1)) return TESSEL_COPY_EXTENSIONS_FAILED;
  }
  return TESSEL_OK;
}

// The row of the new certificate, complete but for status and expiry.
struct NewRow {
  StrPtr serial;
  StrPtr subject;
};

int32_t check_index(const IssueInput& in, const X509_NAME* subject, NewRow& row) {
  row.serial = serial_text(in.serial);
  if (!row.serial) return TESSEL_INDEX_ROW_FAILED;
  row.subject = subject_text(subject, row.serial.get());
  if (!row.subject) return TESSEL_INDEX_ROW_FAILED;
  if (index_find_subject(in.index, row.subject.get()) != nullptr) return TESSEL_SUBJECT_EXISTS;
  if (index_find_serial(in.index, row.serial.get()) != nullptr) return TESSEL_SERIAL_EXISTS;
  return TESSEL_OK;
}

int32_t insert_row(INDEX_DB& index, NewRow& made, const ASN1_TIME* not_after) {
  auto** row = static_cast<char**>(OPENSSL_zalloc(sizeof(char*) * (kIndexColumns + 1)));
  if (row == nullptr) return TESSEL_INDEX_ROW_FAILED;
  const int expiry_len = ASN1_STRING_length(not_after);
  row[kColStatus] = OPENSSL_strdup("V");
  row[kColExpiry] = OPENSSL_strndup(reinterpret_cast<const char*>(ASN1_STRING_get0_data(not_after)),
                                    static_cast<std::size_t>(expiry_len));
  row[kColRevocation] = OPENSSL_strdup("");
  row[kColSerial] = made.serial.release();
  row[kColFile] = OPENSSL_strdup("unknown");
  row[kColSubject] = made.subject.release();
  for (int i = 0; i < kIndexColumns; ++i) {
    if (row[i] == nullptr) {
      for (int j = 0; j < kIndexColumns; ++j) OPENSSL_free(row[j]);
      OPENSSL_free(row);
      return TESSEL_INDEX_ROW_FAILED;
    }
  }
  return index_insert(index, row) ? TESSEL_OK : TESSEL_INDEX_ROW_FAILED;
}

}  // namespace

Asn1IntPtr random_serial() {
  const BnPtr bn(BN_new());
  if (!bn || !BN_rand(bn.get(), kSerialBits, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY)) return nullptr;
  return Asn1IntPtr(BN_to_ASN1_INTEGER(bn.get(), nullptr));
}

Asn1IntPtr parse_serial(const char* text) {
  const std::size_t n = std::strlen(text);
  if (n == 0 || n > INT_MAX) return nullptr;
  BioPtr bio(BIO_new(BIO_s_mem()));
  Asn1IntPtr serial(ASN1_INTEGER_new());
  char line[kSerialLineRoom];
  if (!bio || !serial || BIO_write(bio.get(), text, static_cast<int>(n)) != static_cast<int>(n) ||
      !a2i_ASN1_INTEGER(bio.get(), serial.get(), line, sizeof line)) {
    ERR_clear_error();
    return nullptr;
  }
  return serial;
}

int32_t issue_certificate(const IssueInput& in, X509Ptr& out) {
  const X509_NAME* requested = X509_REQ_get_subject_name(in.request);
  if (const int32_t status = check_string_types(requested)) return status;
  const NamePtr subject(X509_NAME_new());
  const NamePtr issuer_name(
      X509_NAME_dup(in.ca != nullptr ? X509_get_subject_name(in.ca) : requested));
  if (!subject || !issuer_name) return TESSEL_NAME_FAILED;
  if (const int32_t status = apply_policy(in.config.conf.get(), in.config.policy, requested,
                                          issuer_name.get(), subject.get()))
    return status;

  X509Ptr cert(X509_new());
  if (!cert) return TESSEL_CERT_CREATE_FAILED;
  if (!X509_set_serialNumber(cert.get(), const_cast<ASN1_INTEGER*>(in.serial)))
    return TESSEL_SERIAL_SET_FAILED;
  if (!X509_set_issuer_name(cert.get(),
                            in.ca != nullptr ? X509_get_subject_name(in.ca) : subject.get()))
    return TESSEL_ISSUER_SET_FAILED;
  if (const int32_t status = set_validity(cert.get(), in.config)) return status;
  if (!X509_set_subject_name(cert.get(), subject.get())) return TESSEL_SUBJECT_SET_FAILED;
  EVP_PKEY* pub = X509_REQ_get0_pubkey(in.request);
  if (pub == nullptr || !X509_set_pubkey(cert.get(), pub)) return TESSEL_PUBLIC_KEY_SET_FAILED;
  if (const int32_t status = add_configured_extensions(cert.get(), in)) return status;
  if (const int32_t status = copy_request_extensions(cert.get(), in)) return status;
  if (X509_get_ext_count(cert.get()) > 0 && !X509_set_version(cert.get(), kX509Version3))
    return TESSEL_VERSION_SET_FAILED;

  NewRow row;
  if (const int32_t status = check_index(in, subject.get(), row)) return status;
  EVP_PKEY* cert_key = X509_get0_pubkey(cert.get());
  if (cert_key != nullptr && EVP_PKEY_missing_parameters(cert_key) &&
      !EVP_PKEY_missing_parameters(in.key))
    EVP_PKEY_copy_parameters(cert_key, in.key);
  const EVP_MD* md = default_digest(in.key);
  if (md == nullptr || X509_sign(cert.get(), in.key, md) <= 0) return TESSEL_CERT_SIGN_FAILED;
  if (const int32_t status = insert_row(in.index, row, X509_get0_notAfter(cert.get())))
    return status;
  out = std::move(cert);
  return TESSEL_OK;
}

}  // namespace tessel
