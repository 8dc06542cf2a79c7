// Sixteen blocks at a time with 512-bit vectors (AVX-512 with byte permutes),
// for the modes whose blocks are independent. Each function handles the
// largest multiple of 16 blocks it can and returns how many blocks it did:
// 0 when the processor lacks the instructions, the caller then runs the
// table-driven code over everything.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb::belt::detail {

// Whether the wide path runs; tests switch it off to cover the portable path.
bool wide_available();
void set_wide_enabled(bool on);

std::size_t ecb_wide(const std::uint32_t* k, bool encrypt, const std::uint8_t* in,
                     std::uint8_t* out, std::size_t blocks);
// ctr: the counter block (advanced by the blocks done).
std::size_t ctr_wide(const std::uint32_t* k, std::uint8_t ctr[16], const std::uint8_t* in,
                     std::uint8_t* out, std::size_t blocks);
// chain: the previous ciphertext block (advanced).
std::size_t cbc_decrypt_wide(const std::uint32_t* k, std::uint8_t chain[16], const std::uint8_t* in,
                             std::uint8_t* out, std::size_t blocks);
std::size_t cfb_decrypt_wide(const std::uint32_t* k, std::uint8_t chain[16], const std::uint8_t* in,
                             std::uint8_t* out, std::size_t blocks);

}  // namespace stb::belt::detail
