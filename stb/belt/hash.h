// belt-compress and belt-hash (STB 34.101.31). The state is flat so that a
// copy of the object (memcpy included) continues the same message.
#pragma once

#include <cstddef>
#include <cstdint>

namespace stb::belt {

inline constexpr std::size_t kHashSize = 32;
inline constexpr std::size_t kHashBlockSize = 32;

// belt-compress: 64 octets in; S (16 octets) and Y (32 octets) out. Either
// output may be null when not wanted.
void compress(const std::uint8_t in[64], std::uint8_t s[16], std::uint8_t y[32]);

class Hash {
 public:
  Hash() { init(); }
  ~Hash();
  void init();
  void update(const std::uint8_t* data, std::size_t len);
  // Does not change the object.
  void final(std::uint8_t out[kHashSize]) const;

  static void compute(const std::uint8_t* data, std::size_t len, std::uint8_t out[kHashSize]);

 private:
  std::uint32_t h_[8];
  std::uint32_t s_[4];
  std::uint64_t bits_lo_;  // message length in bits, 128-bit counter
  std::uint64_t bits_hi_;
  std::uint8_t buf_[kHashBlockSize];
  std::size_t buffered_;
};

}  // namespace stb::belt
