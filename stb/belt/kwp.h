// belt-wblock and belt-kwp (STB 34.101.31): wide-block encryption and key
// wrapping with a 16-octet header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb::belt {

inline constexpr std::size_t kHeaderSize = 16;

// belt-wblock on len >= 32 octets, in place. False for a short input or a bad
// key length.
bool wblock_encrypt(const std::uint8_t* key, std::size_t key_len, std::uint8_t* data,
                    std::size_t len);
bool wblock_decrypt(const std::uint8_t* key, std::size_t key_len, std::uint8_t* data,
                    std::size_t len);

// belt-kwp: out receives len + 16 octets. secret must have 16 octets or more.
bool kwp_wrap(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* secret,
              std::size_t len, const std::uint8_t header[kHeaderSize], std::uint8_t* out);
// out receives len - 16 octets. False for a short input, a bad key length, or
// when the header does not match (wrong key, wrong header or damaged data);
// out is wiped then.
bool kwp_unwrap(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* wrapped,
                std::size_t len, const std::uint8_t header[kHeaderSize], std::uint8_t* out);

}  // namespace stb::belt
