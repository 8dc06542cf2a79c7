// VerifySignP7S on CMS signed data (PEM, DER, S/MIME), with and without the
// detached content and the signer's certificate.
#include "fuzz_support.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  const fuzz::Input in = fuzz::split_input(data, size);
  const auto entry = static_cast<unsigned>(fuzz::entry<fuzz::VerifyP7sEntry>(in.selector));
  const bool detached = (entry & 1U) != 0;
  const bool with_cert = (entry & 2U) != 0;
  const std::string& cert = fuzz::fixture("ca.crt");
  const fuzz::Case result(VerifySignP7S(
      fuzz::bytes(in.payload), fuzz::length(in.payload),
      detached ? fuzz::bytes(fuzz::kContent) : nullptr, detached ? fuzz::length(fuzz::kContent) : 0,
      with_cert ? fuzz::bytes(cert) : nullptr, with_cert ? fuzz::length(cert) : 0));
  // Whatever verifies hands back content; with detached content it is that
  // content.
  if (result && result->status == TESSEL_OK && detached &&
      fuzz::view(result->data, result->data_len) != fuzz::kContent)
    fuzz::fail("verified detached content differs from the content given");
  return 0;
}
