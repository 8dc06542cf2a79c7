// hmac-hbelt (STB 34.101.47): HMAC over belt-hash, 32-octet output.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stb/belt/hash.h"

namespace stb::belt {

class Hmac {
 public:
  ~Hmac();
  // Any key length, the empty key included.
  void init(const std::uint8_t* key, std::size_t key_len);
  void update(const std::uint8_t* data, std::size_t len);
  void final(std::uint8_t out[kHashSize]) const;

  static void compute(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* data,
                      std::size_t len, std::uint8_t out[kHashSize]);

 private:
  Hash inner_;
  Hash outer_;  // already holds K0 ^ 5C..5C
};

}  // namespace stb::belt
