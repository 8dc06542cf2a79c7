#include "stb/bign/derive.h"

#include <openssl/crypto.h>

#include <algorithm>

#include "stb/bign/curves.h"
#include "stb/bign/keys.h"
#include "stb/bign/scalar.h"
#include "stb/ct.h"

namespace stb::bign {

bool scalar_from_octets(unsigned level, std::span<const std::uint8_t> src,
                        std::span<std::uint8_t> out) {
  if (!valid_level(level) || out.size() != field_size(level)) return false;
  const std::size_t n = field_size(level);
  // Which piece is taken depends on the octets, but a piece is rejected with
  // probability below 2^-128 for random input.
  for (std::size_t off = 0; off + n <= src.size(); off += n) {
    if (ct::declassified(detail::scalar_in_range(level, src.data() + off))) {
      std::copy_n(src.data() + off, n, out.data());
      return true;
    }
  }
  return false;
}

bool keypair_from_octets(unsigned level, std::span<const std::uint8_t> src,
                         std::span<std::uint8_t> d, std::span<std::uint8_t> q_out) {
  if (!scalar_from_octets(level, src, d)) return false;
  if (public_key(level, d, q_out)) return true;
  OPENSSL_cleanse(d.data(), d.size());
  return false;
}

}  // namespace stb::bign
