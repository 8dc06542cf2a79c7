// The mode loops of kernels.h over an engine's word slices (lanes.h).
// Independent blocks (ECB, CTR, CBC and CFB decryption) run kLanes at a time
// in kGroups groups side by side; a short tail either fills a padded group or
// goes one block at a time. Chained blocks (CBC and CFB encryption, belt-mac)
// run one block in every lane, and belt-compress runs its first encryption
// that way and its two independent ones in alternate lanes (X1 under S || X4
// in the even lanes, X2 under ~S || X3 in the odd ones). With few lanes in
// use an engine may pack two G inputs into one substitution.
#pragma once

#include <openssl/crypto.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "stb/belt/kernels.h"
#include "stb/belt/lanes.h"

namespace stb::belt::detail {

template <class E>
[[gnu::always_inline]] inline std::uint32_t word_at(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

template <class E>
[[gnu::always_inline]] inline void put_word(std::uint8_t* p, std::uint32_t w) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(w >> (8 * i));
}

template <class E>
[[gnu::always_inline]] inline void put_u64(std::uint8_t* p, std::uint64_t w) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  std::memcpy(p, &w, 8);
}

// One block in every lane, and back from lane 0.
template <class E>
[[gnu::always_inline]] inline Slices<E> broadcast(const std::uint8_t* p) {
  return {E::set1(word_at<E>(p)), E::set1(word_at<E>(p + 4)), E::set1(word_at<E>(p + 8)),
          E::set1(word_at<E>(p + 12))};
}

template <class E>
[[gnu::always_inline]] inline void store_lane0(std::uint8_t* p, const Slices<E>& s) {
  put_word<E>(p, E::lane(s.a, 0));
  put_word<E>(p + 4, E::lane(s.b, 0));
  put_word<E>(p + 8, E::lane(s.c, 0));
  put_word<E>(p + 12, E::lane(s.d, 0));
}

template <class E>
[[gnu::always_inline]] inline Slices<E> xor_slices(const Slices<E>& x, const Slices<E>& y) {
  return {E::xr(x.a, y.a), E::xr(x.b, y.b), E::xr(x.c, y.c), E::xr(x.d, y.d)};
}

template <class E>
[[gnu::always_inline]] inline void xor_blocks(std::uint8_t* out, const std::uint8_t* a,
                                              const std::uint8_t* b, std::size_t octets) {
  for (std::size_t i = 0; i < octets; ++i) out[i] = static_cast<std::uint8_t>(a[i] ^ b[i]);
}

// The substitution's registers and the key words in every lane, wiped when
// done.
template <class E>
struct Keyed {
  typename E::Tables t;
  typename E::V key[8];
  explicit Keyed(const std::uint32_t* k) : t(E::tables()) {
    for (int j = 0; j < 8; ++j) key[j] = E::set1(k[j]);
  }
  ~Keyed() { OPENSSL_cleanse(key, sizeof key); }
  Keyed(const Keyed&) = delete;
  Keyed& operator=(const Keyed&) = delete;
};

template <class E, bool Encrypt>
[[gnu::always_inline]] inline void crypt_one(const Keyed<E>& kd, Slices<E>& s) {
  Slices<E> one[1] = {s};
  if constexpr (Encrypt) {
    encrypt_slices<E, 1>(kd.t, kd.key, one);
  } else {
    decrypt_slices<E, 1>(kd.t, kd.key, one);
  }
  s = one[0];
}

// Blocks [off, off + count) of a run go through group<M>(off, count) in
// groups of kLanes * M, count < kLanes * M only for a padded tail; or, for a
// short tail, through one(off) block by block.
template <class E, class Group, class One>
[[gnu::always_inline]] inline void for_blocks(std::size_t n, Group&& group, One&& one) {
  constexpr std::size_t W = E::kLanes, G = E::kGroups;
  std::size_t off = 0;
  if constexpr (G > 1) {
    for (; n - off >= W * G; off += W * G) group.template operator()<G>(off, W * G);
  }
  for (; n - off >= W; off += W) group.template operator()<1>(off, W);
  if (n - off > E::kSingleTail) {
    group.template operator()<1>(off, n - off);
    return;
  }
  for (; off < n; ++off) one(off);
}

