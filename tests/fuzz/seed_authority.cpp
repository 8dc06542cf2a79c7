#include "seed_authority.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace seeds {
namespace {

struct CaseFree {
  void operator()(CRYPTOCASE* p) const { CRYPTOCASE_free(p); }
};
using Case = std::unique_ptr<CRYPTOCASE, CaseFree>;

std::string text(const unsigned char* p, int32_t n) {
  return p == nullptr ? std::string()
                      : std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
}

const CRYPTOCASE* checked(const Case& rec, const char* step) {
  if (!rec || rec->status != TESSEL_OK) {
    std::fprintf(stderr, "%s failed: status %d\n", step, rec ? rec->status : -1);
    std::exit(1);
  }
  return rec.get();
}

// Certificates end before 2050 so that the index keeps UTCTime, and the CRL
// runs for some twenty years: the fixtures must stay valid while the corpus
// is in use.
constexpr char kEndDate[] = "default_enddate = 491231235959Z\n";
constexpr char kPolicy[] =
    "[policy_any]\ncountryName = optional\norganizationName = optional\n"
    "commonName = supplied\n";

// Issues the request under the CA into a.index; answers the PEM certificate.
std::string issue(Authority& a, const std::string& request, const char* serial) {
  const Case rec(CreateCertificate(u8(request), len(request), u8(a.ca.key), len(a.ca.key), nullptr,
                                   u8(a.ca_cert), len(a.ca_cert), u8(a.issue_config),
                                   len(a.issue_config), u8(a.index), len(a.index), serial, 0,
                                   TESSEL_FORM_PEM));
  const CRYPTOCASE* r = checked(rec, "CreateCertificate");
  a.index = text(r->index_db, r->index_db_len);
  return text(r->data, r->data_len);
}

void revoke(Authority& a, const std::string& cert, const char* reason) {
  const Case rec(RevokeCertificate(u8(cert), len(cert), u8(a.index), len(a.index), reason,
                                   u8(a.issue_config), len(a.issue_config)));
  const CRYPTOCASE* r = checked(rec, "RevokeCertificate");
  a.index = text(r->index_db, r->index_db_len);
}

std::string bundle(const std::vector<const std::string*>& certs, const std::string* crl,
                   int32_t form) {
  CRYPTOCASE* rec = CreateP7B_Init();
  for (const std::string* c : certs) rec = CreateP7B_AddCert(rec, u8(*c), len(*c));
  if (crl != nullptr) rec = CreateP7B_AddCRL(rec, u8(*crl), len(*crl));
  return data_of(CreateP7B(rec, form), "CreateP7B");
}

}  // namespace

std::string data_of(CRYPTOCASE* raw, const char* step) {
  const Case rec(raw);
  const CRYPTOCASE* r = checked(rec, step);
  return text(r->data, r->data_len);
}

KeyPair set_key(int level, unsigned char fill) {
  std::vector<unsigned char> octets(static_cast<std::size_t>(level / 4), fill);
  octets.back() = 1;  // little-endian: the top octet keeps the value below the order
  const Case rec(SetPrivateKey(level, nullptr, octets.data(), static_cast<int32_t>(octets.size())));
  const CRYPTOCASE* r = checked(rec, "SetPrivateKey");
  return {text(r->key, r->key_len), text(r->public_key, r->public_key_len)};
}

std::string make_request(const std::string& key, const char* common_name, int32_t form,
                         const std::string& config) {
  const std::string_view cn(common_name);
  CRYPTOCASE* rec = REQUEST_INFO_Init();
  rec = REQUEST_INFO_AddValue(rec, 6, u8("BY"), 2);
  rec = REQUEST_INFO_AddValue(rec, 10, u8("Fuzz Org"), 8);
  rec = REQUEST_INFO_AddValue(rec, 3, u8(cn), len(cn));
  rec = GenRequest(rec, u8(key), len(key), nullptr, config.empty() ? nullptr : u8(config),
                   len(config), form);
  return data_of(rec, "GenRequest");
}

Authority make_authority() {
  Authority a;
  a.ca = set_key(128, 0x11);
  a.leaf = set_key(256, 0x22);
  a.issue_config = std::string(
                       "[certificate]\ncopy_extensions = copyall\npolicy = policy_any\n"
                       "x509_extensions = leaf_ext\nunique_subject = no\n") +
                   kEndDate + kPolicy +
                   "[leaf_ext]\nbasicConstraints = CA:FALSE\n"
                   "keyUsage = digitalSignature, keyEncipherment\n"
                   "subjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid\n";
  a.crl_config =
      "[certificate]\ndefault_crl_days = 8000\ncrl_extensions = crl_ext\n"
      "[crl_ext]\nauthorityKeyIdentifier = keyid\n";
  const std::string self_config =
      std::string("[certificate]\nx509_extensions = ca_ext\npolicy = policy_any\n") + kEndDate +
      kPolicy +
      "[ca_ext]\nbasicConstraints = critical, CA:TRUE\n"
      "keyUsage = keyCertSign, cRLSign, digitalSignature, keyEncipherment\n"
      "subjectKeyIdentifier = hash\n";

  a.ca_request = make_request(a.ca.key, "fuzz CA", TESSEL_FORM_PEM);
  {
    const Case rec(CreateCertificate(u8(a.ca_request), len(a.ca_request), u8(a.ca.key),
                                     len(a.ca.key), nullptr, nullptr, 0, u8(self_config),
                                     len(self_config), nullptr, 0, "01", 1, TESSEL_FORM_PEM));
    const CRYPTOCASE* r = checked(rec, "CreateCertificate (CA)");
    a.ca_cert = text(r->data, r->data_len);
    a.index = text(r->index_db, r->index_db_len);
  }
  a.leaf_request = make_request(
      a.leaf.key, "fuzz leaf", TESSEL_FORM_PEM,
      "[request_extensions]\nsubjectAltName = DNS:leaf.example, email:leaf@example.org\n");
  a.leaf_cert = issue(a, a.leaf_request, "10");
  const std::string valid_index = a.index;
  // Three more certificates for the same key, revoked for different reasons.
  const std::pair<const char*, const char*> revoked[] = {
      {"11", "keyCompromise"}, {"12", "certificateHold"}, {"0013", "superseded"}};
  for (const auto& [serial, reason] : revoked) {
    const std::string cert = issue(a, make_request(a.leaf.key, reason, TESSEL_FORM_PEM), serial);
    revoke(a, cert, reason);
  }
  a.index_revoked = a.index;
  a.index = valid_index;
  a.crl = data_of(CreateCRL(u8(a.ca.key), len(a.ca.key), nullptr, u8(a.ca_cert), len(a.ca_cert),
                            u8(a.crl_config), len(a.crl_config), u8(a.index_revoked),
                            len(a.index_revoked), 1, TESSEL_FORM_PEM),
                  "CreateCRL");
  a.bundle = bundle({&a.ca_cert}, &a.crl, TESSEL_FORM_PEM);
  a.bundle_no_crl = bundle({&a.ca_cert}, nullptr, TESSEL_FORM_PEM);
  return a;
}

}  // namespace seeds
