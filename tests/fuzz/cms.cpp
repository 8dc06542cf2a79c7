// CMS structures (PEM, DER, S/MIME) through the loader and their
// re-encoding.
#include "fuzz_support.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  using fuzz::CmsEntry;
  const fuzz::Input in = fuzz::split_input(data, size);
  fuzz::check_conversion(
      ConvertP7S,
      fuzz::entry<CmsEntry>(in.selector) == CmsEntry::kToPem ? TESSEL_FORM_PEM : TESSEL_FORM_DER,
      in.payload);
  return 0;
}