// Loads count blocks from src (through a zero-padded buffer when short).
template <class E, std::size_t M>
[[gnu::always_inline]] inline void load_group(Slices<E> (&s)[M], const std::uint8_t* src,
                                              std::size_t count, std::uint8_t* buf) {
  constexpr std::size_t kOctets = 16 * E::kLanes;
  if (count != E::kLanes * M) {
    std::memset(buf, 0, kOctets * M);
    std::memcpy(buf, src, 16 * count);
    src = buf;
  }
  for (std::size_t m = 0; m < M; ++m) E::load(src + kOctets * m, s[m]);
}

// dst = the blocks of s (xor x's blocks when x is not null), count blocks.
template <class E, std::size_t M>
[[gnu::always_inline]] inline void store_group(std::uint8_t* dst, const std::uint8_t* x,
                                               const Slices<E> (&s)[M], std::size_t count,
                                               std::uint8_t* buf) {
  constexpr std::size_t kOctets = 16 * E::kLanes;
  if (count == E::kLanes * M) {
    for (std::size_t m = 0; m < M; ++m) {
      if (x != nullptr) {
        E::store_xor(dst + kOctets * m, x + kOctets * m, s[m]);
      } else {
        E::store(dst + kOctets * m, s[m]);
      }
    }
    return;
  }
  for (std::size_t m = 0; m < M; ++m) E::store(buf + kOctets * m, s[m]);
  if (x != nullptr) {
    xor_blocks<E>(dst, buf, x, 16 * count);
  } else {
    std::memcpy(dst, buf, 16 * count);
  }
}

template <class E>
struct Scratch {
  alignas(64) std::uint8_t buf[16 * E::kLanes * E::kGroups];
  alignas(64) std::uint8_t aux[16 * E::kLanes * E::kGroups];
  ~Scratch() { OPENSSL_cleanse(this, sizeof *this); }
};

template <class E, bool Encrypt>
void ecb_run(const Keyed<E>& kd, const std::uint8_t* in, std::uint8_t* out, std::size_t n) {
  if (n <= E::kSingleTail) {
    // Single blocks (wblock steps, tails): no scratch to set up and wipe.
    for (; n != 0; --n, in += 16, out += 16) {
      Slices<E> s = broadcast<E>(in);
      crypt_one<E, Encrypt>(kd, s);
      store_lane0<E>(out, s);
    }
    return;
  }
  Scratch<E> w;
  for_blocks<E>(
      n,
      [&]<std::size_t M>(std::size_t off, std::size_t count) {
        Slices<E> s[M];
        load_group<E>(s, in + 16 * off, count, w.buf);
        crypt_groups<E, Encrypt, M>(kd.t, kd.key, s);
        store_group<E>(out + 16 * off, nullptr, s, count, w.buf);
      },
      [&](std::size_t off) {
        Slices<E> s = broadcast<E>(in + 16 * off);
        crypt_one<E, Encrypt>(kd, s);
        store_lane0<E>(out + 16 * off, s);
      });
}

template <class E>
void ecb_kernel(const std::uint32_t* k, bool encrypt, const std::uint8_t* in, std::uint8_t* out,
                std::size_t n) {
  const Keyed<E> kd(k);
  if (encrypt) {
    ecb_run<E, true>(kd, in, out, n);
  } else {
    ecb_run<E, false>(kd, in, out, n);
  }
}

