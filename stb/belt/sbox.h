// What the engines need to compute H(x) without reading memory at an address
// that depends on x. All of it is derived from kH at compile time.
//
// Byte shuffles (SSSE3, AVX2) look up 16 octets at a time, the index's low
// four bits choosing the octet and its top bit giving zero. For x < 128 and
// h = 0..7, the index x + (0x70 - 16h), saturated at 255, keeps its top bit
// clear exactly when x lies in rows 0..h of H, and its low bits are those of
// x. Looking up the row differences D_h = row h ^ row h+1 (D_7 = row 7) at
// these eight indices and summing leaves row(x)[x mod 16]. The rows 8..15
// are done the same way on x ^ 0x80.
//
// Arithmetic (the portable engine): H is an exponential S-box. With L the
// linear map t -> (t >> 1) | parity(t & 0x63) << 7 and M = L^116, the table
// is H(x) = M^(x - 11)(0x8E) for x != 10, and H(10) = 0. Writing x - 11 =
// 16a + b (mod 256), H(x) = M^b(U[a]) with U[a] = H(11 + 16a), and M^b is a
// polynomial in L: M^b = sum of V[b]_j L^j, the coefficients being the
// coordinates of H(11 + b) in the basis L^j(0x8E).
#pragma once

#include <cstdint>

#include "stb/belt/h_table.h"

namespace stb::belt::detail {

struct ShuffleRows {
  std::uint8_t low[8][16];   // D_h of rows 0..7
  std::uint8_t high[8][16];  // D_h of rows 8..15
};

constexpr ShuffleRows make_shuffle_rows() {
  ShuffleRows r{};
  for (unsigned h = 0; h < 8; ++h) {
    for (unsigned l = 0; l < 16; ++l) {
      const unsigned lo_next = h == 7 ? 0 : kH[16 * (h + 1) + l];
      const unsigned hi_next = h == 7 ? 0 : kH[16 * (h + 9) + l];
      r.low[h][l] = static_cast<std::uint8_t>(kH[16 * h + l] ^ lo_next);
      r.high[h][l] = static_cast<std::uint8_t>(kH[16 * (h + 8) + l] ^ hi_next);
    }
  }
  return r;
}

alignas(64) inline constexpr ShuffleRows kShuffleRows = make_shuffle_rows();

// The 0x70 - 16h index offsets of the row lookups, h = 0..7.
constexpr std::uint8_t row_offset(unsigned h) {
  return static_cast<std::uint8_t>(0x70 - 16 * h);
}

constexpr std::uint8_t lfsr_step(std::uint8_t t) {
  const unsigned p = t & 0x63u;
  const unsigned parity = (p ^ (p >> 1) ^ (p >> 5) ^ (p >> 6)) & 1u;
  return static_cast<std::uint8_t>((t >> 1) | (parity << 7));
}

struct ExpTables {
  std::uint8_t u[16];  // H(11 + 16a)
  std::uint8_t v[16];  // coordinates of H(11 + b) in the basis L^j(0x8E)
};

constexpr ExpTables make_exp_tables() {
  std::uint8_t basis[8] = {0x8E};
  for (int j = 1; j < 8; ++j) basis[j] = lfsr_step(basis[j - 1]);
  std::uint8_t coord[256] = {};
  for (unsigned c = 0; c < 256; ++c) {
    unsigned y = 0;
    for (unsigned j = 0; j < 8; ++j) y ^= ((c >> j) & 1u) * basis[j];
    coord[y] = static_cast<std::uint8_t>(c);
  }
  ExpTables t{};
  for (unsigned i = 0; i < 16; ++i) {
    t.u[i] = kH[(11 + 16 * i) & 0xFF];
    t.v[i] = coord[kH[11 + i]];
  }
  return t;
}

inline constexpr ExpTables kExp = make_exp_tables();

}  // namespace stb::belt::detail
