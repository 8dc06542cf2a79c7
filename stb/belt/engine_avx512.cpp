// The belt engine on 512-bit vectors: sixteen blocks per vector. H is two
// 128-entry byte permutes over the table held in four registers, picked
// between by the top bit of each octet; the rotations of G are single
// instructions. The only memory the substitution reads is the table itself,
// loaded whole into registers, so no address depends on data. Compiled with
// AVX-512 F/BW/VBMI; called only after the processor was checked.
//
// Reviewed for secret-indexed loads (memcheck cannot run this file): the
// loads are kH (fixed addresses, whole), the caller's buffers at offsets
// given by lengths, and the scratch buffers of lanes_modes.h.
#include <immintrin.h>

#include "stb/belt/h_table.h"
#include "stb/belt/kernels.h"
#include "stb/belt/lanes_modes.h"

// GCC 12 reports its own placeholder operand inside several intrinsics as
// uninitialised when they are inlined.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace stb::belt::detail {
namespace {

struct Avx512 {
  using V = __m512i;
  static constexpr std::size_t kLanes = 16;
  static constexpr std::size_t kGroups = 4;  // the permutes have a long latency
  static constexpr std::size_t kPackLanes = 0;
  static constexpr std::size_t kFewLanes = 8;
  static constexpr std::size_t kSingleTail = 3;

  struct Tables {
    V h0, h1, h2, h3;
  };
  static Tables tables() {
    return {_mm512_loadu_si512(kH), _mm512_loadu_si512(kH + 64), _mm512_loadu_si512(kH + 128),
            _mm512_loadu_si512(kH + 192)};
  }

  static V set1(std::uint32_t w) { return _mm512_set1_epi32(static_cast<int>(w)); }
  static V add(V x, V y) { return _mm512_add_epi32(x, y); }
  static V sub(V x, V y) { return _mm512_sub_epi32(x, y); }
  static V xr(V x, V y) { return _mm512_xor_si512(x, y); }
  template <int R>
  static V rot(V x) {
    return _mm512_rol_epi32(x, R);
  }

  static V h(const Tables& t, V x) {
    const V lo = _mm512_permutex2var_epi8(t.h0, x, t.h1);
    const V hi = _mm512_permutex2var_epi8(t.h2, x, t.h3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), lo, hi);
  }
  static V h_packed(const Tables& t, V x) { return h(t, x); }
  // H on the low eight lanes: with a byte blend on the octets' top bits
  // instead of the mask register, which is a step shorter for one block in
  // flight (the high lanes come out undefined).
  static V h_few(const Tables& t, V x) {
    const __m256i lo = _mm512_castsi512_si256(_mm512_permutex2var_epi8(t.h0, x, t.h1));
    const __m256i hi = _mm512_castsi512_si256(_mm512_permutex2var_epi8(t.h2, x, t.h3));
    return _mm512_castsi256_si512(_mm256_blendv_epi8(lo, hi, _mm512_castsi512_si256(x)));
  }
  static V pack(V lo, V hi) { return _mm512_unpacklo_epi64(lo, hi); }
  static V unpack(V x) { return _mm512_unpackhi_epi64(x, x); }

  static V pair(std::uint32_t even, std::uint32_t odd) {
    return _mm512_set1_epi64(static_cast<long long>(std::uint64_t{odd} << 32 | even));
  }
  static V swap_pairs(V x) { return _mm512_shuffle_epi32(x, _MM_PERM_CDAB); }
  static V odd_ones() { return _mm512_set1_epi64(static_cast<long long>(0xFFFFFFFF00000000ull)); }
  static std::uint32_t lane(V x, int i) {
    const __m128i low = _mm512_castsi512_si128(x);
    return static_cast<std::uint32_t>(i == 0 ? _mm_cvtsi128_si32(low)
                                             : _mm_cvtsi128_si32(_mm_shuffle_epi32(low, 1)));
  }

  // Four vectors of four blocks each <-> word slices: a 4x4 transpose in
  // every 128-bit lane, its own inverse. The lanes hold the blocks in the
  // order 0, 4, 8, 12, 1, 5, ...; store undoes it.
  static void transpose(V& r0, V& r1, V& r2, V& r3) {
    const V t0 = _mm512_unpacklo_epi32(r0, r1), t1 = _mm512_unpacklo_epi32(r2, r3);
    const V t2 = _mm512_unpackhi_epi32(r0, r1), t3 = _mm512_unpackhi_epi32(r2, r3);
    r0 = _mm512_unpacklo_epi64(t0, t1);
    r1 = _mm512_unpackhi_epi64(t0, t1);
    r2 = _mm512_unpacklo_epi64(t2, t3);
    r3 = _mm512_unpackhi_epi64(t2, t3);
  }
  static void load(const std::uint8_t* p, Slices<Avx512>& s) {
    s = {_mm512_loadu_si512(p), _mm512_loadu_si512(p + 64), _mm512_loadu_si512(p + 128),
         _mm512_loadu_si512(p + 192)};
    transpose(s.a, s.b, s.c, s.d);
  }
  static void store(std::uint8_t* p, Slices<Avx512> s) {
    transpose(s.a, s.b, s.c, s.d);
    _mm512_storeu_si512(p, s.a);
    _mm512_storeu_si512(p + 64, s.b);
    _mm512_storeu_si512(p + 128, s.c);
    _mm512_storeu_si512(p + 192, s.d);
  }
  static void store_xor(std::uint8_t* out, const std::uint8_t* x, Slices<Avx512> s) {
    transpose(s.a, s.b, s.c, s.d);
    const V v[4] = {s.a, s.b, s.c, s.d};
    for (int j = 0; j < 4; ++j)
      _mm512_storeu_si512(out + 64 * j, xr(v[j], _mm512_loadu_si512(x + 64 * j)));
  }
};

constexpr Kernels kAvx512 = make_kernels<Avx512>();

}  // namespace

const Kernels* avx512_kernels() {
  return &kAvx512;
}

}  // namespace stb::belt::detail