template <class E>
void ctr_kernel(const std::uint32_t* k, std::uint8_t ctr[16], const std::uint8_t* in,
                std::uint8_t* out, std::size_t n) {
  const Keyed<E> kd(k);
  Scratch<E> w;
  std::uint64_t lo = 0, hi = 0;
  for (int i = 7; i >= 0; --i) {
    lo = lo << 8 | ctr[i];
    hi = hi << 8 | ctr[8 + i];
  }
  // The next count counter blocks into aux, without a branch on their value.
  // The empty asm hides the counter from the loop optimiser, which would
  // otherwise derive the block count from it and branch on the counter.
  auto fill = [&](std::size_t count) {
    for (std::size_t j = 0; j < count; ++j) {
      lo += 1;
      hi += static_cast<std::uint64_t>(lo == 0);
      put_u64<E>(w.aux + 16 * j, lo);
      put_u64<E>(w.aux + 16 * j + 8, hi);
    }
    __asm__("" : "+r"(lo), "+r"(hi));
  };
  for_blocks<E>(
      n,
      [&]<std::size_t M>(std::size_t off, std::size_t count) {
        fill(count);
        Slices<E> s[M];
        load_group<E>(s, w.aux, count, w.buf);
        crypt_groups<E, true, M>(kd.t, kd.key, s);
        store_group<E>(out + 16 * off, in + 16 * off, s, count, w.buf);
      },
      [&](std::size_t off) {
        fill(1);
        Slices<E> s = broadcast<E>(w.aux);
        crypt_one<E, true>(kd, s);
        store_lane0<E>(w.buf, s);
        xor_blocks<E>(out + 16 * off, in + 16 * off, w.buf, 16);
      });
  for (int i = 0; i < 8; ++i) {
    ctr[i] = static_cast<std::uint8_t>(lo >> (8 * i));
    ctr[8 + i] = static_cast<std::uint8_t>(hi >> (8 * i));
  }
}

// CBC and CFB decryption: block j pairs with ciphertext block j - 1, the
// chain block for j = 0. Those are copied aside before any output is written,
// so in == out works.
template <class E, bool Cbc>
void chained_decrypt(const Keyed<E>& kd, std::uint8_t chain[16], const std::uint8_t* in,
                     std::uint8_t* out, std::size_t n) {
  Scratch<E> w;
  for_blocks<E>(
      n,
      [&]<std::size_t M>(std::size_t off, std::size_t count) {
        const std::uint8_t* y = in + 16 * off;
        std::memcpy(w.aux, chain, 16);
        std::memcpy(w.aux + 16, y, 16 * (count - 1));
        std::memcpy(chain, y + 16 * (count - 1), 16);
        Slices<E> s[M];
        if constexpr (Cbc) {
          load_group<E>(s, y, count, w.buf);
          crypt_groups<E, false, M>(kd.t, kd.key, s);
          store_group<E>(out + 16 * off, w.aux, s, count, w.buf);
        } else {
          load_group<E>(s, w.aux, count, w.buf);
          crypt_groups<E, true, M>(kd.t, kd.key, s);
          store_group<E>(out + 16 * off, y, s, count, w.buf);
        }
      },
      [&](std::size_t off) {
        std::uint8_t y[16];
        std::memcpy(y, in + 16 * off, 16);
        Slices<E> s = broadcast<E>(Cbc ? y : chain);
        crypt_one<E, !Cbc>(kd, s);
        store_lane0<E>(w.buf, s);
        xor_blocks<E>(out + 16 * off, w.buf, Cbc ? chain : y, 16);
        std::memcpy(chain, y, 16);
      });
}

// Strictly one block after another: each input needs the output before it.
template <class E, bool Cbc>
void chained_encrypt(const Keyed<E>& kd, std::uint8_t chain[16], const std::uint8_t* in,
                     std::uint8_t* out, std::size_t n) {
  Slices<E> c = broadcast<E>(chain);
  for (; n != 0; --n, in += 16, out += 16) {
    if constexpr (Cbc) {
      c = xor_slices<E>(c, broadcast<E>(in));
      crypt_one<E, true>(kd, c);
    } else {
      crypt_one<E, true>(kd, c);
      c = xor_slices<E>(c, broadcast<E>(in));
    }
    store_lane0<E>(out, c);
  }
  store_lane0<E>(chain, c);
}

