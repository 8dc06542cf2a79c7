// The G functions of belt-block as table lookups. G_r substitutes each octet
// by H and rotates the word left by r; r is 5, 13 or 21, i.e. 5 plus a whole
// number of octets. So one set of four tables, kT[p][x] = RotHi(H(x) << 8p, 5),
// serves all three: G13 and G21 just read the tables one or two positions on.
#pragma once

#include <cstdint>

#include "stb/belt/h_table.h"

namespace stb::belt::detail {

struct GTables {
  std::uint32_t t[4][256];
};

constexpr std::uint32_t rotl32(std::uint32_t w, unsigned r) {
  return (w << r) | (w >> ((32 - r) & 31));
}

constexpr GTables make_g_tables() {
  GTables g{};
  for (unsigned p = 0; p < 4; ++p)
    for (unsigned x = 0; x < 256; ++x)
      g.t[p][x] = rotl32(static_cast<std::uint32_t>(kH[x]) << (8 * p), 5);
  return g;
}

alignas(64) inline constexpr GTables kG = make_g_tables();

inline std::uint32_t g5(std::uint32_t u) {
  return kG.t[0][u & 0xFF] ^ kG.t[1][(u >> 8) & 0xFF] ^ kG.t[2][(u >> 16) & 0xFF] ^
         kG.t[3][u >> 24];
}

inline std::uint32_t g13(std::uint32_t u) {
  return kG.t[1][u & 0xFF] ^ kG.t[2][(u >> 8) & 0xFF] ^ kG.t[3][(u >> 16) & 0xFF] ^
         kG.t[0][u >> 24];
}

inline std::uint32_t g21(std::uint32_t u) {
  return kG.t[2][u & 0xFF] ^ kG.t[3][(u >> 8) & 0xFF] ^ kG.t[0][(u >> 16) & 0xFF] ^
         kG.t[1][u >> 24];
}

}  // namespace stb::belt::detail
