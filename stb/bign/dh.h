// The Diffie-Hellman point of two bign keys: the first octets of
// x(dQ) || y(dQ). Not part of signing or key transport; both sides of a pair
// get the same octets.
#pragma once

#include <cstdint>
#include <span>

namespace stb::bign {

// shared receives 1 .. l/2 octets; q is validated.
bool dh(unsigned level, std::span<const std::uint8_t> d, std::span<const std::uint8_t> q,
        std::span<std::uint8_t> shared);

}  // namespace stb::bign
