// The three standard bign curves y^2 = x^3 + ax + b over GF(p), of prime order
// q with base point G = (0, yG), and the sizes every other part derives from
// the security level l (128, 192 or 256).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace stb::bign {

inline constexpr std::size_t kMaxFieldSize = 64;  // l/4 octets at l = 256

constexpr bool valid_level(unsigned level) {
  return level == 128 || level == 192 || level == 256;
}
// Field elements, scalars, private keys and hash values: l/4 octets.
constexpr std::size_t field_size(unsigned level) {
  return level / 4;
}
constexpr std::size_t private_key_size(unsigned level) {
  return level / 4;
}
constexpr std::size_t public_key_size(unsigned level) {
  return level / 2;
}
constexpr std::size_t hash_size(unsigned level) {
  return level / 4;
}
// s0 (l/8 octets) || s1 (l/4 octets).
constexpr std::size_t signature_size(unsigned level) {
  return 3 * level / 8;
}

// Numbers are little-endian octet strings of `size` octets, as the tables of
// the standard list them; the arrays are zero beyond `size`.
struct Curve {
  unsigned level;
  std::size_t size;  // l/4
  const char* name;  // "bign-curve256v1", ...
  const char* oid;   // dotted form
  std::uint8_t p[kMaxFieldSize];
  std::uint8_t a[kMaxFieldSize];
  std::uint8_t b[kMaxFieldSize];
  std::uint8_t q[kMaxFieldSize];
  std::uint8_t y_g[kMaxFieldSize];
  std::uint8_t seed[8];
};

// Null for a level other than 128, 192 or 256.
const Curve* curve(unsigned level);
// By dotted OID ("1.2.112.0.2.0.34.101.45.3.1") or by name; null if unknown.
const Curve* curve_by_oid(std::string_view oid);
const Curve* curve_by_name(std::string_view name);

}  // namespace stb::bign
