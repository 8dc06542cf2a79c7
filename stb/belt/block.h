// belt-block (STB 34.101.31): the 128-bit block cipher with a 256-bit key, and
// belt-keyexpand, which turns 128- and 192-bit keys into 256-bit ones.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb::belt {

namespace detail {
struct BlockAccess;
}

inline constexpr std::size_t kBlockSize = 16;
inline constexpr std::size_t kKeySize = 32;

// True for the key lengths belt accepts: 16, 24 or 32 octets.
constexpr bool valid_key_length(std::size_t len) { return len == 16 || len == 24 || len == 32; }

// belt-keyexpand: 16, 24 or 32 octets in, 32 out. False (and nothing written)
// for any other length.
bool keyexpand(const std::uint8_t* key, std::size_t len, std::uint8_t out[kKeySize]);

// The cipher keyed once; encrypt/decrypt may work in place (in == out).
// The key words are wiped when the object ends.
class Block {
 public:
  Block() = default;
  Block(const Block&) = default;
  Block& operator=(const Block&) = default;
  ~Block();

  // Any length valid_key_length() accepts; shorter keys are expanded first.
  bool set_key(const std::uint8_t* key, std::size_t len);
  // The 32-octet key as is (belt-compress re-keys this way three times a call).
  void set_key32(const std::uint8_t key[kKeySize]);

  void encrypt(const std::uint8_t in[kBlockSize], std::uint8_t out[kBlockSize]) const;
  void decrypt(const std::uint8_t in[kBlockSize], std::uint8_t out[kBlockSize]) const;

 private:
  friend struct detail::BlockAccess;  // the modes run several blocks at once on k_
  std::uint32_t k_[8]{};
};

}  // namespace stb::belt
