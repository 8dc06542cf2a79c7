#include "stb/bign/sign.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>

#include "stb/belt/hash.h"
#include "stb/belt/kwp.h"
#include "stb/bign/curves.h"
#include "stb/bign/ec.h"
#include "stb/bign/keys.h"
#include "stb/bign/scalar.h"
#include "stb/ct.h"

namespace stb::bign {
namespace {

// s0 = first l/8 octets of belt-hash(oid || x(R) || H), at every level.
void signature_s0(unsigned level, std::span<const std::uint8_t> oid_der, const std::uint8_t* x,
                  std::span<const std::uint8_t> h, std::uint8_t* s0) {
  belt::Hash hash;
  hash.update(oid_der.data(), oid_der.size());
  hash.update(x, field_size(level));
  hash.update(h.data(), h.size());
  std::uint8_t out[belt::kHashSize];
  hash.final(out);
  std::copy_n(out, level / 8, s0);
}

bool sizes_ok(unsigned level, std::span<const std::uint8_t> oid_der,
              std::span<const std::uint8_t> h, std::span<const std::uint8_t> d) {
  return valid_level(level) && !oid_der.empty() && h.size() == hash_size(level) &&
         d.size() == private_key_size(level);
}

}  // namespace

bool genk(unsigned level, std::span<const std::uint8_t> oid_der, std::span<const std::uint8_t> h,
          std::span<const std::uint8_t> d, std::span<const std::uint8_t> t,
          std::span<std::uint8_t> k) {
  if (!sizes_ok(level, oid_der, h, d) || k.size() != field_size(level)) return false;
  std::uint8_t theta[belt::kHashSize];
  {
    belt::Hash hash;
    hash.update(oid_der.data(), oid_der.size());
    hash.update(d.data(), d.size());
    hash.update(t.data(), t.size());
    hash.final(theta);
  }
  std::copy(h.begin(), h.end(), k.begin());
  // Each rejected value is encrypted again as a whole; a value outside 1..q-1
  // turns up with probability below 2^-128, so the bound is never reached.
  bool ok = false;
  for (int attempt = 0; attempt < 64 && !ok; ++attempt) {
    if (!belt::wblock_encrypt(theta, sizeof theta, k.data(), k.size())) break;
    ok = ct::declassified(detail::scalar_in_range(level, k.data()));
  }
  OPENSSL_cleanse(theta, sizeof theta);
  if (!ok) OPENSSL_cleanse(k.data(), k.size());
  return ok;
}

bool sign_with_k(unsigned level, std::span<const std::uint8_t> oid_der,
                 std::span<const std::uint8_t> h, std::span<const std::uint8_t> d,
                 std::span<const std::uint8_t> k, std::span<std::uint8_t> sig) {
  if (!sizes_ok(level, oid_der, h, d) || k.size() != field_size(level) ||
      sig.size() != signature_size(level) || !private_key_valid(level, d) ||
      !ct::declassified(detail::scalar_in_range(level, k.data()))) {
    return false;
  }
  std::uint8_t r[2 * kMaxFieldSize];
  if (!detail::mul_base(level, k.data(), r)) {
    OPENSSL_cleanse(r, sizeof r);
    return false;
  }
  std::uint8_t* s0 = sig.data();
  signature_s0(level, oid_der, r, h, s0);
  detail::signature_s1(level, k.data(), h.data(), s0, d.data(), sig.data() + level / 8);
  OPENSSL_cleanse(r, sizeof r);
  ct::declassify(sig.data(), sig.size());
  return true;
}

bool sign(unsigned level, std::span<const std::uint8_t> oid_der, std::span<const std::uint8_t> h,
          std::span<const std::uint8_t> d, std::span<std::uint8_t> sig,
          std::span<const std::uint8_t> t) {
  std::uint8_t k[kMaxFieldSize];
  std::span<std::uint8_t> ks(k, valid_level(level) ? field_size(level) : 0);
  bool ok = genk(level, oid_der, h, d, t, ks) && sign_with_k(level, oid_der, h, d, ks, sig);
  OPENSSL_cleanse(k, sizeof k);
  return ok;
}

bool sign_randomized(unsigned level, std::span<const std::uint8_t> oid_der,
                     std::span<const std::uint8_t> h, std::span<const std::uint8_t> d,
                     std::span<std::uint8_t> sig) {
  std::uint8_t t[32];
  bool ok = RAND_bytes(t, sizeof t) == 1 && sign(level, oid_der, h, d, sig, t);
  OPENSSL_cleanse(t, sizeof t);
  return ok;
}

bool verify(unsigned level, std::span<const std::uint8_t> oid_der, std::span<const std::uint8_t> h,
            std::span<const std::uint8_t> sig, std::span<const std::uint8_t> q) {
  if (!valid_level(level) || oid_der.empty() || h.size() != hash_size(level) ||
      sig.size() != signature_size(level) || q.size() != public_key_size(level)) {
    return false;
  }
  const std::uint8_t* s0 = sig.data();
  const std::uint8_t* s1 = sig.data() + level / 8;
  // s1 must already be below q: reducing it would accept altered signatures
  if (!detail::scalar_below_q(level, s1)) return false;
  std::uint8_t u[kMaxFieldSize], v[kMaxFieldSize], x[kMaxFieldSize], check[kMaxFieldSize];
  detail::verify_u(level, s1, h.data(), u);
  detail::s0_scalar(level, s0, v);
  if (!detail::mul2_public(level, u, v, q.data(), x)) return false;
  signature_s0(level, oid_der, x, h, check);
  return CRYPTO_memcmp(check, s0, level / 8) == 0;
}

}  // namespace stb::bign
