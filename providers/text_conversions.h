#pragma once
// Base64 for the request bodies and signatures, and the Latin form of a
// provider's display name for the reply's "tokenId".

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <QString>

namespace providers {

// Standard alphabet, "=" padding, no line breaks.
std::string Base64Encode(const unsigned char* bytes, std::size_t count);
// The decoded bytes followed by one NUL (not counted in the size of the
// result's first member); none when the length is not a multiple of 4.
struct DecodedBytes {
  std::vector<unsigned char> bytes;  // bytes.size() - 1 bytes of data, then the NUL
  std::size_t size() const { return bytes.empty() ? 0 : bytes.size() - 1; }
};
std::optional<DecodedBytes> Base64Decode(const char* text, std::size_t length);

// Characters outside the Russian alphabet and the space are dropped.
std::string Transliterate(const QString& name);

}  // namespace providers
