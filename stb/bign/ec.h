// Point arithmetic on the standard curves, in octets: a point is x || y, each
// coordinate l/4 octets little-endian (the public-key encoding). Internal to
// bign: callers have checked the level, the lengths and that secret scalars
// lie in 1..q-1. Secret scalars only go through mul_base and mul_point,
// which run in constant time.
#pragma once

#include <cstdint>

namespace stb::bign::detail {

// point = k G.
bool mul_base(unsigned level, const std::uint8_t* k, std::uint8_t* point);
// out = k P for a valid point P.
bool mul_point(unsigned level, const std::uint8_t* k, const std::uint8_t* p, std::uint8_t* out);
// x = x(u G + v Q) for public u < q, v < 2^(l+1) (v is s0 + 2^l of a
// signature) and a valid Q; false when the sum is the point at infinity.
bool mul2_public(unsigned level, const std::uint8_t* u, const std::uint8_t* v,
                 const std::uint8_t* q, std::uint8_t* x);
// x < p, y < p and y^2 = x^3 + ax + b.
bool point_valid(unsigned level, const std::uint8_t* point);
// A point with this x-coordinate (either root): false when x >= p or when no
// point has it.
bool lift_x(unsigned level, const std::uint8_t* x, std::uint8_t* point);

}  // namespace stb::bign::detail
