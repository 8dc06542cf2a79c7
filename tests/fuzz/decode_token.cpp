// DecodeToken: a key token (after its 16-octet header) opened with one of
// the two fixed bign keys.
#include "fuzz_support.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  const fuzz::Input in = fuzz::split_input(data, size);
  if (in.payload.size() < fuzz::kHeaderBytes) return 0;
  const std::string_view header = in.payload.substr(0, fuzz::kHeaderBytes);
  const std::string_view token = in.payload.substr(fuzz::kHeaderBytes);
  const std::string& key = fuzz::fixture(
      fuzz::entry<fuzz::KeyChoice>(in.selector) == fuzz::KeyChoice::kLevel128 ? "ca.key"
                                                                              : "leaf.key");
  const fuzz::Case result(DecodeToken(fuzz::bytes(token), fuzz::length(token), fuzz::bytes(header),
                                      fuzz::bytes(key), fuzz::length(key), nullptr));
  return 0;
}
