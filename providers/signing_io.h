#pragma once
// The two ends every signing routine shares: the request body decoded from
// base64, and the signature put into the router's output area as base64.

#include <cstdint>
#include <optional>
#include <vector>

namespace providers {

// The data to sign; none when the body is not base64 text (a length that is
// not a multiple of 4, a character outside the alphabet, "=" before the end).
std::optional<std::vector<unsigned char>> DecodeBody(const char* body, uint32_t body_length);

// The most signature bytes whose base64 text fits an output area of this
// capacity with the terminator the router adds: 6,141 for 8,192.
uint32_t SignatureCapacity(uint32_t output_capacity);

// Writes the base64 text of the signature over the output area and its length
// into *length (capacity on entry); false, with nothing written, when it does
// not fit.
bool PutSignature(const unsigned char* signature, uint32_t size, char* output, uint32_t* length);

}  // namespace providers
