#include "providers/signing_io.h"

#include <algorithm>
#include <string>

#include "providers/text_conversions.h"

namespace providers {

std::optional<std::vector<unsigned char>> DecodeBody(const char* body, uint32_t body_length) {
  const auto in_alphabet = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '+' || c == '/';
  };
  uint32_t text_end = body_length;
  while (text_end > 0 && body_length - text_end < 2 && body[text_end - 1] == '=') --text_end;
  if (!std::all_of(body, body + text_end, in_alphabet)) return std::nullopt;
  auto decoded = Base64Decode(body, body_length);
  if (!decoded) return std::nullopt;
  decoded->bytes.pop_back();  // the NUL after the data
  return std::move(decoded->bytes);
}

uint32_t SignatureCapacity(uint32_t output_capacity) {
  return output_capacity == 0 ? 0 : (output_capacity - 1) / 4 * 3;
}

bool PutSignature(const unsigned char* signature, uint32_t size, char* output, uint32_t* length) {
  if (size > SignatureCapacity(*length)) return false;
  const std::string text = Base64Encode(signature, size);
  std::copy(text.begin(), text.end(), output);
  *length = static_cast<uint32_t>(text.size());
  return true;
}

}  // namespace providers
