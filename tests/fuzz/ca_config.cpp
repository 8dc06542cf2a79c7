// The CA's configuration text (NCONF, section "certificate"): read for
// issuing and for CRLs, used to issue the fixed request under the fixed CA,
// and by CreateCRL.
#include "fixed_authority.h"
#include "fuzz_support.h"
#include "libtessel/internal/ca.h"
#include "libtessel/tessel_stb.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  using fuzz::ConfigEntry;
  tessel::ensure_registered();
  const fuzz::Input in = fuzz::split_input(data, size);
  const unsigned char* cnf = fuzz::bytes(in.payload);
  const int32_t cnf_len = fuzz::length(in.payload);
  const std::string& key = fuzz::fixture("ca.key");
  const std::string& ca = fuzz::fixture("ca.crt");
  fuzz::Case result;
  switch (fuzz::entry<ConfigEntry>(in.selector)) {
    case ConfigEntry::kIssueConfig: {
      tessel::IssueConfig config;
      static_cast<void>(tessel::read_issue_config(cnf, cnf_len, config));
      break;
    }
    case ConfigEntry::kCrlConfig: {
      tessel::CrlConfig config;
      static_cast<void>(tessel::read_crl_config(cnf, cnf_len, config));
      break;
    }
    case ConfigEntry::kIssue: {
      tessel::IssueConfig config;
      if (tessel::read_issue_config(cnf, cnf_len, config) == TESSEL_OK)
        static_cast<void>(
            fuzz::issue_unchecked(fuzz::fixed_authority().leaf_request.get(), config));
      break;
    }
    case ConfigEntry::kCreateCrl: {
      const std::string& index = fuzz::fixture("index-revoked.txt");
      result.reset(CreateCRL(fuzz::bytes(key), fuzz::length(key), nullptr, fuzz::bytes(ca),
                             fuzz::length(ca), cnf, cnf_len, fuzz::bytes(index),
                             fuzz::length(index), 1, TESSEL_FORM_DER));
      break;
    }
    case ConfigEntry::kCount:
      break;
  }
  return 0;
}
