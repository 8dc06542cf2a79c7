// CRLs (PEM, DER): re-encoding, the fixed leaf certificate checked against
// the CRL under the fixed CA, and bundling.
#include "fuzz_support.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  using fuzz::CrlEntry;
  const fuzz::Input in = fuzz::split_input(data, size);
  const unsigned char* crl = fuzz::bytes(in.payload);
  const int32_t crl_len = fuzz::length(in.payload);
  fuzz::Case result;
  switch (fuzz::entry<CrlEntry>(in.selector)) {
    case CrlEntry::kToPem:
      fuzz::check_conversion(ConvertCRL, TESSEL_FORM_PEM, in.payload);
      break;
    case CrlEntry::kToDer:
      fuzz::check_conversion(ConvertCRL, TESSEL_FORM_DER, in.payload);
      break;
    case CrlEntry::kVerifyLeaf: {
      const std::string& bundle = fuzz::fixture("ca-nocrl.p7b");
      const std::string& leaf = fuzz::fixture("leaf.crt");
      result.reset(VerifyCertificate(fuzz::bytes(bundle), fuzz::length(bundle), fuzz::bytes(leaf),
                                     fuzz::length(leaf), crl, crl_len));
      break;
    }
    case CrlEntry::kBundle:
      result.reset(CreateP7B_AddCRL(CreateP7B_Init(), crl, crl_len));
      if (result && result->status == TESSEL_OK) CreateP7B(result.get(), TESSEL_FORM_DER);
      break;
    case CrlEntry::kCount:
      break;
  }
  return 0;
}
