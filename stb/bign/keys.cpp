#include "stb/bign/keys.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include "stb/bign/curves.h"
#include "stb/bign/ec.h"
#include "stb/bign/scalar.h"
#include "stb/ct.h"

namespace stb::bign {

bool private_key_valid(unsigned level, std::span<const std::uint8_t> d) {
  return valid_level(level) && d.size() == private_key_size(level) &&
         ct::declassified(detail::scalar_in_range(level, d.data()));
}

bool generate_private_key(unsigned level, std::span<std::uint8_t> d) {
  if (!valid_level(level) || d.size() != private_key_size(level)) return false;
  // a draw falls outside 1..q-1 with probability below 2^-128
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (RAND_priv_bytes(d.data(), static_cast<int>(d.size())) != 1) break;
    if (ct::declassified(detail::scalar_in_range(level, d.data()))) return true;
  }
  OPENSSL_cleanse(d.data(), d.size());
  return false;
}

bool public_key(unsigned level, std::span<const std::uint8_t> d, std::span<std::uint8_t> q_out) {
  if (!private_key_valid(level, d) || q_out.size() != public_key_size(level) ||
      !detail::mul_base(level, d.data(), q_out.data())) {
    return false;
  }
  ct::declassify(q_out.data(), q_out.size());
  return true;
}

bool public_key_valid(unsigned level, std::span<const std::uint8_t> q) {
  return valid_level(level) && q.size() == public_key_size(level) &&
         detail::point_valid(level, q.data());
}

bool generate_keypair(unsigned level, std::span<std::uint8_t> d, std::span<std::uint8_t> q_out) {
  if (q_out.size() != public_key_size(level) || !generate_private_key(level, d)) return false;
  if (public_key(level, d, q_out)) return true;
  OPENSSL_cleanse(d.data(), d.size());
  return false;
}

}  // namespace stb::bign
