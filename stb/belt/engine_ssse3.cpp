// The belt engine on 128-bit vectors with SSSE3 byte shuffles: four blocks
// per vector. H is sixteen 16-entry shuffles over the row differences of
// sbox.h; the shuffle tables are read whole at fixed addresses, so no
// address depends on data. Compiled with -mssse3; called only after the
// processor was checked.
#include <tmmintrin.h>

#include "stb/belt/kernels.h"
#include "stb/belt/lanes_modes.h"
#include "stb/belt/sbox.h"

namespace stb::belt::detail {
namespace {

struct Ssse3 {
  using V = __m128i;
  static constexpr std::size_t kLanes = 4;
  static constexpr std::size_t kGroups = 2;
  static constexpr std::size_t kFewLanes = 0;
  static constexpr std::size_t kPackLanes = 2;
  static constexpr std::size_t kSingleTail = 1;

  struct Tables {};
  static Tables tables() { return {}; }

  static V set1(std::uint32_t w) { return _mm_set1_epi32(static_cast<int>(w)); }
  static V add(V x, V y) { return _mm_add_epi32(x, y); }
  static V sub(V x, V y) { return _mm_sub_epi32(x, y); }
  static V xr(V x, V y) { return _mm_xor_si128(x, y); }
  template <int R>
  static V rot(V x) {
    return _mm_or_si128(_mm_slli_epi32(x, R), _mm_srli_epi32(x, 32 - R));
  }

  static V row(const std::uint8_t (&r)[16], V idx) {
    return _mm_shuffle_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(r)), idx);
  }
  // Rows h..7 of one half of H summed at the offset index (see sbox.h).
  static V half(const std::uint8_t (&rows)[8][16], V x) {
    V acc[4];
    for (unsigned h = 0; h < 8; ++h) {
      const V idx = h == 7 ? x : _mm_adds_epu8(x, _mm_set1_epi8(static_cast<char>(row_offset(h))));
      const V r = row(rows[h], idx);
      acc[h & 3] = h < 4 ? r : xr(acc[h & 3], r);
    }
    return xr(xr(acc[0], acc[1]), xr(acc[2], acc[3]));
  }
  static V h(const Tables&, V x) {
    const V y = _mm_xor_si128(x, _mm_set1_epi8(static_cast<char>(0x80)));
    return xr(half(kShuffleRows.low, x), half(kShuffleRows.high, y));
  }
  static V h_packed(const Tables& t, V x) { return h(t, x); }
  static V pack(V lo, V hi) { return _mm_unpacklo_epi64(lo, hi); }
  static V unpack(V x) { return _mm_unpackhi_epi64(x, x); }

  static V pair(std::uint32_t even, std::uint32_t odd) {
    return _mm_set1_epi64x(static_cast<long long>(std::uint64_t{odd} << 32 | even));
  }
  static V swap_pairs(V x) { return _mm_shuffle_epi32(x, 0xB1); }
  static V odd_ones() { return _mm_set1_epi64x(static_cast<long long>(0xFFFFFFFF00000000ull)); }
  static std::uint32_t lane(V x, int i) {
    return static_cast<std::uint32_t>(i == 0 ? _mm_cvtsi128_si32(x)
                                             : _mm_cvtsi128_si32(_mm_shuffle_epi32(x, 1)));
  }

  static void transpose(V& r0, V& r1, V& r2, V& r3) {
    const V t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
    const V t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
    r0 = _mm_unpacklo_epi64(t0, t1);
    r1 = _mm_unpackhi_epi64(t0, t1);
    r2 = _mm_unpacklo_epi64(t2, t3);
    r3 = _mm_unpackhi_epi64(t2, t3);
  }
  static V ld(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static void st(std::uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  static void load(const std::uint8_t* p, Slices<Ssse3>& s) {
    s = {ld(p), ld(p + 16), ld(p + 32), ld(p + 48)};
    transpose(s.a, s.b, s.c, s.d);
  }
  static void store(std::uint8_t* p, Slices<Ssse3> s) {
    transpose(s.a, s.b, s.c, s.d);
    st(p, s.a);
    st(p + 16, s.b);
    st(p + 32, s.c);
    st(p + 48, s.d);
  }
  static void store_xor(std::uint8_t* out, const std::uint8_t* x, Slices<Ssse3> s) {
    transpose(s.a, s.b, s.c, s.d);
    const V v[4] = {s.a, s.b, s.c, s.d};
    for (int j = 0; j < 4; ++j) st(out + 16 * j, xr(v[j], ld(x + 16 * j)));
  }
};

constexpr Kernels kSsse3 = make_kernels<Ssse3>();

}  // namespace

const Kernels* ssse3_kernels() {
  return &kSsse3;
}

}  // namespace stb::belt::detail
