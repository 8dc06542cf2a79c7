// bash-f with AVX-512: one 512-bit register per row of eight words, so the
// eight S-layer columns run as lanes. Rotations are per-lane (vprolvq), the
// boolean steps fuse into ternary-logic instructions and the word permutation
// is one lane permute per row. The state stays in three registers for all
// 24 rounds. Compiled with -mavx512f -mavx512vl; called only after the
// processor was checked.

// GCC 12's AVX-512 intrinsics self-initialise their "undefined" operands,
// which the uninitialised-use warnings report once they are inlined here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop

#include <cstddef>
#include <cstdint>

#include "stb/bash/constants.h"
#include "stb/bash/paths.h"

namespace stb::bash::detail {
namespace {

// Truth-table immediates of vpternlogq for f(a, b, c).
constexpr int kA = 0xF0, kB = 0xCC, kC = 0xAA;
constexpr int kXor3 = kA ^ kB ^ kC;
constexpr int kOrNot = (kC ^ (~kB | kA)) & 0xFF;  // c ^ (~b | a): u ^ (~v2 | v1)
constexpr int kOr = kA ^ (kB | kC);               // a ^ (b | c): v1 ^ (v2 | u)
constexpr int kAnd = kA ^ (kB & kC);              // a ^ (b & c): v2 ^ (v1 & u)

__m512i column_counts(int k) {
  return _mm512_setr_epi64(kRot[0][k], kRot[1][k], kRot[2][k], kRot[3][k], kRot[4][k], kRot[5][k],
                           kRot[6][k], kRot[7][k]);
}

// Lane x of a new row takes lane idx[x] of one old row: row 0 from row 1
// (words 8..15), row 1 from row 2, row 2 from row 0.
__m512i lane_index(int row) {
  const int base = ((row + 1) % 3) * 8;
  const int* p = kPerm + row * 8;
  return _mm512_setr_epi64(p[0] - base, p[1] - base, p[2] - base, p[3] - base, p[4] - base,
                           p[5] - base, p[6] - base, p[7] - base);
}

// Row 1 takes words 17 16 19 18 21 20 23 22 of row 2: neighbours swapped.
consteval bool row1_swaps_neighbours() {
  for (int x = 0; x < 8; ++x)
    if (kPerm[8 + x] != 16 + (x ^ 1)) return false;
  return true;
}
static_assert(row1_swaps_neighbours());

// The constant lands in word 23 after the permutation, which is old word
// kPerm[23] of row 0: XOR it there before permuting, off the critical path.
constexpr int kConstLane = kPerm[23];
static_assert(kConstLane < 8);

// All 24 rounds on the state in registers.
inline void permute(__m512i& w0, __m512i& w1, __m512i& w2) {
  const __m512i m1 = column_counts(0), n1 = column_counts(1);
  const __m512i m2 = column_counts(2), n2 = column_counts(3);
  const __m512i k12 = _mm512_add_epi64(n1, n2);  // rotation counts act modulo 64
  const __m512i p0 = lane_index(0), p2 = lane_index(2);
  const __mmask8 const_lane = static_cast<__mmask8>(1u << kConstLane);

  for (int i = 0; i < kRounds; ++i) {
    // The S-layer regrouped for a short dependency chain: with u = w0^w1^w2,
    //   w1' = RotHi(w0, m1) ^ w1 ^ RotHi(u, n1)
    //   w2' = w2 ^ RotHi(w2, m2) ^ RotHi(w1, n2) ^ RotHi(u, n1 + n2)
    // so no rotation waits for another one.
    const __m512i u = _mm512_ternarylogic_epi64(w0, w1, w2, kXor3);
    const __m512i x1 = _mm512_xor_si512(_mm512_rolv_epi64(w0, m1), w1);
    const __m512i y =
        _mm512_ternarylogic_epi64(_mm512_rolv_epi64(w2, m2), w2, _mm512_rolv_epi64(w1, n2), kXor3);
    const __m512i v1 = _mm512_xor_si512(_mm512_rolv_epi64(u, n1), x1);
    const __m512i v2 = _mm512_xor_si512(_mm512_rolv_epi64(u, k12), y);
    const __m512i uc = _mm512_mask_xor_epi64(
        u, const_lane, u, _mm512_set1_epi64(static_cast<long long>(kRoundConst[i])));
    // The late inputs (v1, v2) go first: that operand is also the
    // destination, which saves register copies on the critical path.
    const __m512i r0 = _mm512_ternarylogic_epi64(v1, v2, uc, kOrNot);
    const __m512i r1 = _mm512_ternarylogic_epi64(v1, v2, u, kOr);
    const __m512i r2 = _mm512_ternarylogic_epi64(v2, v1, u, kAnd);
    w0 = _mm512_permutexvar_epi64(p0, r1);
    // Swapping neighbours needs no lane crossing: a cheaper in-lane shuffle.
    w1 = _mm512_shuffle_epi32(r2, _MM_PERM_BADC);
    w2 = _mm512_permutexvar_epi64(p2, r0);
  }
}

}  // namespace

void f_avx512(std::uint64_t state[24]) {
  __m512i w0 = _mm512_loadu_si512(state);
  __m512i w1 = _mm512_loadu_si512(state + 8);
  __m512i w2 = _mm512_loadu_si512(state + 16);
  permute(w0, w1, w2);
  _mm512_storeu_si512(state, w0);
  _mm512_storeu_si512(state + 8, w1);
  _mm512_storeu_si512(state + 16, w2);
}

void absorb_avx512(std::uint64_t state[24], const std::uint8_t* data, std::size_t blocks,
                   std::size_t rate) {
  __m512i w0 = _mm512_loadu_si512(state);
  __m512i w1 = _mm512_loadu_si512(state + 8);
  __m512i w2 = _mm512_loadu_si512(state + 16);
  // The block replaces the first rate / 8 words (rate is 64, 96 or 128): all
  // of row 0 and the low lanes of row 1.
  const auto row1 = static_cast<__mmask8>((1u << (rate / 8 - 8)) - 1);
  for (; blocks != 0; --blocks, data += rate) {
    w0 = _mm512_loadu_si512(data);
    w1 = _mm512_mask_loadu_epi64(w1, row1, data + 64);
    permute(w0, w1, w2);
  }
  _mm512_storeu_si512(state, w0);
  _mm512_storeu_si512(state + 8, w1);
  _mm512_storeu_si512(state + 16, w2);
}

}  // namespace stb::bash::detail
