// The belt engine in plain 64-bit arithmetic, for processors without byte
// shuffles: two blocks per "vector" (a 64-bit word, one 32-bit lane each),
// H computed on eight octets at once from its exponential structure (see
// sbox.h): x - 11 = 16a + b, U[a] and the coefficients V[b] picked by masks
// rather than by index, then the sum of V[b]_j L^j(U[a]). No table is
// indexed, no branch taken on data.
#include "stb/belt/kernels.h"
#include "stb/belt/lanes_modes.h"
#include "stb/belt/sbox.h"

namespace stb::belt::detail {
namespace {

using W64 = std::uint64_t;

constexpr W64 kOnes = 0x0101010101010101ull;
constexpr W64 kHigh = 0x8080808080808080ull;
constexpr W64 kLow32 = 0x00000000FFFFFFFFull;

// 0xFF in every octet whose bit `bit` is set, 0x00 elsewhere.
inline W64 octet_mask(W64 x, int bit) {
  const W64 t = (x >> bit) & kOnes;
  return (t << 8) - t;
}

// table[x] for a 4-bit x in every octet: a tree of masked choices.
inline W64 pick16(W64 x, const std::uint8_t (&table)[16]) {
  const W64 m0 = octet_mask(x, 0), m1 = octet_mask(x, 1), m2 = octet_mask(x, 2),
            m3 = octet_mask(x, 3);
  W64 v[8];
  for (int p = 0; p < 8; ++p) {
    const W64 even = table[2 * p] * kOnes;
    v[p] = even ^ (m0 & ((table[2 * p] ^ table[2 * p + 1]) * kOnes));
  }
  for (int p = 0; p < 4; ++p) v[p] = v[2 * p] ^ (m1 & (v[2 * p] ^ v[2 * p + 1]));
  for (int p = 0; p < 2; ++p) v[p] = v[2 * p] ^ (m2 & (v[2 * p] ^ v[2 * p + 1]));
  return v[0] ^ (m3 & (v[0] ^ v[1]));
}

// L on every octet: shift right, parity of bits 0, 1, 5, 6 into bit 7.
inline W64 lfsr(W64 t) {
  W64 p = t & (0x63 * kOnes);
  p ^= p >> 5;
  p ^= p >> 1;
  return ((t >> 1) & (0x7F * kOnes)) | ((p & kOnes) << 7);
}

inline W64 sub_h(W64 x) {
  // x - 11 in every octet, no borrow across octets.
  const W64 e = ((x | kHigh) - 11 * kOnes) ^ (~x & kHigh);
  W64 u = pick16((e >> 4) & (0x0F * kOnes), kExp.u);
  const W64 v = pick16(e & (0x0F * kOnes), kExp.v);
  W64 acc = 0;
  for (int j = 0; j < 8; ++j) {
    acc ^= u & octet_mask(v, j);
    u = lfsr(u);
  }
  // H(10) = 0: clear the octets equal to 10.
  const W64 z = x ^ (10 * kOnes);
  const W64 nonzero = (((z & ~kHigh) + ~kHigh) | z) & kHigh;
  return acc & octet_mask(nonzero, 7);
}

struct Portable {
  using V = W64;
  static constexpr std::size_t kLanes = 2;
  static constexpr std::size_t kGroups = 2;
  static constexpr std::size_t kFewLanes = 0;
  static constexpr std::size_t kPackLanes = 1;
  static constexpr std::size_t kSingleTail = 1;

  struct Tables {};
  static Tables tables() { return {}; }

  static constexpr V set1(std::uint32_t w) { return W64{w} << 32 | w; }
  static V add(V x, V y) { return ((x & ~kLow32) + (y & ~kLow32)) | ((x + y) & kLow32); }
  static V sub(V x, V y) { return ((x & ~kLow32) - (y & ~kLow32)) | ((x - y) & kLow32); }
  static V xr(V x, V y) { return x ^ y; }
  template <int R>
  static V rot(V x) {
    constexpr W64 keep = set1(~0u << R);
    return ((x << R) & keep) | ((x >> (32 - R)) & ~keep);
  }
  static V h(const Tables&, V x) { return sub_h(x); }
  static V h_packed(const Tables&, V x) { return sub_h(x); }
  static V pack(V lo, V hi) { return (lo & kLow32) | hi << 32; }
  static V unpack(V x) { return x >> 32; }

  static V pair(std::uint32_t even, std::uint32_t odd) { return W64{odd} << 32 | even; }
  static V swap_pairs(V x) { return x >> 32 | x << 32; }
  static V odd_ones() { return ~kLow32; }
  static std::uint32_t lane(V x, int i) { return static_cast<std::uint32_t>(x >> (32 * i)); }

  static void load(const std::uint8_t* p, Slices<Portable>& s) {
    V* w[4] = {&s.a, &s.b, &s.c, &s.d};
    for (int j = 0; j < 4; ++j)
      *w[j] = pair(word_at<Portable>(p + 4 * j), word_at<Portable>(p + 16 + 4 * j));
  }
  static void store(std::uint8_t* p, const Slices<Portable>& s) {
    const V w[4] = {s.a, s.b, s.c, s.d};
    for (int j = 0; j < 4; ++j) {
      put_word<Portable>(p + 4 * j, lane(w[j], 0));
      put_word<Portable>(p + 16 + 4 * j, lane(w[j], 1));
    }
  }
  static void store_xor(std::uint8_t* out, const std::uint8_t* x, const Slices<Portable>& s) {
    std::uint8_t t[32];
    store(t, s);
    xor_blocks<Portable>(out, t, x, 32);
    OPENSSL_cleanse(t, sizeof t);
  }
};

constexpr Kernels kPortable = make_kernels<Portable>();

}  // namespace

const Kernels* portable_kernels() {
  return &kPortable;
}

}  // namespace stb::belt::detail
