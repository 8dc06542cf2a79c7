// DecryptP7S on CMS enveloped data (PEM, DER, S/MIME) with one of the two
// fixed bign keys, so that well-formed envelopes for them reach decryption.
#include "fuzz_support.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  const fuzz::Input in = fuzz::split_input(data, size);
  const std::string& key = fuzz::fixture(
      fuzz::entry<fuzz::KeyChoice>(in.selector) == fuzz::KeyChoice::kLevel128 ? "ca.key"
                                                                              : "leaf.key");
  const fuzz::Case result(DecryptP7S(fuzz::bytes(in.payload), fuzz::length(in.payload),
                                     fuzz::bytes(key), fuzz::length(key), nullptr));
  return 0;
}
