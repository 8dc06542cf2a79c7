// Policy rules: which fields of the request's subject reach the certificate.
#include <openssl/objects.h>

#include <cstring>

#include "libtessel/internal/ca.h"

namespace tessel {
namespace {

enum class Rule { kOptional, kSupplied, kMatch, kUnknown };

Rule rule_of(const char* text) {
  if (std::strcmp(text, "optional") == 0) return Rule::kOptional;
  if (std::strcmp(text, "supplied") == 0) return Rule::kSupplied;
  if (std::strcmp(text, "match") == 0) return Rule::kMatch;
  return Rule::kUnknown;
}

// The issuer's entry of this field that equals value in string type and
// bytes, or null.
const X509_NAME_ENTRY* matching_entry(const X509_NAME* issuer, int nid, const ASN1_STRING* value) {
  for (int i = X509_NAME_get_index_by_NID(issuer, nid, -1); i >= 0;
       i = X509_NAME_get_index_by_NID(issuer, nid, i)) {
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(issuer, i);
    if (ASN1_STRING_cmp(X509_NAME_ENTRY_get_data(entry), value) == 0) return entry;
  }
  return nullptr;
}

int32_t apply_rule(Rule rule, int nid, const X509_NAME* requested, const X509_NAME* issuer,
                   X509_NAME* subject) {
  int found = 0;
  for (int i = X509_NAME_get_index_by_NID(requested, nid, -1); i >= 0;
       i = X509_NAME_get_index_by_NID(requested, nid, i)) {
    ++found;
    const X509_NAME_ENTRY* entry = X509_NAME_get_entry(requested, i);
    if (rule == Rule::kMatch) {
      entry = matching_entry(issuer, nid, X509_NAME_ENTRY_get_data(entry));
      if (entry == nullptr) return TESSEL_POLICY_MISMATCH;
    }
    if (!X509_NAME_add_entry(subject, entry, -1, 0)) return TESSEL_NAME_FAILED;
  }
  if (found == 0 && rule != Rule::kOptional) return TESSEL_POLICY_MISMATCH;
  return TESSEL_OK;
}

}  // namespace

int32_t apply_policy(CONF* conf, const char* policy, const X509_NAME* requested,
                     const X509_NAME* issuer, X509_NAME* subject) {
  if (policy == nullptr) return TESSEL_OK;  // no policy: an empty subject
  STACK_OF(CONF_VALUE)* lines = NCONF_get_section(conf, policy);
  if (lines == nullptr) return TESSEL_NO_POLICY;
  for (int i = 0; i < sk_CONF_VALUE_num(lines); ++i) {
    const CONF_VALUE* line = sk_CONF_VALUE_value(lines, i);
    const int nid = OBJ_txt2nid(line->name);
    if (nid == NID_undef) return TESSEL_POLICY_UNKNOWN_FIELD;
    const Rule rule = rule_of(line->value);
    if (rule == Rule::kUnknown) return TESSEL_POLICY_MISMATCH;
    if (const int32_t status = apply_rule(rule, nid, requested, issuer, subject)) return status;
  }
  return TESSEL_OK;
}

}  // namespace tessel
