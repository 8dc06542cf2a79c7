// belt-compress on 32-bit words, the inner loop of belt-hash. Every call keys
// belt-block three times with fresh keys; belt-block has no key schedule, so
// each encryption just reads its eight key words where they lie. The second
// and third encryptions are independent of each other and run side by side,
// which hides much of the table-lookup latency.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stb/belt/g_tables.h"
#include "stb/belt/internal.h"

namespace stb::belt::detail {

// One block in flight: its words and the key it is encrypted under.
struct Lane {
  std::uint32_t a, b, c, d;
  const std::uint32_t* k;
};

// The block words are copied into locals first: working on them in the array
// would make the compiler assume they may alias the key words and keep the
// whole state in memory.
template <std::size_t N>
[[gnu::always_inline]] inline void encrypt_lanes(Lane (&l)[N]) {
  std::uint32_t a[N], b[N], c[N], d[N];
  const std::uint32_t* k[N];
  for (std::size_t j = 0; j < N; ++j) {
    a[j] = l[j].a;
    b[j] = l[j].b;
    c[j] = l[j].c;
    d[j] = l[j].d;
    k[j] = l[j].k;
  }
#pragma GCC unroll 8
  for (std::uint32_t i = 1; i <= 8; ++i) {
    // Round i uses key words 7i-6 .. 7i of the key repeated: offsets o .. o+6.
    const std::uint32_t o = 7 * (i - 1);
    for (std::size_t j = 0; j < N; ++j) b[j] ^= g5(a[j] + k[j][o & 7]);
    for (std::size_t j = 0; j < N; ++j) c[j] ^= g21(d[j] + k[j][(o + 1) & 7]);
    for (std::size_t j = 0; j < N; ++j) a[j] -= g13(b[j] + k[j][(o + 2) & 7]);
    for (std::size_t j = 0; j < N; ++j) {
      const std::uint32_t e = g21(b[j] + c[j] + k[j][(o + 3) & 7]) ^ i;
      b[j] += e;
      c[j] -= e;
    }
    for (std::size_t j = 0; j < N; ++j) d[j] += g13(c[j] + k[j][(o + 4) & 7]);
    for (std::size_t j = 0; j < N; ++j) b[j] ^= g21(a[j] + k[j][(o + 5) & 7]);
    for (std::size_t j = 0; j < N; ++j) c[j] ^= g5(d[j] + k[j][(o + 6) & 7]);
    // Swap a,b; c,d; then b,c: (a, b, c, d) <- (b, d, a, c).
    for (std::size_t j = 0; j < N; ++j) {
      const std::uint32_t ta = a[j];
      a[j] = b[j];
      b[j] = d[j];
      d[j] = c[j];
      c[j] = ta;
    }
  }
  // The output is b, d, a, c.
  for (std::size_t j = 0; j < N; ++j) {
    l[j].a = b[j];
    l[j].b = d[j];
    l[j].c = a[j];
    l[j].d = c[j];
  }
}

// Scratch words that hold key material during a call; the caller wipes them.
struct CompressScratch {
  std::uint32_t k2[8];
  std::uint32_t k3[8];
};

// x12 = X1 || X2, x34 = X3 || X4 (eight words each). Writes S (four words; s
// may be null) and Y (eight words); y may alias x34 or x12.
inline void compress_words(const std::uint32_t* x12, const std::uint32_t* x34, std::uint32_t* s,
                           std::uint32_t* y, CompressScratch& w) {
  // S = F_{X1||X2}(X3 ^ X4) ^ X3 ^ X4
  const std::uint32_t u0 = x34[0] ^ x34[4], u1 = x34[1] ^ x34[5];
  const std::uint32_t u2 = x34[2] ^ x34[6], u3 = x34[3] ^ x34[7];
  Lane first[1] = {{u0, u1, u2, u3, x12}};
  encrypt_lanes(first);
  const std::uint32_t s0 = first[0].a ^ u0, s1 = first[0].b ^ u1;
  const std::uint32_t s2 = first[0].c ^ u2, s3 = first[0].d ^ u3;

  // Y1 = F_{S||X4}(X1) ^ X1, Y2 = F_{~S||X3}(X2) ^ X2
  w.k2[0] = s0;
  w.k2[1] = s1;
  w.k2[2] = s2;
  w.k2[3] = s3;
  w.k3[0] = ~s0;
  w.k3[1] = ~s1;
  w.k3[2] = ~s2;
  w.k3[3] = ~s3;
  for (int i = 0; i < 4; ++i) {
    w.k2[4 + i] = x34[4 + i];
    w.k3[4 + i] = x34[i];
  }
  const std::uint32_t m[8] = {x12[0], x12[1], x12[2], x12[3], x12[4], x12[5], x12[6], x12[7]};
  Lane two[2] = {{m[0], m[1], m[2], m[3], w.k2}, {m[4], m[5], m[6], m[7], w.k3}};
  encrypt_lanes(two);
  if (s != nullptr) {
    s[0] = s0;
    s[1] = s1;
    s[2] = s2;
    s[3] = s3;
  }
  y[0] = two[0].a ^ m[0];
  y[1] = two[0].b ^ m[1];
  y[2] = two[0].c ^ m[2];
  y[3] = two[0].d ^ m[3];
  y[4] = two[1].a ^ m[4];
  y[5] = two[1].b ^ m[5];
  y[6] = two[1].c ^ m[6];
  y[7] = two[1].d ^ m[7];
}

// belt-hash's step over n whole 32-octet blocks: (t, h) <- compress(X || h),
// s ^= t.
void absorb_blocks(std::uint32_t h[8], std::uint32_t s[4], const std::uint8_t* data, std::size_t n);

}  // namespace stb::belt::detail
