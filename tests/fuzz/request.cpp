// Certificate requests (PEM, DER): the self-signature check, the subject and
// key read back, and issuing under the fixed CA, once through the export
// (which needs a valid self-signature) and once straight through the issuing
// step, so that altered requests reach the policy and extension code too.
#include "fixed_authority.h"
#include "fuzz_support.h"
#include "libtessel/internal/loaders.h"
#include "selectors.h"

namespace {

void issue_unchecked(std::string_view request) {
  const tessel::ReqPtr req(tessel::load_request(fuzz::bytes(request), fuzz::length(request)));
  if (req) static_cast<void>(fuzz::issue_unchecked(req.get(), fuzz::fixed_authority().config));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
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
