// Pieces of the certificate-authority tests: requests with chosen subjects
// and extensions made through OpenSSL, a small CA around CreateCertificate,
// and readers for the index database, certificates and CRLs it returns.
#pragma once

#include <openssl/x509.h>

#include <string>
#include <utility>
#include <vector>

#include "tessel_support.h"

namespace catest {

using namespace tesseltest;

struct CrlFree {
  void operator()(X509_CRL* p) const { X509_CRL_free(p); }
};
using Crl = std::unique_ptr<X509_CRL, CrlFree>;

// One subject entry: field name, OpenSSL string type (V_ASN1_* sets that
// type as is; MBSTRING_UTF8 lets OpenSSL choose) and value.
struct NameEntry {
  std::string field;
  int type;
  std::string value;
};

// A PEM request for key with the subject entries and the extensions (by NID
// and OpenSSL configuration value), signed with key.
std::string request_pem(EVP_PKEY* key, const std::vector<NameEntry>& subject,
                        const std::vector<std::pair<int, std::string>>& extensions = {});

// The caller's side of a CA: its key and certificate, and the index
// database it keeps between calls.
struct Authority {
  Signer signer;  // key and certificate (self-signed, CN "tessel signer")
  std::string index;
};

// CreateCertificate with the authority's key and certificate.
Case issue(const Authority& ca, const std::string& request, const char* config, const char* serial,
           int32_t form = TESSEL_FORM_PEM);
// An empty configuration text stands for none.
inline Case issue(const Authority& ca, const std::string& request, const std::string& config,
                  const char* serial, int32_t form = TESSEL_FORM_PEM) {
  return issue(ca, request, config.empty() ? nullptr : config.c_str(), serial, form);
}

std::string index_of(const CRYPTOCASE* rec);
// Rows of an index database text, split at tabs.
std::vector<std::vector<std::string>> rows_of(const std::string& index);

// The certificate or CRL in data (PEM or DER), or null.
Cert cert_of(const CRYPTOCASE* rec);
Crl crl_of(const CRYPTOCASE* rec);

// The subject or issuer in one-line form.
std::string oneline(const X509_NAME* name);
// Seconds from now to an ASN.1 time (negative: in the past).
long seconds_from_now(const ASN1_TIME* t);
// Seconds between two ASN.1 times.
long seconds_between(const ASN1_TIME* from, const ASN1_TIME* to);

// got is want, give or take tolerance (times taken a moment apart).
inline ::testing::AssertionResult within(long got, long want, long tolerance) {
  if (got >= want - tolerance && got <= want + tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << got << " is not " << want << " +- " << tolerance;
}

// A configuration text: section "certificate" with the lines, then further
// text (extension and policy sections).
std::string config(const std::string& lines, const std::string& more = "");

}  // namespace catest
