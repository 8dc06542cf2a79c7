// Fixed tables of bash-f shared by every implementation path: the rotation
// amounts of the S-layer columns, the word permutation and the round constants.
// Plain constexpr arrays only, no functions: this header is also included by
// the SIMD files, which are compiled for other instruction sets, and an inline
// function emitted there could be picked by the linker for portable callers.
#pragma once

#include <cstdint>

namespace stb::bash::detail {

inline constexpr int kRounds = 24;

// Rotation amounts (m1, n1, m2, n2) of S-layer column j.
inline constexpr int kRot[8][4] = {
    {8, 53, 14, 1},  {56, 51, 34, 7},  {8, 37, 46, 49}, {56, 3, 2, 23},
    {8, 21, 14, 33}, {56, 19, 34, 39}, {8, 5, 46, 17},  {56, 35, 2, 55},
};

// After the S-layer, new word x is old word kPerm[x].
inline constexpr int kPerm[24] = {15, 10, 9,  12, 11, 14, 13, 8, 17, 16, 19, 18,
                                  21, 20, 23, 22, 6,  3,  0,  5, 2,  7,  4,  1};

// C_1 .. C_24, XORed into word 23 after the permutation of round i.
inline constexpr std::uint64_t kRoundConst[kRounds] = {
    0x3BF5080AC8BA94B1, 0xC1D1659C1BBD92F6, 0x60E8B2CE0DDEC97B, 0xEC5FB8FE790FBC13,
    0xAA043DE6436706A7, 0x8929FF6A5E535BFD, 0x98BF1E2C50C97550, 0x4C5F8F162864BAA8,
    0x262FC78B14325D54, 0x1317E3C58A192EAA, 0x098BF1E2C50C9755, 0xD8EE19681D669304,
    0x6C770CB40EB34982, 0x363B865A0759A4C1, 0xC73622B47C4C0ACE, 0x639B115A3E260567,
    0xEDE6693460F3DA1D, 0xAAD8D5034F9935A0, 0x556C6A81A7CC9AD0, 0x2AB63540D3E64D68,
    0x155B1AA069F326B4, 0x0AAD8D5034F9935A, 0x0556C6A81A7CC9AD, 0xDE8082CD72DEBC78,
};

// The constants follow an LFSR from C_1; a typo in the table fails the build.
consteval bool round_consts_follow_lfsr() {
  for (int i = 0; i + 1 < kRounds; ++i) {
    const std::uint64_t c = kRoundConst[i];
    const std::uint64_t next = (c >> 1) ^ ((c & 1) != 0 ? 0xDC2BE1997FE0D8AE : 0);
    if (kRoundConst[i + 1] != next) return false;
  }
  return true;
}
static_assert(round_consts_follow_lfsr());

}  // namespace stb::bash::detail
