// belt-mac (STB 34.101.31): an 8-octet message authentication code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stb/belt/block.h"

namespace stb::belt {

inline constexpr std::size_t kMacSize = 8;

class Mac {
 public:
  ~Mac();
  bool init(const std::uint8_t* key, std::size_t key_len);
  void update(const std::uint8_t* data, std::size_t len);
  // Does not change the object: more data may follow for a longer message.
  void final(std::uint8_t out[kMacSize]) const;

  static bool compute(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* data,
                      std::size_t len, std::uint8_t out[kMacSize]);

 private:
  Block block_;
  std::uint8_t s_[kBlockSize]{};
  std::uint8_t r_[kBlockSize]{};  // F(0), for the closing step
  std::uint8_t buf_[kBlockSize]{};
  std::size_t buffered_ = 0;  // 0..16: the last block is kept until final()
};

}  // namespace stb::belt
