// Symmetric decryption of any ciphertext with each belt mode: the one-shot
// export, and the streamed sequence split in two, which must agree.
#include <algorithm>
#include <iterator>
#include <string>

#include "fuzz_support.h"
#include "selectors.h"

namespace {

// The streamed decryption, or nothing when a step fails.
bool streamed(const char* name, const unsigned char* key, const unsigned char* iv,
              std::string_view first, std::string_view second, std::string& out) {
  fuzz::Case rec(Decrypt_Init(name, key, iv));
  for (const std::string_view piece : {first, second}) {
    if (!rec || rec->status != TESSEL_OK) return false;
    Decrypt_Update(rec.get(), fuzz::bytes(piece), fuzz::length(piece));
    if (rec->status == TESSEL_OK) out += fuzz::view(rec->data, rec->data_len);
  }
  if (rec->status != TESSEL_OK) return false;
  Decrypt_Final(rec.get());
  if (rec->status != TESSEL_OK) return false;
  out += fuzz::view(rec->data, rec->data_len);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const fuzz::ErrorQueueReset reset;
  const fuzz::Input in = fuzz::split_input(data, size);
  if (in.payload.size() < fuzz::kKeyBytes + fuzz::kIvBytes) return 0;
  const char* name = fuzz::kSymmetricCiphers[in.selector % std::size(fuzz::kSymmetricCiphers)];
  const unsigned char* key = fuzz::bytes(in.payload);
  const unsigned char* iv = key + fuzz::kKeyBytes;
  const std::string_view text = in.payload.substr(fuzz::kKeyBytes + fuzz::kIvBytes);

  const fuzz::Case whole(Decrypt(name, fuzz::bytes(text), fuzz::length(text), key, iv));
  // The split point comes from the selector's upper bits.
  const std::size_t split = std::min<std::size_t>(text.size(), in.selector >> 4);
  std::string pieces;
  const bool ok = streamed(name, key, iv, text.substr(0, split), text.substr(split), pieces);
  if (whole && whole->status == TESSEL_OK &&
      (!ok || pieces != fuzz::view(whole->data, whole->data_len)))
    fuzz::fail("streamed decryption differs from one-shot decryption");
  return 0;
}
