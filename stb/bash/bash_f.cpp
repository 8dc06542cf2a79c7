// Portable bash-f. The 24 words live in a local array indexed only by
// compile-time constants, so the compiler keeps them in registers (or its
// own spill slots). The word permutation never moves data: after each round
// the words are simply renamed. The permutation has order 6, so six unrolled
// rounds bring the naming back to the start and form the loop body.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "stb/bash/constants.h"
#include "stb/bash/paths.h"

namespace stb::bash::detail {
namespace {

constexpr int kPeriod = 6;

struct SlotTable {
  // slot[r][x]: the variable holding word x at the start of round r.
  int slot[kPeriod + 1][24];
};

consteval SlotTable make_slots() {
  SlotTable t{};
  for (int x = 0; x < 24; ++x) t.slot[0][x] = x;
  for (int r = 0; r < kPeriod; ++r)
    for (int x = 0; x < 24; ++x) t.slot[r + 1][x] = t.slot[r][kPerm[x]];
  return t;
}

constexpr SlotTable kSlots = make_slots();

consteval bool naming_returns_after_period() {
  for (int x = 0; x < 24; ++x)
    if (kSlots.slot[kPeriod][x] != x) return false;
  return true;
}
static_assert(naming_returns_after_period());
static_assert(kRounds % kPeriod == 0);

// One column of the S-layer on words (w0, w1, w2) with the rotations of column J.
template <int J>
inline __attribute__((always_inline)) void s3(std::uint64_t& w0, std::uint64_t& w1,
                                              std::uint64_t& w2) {
  constexpr int m1 = kRot[J][0], n1 = kRot[J][1], m2 = kRot[J][2], n2 = kRot[J][3];
  const std::uint64_t t0 = std::rotl(w0, m1);
  w0 ^= w1 ^ w2;
  const std::uint64_t t1 = w1 ^ std::rotl(w0, n1);
  w1 = t0 ^ t1;
  w2 ^= std::rotl(w2, m2) ^ std::rotl(t1, n2);
  const std::uint64_t u0 = ~w2 | w1;
  const std::uint64_t u1 = w0 | w2;
  const std::uint64_t u2 = w0 & w1;
  w0 ^= u0;
  w1 ^= u1;
  w2 ^= u2;
}

template <int R, int... J>
inline __attribute__((always_inline)) void s_layer(std::uint64_t (&v)[24],
                                                   std::integer_sequence<int, J...>) {
  (s3<J>(v[kSlots.slot[R][J]], v[kSlots.slot[R][J + 8]], v[kSlots.slot[R][J + 16]]), ...);
}

template <int R>
inline __attribute__((always_inline)) void round(std::uint64_t (&v)[24], std::uint64_t c) {
  s_layer<R>(v, std::make_integer_sequence<int, 8>{});
  // After the renaming, word 23 of the next round is this variable.
  v[kSlots.slot[R + 1][23]] ^= c;
}

template <int... R>
inline __attribute__((always_inline)) void period(std::uint64_t (&v)[24], const std::uint64_t* c,
                                                  std::integer_sequence<int, R...>) {
  (round<R>(v, c[R]), ...);
}

}  // namespace

void f_portable(std::uint64_t state[24]) {
  std::uint64_t v[24];
  for (std::size_t i = 0; i < 24; ++i) v[i] = state[i];
  for (int i = 0; i < kRounds; i += kPeriod)
    period(v, kRoundConst + i, std::make_integer_sequence<int, kPeriod>{});
  for (std::size_t i = 0; i < 24; ++i) state[i] = v[i];
}

void absorb_portable(std::uint64_t state[24], const std::uint8_t* data, std::size_t blocks,
                     std::size_t rate) {
  for (; blocks != 0; --blocks, data += rate) {
    std::memcpy(state, data, rate);
    f_portable(state);
  }
}

}  // namespace stb::bash::detail
