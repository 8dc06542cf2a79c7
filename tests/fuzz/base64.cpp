// Base64 of the request bodies and signatures: decoding any text, and the
// round trips (bytes -> text -> bytes, and decoded text encoded again).
#include <string_view>

#include "fuzz_support.h"
#include "providers/text_conversions.h"

namespace {

std::string_view decoded_view(const providers::DecodedBytes& d) {
  return {reinterpret_cast<const char*>(d.bytes.data()), d.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto* text = reinterpret_cast<const char*>(data);
  const std::string_view input(text, size);

  const std::string encoded = providers::Base64Encode(data, size);
  if (encoded.size() != (size + 2) / 3 * 4) fuzz::fail("encoded length");
  const auto back = providers::Base64Decode(encoded.data(), encoded.size());
  if (!back || decoded_view(*back) != input) fuzz::fail("bytes -> text -> bytes");
  if (back->bytes.back() != 0) fuzz::fail("decoded bytes are not NUL-terminated");

  const auto decoded = providers::Base64Decode(text, size);
  if (!decoded) {
    if (size % 4 == 0) fuzz::fail("a text of whole groups refused");
    return 0;
  }
  const std::string again = providers::Base64Encode(decoded->bytes.data(), decoded->size());
  const auto twice = providers::Base64Decode(again.data(), again.size());
  if (!twice || decoded_view(*twice) != decoded_view(*decoded))
    fuzz::fail("decoded text does not survive a second round");
  return 0;
}
