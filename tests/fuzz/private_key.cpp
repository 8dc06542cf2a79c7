// PKCS#8 PEM private keys, plain and password-protected: the loader behind
// every export that takes a private key, and what is done with the key.
#include "fuzz_support.h"
#include "selectors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  using fuzz::PrivateKeyEntry;
  const fuzz::Input in = fuzz::split_input(data, size);
  const unsigned char* key = fuzz::bytes(in.payload);
  const int32_t key_len = fuzz::length(in.payload);
  fuzz::Case result;
  switch (fuzz::entry<PrivateKeyEntry>(in.selector)) {
    case PrivateKeyEntry::kGetPrivate:
      result.reset(GetPrivateKey(key, key_len, fuzz::kPassword));
      break;
    case PrivateKeyEntry::kGetPrivateNoPassword:
      result.reset(GetPrivateKey(key, key_len, nullptr));
      break;
    case PrivateKeyEntry::kUnprotect:
      result.reset(KeyUnprotect(key, key_len, fuzz::kPassword));
      break;
    case PrivateKeyEntry::kSign:
      result.reset(CreateSign(fuzz::bytes(fuzz::kContent), fuzz::length(fuzz::kContent), key,
                              key_len, fuzz::kPassword));
      break;
    case PrivateKeyEntry::kCount:
      break;
  }
  return 0;
}
