#include "stb/bign/dh.h"

#include <openssl/crypto.h>

#include <algorithm>

#include "stb/bign/curves.h"
#include "stb/bign/ec.h"
#include "stb/bign/keys.h"

namespace stb::bign {

bool dh(unsigned level, std::span<const std::uint8_t> d, std::span<const std::uint8_t> q,
        std::span<std::uint8_t> shared) {
  if (!private_key_valid(level, d) || !public_key_valid(level, q) || shared.empty() ||
      shared.size() > public_key_size(level)) {
    return false;
  }
  std::uint8_t point[2 * kMaxFieldSize];
  bool ok = detail::mul_point(level, d.data(), q.data(), point);
  if (ok) std::copy_n(point, shared.size(), shared.data());
  OPENSSL_cleanse(point, sizeof point);
  return ok;
}

}  // namespace stb::bign
