// A deliberately table-driven belt-block, the way belt is usually written
// (and the way this project's belt was before): G looks H up at the octets
// of a key-dependent word. The checker must report it; a test runs it to
// show that the checker can fail.
#include <cstdint>

#include "cases.h"
#include "marks.h"
#include "stb/belt/h_table.h"

namespace ct {
namespace {

std::uint32_t g(std::uint32_t u, int r) {
  const std::uint32_t w = std::uint32_t{stb::belt::kH[u & 0xFF]} |
                          std::uint32_t{stb::belt::kH[(u >> 8) & 0xFF]} << 8 |
                          std::uint32_t{stb::belt::kH[(u >> 16) & 0xFF]} << 16 |
                          std::uint32_t{stb::belt::kH[u >> 24]} << 24;
  return w << r | w >> (32 - r);
}

// One belt-block encryption on words (the round of STB 34.101.31, 6.1.3).
void encrypt(const std::uint32_t k[8], std::uint32_t (&x)[4]) {
  std::uint32_t a = x[0], b = x[1], c = x[2], d = x[3];
  for (std::uint32_t i = 1; i <= 8; ++i) {
    const std::uint32_t* kw = k;
    const unsigned o = 7 * (i - 1);
    b ^= g(a + kw[o & 7], 5);
    c ^= g(d + kw[(o + 1) & 7], 21);
    a -= g(b + kw[(o + 2) & 7], 13);
    const std::uint32_t e = g(b + c + kw[(o + 3) & 7], 21) ^ i;
    b += e;
    c -= e;
    d += g(c + kw[(o + 4) & 7], 13);
    b ^= g(a + kw[(o + 5) & 7], 21);
    c ^= g(d + kw[(o + 6) & 7], 5);
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

void table_block() {
  std::uint32_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::uint32_t block[4] = {9, 10, 11, 12};
  secret(key, sizeof key);
  encrypt(key, block);
  reveal(block, sizeof block);
}

}  // namespace

const Case kTableCases[] = {{"table-driven belt-block", table_block}, {nullptr, nullptr}};

}  // namespace ct
