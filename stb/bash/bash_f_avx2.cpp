// bash-f with AVX2. Each row of eight words is two 256-bit registers (lo:
// columns 0..3, hi: columns 4..7), so the S-layer columns run as lanes.
//
// Three tricks keep the per-round dependency chain short:
// * The S-layer is regrouped so no rotation waits for another: with
//   u = w0^w1^w2,  w1' = RotHi(w0,m1)^w1^RotHi(u,n1)  and
//   w2' = w2^RotHi(w2,m2)^RotHi(w1,n2)^RotHi(u,n1+n2).
// * Lane order alternates between two arrangements of the columns over the
//   register lanes: natural in even rounds, kSwapped in odd ones. Chosen so
//   the word permutation between them is one blend, one byte-align or one
//   128-bit permute per register, each row ready after at most one shuffle.
// * The NOT of the S-layer is never computed: even rounds leave row 2
//   complemented, odd rounds take it so and produce plain words again.
// The state is loaded once and stored once per call. Compiled with -mavx2;
// called only after the processor was checked.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "stb/bash/constants.h"
#include "stb/bash/paths.h"

namespace stb::bash::detail {
namespace {

// Rotation kinds used below, as indexes into kRot (k12 = n1 + n2).
enum Kind { kN1, kK12, kM2, kN2, kKinds };

struct CountTable {
  // [arrangement][kind][left/right][lane]: left shift count and 64 - it.
  alignas(32) std::uint64_t c[2][kKinds][2][8];
};

// Lane l (0..3 low register, 4..7 high) of the odd-round arrangement holds
// this column.
constexpr int kSwapped[8] = {3, 2, 5, 4, 7, 6, 1, 0};

consteval CountTable make_counts() {
  CountTable t{};
  for (int arr = 0; arr < 2; ++arr)
    for (int lane = 0; lane < 8; ++lane) {
      const int col = arr == 0 ? lane : kSwapped[lane];
      const int amounts[kKinds] = {kRot[col][1], (kRot[col][1] + kRot[col][3]) % 64, kRot[col][2],
                                   kRot[col][3]};
      for (int k = 0; k < kKinds; ++k) {
        t.c[arr][k][0][lane] = static_cast<std::uint64_t>(amounts[k]);
        t.c[arr][k][1][lane] = static_cast<std::uint64_t>(64 - amounts[k]);
      }
    }
  return t;
}

constexpr CountTable kCounts = make_counts();

// C_i placed in the register lane of old word 1 (row 0, column 1), which the
// permutation moves to word 23: lane 1 of the low register in the natural
// arrangement (even rounds), lane 2 of the high register in kSwapped (odd).
struct ConstVectors {
  alignas(32) std::uint64_t v[kRounds][4];
};

consteval ConstVectors make_const_vectors() {
  ConstVectors t{};
  for (int i = 0; i < kRounds; ++i) {
    const int lane = i % 2 == 0 ? 1 : 6;
    t.v[i][lane % 4] = kRoundConst[i];
  }
  return t;
}

constexpr ConstVectors kConstVec = make_const_vectors();
static_assert(kPerm[23] == 1 && kSwapped[6] == 1);

// m1 is 8 in even columns and 56 in odd ones: a byte rotation, so a single
// byte shuffle does it. Even columns sit in even lanes of the natural
// arrangement and in odd lanes of kSwapped.
consteval bool m1_is_byte_rotation() {
  for (int j = 0; j < 8; ++j)
    if (kRot[j][0] != (j % 2 == 0 ? 8 : 56)) return false;
  for (int lane = 0; lane < 8; ++lane)
    if (kSwapped[lane] % 2 == lane % 2) return false;
  return true;
}
static_assert(m1_is_byte_rotation());

// Every register move below is written for this permutation.
consteval bool perm_is_expected() {
  constexpr int expected[24] = {15, 10, 9,  12, 11, 14, 13, 8, 17, 16, 19, 18,
                                21, 20, 23, 22, 6,  3,  0,  5, 2,  7,  4,  1};
  for (int x = 0; x < 24; ++x)
    if (kPerm[x] != expected[x]) return false;
  return true;
}
static_assert(perm_is_expected());

struct Row {
  __m256i lo, hi;
};

inline __m256i load(const std::uint64_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

inline void store(std::uint64_t* p, __m256i x) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x);
}

// RotHi(x, k) for the lanes of half h (0 lo, 1 hi). The two shifted parts
// have no bit in common, so callers fold them in with XOR.
template <int Arr, Kind K, int H>
inline __m256i shl(__m256i x) {
  return _mm256_sllv_epi64(x, load(kCounts.c[Arr][K][0] + 4 * H));
}
template <int Arr, Kind K, int H>
inline __m256i shr(__m256i x) {
  return _mm256_srlv_epi64(x, load(kCounts.c[Arr][K][1] + 4 * H));
}

// Keeps the compiler from re-associating an XOR chain: the round constant
// must join u early, not the late result.
inline __m256i pinned(__m256i x) {
  asm("" : "+x"(x));
  return x;
}

inline __m256i x3(__m256i a, __m256i b, __m256i c) {
  return _mm256_xor_si256(_mm256_xor_si256(a, b), c);
}

// S-layer of one half; Arr = arrangement of the input. Returns u, v1, v2
// (see the top of the file), complemented as the input's row 2 is.
template <int Arr, int H>
inline void s_layer(__m256i w0, __m256i w1, __m256i w2, __m256i m1, __m256i& u, __m256i& v1,
                    __m256i& v2) {
  u = x3(w0, w2, w1);  // row 1 arrives last (it took a 128-bit permute)
  const __m256i x1 = _mm256_xor_si256(_mm256_shuffle_epi8(w0, m1), w1);
  const __m256i y = _mm256_xor_si256(x3(w2, shl<Arr, kM2, H>(w2), shr<Arr, kM2, H>(w2)),
                                     _mm256_xor_si256(shl<Arr, kN2, H>(w1), shr<Arr, kN2, H>(w1)));
  v1 = x3(x1, shl<Arr, kN1, H>(u), shr<Arr, kN1, H>(u));
  v2 = x3(y, shl<Arr, kK12, H>(u), shr<Arr, kK12, H>(u));
}

// One round. Even rounds take plain words in the natural arrangement and
// leave kSwapped with row 2 complemented; odd rounds take that and give plain
// words in the natural arrangement again.
//
// The complement: even rounds keep w0 ^ (~w2 | w1) as its complement
// w0 ^ (~w1 & w2). An odd round's row 2 is then complemented, so u, v1, v2
// come out complemented too (U, V1, V2), and w0 ^ (~w2 | w1) = U ^ (~V2 & V1),
// w1 ^ (w0 | w2) = V1 ^ (U & V2), w2 ^ (w0 & w1) = V2 ^ (U | V1).
template <int Odd>
inline void round(Row& w0, Row& w1, Row& w2, __m256i m1, int i) {
  __m256i ul, v1l, v2l, uh, v1h, v2h;
  s_layer<Odd, 0>(w0.lo, w1.lo, w2.lo, m1, ul, v1l, v2l);
  s_layer<Odd, 1>(w0.hi, w1.hi, w2.hi, m1, uh, v1h, v2h);
  // C joins u on its way to new word 23 (old word 1), early and off the
  // critical path.
  const __m256i* const cv = reinterpret_cast<const __m256i*>(kConstVec.v[i]);
  const __m256i ucl = Odd ? ul : pinned(_mm256_xor_si256(ul, _mm256_load_si256(cv)));
  const __m256i uch = Odd ? pinned(_mm256_xor_si256(uh, _mm256_load_si256(cv))) : uh;
  __m256i r0l, r0h, r1l, r1h, r2l, r2h;
  if (Odd) {
    r0l = _mm256_xor_si256(ucl, _mm256_andnot_si256(v2l, v1l));
    r0h = _mm256_xor_si256(uch, _mm256_andnot_si256(v2h, v1h));
    r1l = _mm256_xor_si256(v1l, _mm256_and_si256(ul, v2l));
    r1h = _mm256_xor_si256(v1h, _mm256_and_si256(uh, v2h));
    r2l = _mm256_xor_si256(v2l, _mm256_or_si256(ul, v1l));
    r2h = _mm256_xor_si256(v2h, _mm256_or_si256(uh, v1h));
  } else {
    r0l = _mm256_xor_si256(ucl, _mm256_andnot_si256(v1l, v2l));
    r0h = _mm256_xor_si256(uch, _mm256_andnot_si256(v1h, v2h));
    r1l = _mm256_xor_si256(v1l, _mm256_or_si256(ul, v2l));
    r1h = _mm256_xor_si256(v1h, _mm256_or_si256(uh, v2h));
    r2l = _mm256_xor_si256(v2l, _mm256_and_si256(ul, v1l));
    r2h = _mm256_xor_si256(v2h, _mm256_and_si256(uh, v1h));
  }
  // The word permutation between the two arrangements (both directions):
  // new row 0 = lanes (B0 A1 B2 A3 | A0 B1 A2 B3) of old row 1 (A low, B high),
  // new row 2 = (B1 A0 B3 A2 | A1 B0 A3 B2) of old row 0,
  // new row 1 = 128-bit halves of old row 2: (A.hi B.lo | B.hi A.lo) going to
  // kSwapped, (B.hi A.lo | A.hi B.lo) coming back.
  w0.lo = _mm256_blend_epi32(r1l, r1h, 0x33);
  w0.hi = _mm256_blend_epi32(r1l, r1h, 0xCC);
  w1.lo = _mm256_permute2x128_si256(r2l, r2h, Odd ? 0x03 : 0x21);
  w1.hi = _mm256_permute2x128_si256(r2l, r2h, Odd ? 0x21 : 0x03);
  w2.lo = _mm256_alignr_epi8(r0l, r0h, 8);
  w2.hi = _mm256_alignr_epi8(r0h, r0l, 8);
}

// All 24 rounds on the state in registers.
inline void permute(Row& w0, Row& w1, Row& w2) {
  // Byte shuffles for RotHi by m1: rotate left by 8 (bytes 7 0 1 .. 6) in
  // lanes of even columns, by 56 (bytes 1 2 .. 7 0) in lanes of odd ones.
  const __m256i m1_even = _mm256_setr_epi8(7, 0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 8,  //
                                           7, 0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 8);
  const __m256i m1_odd = _mm256_setr_epi8(1, 2, 3, 4, 5, 6, 7, 0, 15, 8, 9, 10, 11, 12, 13, 14,  //
                                          1, 2, 3, 4, 5, 6, 7, 0, 15, 8, 9, 10, 11, 12, 13, 14);
  static_assert(kRounds % 2 == 0);
  for (int i = 0; i < kRounds; i += 2) {
    round<0>(w0, w1, w2, m1_even, i);
    round<1>(w0, w1, w2, m1_odd, i + 1);
  }
}

struct State {
  Row w0, w1, w2;
  explicit State(const std::uint64_t* s)
      : w0{load(s), load(s + 4)}, w1{load(s + 8), load(s + 12)}, w2{load(s + 16), load(s + 20)} {}
  void save(std::uint64_t* s) const {
    store(s, w0.lo);
    store(s + 4, w0.hi);
    store(s + 8, w1.lo);
    store(s + 12, w1.hi);
    store(s + 16, w2.lo);
    store(s + 20, w2.hi);
  }
};

inline __m256i load_octets(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

}  // namespace

void f_avx2(std::uint64_t state[24]) {
  State s(state);
  permute(s.w0, s.w1, s.w2);
  s.save(state);
}

void absorb_avx2(std::uint64_t state[24], const std::uint8_t* data, std::size_t blocks,
                 std::size_t rate) {
  State s(state);
  // The block replaces the first rate / 32 registers (rate is 64, 96 or 128).
  const std::size_t regs = rate / 32;
  for (; blocks != 0; --blocks, data += rate) {
    s.w0.lo = load_octets(data);
    s.w0.hi = load_octets(data + 32);
    if (regs > 2) s.w1.lo = load_octets(data + 64);
    if (regs > 3) s.w1.hi = load_octets(data + 96);
    permute(s.w0, s.w1, s.w2);
  }
  s.save(state);
}

}  // namespace stb::bash::detail
