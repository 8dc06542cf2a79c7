// bign key transport: a secret key X (16 octets or more) with a 16-octet
// header I is wrapped for the holder of a public key into a token of
// |X| + 16 + l/4 octets; only the matching private key opens it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace stb::bign {

inline constexpr std::size_t kTokenHeaderSize = 16;
inline constexpr std::size_t kTokenMinKeySize = 16;

constexpr std::size_t token_size(unsigned level, std::size_t key_len) {
  return key_len + kTokenHeaderSize + level / 4;
}

// Creates the token for the recipient's public key q (validated here). The
// one-time key comes from rand by the rule of derive.h (first l/4-octet piece
// in 1..q-1); with rand empty it is drawn from OpenSSL's private generator.
// token.size() must equal token_size(level, key.size()).
bool token_create(unsigned level, std::span<const std::uint8_t> key,
                  std::span<const std::uint8_t> header, std::span<const std::uint8_t> q,
                  std::span<std::uint8_t> token, std::span<const std::uint8_t> rand = {});

enum class TokenResult {
  ok = 0,
  // Cannot be a token: too short, a wrong length for the output or the
  // private key, a first part that is no point's x-coordinate.
  malformed = 1,
  // Well formed but does not open: a wrong header or private key, or any
  // change to the wrapped part. These cannot be told apart.
  integrity = 2,
};

// Opens the token with the private key d. key receives |token| - 16 - l/4
// octets and must have exactly that size; it is wiped unless the result is ok.
TokenResult token_decode(unsigned level, std::span<const std::uint8_t> token,
                         std::span<const std::uint8_t> header, std::span<const std::uint8_t> d,
                         std::span<std::uint8_t> key);

}  // namespace stb::bign
