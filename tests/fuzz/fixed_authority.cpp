#include "fixed_authority.h"

#include "fuzz_support.h"
#include "libtessel/internal/loaders.h"
#include "libtessel/tessel_stb.h"

namespace fuzz {
namespace {

FixedAuthority load() {
  tessel::ensure_registered();
  FixedAuthority a;
  const std::string& key = fixture("ca.key");
  const std::string& cert = fixture("ca.crt");
  const std::string& request = fixture("leaf.req");
  const std::string& config = fixture("ca.cnf");
  a.key.reset(tessel::load_private_key(bytes(key), length(key), nullptr));
  a.cert.reset(tessel::load_certificate(bytes(cert), length(cert)));
  a.leaf_request.reset(tessel::load_request(bytes(request), length(request)));
  a.serial = tessel::parse_serial("2A");
  if (!a.key || !a.cert || !a.leaf_request || !a.serial ||
      tessel::read_issue_config(bytes(config), length(config), a.config) != TESSEL_OK)
    fail("the CA fixtures do not load");
  return a;
}

}  // namespace

const FixedAuthority& fixed_authority() {
  static const FixedAuthority a = load();
  return a;
}

int32_t issue_unchecked(X509_REQ* request, const tessel::IssueConfig& config,
                        tessel::INDEX_DB* index) {
  const FixedAuthority& ca = fixed_authority();
  tessel::IndexDbPtr empty;
  if (index == nullptr) {
    empty = tessel::index_db_load(nullptr, 0, config.unique_subject);
    if (!empty) fail("an empty index does not load");
    index = empty.get();
  }
  const tessel::Asn1IntPtr& serial = config.rand_serial ? config.rand_serial : ca.serial;
  tessel::X509Ptr cert;
  const tessel::IssueInput in{ca.key.get(), ca.cert.get(), request, serial.get(), config, *index};
  return tessel::issue_certificate(in, cert);
}

}  // namespace fuzz
