// Public keys as the library takes them (PEM public key, key blob,
// certificate or request): read back, verifying a detached signature with
// one, and wrapping a key for one.
#include "fuzz_support.h"
#include "selectors.h"

namespace {

constexpr unsigned char kWrappedKey[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                           12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                                           23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  using fuzz::PublicKeyEntry;
  const fuzz::Input in = fuzz::split_input(data, size);
  fuzz::Case result;
  switch (fuzz::entry<PublicKeyEntry>(in.selector)) {
    case PublicKeyEntry::kGetPublic:
      result.reset(GetPublicKey(fuzz::bytes(in.payload), fuzz::length(in.payload)));
      break;
    case PublicKeyEntry::kVerifySign: {
      // The key, then the signature of the fixed content.
      const auto parts = fuzz::split_parts(in.payload, 2);
      result.reset(VerifySign(fuzz::bytes(fuzz::kContent), fuzz::length(fuzz::kContent),
                              fuzz::bytes(parts[0]), fuzz::length(parts[0]), fuzz::bytes(parts[1]),
                              fuzz::length(parts[1])));
      break;
    }
    case PublicKeyEntry::kCreateToken:
      result.reset(CreateToken(kWrappedKey, sizeof kWrappedKey, fuzz::bytes(in.payload),
                               fuzz::length(in.payload), nullptr));
      break;
    case PublicKeyEntry::kCount:
      break;
  }
  return 0;
}
