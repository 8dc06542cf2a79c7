// Seeds of the certificate, CRL, request, bundle, index database, CA
// configuration and revocation info targets.
#include <string>

#include "seed_corpus.h"
#include "selectors.h"

namespace seeds {
namespace {

std::string der(const std::string& pem) {
  return data_of(ConvertCertificate(TESSEL_FORM_DER, u8(pem), len(pem)), "ConvertCertificate");
}

// Rows other tools write: leading zeros, every reason with its argument, an
// expired row, a comment line, an empty subject.
constexpr char kHandWrittenIndex[] =
    "# rows as other CA tools write them\n"
    "V\t491231235959Z\t\t0A\tunknown\t/C=BY/CN=zero padded\n"
    "R\t491231235959Z\t230101000000Z,holdInstruction,1.2.840.10040.2.2\t0B\tunknown\t/CN=held\n"
    "R\t491231235959Z\t230101000000Z,keyTime,20221231000000Z\t0C\tunknown\t/CN=key time\n"
    "R\t491231235959Z\t230101000000Z,CAkeyTime,20221231000000Z\t0D\tunknown\t/CN=ca key time\n"
    "R\t491231235959Z\t230101000000Z,removeFromCRL\t0E\tunknown\t/CN=removed\n"
    "R\t491231235959Z\t230101000000Z\t0F\tunknown\t/CN=no reason\n"
    "E\t200101000000Z\t\t10\tunknown\t/CN=expired\n"
    "V\t491231235959Z\t\t11\tunknown\t11\n";

}  // namespace

void ca_seeds(const Authority& a, std::vector<Seed>& out) {
  using fuzz::BundleEntry;
  using fuzz::CertificateEntry;
  using fuzz::ConfigEntry;
  using fuzz::CrlEntry;
  using fuzz::IndexEntry;
  using fuzz::RequestEntry;

  const std::string leaf_der = der(a.leaf_cert);
  for (unsigned e = 0; e < sel(CertificateEntry::kCount); ++e) {
    out.push_back({"certificate", "ca-" + std::to_string(e), e, a.ca_cert});
    out.push_back({"certificate", "leaf-der-" + std::to_string(e), e, leaf_der});
  }

  const std::string crl_der =
      data_of(ConvertCRL(TESSEL_FORM_DER, u8(a.crl), len(a.crl)), "ConvertCRL");
  for (unsigned e = 0; e < sel(CrlEntry::kCount); ++e) {
    out.push_back({"crl", "pem-" + std::to_string(e), e, a.crl});
    out.push_back({"crl", "der-" + std::to_string(e), e, crl_der});
  }

  const std::string leaf_req_der = make_request(a.leaf.key, "fuzz leaf", TESSEL_FORM_DER);
  const std::string extended = make_request(
      a.ca.key, "fuzz extended", TESSEL_FORM_PEM,
      "signing_time = yes\n[request_extensions]\nbasicConstraints = critical, CA:TRUE\n"
      "keyUsage = keyCertSign\nsubjectAltName = IP:127.0.0.1, URI:https://example.org/\n");
  for (unsigned e = 0; e < sel(RequestEntry::kCount); ++e) {
    out.push_back({"request", "leaf-" + std::to_string(e), e, a.leaf_request});
    out.push_back({"request", "leaf-der-" + std::to_string(e), e, leaf_req_der});
    out.push_back({"request", "extended-" + std::to_string(e), e, extended});
  }

  const std::string full = data_of(
      [&] {
        CRYPTOCASE* rec = CreateP7B_Init();
        rec = CreateP7B_AddCert(rec, u8(a.ca_cert), len(a.ca_cert));
        rec = CreateP7B_AddCert(rec, u8(a.leaf_cert), len(a.leaf_cert));
        rec = CreateP7B_AddCRL(rec, u8(a.crl), len(a.crl));
        return CreateP7B(rec, TESSEL_FORM_DER);
      }(),
      "CreateP7B");
  for (unsigned e = 0; e < sel(BundleEntry::kCount); ++e) {
    out.push_back({"bundle", "ca-crl-" + std::to_string(e), e, a.bundle});
    out.push_back({"bundle", "ca-only-" + std::to_string(e), e, a.bundle_no_crl});
    out.push_back({"bundle", "full-der-" + std::to_string(e), e, full});
  }

  for (unsigned e = 0; e < sel(IndexEntry::kCount); ++e) {
    out.push_back({"index_db", "valid-" + std::to_string(e), e, a.index});
    out.push_back({"index_db", "revoked-" + std::to_string(e), e, a.index_revoked});
  }
  out.push_back({"index_db", "other-tools-walk", sel(IndexEntry::kWalk), kHandWrittenIndex});
  out.push_back({"index_db", "other-tools-crl", sel(IndexEntry::kCreateCrl), kHandWrittenIndex});

  const std::string policy_match =
      "[certificate]\npolicy = strict\nunique_subject = yes\ndefault_days = 30\n"
      "default_startdate = 20240101000000Z\nrand_serial = yes\ncopy_extensions = copy\n"
      "[strict]\ncountryName = match\norganizationName = match\ncommonName = supplied\n"
      "emailAddress = optional\n";
  const std::string crl_hours =
      "[certificate]\ndefault_crl_hours = 12\ndefault_crl_seconds = 30\nunique_subject = no\n"
      "crl_extensions = ext\n[ext]\nissuerAltName = issuer:copy\n";
  for (unsigned e = 0; e < sel(ConfigEntry::kCount); ++e) {
    out.push_back({"ca_config", "issue-" + std::to_string(e), e, a.issue_config});
    out.push_back({"ca_config", "crl-" + std::to_string(e), e, a.crl_config});
    out.push_back({"ca_config", "strict-" + std::to_string(e), e, policy_match});
    out.push_back({"ca_config", "hours-" + std::to_string(e), e, crl_hours});
  }

  const char* const infos[] = {"230101000000Z",
                               "230101000000Z,keyCompromise",
                               "230101000000Z,certificateHold",
                               "230101000000Z,holdInstruction,1.2.840.10040.2.2",
                               "230101000000Z,keyTime,20221231000000Z",
                               "230101000000Z,CAkeyTime,20221231235959Z"};
  int n = 0;
  for (const char* info : infos)
    out.push_back({"revocation_info", "info-" + std::to_string(n++), 0, info, true});
}

}  // namespace seeds
