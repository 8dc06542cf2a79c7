// The fixed CA of the fixtures, loaded once, and issuing under it straight
// through the library's issuing step: no request signature check and no key
// loading per input, so that the fuzzer spends its time on the input.
#pragma once

#include "libtessel/internal/ca.h"
#include "libtessel/internal/ossl.h"

namespace fuzz {

struct FixedAuthority {
  tessel::PkeyPtr key;
  tessel::X509Ptr cert;
  tessel::ReqPtr leaf_request;
  tessel::IssueConfig config;  // fixtures/ca.cnf
  tessel::Asn1IntPtr serial;
};
const FixedAuthority& fixed_authority();

// Issues the request under the fixed CA with the configuration into the
// index (a fresh empty one when null); answers the status.
int32_t issue_unchecked(X509_REQ* request, const tessel::IssueConfig& config,
                        tessel::INDEX_DB* index = nullptr);

}  // namespace fuzz