template <class E, bool Cbc>
void chained_kernel(const std::uint32_t* k, bool encrypt, std::uint8_t chain[16],
                    const std::uint8_t* in, std::uint8_t* out, std::size_t n) {
  const Keyed<E> kd(k);
  if (encrypt) {
    chained_encrypt<E, Cbc>(kd, chain, in, out, n);
  } else {
    chained_decrypt<E, Cbc>(kd, chain, in, out, n);
  }
}

template <class E>
void mac_kernel(const std::uint32_t* k, std::uint8_t s[16], const std::uint8_t* data,
                std::size_t n) {
  const Keyed<E> kd(k);
  Slices<E> c = broadcast<E>(s);
  for (; n != 0; --n, data += 16) {
    c = xor_slices<E>(c, broadcast<E>(data));
    crypt_one<E, true>(kd, c);
  }
  store_lane0<E>(s, c);
}

// belt-hash: h = X3 || X4 is kept as four vectors with word j of X3 in the
// even lanes and word j of X4 in the odd ones.
template <class E>
void absorb_kernel(std::uint32_t h[8], std::uint32_t s[4], const std::uint8_t* data,
                   std::size_t n) {
  using V = typename E::V;
  const typename E::Tables t = E::tables();
  const V odd = E::odd_ones();
  V hv[4], sv[4];
  for (int j = 0; j < 4; ++j) {
    hv[j] = E::pair(h[j], h[4 + j]);
    sv[j] = E::set1(s[j]);
  }
  V key[8], u[4];
  for (; n != 0; --n, data += 32) {
    // S = F_{X1||X2}(X3 ^ X4) ^ X3 ^ X4, the same in every lane.
    for (int i = 0; i < 8; ++i) key[i] = E::set1(word_at<E>(data + 4 * i));
    for (int j = 0; j < 4; ++j) u[j] = E::xr(hv[j], E::swap_pairs(hv[j]));
    Slices<E> first[1] = {{u[0], u[1], u[2], u[3]}};
    encrypt_slices<E, 1>(t, key, first);
    V sw[4] = {E::xr(first[0].a, u[0]), E::xr(first[0].b, u[1]), E::xr(first[0].c, u[2]),
               E::xr(first[0].d, u[3])};
    if constexpr (E::kPackLanes == 1) {
      // Packing used lane 1 for the second G input: S is valid in lane 0 only.
      for (V& w : sw) w = E::set1(E::lane(w, 0));
    }
    // Y1 = F_{S||X4}(X1) ^ X1 (even lanes), Y2 = F_{~S||X3}(X2) ^ X2 (odd).
    V x[4];
    for (int j = 0; j < 4; ++j) {
      key[j] = E::xr(sw[j], odd);
      key[4 + j] = E::swap_pairs(hv[j]);
      x[j] = E::pair(word_at<E>(data + 4 * j), word_at<E>(data + 16 + 4 * j));
      sv[j] = E::xr(sv[j], sw[j]);
    }
    Slices<E> two[1] = {{x[0], x[1], x[2], x[3]}};
    encrypt_slices<E, 2>(t, key, two);
    hv[0] = E::xr(two[0].a, x[0]);
    hv[1] = E::xr(two[0].b, x[1]);
    hv[2] = E::xr(two[0].c, x[2]);
    hv[3] = E::xr(two[0].d, x[3]);
  }
  for (int j = 0; j < 4; ++j) {
    h[j] = E::lane(hv[j], 0);
    h[4 + j] = E::lane(hv[j], 1);
    s[j] = E::lane(sv[j], 0);
  }
  // The state is secret under HMAC and the generators.
  OPENSSL_cleanse(key, sizeof key);
  OPENSSL_cleanse(u, sizeof u);
  OPENSSL_cleanse(hv, sizeof hv);
  OPENSSL_cleanse(sv, sizeof sv);
}

template <class E>
constexpr Kernels make_kernels() {
  return {ecb_kernel<E>,          ctr_kernel<E>, chained_kernel<E, true>,
          chained_kernel<E, false>, mac_kernel<E>, absorb_kernel<E>};
}

}  // namespace stb::belt::detail
