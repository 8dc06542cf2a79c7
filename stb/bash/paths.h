// The bash-f implementations behind stb::bash::f(), one per instruction set.
// Each lives in its own file so the SIMD ones can be compiled with their own
// target flags while the rest of the library stays baseline x86-64.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#define STB_BASH_HAVE_X86_PATHS 1
#else
#define STB_BASH_HAVE_X86_PATHS 0
#endif

namespace stb::bash::detail {

// f_*: bash-f in place. absorb_*: for each of `blocks` blocks of `rate`
// octets (64, 96 or 128) at data, overwrite the front of the state with it
// and apply bash-f; the SIMD paths keep the state in registers throughout.
void f_portable(std::uint64_t state[24]);
void absorb_portable(std::uint64_t state[24], const std::uint8_t* data, std::size_t blocks,
                     std::size_t rate);
#if STB_BASH_HAVE_X86_PATHS
void f_avx2(std::uint64_t state[24]);
void absorb_avx2(std::uint64_t state[24], const std::uint8_t* data, std::size_t blocks,
                 std::size_t rate);
void f_avx512(std::uint64_t state[24]);
void absorb_avx512(std::uint64_t state[24], const std::uint8_t* data, std::size_t blocks,
                   std::size_t rate);
#endif

// absorb_* of the path f() uses (dispatch.cpp).
void absorb(std::uint64_t state[24], const std::uint8_t* data, std::size_t blocks,
            std::size_t rate);

}  // namespace stb::bash::detail
