// PKCS#7 certificate bundles (PEM, DER): re-encoding, and the fixed leaf
// certificate verified with the bundle as its trust anchors and CRLs.
#include "fuzz_support.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  using fuzz::BundleEntry;
  const fuzz::Input in = fuzz::split_input(data, size);
  switch (fuzz::entry<BundleEntry>(in.selector)) {
    case BundleEntry::kToPem:
      fuzz::check_conversion(ConvertP7B, TESSEL_FORM_PEM, in.payload);
      break;
    case BundleEntry::kToDer:
      fuzz::check_conversion(ConvertP7B, TESSEL_FORM_DER, in.payload);
      break;
    case BundleEntry::kVerifyLeaf: {
      const std::string& leaf = fuzz::fixture("leaf.crt");
      const fuzz::Case result(VerifyCertificate(fuzz::bytes(in.payload), fuzz::length(in.payload),
                                                fuzz::bytes(leaf), fuzz::length(leaf), nullptr, 0));
      break;
    }
    case BundleEntry::kCount:
      break;
  }
  return 0;
}
