#include "table_belt.h"

#include "stb/belt/h_table.h"

namespace ct {
namespace {

// kT[p][x] = RotHi(H(x) << 8p, 5): G_r for r = 5, 13, 21 reads the same
// four tables, one or two places on.
struct Tables {
  std::uint32_t t[4][256];
};

constexpr Tables make_tables() {
  Tables g{};
  for (unsigned p = 0; p < 4; ++p) {
    for (unsigned x = 0; x < 256; ++x) {
      const std::uint32_t w = std::uint32_t{stb::belt::kH[x]} << (8 * p);
      g.t[p][x] = w << 5 | w >> 27;
    }
  }
  return g;
}

alignas(64) constexpr Tables kT = make_tables();

// G_(5 + 8s)(u): octet p of u looks up table p + s.
template <unsigned S>
std::uint32_t g(std::uint32_t u) {
  return kT.t[S & 3][u & 0xFF] ^ kT.t[(S + 1) & 3][(u >> 8) & 0xFF] ^
         kT.t[(S + 2) & 3][(u >> 16) & 0xFF] ^ kT.t[(S + 3) & 3][u >> 24];
}

}  // namespace

void table_encrypt(const std::uint32_t k[8], std::uint32_t (&x)[4]) {
  std::uint32_t a = x[0], b = x[1], c = x[2], d = x[3];
  for (std::uint32_t i = 1; i <= 8; ++i) {
    const unsigned o = 7 * (i - 1);
    b ^= g<0>(a + k[o & 7]);
    c ^= g<2>(d + k[(o + 1) & 7]);
    a -= g<1>(b + k[(o + 2) & 7]);
    const std::uint32_t e = g<2>(b + c + k[(o + 3) & 7]) ^ i;
    b += e;
    c -= e;
    d += g<1>(c + k[(o + 4) & 7]);
    b ^= g<2>(a + k[(o + 5) & 7]);
    c ^= g<0>(d + k[(o + 6) & 7]);
    const std::uint32_t ta = a;
    a = b;
    b = d;
    d = c;
    c = ta;
  }
  x[0] = b;
  x[1] = d;
  x[2] = a;
  x[3] = c;
}

}  // namespace ct
