#include "stb/bign/token.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>

#include "stb/belt/kwp.h"
#include "stb/bign/curves.h"
#include "stb/bign/derive.h"
#include "stb/bign/ec.h"
#include "stb/bign/keys.h"
#include "stb/bign/scalar.h"
#include "stb/ct.h"

namespace stb::bign {
namespace {

constexpr std::size_t kThetaSize = 32;

// The one-time key from the caller's octets or, without them, a fresh draw.
bool one_time_key(unsigned level, std::span<const std::uint8_t> rand, std::span<std::uint8_t> k) {
  if (!rand.empty()) return scalar_from_octets(level, rand, k);
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (RAND_priv_bytes(k.data(), static_cast<int>(k.size())) != 1) return false;
    if (ct::declassified(detail::scalar_in_range(level, k.data()))) return true;
  }
  return false;
}

// A one-time secret area, wiped on every way out.
struct Secrets {
  std::uint8_t k[kMaxFieldSize];
  std::uint8_t point[2 * kMaxFieldSize];
  ~Secrets() { OPENSSL_cleanse(this, sizeof *this); }
};

}  // namespace

bool token_create(unsigned level, std::span<const std::uint8_t> key,
                  std::span<const std::uint8_t> header, std::span<const std::uint8_t> q,
                  std::span<std::uint8_t> token, std::span<const std::uint8_t> rand) {
  if (!valid_level(level) || key.size() < kTokenMinKeySize || header.size() != kTokenHeaderSize ||
      token.size() != token_size(level, key.size()) || !public_key_valid(level, q)) {
    return false;
  }
  const std::size_t n = field_size(level);
  Secrets s;
  std::span<std::uint8_t> k(s.k, n);
  // theta = the low 256 bits of x(kQ); the token starts with x(kG)
  if (!one_time_key(level, rand, k) || !detail::mul_point(level, s.k, q.data(), s.point) ||
      !belt::kwp_wrap(s.point, kThetaSize, key.data(), key.size(), header.data(),
                      token.data() + n) ||
      !detail::mul_base(level, s.k, s.point)) {
    OPENSSL_cleanse(token.data(), token.size());
    return false;
  }
  std::copy_n(s.point, n, token.data());
  ct::declassify(token.data(), token.size());
  return true;
}

TokenResult token_decode(unsigned level, std::span<const std::uint8_t> token,
                         std::span<const std::uint8_t> header, std::span<const std::uint8_t> d,
                         std::span<std::uint8_t> key) {
  OPENSSL_cleanse(key.data(), key.size());
  if (!valid_level(level)) return TokenResult::malformed;
  const std::size_t n = field_size(level);
  if (token.size() < n + kTokenMinKeySize + kTokenHeaderSize ||
      key.size() != token.size() - n - kTokenHeaderSize || header.size() != kTokenHeaderSize ||
      !private_key_valid(level, d)) {
    return TokenResult::malformed;
  }
  Secrets s;
  // the sign of y does not matter: x(d(x, y)) = x(d(x, -y))
  if (!detail::lift_x(level, token.data(), s.point)) return TokenResult::malformed;
  if (!detail::mul_point(level, d.data(), s.point, s.point)) return TokenResult::malformed;
  if (!belt::kwp_unwrap(s.point, kThetaSize, token.data() + n, token.size() - n, header.data(),
                        key.data())) {
    OPENSSL_cleanse(key.data(), key.size());
    return TokenResult::integrity;
  }
  return TokenResult::ok;
}

}  // namespace stb::bign
