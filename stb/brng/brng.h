// The pseudo-random generators of STB 34.101.47 built on belt-hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stb/belt/hash.h"
#include "stb/belt/hmac.h"

namespace stb::brng {

inline constexpr std::size_t kBlockSize = 32;

// brng-ctr-hbelt. Continuing a generator gives the same stream as one longer
// call. Key and state are wiped when the object ends.
class CtrHbelt {
 public:
  ~CtrHbelt();
  void init(const std::uint8_t key[32], const std::uint8_t start[32]);
  // n blocks: x holds n * 32 input octets (may be null for zeros), y receives
  // n * 32 output octets; x and y may be the same buffer.
  void generate(const std::uint8_t* x, std::size_t n, std::uint8_t* y);
  // The start value the next call begins with (S + blocks so far).
  const std::uint8_t* start() const { return s_; }

 private:
  belt::Hash keyed_;  // belt-hash with the key absorbed
  std::uint8_t s_[32]{};
  std::uint8_t r_[32]{};
};

// brng-hmac-hbelt with a key and start value of any length. generate() may be
// called repeatedly with any lengths; the stream is the same as one longer
// call (a length that is not a multiple of 32 takes the head of the next block
// and the rest of that block starts the following call).
class HmacHbelt {
 public:
  ~HmacHbelt();
  void init(const std::uint8_t* key, std::size_t key_len, const std::uint8_t* start,
            std::size_t start_len);
  void generate(std::uint8_t* out, std::size_t len);

 private:
  void next_block(std::uint8_t out[kBlockSize]);

  belt::Hmac keyed_;  // hmac-hbelt with the key set, nothing absorbed
  std::vector<std::uint8_t> start_;
  std::uint8_t r_[32]{};
  std::uint8_t block_[kBlockSize]{};  // the block being handed out
  std::size_t left_ = 0;              // its octets not yet handed out (at its end)
};

}  // namespace stb::brng
