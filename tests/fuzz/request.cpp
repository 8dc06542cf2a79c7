// Certificate requests (PEM, DER): the self-signature check, the subject and
// key read back, and issuing under the fixed CA, once through the export
// (which needs a valid self-signature) and once straight through the issuing
// step, so that altered requests reach the policy and extension code too.
#include "fuzz_support.h"
#include "libtessel/internal/ca.h"
#include "libtessel/internal/loaders.h"
#include "libtessel/tessel_stb.h"
#include "selectors.h"

namespace {

// The fixed CA and its configuration, loaded once.
struct Authority {
  tessel::PkeyPtr key;
  tessel::X509Ptr cert;
  tessel::IssueConfig config;
  tessel::Asn1IntPtr serial;

  Authority() {
    const std::string& key_pem = fuzz::fixture("ca.key");
    const std::string& cert_pem = fuzz::fixture("ca.crt");
    const std::string& cnf = fuzz::fixture("ca.cnf");
    tessel::ensure_registered();
    key.reset(tessel::load_private_key(fuzz::bytes(key_pem), fuzz::length(key_pem), nullptr));
    cert.reset(tessel::load_certificate(fuzz::bytes(cert_pem), fuzz::length(cert_pem)));
    serial = tessel::parse_serial("2A");
    if (!key || !cert || !serial ||
        tessel::read_issue_config(fuzz::bytes(cnf), fuzz::length(cnf), config) != TESSEL_OK)
      fuzz::fail("the CA fixtures do not load");
  }
};

void issue_unchecked(std::string_view request) {
  static const Authority ca;
  const tessel::ReqPtr req(tessel::load_request(fuzz::bytes(request), fuzz::length(request)));
  if (!req) return;
  const tessel::IndexDbPtr index = tessel::index_db_load(nullptr, 0, ca.config.unique_subject);
  if (!index) fuzz::fail("an empty index does not load");
  tessel::X509Ptr cert;
  const tessel::IssueInput in{ca.key.get(),    ca.cert.get(), req.get(),
                              ca.serial.get(), ca.config,     *index};
  static_cast<void>(tessel::issue_certificate(in, cert));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using fuzz::RequestEntry;
  const fuzz::Input in = fuzz::split_input(data, size);
  const unsigned char* req = fuzz::bytes(in.payload);
  const int32_t req_len = fuzz::length(in.payload);
  fuzz::Case result;
  switch (fuzz::entry<RequestEntry>(in.selector)) {
    case RequestEntry::kVerify:
      result.reset(VerifyRequest(req, req_len));
      break;
    case RequestEntry::kInfo:
      result.reset(GetRequestInfo(req, req_len));
      break;
    case RequestEntry::kIssueUnchecked:
      issue_unchecked(in.payload);
      break;
    case RequestEntry::kCreateCertificate: {
      const std::string& key = fuzz::fixture("ca.key");
      const std::string& ca = fuzz::fixture("ca.crt");
      const std::string& cnf = fuzz::fixture("ca.cnf");
      result.reset(CreateCertificate(req, req_len, fuzz::bytes(key), fuzz::length(key), nullptr,
                                     fuzz::bytes(ca), fuzz::length(ca), fuzz::bytes(cnf),
                                     fuzz::length(cnf), nullptr, 0, "2A", 0, TESSEL_FORM_DER));
      break;
    }
    case RequestEntry::kCount:
      break;
  }
  return 0;
}
