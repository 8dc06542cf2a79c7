// Arithmetic modulo the group order q on l/4-octet little-endian scalars, in
// constant time: private keys and one-time keys pass through here. Internal
// to bign; callers have checked the level and the lengths.
#pragma once

#include <cstdint>

namespace stb::bign::detail {

// 0 < k < q, decided without branching on k.
bool scalar_in_range(unsigned level, const std::uint8_t* k);

// s < q, for public values such as the s1 of a signature under check.
bool scalar_below_q(unsigned level, const std::uint8_t* s);

// s1 = (k - H - (s0 + 2^l) d) mod q: the second half of a signature.
// s0 has l/8 octets; k, H, d and s1 have l/4.
void signature_s1(unsigned level, const std::uint8_t* k, const std::uint8_t* h,
                  const std::uint8_t* s0, const std::uint8_t* d, std::uint8_t* s1);

// k = (s1 + H + (s0 + 2^l) d) mod q: the one-time key behind a signature,
// the inverse of signature_s1 (used by tests to cross-check).
void signature_k(unsigned level, const std::uint8_t* s1, const std::uint8_t* h,
                 const std::uint8_t* s0, const std::uint8_t* d, std::uint8_t* k);

// u = (s1 + H) mod q for verification; s1 < q.
void verify_u(unsigned level, const std::uint8_t* s1, const std::uint8_t* h, std::uint8_t* u);

// The l/4-octet scalar s0 + 2^l.
void s0_scalar(unsigned level, const std::uint8_t* s0, std::uint8_t* v);

}  // namespace stb::bign::detail
