// The configuration section "certificate": what issuing, revocation and the
// CRL read from the caller's configuration text.
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <cstring>

#include "libtessel/internal/ca.h"
#include "libtessel/internal/loaders.h"

namespace tessel {
namespace {

// A key of the section (or of the lines before the first section); an absent
// one leaves no complaint behind.
const char* get_key(const CONF* conf, const char* name) {
  const char* value = NCONF_get_string(conf, kCaSection, name);
  if (value == nullptr) ERR_clear_error();
  return value;
}

// Decimal digits up to the first other character; absent is 0.
long get_number(const CONF* conf, const char* name) {
  long value = 0;
  if (!NCONF_get_number_e(conf, kCaSection, name, &value)) value = 0;
  return value;
}

bool valid_time(const char* text) {
  return ASN1_TIME_set_string_X509(nullptr, text) == 1;
}

int32_t read_copy_mode(const CONF* conf, CopyMode& mode) {
  const char* value = get_key(conf, "copy_extensions");
  if (value == nullptr) {
    mode = CopyMode::kNone;
  } else if (std::strcmp(value, "none") == 0) {
    mode = CopyMode::kNone;
  } else if (std::strcmp(value, "copy") == 0) {
    mode = CopyMode::kCopy;
  } else if (std::strcmp(value, "copyall") == 0) {
    mode = CopyMode::kCopyAll;
  } else {
    return TESSEL_BAD_COPY_EXTENSIONS;
  }
  return TESSEL_OK;
}

ConfPtr load(const unsigned char* p, int32_t len) {
  return ConfPtr(load_config(p, len));
}

}  // namespace

int unique_subject_of(const CONF* conf) {
  const char* value = get_key(conf, "unique_subject");
  if (value == nullptr) return 1;
  return std::strchr("0FNfn", value[0]) != nullptr && value[0] != '\0' ? 0 : 1;
}

int32_t read_issue_config(const unsigned char* p, int32_t len, IssueConfig& out) {
  if (p == nullptr) return TESSEL_OK;  // the defaults of IssueConfig
  out.conf = load(p, len);
  if (!out.conf) return TESSEL_BAD_CONFIG;
  const CONF* conf = out.conf.get();
  out.unique_subject = unique_subject_of(conf);
  if (const int32_t status = read_copy_mode(conf, out.copy)) return status;
  out.policy = get_key(conf, "policy");
  if (out.policy != nullptr && NCONF_get_section(conf, out.policy) == nullptr)
    return TESSEL_NO_POLICY;
  out.extensions = get_key(conf, "x509_extensions");
  if (get_key(conf, "rand_serial") != nullptr) {
    out.rand_serial = random_serial();
    if (!out.rand_serial) return TESSEL_SERIAL_RANDOM_FAILED;
  }
  // Only an absent key means "now": the word "today" is no time.
  out.start = get_key(conf, "default_startdate");
  if (out.start != nullptr && !valid_time(out.start)) return TESSEL_BAD_DATE;
  out.end = get_key(conf, "default_enddate");
  if (out.end != nullptr && !valid_time(out.end)) return TESSEL_BAD_DATE;
  out.days = get_number(conf, "default_days");
  ERR_clear_error();
  if (out.days <= 0) out.days = 730;
  return TESSEL_OK;
}

int32_t read_unique_subject(const unsigned char* p, int32_t len, int& unique_subject) {
  unique_subject = 1;
  if (p == nullptr) return TESSEL_OK;
  const ConfPtr conf = load(p, len);
  if (!conf) return TESSEL_BAD_CONFIG;
  unique_subject = unique_subject_of(conf.get());
  return TESSEL_OK;
}

int32_t read_crl_config(const unsigned char* p, int32_t len, CrlConfig& out) {
  if (p == nullptr) return TESSEL_OK;
  out.conf = load(p, len);
  if (!out.conf) return TESSEL_BAD_CONFIG;
  CONF* conf = out.conf.get();
  out.unique_subject = unique_subject_of(conf);
  out.days = get_number(conf, "default_crl_days");
  out.hours = get_number(conf, "default_crl_hours");
  out.seconds = get_number(conf, "default_crl_seconds");
  ERR_clear_error();
  if (out.days == 0 && out.hours == 0 && out.seconds == 0) out.days = 30;
  out.extensions = get_key(conf, "crl_extensions");
  if (out.extensions != nullptr) {
    // A dry run now, so that a broken section fails before any signing.
    X509V3_CTX ctx;
    X509V3_set_ctx_test(&ctx);
    X509V3_set_nconf(&ctx, conf);
    if (!X509V3_EXT_add_nconf(conf, &ctx, out.extensions, nullptr))
      return TESSEL_CONFIG_EXTENSIONS_FAILED;
  }
  return TESSEL_OK;
}

int32_t check_string_types(const X509_NAME* subject) {
  for (int i = 0; i < X509_NAME_entry_count(subject); ++i) {
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(subject, i);
    const ASN1_STRING* value = X509_NAME_ENTRY_get_data(entry);
    const int type = ASN1_STRING_type(value);
    if (OBJ_obj2nid(X509_NAME_ENTRY_get_object(entry)) == NID_pkcs9_emailAddress &&
        type != V_ASN1_IA5STRING)
      return TESSEL_BAD_STRING_TYPE;
    if (type == V_ASN1_BMPSTRING || type == V_ASN1_UTF8STRING) continue;
    const int needed = ASN1_PRINTABLE_type(ASN1_STRING_get0_data(value), ASN1_STRING_length(value));
    if (needed == V_ASN1_T61STRING && type != V_ASN1_T61STRING) return TESSEL_BAD_STRING_TYPE;
    if (needed == V_ASN1_IA5STRING && type == V_ASN1_PRINTABLESTRING) return TESSEL_BAD_STRING_TYPE;
  }
  return TESSEL_OK;
}

}  // namespace tessel
