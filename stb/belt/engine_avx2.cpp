// The belt engine on 256-bit vectors with AVX2 byte shuffles: eight blocks
// per vector, H as in the SSSE3 engine (sixteen 16-entry shuffles over the
// row differences of sbox.h). With only one or two blocks in flight (the
// chained modes, belt-hash) both 128-bit halves of every vector hold the
// same words; the substitution then looks up the first half of H in the low
// half and the second half of H in the high half, eight shuffles instead of
// sixteen, and adds the halves across. The shuffle tables are read whole at
// fixed addresses. Compiled with -mavx2; called only after the processor
// was checked.
#include <immintrin.h>

#include "stb/belt/kernels.h"
#include "stb/belt/lanes_modes.h"
#include "stb/belt/sbox.h"

namespace stb::belt::detail {
namespace {

struct WideRows {
  std::uint8_t low[8][32];    // rows 0..7 in both halves
  std::uint8_t high[8][32];   // rows 8..15 in both halves
  std::uint8_t split[8][32];  // rows 0..7 in the low half, 8..15 in the high
};

constexpr WideRows make_wide_rows() {
  WideRows w{};
  for (int h = 0; h < 8; ++h) {
    for (int l = 0; l < 16; ++l) {
      w.low[h][l] = w.low[h][16 + l] = w.split[h][l] = kShuffleRows.low[h][l];
      w.high[h][l] = w.high[h][16 + l] = w.split[h][16 + l] = kShuffleRows.high[h][l];
    }
  }
  return w;
}

alignas(64) constexpr WideRows kRows = make_wide_rows();

struct Avx2 {
  using V = __m256i;
  static constexpr std::size_t kLanes = 8;
  static constexpr std::size_t kGroups = 2;
  static constexpr std::size_t kFewLanes = 0;
  static constexpr std::size_t kPackLanes = 2;
  static constexpr std::size_t kSingleTail = 2;

  struct Tables {};
  static Tables tables() { return {}; }

  static V set1(std::uint32_t w) { return _mm256_set1_epi32(static_cast<int>(w)); }
  static V add(V x, V y) { return _mm256_add_epi32(x, y); }
  static V sub(V x, V y) { return _mm256_sub_epi32(x, y); }
  static V xr(V x, V y) { return _mm256_xor_si256(x, y); }
  template <int R>
  static V rot(V x) {
    return _mm256_or_si256(_mm256_slli_epi32(x, R), _mm256_srli_epi32(x, 32 - R));
  }

  static V row(const std::uint8_t (&r)[32], V idx) {
    return _mm256_shuffle_epi8(_mm256_load_si256(reinterpret_cast<const V*>(r)), idx);
  }
  static V offset(V x, unsigned h) {
    return h == 7 ? x : _mm256_adds_epu8(x, _mm256_set1_epi8(static_cast<char>(row_offset(h))));
  }
  // Rows h..7 of one half of H summed at the offset index (see sbox.h).
  static V half(const std::uint8_t (&rows)[8][32], V x) {
    V acc[4];
    for (unsigned h = 0; h < 8; ++h) {
      const V r = row(rows[h], offset(x, h));
      acc[h & 3] = h < 4 ? r : xr(acc[h & 3], r);
    }
    return xr(xr(acc[0], acc[1]), xr(acc[2], acc[3]));
  }
  static V h(const Tables&, V x) {
    const V y = _mm256_xor_si256(x, _mm256_set1_epi8(static_cast<char>(0x80)));
    return xr(half(kRows.low, x), half(kRows.high, y));
  }
  // Both 128-bit halves of x equal.
  static V h_packed(const Tables&, V x) {
    const V flip = _mm256_setr_epi64x(0, 0, static_cast<long long>(0x8080808080808080ull),
                                      static_cast<long long>(0x8080808080808080ull));
    const V both = half(kRows.split, _mm256_xor_si256(x, flip));
    return xr(both, _mm256_permute2x128_si256(both, both, 0x01));
  }
  static V pack(V lo, V hi) { return _mm256_unpacklo_epi64(lo, hi); }
  static V unpack(V x) { return _mm256_unpackhi_epi64(x, x); }

  static V pair(std::uint32_t even, std::uint32_t odd) {
    return _mm256_set1_epi64x(static_cast<long long>(std::uint64_t{odd} << 32 | even));
  }
  static V swap_pairs(V x) { return _mm256_shuffle_epi32(x, 0xB1); }
  static V odd_ones() {
    return _mm256_set1_epi64x(static_cast<long long>(0xFFFFFFFF00000000ull));
  }
  static std::uint32_t lane(V x, int i) {
    const __m128i low = _mm256_castsi256_si128(x);
    return static_cast<std::uint32_t>(i == 0 ? _mm_cvtsi128_si32(low)
                                             : _mm_cvtsi128_si32(_mm_shuffle_epi32(low, 1)));
  }

  static void transpose(V& r0, V& r1, V& r2, V& r3) {
    const V t0 = _mm256_unpacklo_epi32(r0, r1), t1 = _mm256_unpacklo_epi32(r2, r3);
    const V t2 = _mm256_unpackhi_epi32(r0, r1), t3 = _mm256_unpackhi_epi32(r2, r3);
    r0 = _mm256_unpacklo_epi64(t0, t1);
    r1 = _mm256_unpackhi_epi64(t0, t1);
    r2 = _mm256_unpacklo_epi64(t2, t3);
    r3 = _mm256_unpackhi_epi64(t2, t3);
  }
  static V ld(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
  static void st(std::uint8_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
  static void load(const std::uint8_t* p, Slices<Avx2>& s) {
    s = {ld(p), ld(p + 32), ld(p + 64), ld(p + 96)};
    transpose(s.a, s.b, s.c, s.d);
  }
  static void store(std::uint8_t* p, Slices<Avx2> s) {
    transpose(s.a, s.b, s.c, s.d);
    st(p, s.a);
    st(p + 32, s.b);
    st(p + 64, s.c);
    st(p + 96, s.d);
  }
  static void store_xor(std::uint8_t* out, const std::uint8_t* x, Slices<Avx2> s) {
    transpose(s.a, s.b, s.c, s.d);
    const V v[4] = {s.a, s.b, s.c, s.d};
    for (int j = 0; j < 4; ++j) st(out + 32 * j, xr(v[j], ld(x + 32 * j)));
  }
};

constexpr Kernels kAvx2 = make_kernels<Avx2>();

}  // namespace

const Kernels* avx2_kernels() {
  return &kAvx2;
}

}  // namespace stb::belt::detail
