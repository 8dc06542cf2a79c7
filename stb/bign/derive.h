// Scalars and key pairs from given octets. The rule is rejection sampling:
// the first l/4-octet piece of the source (offsets 0, l/4, 2l/4, ...; a short
// tail is ignored) that lies in 1..q-1, read little-endian, is the result.
// So exactly l/4 given octets are the key itself when they are in range, and
// the same rule picks a one-time key out of given random octets.
#pragma once

#include <cstdint>
#include <span>

namespace stb::bign {

// out (l/4 octets) = the first usable piece of src; false when none is.
bool scalar_from_octets(unsigned level, std::span<const std::uint8_t> src,
                        std::span<std::uint8_t> out);

// d from src by the rule above, then Q = d G.
bool keypair_from_octets(unsigned level, std::span<const std::uint8_t> src,
                         std::span<std::uint8_t> d, std::span<std::uint8_t> q_out);

}  // namespace stb::bign
