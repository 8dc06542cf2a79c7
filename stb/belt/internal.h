// Octet helpers shared by the belt sources: little-endian words and XOR of
// short runs. Everything goes through memcpy so unaligned buffers are fine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace stb::belt::detail {

inline std::uint32_t load32(const std::uint8_t* p) {
  std::uint32_t w;
  std::memcpy(&w, p, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap32(w);
#endif
  return w;
}

inline void store32(std::uint8_t* p, std::uint32_t w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap32(w);
#endif
  std::memcpy(p, &w, 4);
}

inline std::uint64_t load64(const std::uint8_t* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

inline void store64(std::uint8_t* p, std::uint64_t w) {
  std::memcpy(p, &w, 8);
}

// out = a ^ b over one block; any of the three may alias.
inline void xor_block(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b) {
  const std::uint64_t lo = load64(a) ^ load64(b);
  const std::uint64_t hi = load64(a + 8) ^ load64(b + 8);
  store64(out, lo);
  store64(out + 8, hi);
}

// out = a ^ b over n octets; any of the three may alias (octet by octet).
inline void xor_bytes(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b,
                      std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
}

}  // namespace stb::belt::detail
