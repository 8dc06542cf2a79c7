// The belt-block rounds on word slices: vector a holds word a of several
// blocks, one block per 32-bit lane, and so on for b, c, d. An engine (one
// per instruction set, each in a file of its own with its own compiler
// flags) supplies the vector type, the arithmetic on it and H on every
// octet; none of them reads memory at an address that depends on the data.
//
// Engine E provides:
//   V, Tables, kLanes, kGroups (groups of kLanes blocks run side by side),
//   kPackLanes (how many lanes in use still allow two G inputs to share one
//   substitution; 0: never worth it), kFewLanes (up to how many lanes in use
//   h_few may stand in for h; 0: never), kSingleTail (up to how many trailing
//   blocks go one at a time rather than as a padded group);
//   tables(), set1(w), add, sub, xr, rot<R>, h(t, v), h_packed(t, v), h_few,
//   pack(lo, hi), unpack(v), pair(even, odd), swap_pairs(v), odd_ones(),
//   lane(v, i), load(p, s), store(p, s), store_xor(out, x, s).
//
// Everything here is a template on E. Each engine is declared in an unnamed
// namespace, so its instantiations stay inside its own object file and code
// built for one instruction set can never be picked for another.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb::belt::detail {

template <class E>
struct Slices {
  typename E::V a, b, c, d;
};

// H on the lanes in use (Used of them; the others may come out as anything).
template <class E, std::size_t Used>
[[gnu::always_inline]] inline typename E::V sub_h(const typename E::Tables& t, typename E::V u) {
  if constexpr (Used <= E::kFewLanes) {
    return E::h_few(t, u);
  } else {
    return E::h(t, u);
  }
}

// Two independent G evaluations; when packing pays, one substitution serves
// both.
template <class E, std::size_t Used, int R1, int R2>
[[gnu::always_inline]] inline void g_pair(const typename E::Tables& t, typename E::V u1,
                                          typename E::V u2, typename E::V& o1,
                                          typename E::V& o2) {
  if constexpr (Used <= E::kPackLanes) {
    const typename E::V both = E::h_packed(t, E::pack(u1, u2));
    o1 = E::template rot<R1>(both);
    o2 = E::template rot<R2>(E::unpack(both));
  } else {
    o1 = E::template rot<R1>(sub_h<E, Used>(t, u1));
    o2 = E::template rot<R2>(sub_h<E, Used>(t, u2));
  }
}

template <class E, std::size_t Used>
[[gnu::always_inline]] inline typename E::V g_one(const typename E::Tables& t, typename E::V u) {
  if constexpr (Used <= E::kPackLanes) {
    return E::template rot<5>(E::h_packed(t, u));
  } else {
    return E::template rot<5>(sub_h<E, Used>(t, u));
  }
}

// Steps 1-9 of a round, the same in both directions apart from the key
// words (kw: the seven in the order used); step by step across the groups.
template <class E, std::size_t Used, std::size_t M>
[[gnu::always_inline]] inline void round_steps(const typename E::Tables& t, Slices<E> (&s)[M],
                                               const typename E::V (&kw)[7],
                                               typename E::V i) {
  using V = typename E::V;
  V x[M], y[M];
  for (std::size_t m = 0; m < M; ++m) {
    g_pair<E, Used, 5, 21>(t, E::add(s[m].a, kw[0]), E::add(s[m].d, kw[1]), x[m], y[m]);
    s[m].b = E::xr(s[m].b, x[m]);
    s[m].c = E::xr(s[m].c, y[m]);
  }
  // Key additions are started before the value they go with is ready, which
  // keeps them off the chain from one substitution to the next.
  V ck[M], dk[M];
  for (std::size_t m = 0; m < M; ++m) {
    ck[m] = E::add(s[m].c, kw[4]);
    dk[m] = E::add(s[m].d, kw[6]);
    g_pair<E, Used, 13, 21>(t, E::add(s[m].b, kw[2]), E::add(E::add(s[m].b, kw[3]), s[m].c),
                            x[m], y[m]);
    s[m].a = E::sub(s[m].a, x[m]);
    const V e = E::xr(y[m], i);
    s[m].b = E::add(s[m].b, e);
    s[m].c = E::sub(s[m].c, e);
    ck[m] = E::sub(ck[m], e);  // the new c + k5
  }
  for (std::size_t m = 0; m < M; ++m) {
    g_pair<E, Used, 13, 21>(t, ck[m], E::add(s[m].a, kw[5]), x[m], y[m]);
    s[m].d = E::add(s[m].d, x[m]);
    dk[m] = E::add(dk[m], x[m]);  // the new d + k7
    s[m].b = E::xr(s[m].b, y[m]);
  }
  for (std::size_t m = 0; m < M; ++m) s[m].c = E::xr(s[m].c, g_one<E, Used>(t, dk[m]));
}

// key: the eight key words as vectors (each lane its block's key).
template <class E, std::size_t Used, std::size_t M>
[[gnu::always_inline]] inline void encrypt_slices(const typename E::Tables& t,
                                                  const typename E::V (&key)[8],
                                                  Slices<E> (&s)[M]) {
  for (unsigned i = 1; i <= 8; ++i) {
    // Round i uses key words 7(i-1) .. 7(i-1)+6, counted modulo 8.
    const unsigned base = 7 * (i - 1);
    const typename E::V kw[7] = {key[base & 7],       key[(base + 1) & 7], key[(base + 2) & 7],
                                 key[(base + 3) & 7], key[(base + 4) & 7], key[(base + 5) & 7],
                                 key[(base + 6) & 7]};
    round_steps<E, Used>(t, s, kw, E::set1(i));
    for (std::size_t m = 0; m < M; ++m) s[m] = Slices<E>{s[m].b, s[m].d, s[m].a, s[m].c};
  }
  for (std::size_t m = 0; m < M; ++m) s[m] = Slices<E>{s[m].b, s[m].d, s[m].a, s[m].c};
}

template <class E, std::size_t Used, std::size_t M>
[[gnu::always_inline]] inline void decrypt_slices(const typename E::Tables& t,
                                                  const typename E::V (&key)[8],
                                                  Slices<E> (&s)[M]) {
  for (unsigned i = 8; i >= 1; --i) {
    const unsigned base = 7 * (i - 1);
    const typename E::V kw[7] = {key[(base + 6) & 7], key[(base + 5) & 7], key[(base + 4) & 7],
                                 key[(base + 3) & 7], key[(base + 2) & 7], key[(base + 1) & 7],
                                 key[base & 7]};
    round_steps<E, Used>(t, s, kw, E::set1(i));
    for (std::size_t m = 0; m < M; ++m) s[m] = Slices<E>{s[m].c, s[m].a, s[m].d, s[m].b};
  }
  for (std::size_t m = 0; m < M; ++m) s[m] = Slices<E>{s[m].c, s[m].a, s[m].d, s[m].b};
}

// Out of line for the bulk loops, so that every mode shares one copy.
template <class E, bool Encrypt, std::size_t M>
[[gnu::noinline]] void crypt_groups(const typename E::Tables& t, const typename E::V (&key)[8],
                                    Slices<E> (&s)[M]) {
  if constexpr (Encrypt) {
    encrypt_slices<E, E::kLanes>(t, key, s);
  } else {
    decrypt_slices<E, E::kLanes>(t, key, s);
  }
}

}  // namespace stb::belt::detail
