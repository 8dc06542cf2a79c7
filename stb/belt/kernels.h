// The whole-block work of the belt modes, one set of functions per
// instruction-set path (see path.h). k is the eight key words of a Block;
// every function takes n whole blocks, and in and out may be the same
// buffer. Internal to belt.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb::belt::detail {

struct Kernels {
  void (*ecb)(const std::uint32_t* k, bool encrypt, const std::uint8_t* in, std::uint8_t* out,
              std::size_t n);
  // ctr: the last counter value used; block j is encrypted ctr + j + 1.
  void (*ctr)(const std::uint32_t* k, std::uint8_t ctr[16], const std::uint8_t* in,
              std::uint8_t* out, std::size_t n);
  // chain: the previous ciphertext block (the IV at first), advanced.
  void (*cbc)(const std::uint32_t* k, bool encrypt, std::uint8_t chain[16], const std::uint8_t* in,
              std::uint8_t* out, std::size_t n);
  void (*cfb)(const std::uint32_t* k, bool encrypt, std::uint8_t chain[16], const std::uint8_t* in,
              std::uint8_t* out, std::size_t n);
  // belt-mac's chain: s <- F(s ^ block) for each block.
  void (*mac)(const std::uint32_t* k, std::uint8_t s[16], const std::uint8_t* data, std::size_t n);
  // belt-hash's step over 32-octet blocks: (t, h) <- compress(block || h), s ^= t.
  void (*absorb)(std::uint32_t h[8], std::uint32_t s[4], const std::uint8_t* data, std::size_t n);
};

// The kernels of the path in use.
const Kernels& kernels();

// Each path's kernels; null where the path is not built for this processor
// family.
const Kernels* portable_kernels();
const Kernels* ssse3_kernels();
const Kernels* avx2_kernels();
const Kernels* avx512_kernels();

}  // namespace stb::belt::detail
