#include "stb/bign/scalar.h"

#include <openssl/crypto.h>

#include "stb/bign/curves.h"
#include "stb/bign/mp.h"

namespace stb::bign::detail {
namespace {

using mp::Limb;

struct Order {
  mp::Modulus mod;

  explicit Order(unsigned level) : mod{} {
    const Curve* c = curve(level);
    mod.n = c->size / 8;
    mp::from_le(mod.m, c->q, mod.n);
    mp::mod_setup(mod);
  }
};

const mp::Modulus& order(unsigned level) {
  static const Order orders[] = {Order(128), Order(192), Order(256)};
  return orders[level / 64 - 2].mod;
}

// H mod q: H < 2^(2l) < 2q, so one conditional subtraction is enough.
void reduce_once(Limb* r, const Limb* a, const mp::Modulus& q) {
  Limb t[mp::kMaxLimbs];
  Limb borrow = mp::sub(t, a, q.m, q.n);
  mp::select(r, mp::mask_of(borrow), a, t, q.n);
}

// (s0 + 2^l) d mod q; s0 + 2^l < 2^(l+1) < q.
void s0_times_d(Limb* r, unsigned level, const std::uint8_t* s0, const std::uint8_t* d,
                const mp::Modulus& q) {
  std::uint8_t v_octets[kMaxFieldSize];
  s0_scalar(level, s0, v_octets);
  Limb v[mp::kMaxLimbs], dl[mp::kMaxLimbs];
  mp::from_le(v, v_octets, q.n);
  mp::from_le(dl, d, q.n);
  mp::mod_mul(r, v, dl, q);
  OPENSSL_cleanse(dl, sizeof dl);
}

}  // namespace

bool scalar_in_range(unsigned level, const std::uint8_t* k) {
  const mp::Modulus& q = order(level);
  Limb kl[mp::kMaxLimbs];
  mp::from_le(kl, k, q.n);
  Limb ok = mp::less(kl, q.m, q.n) & (mp::is_zero(kl, q.n) ^ 1);
  OPENSSL_cleanse(kl, sizeof kl);
  return ok != 0;
}

bool scalar_below_q(unsigned level, const std::uint8_t* s) {
  const mp::Modulus& q = order(level);
  Limb sl[mp::kMaxLimbs];
  mp::from_le(sl, s, q.n);
  return mp::less(sl, q.m, q.n) != 0;
}

void s0_scalar(unsigned level, const std::uint8_t* s0, std::uint8_t* v) {
  const std::size_t half = level / 8;
  for (std::size_t i = 0; i < half; ++i) v[i] = s0[i];
  v[half] = 1;
  for (std::size_t i = half + 1; i < 2 * half; ++i) v[i] = 0;
}

void signature_s1(unsigned level, const std::uint8_t* k, const std::uint8_t* h,
                  const std::uint8_t* s0, const std::uint8_t* d, std::uint8_t* s1) {
  const mp::Modulus& q = order(level);
  Limb kl[mp::kMaxLimbs], hl[mp::kMaxLimbs], vd[mp::kMaxLimbs];
  mp::from_le(kl, k, q.n);
  mp::from_le(hl, h, q.n);
  reduce_once(hl, hl, q);
  s0_times_d(vd, level, s0, d, q);
  mp::mod_sub(kl, kl, hl, q);
  mp::mod_sub(kl, kl, vd, q);
  mp::to_le(s1, kl, q.n);
  OPENSSL_cleanse(kl, sizeof kl);
  OPENSSL_cleanse(vd, sizeof vd);
}

void signature_k(unsigned level, const std::uint8_t* s1, const std::uint8_t* h,
                 const std::uint8_t* s0, const std::uint8_t* d, std::uint8_t* k) {
  const mp::Modulus& q = order(level);
  Limb sl[mp::kMaxLimbs], hl[mp::kMaxLimbs], vd[mp::kMaxLimbs];
  mp::from_le(sl, s1, q.n);
  mp::from_le(hl, h, q.n);
  reduce_once(hl, hl, q);
  reduce_once(sl, sl, q);
  s0_times_d(vd, level, s0, d, q);
  mp::mod_add(sl, sl, hl, q);
  mp::mod_add(sl, sl, vd, q);
  mp::to_le(k, sl, q.n);
  OPENSSL_cleanse(sl, sizeof sl);
  OPENSSL_cleanse(vd, sizeof vd);
}

void verify_u(unsigned level, const std::uint8_t* s1, const std::uint8_t* h, std::uint8_t* u) {
  const mp::Modulus& q = order(level);
  Limb sl[mp::kMaxLimbs], hl[mp::kMaxLimbs];
  mp::from_le(sl, s1, q.n);
  mp::from_le(hl, h, q.n);
  reduce_once(hl, hl, q);
  mp::mod_add(sl, sl, hl, q);
  mp::to_le(u, sl, q.n);
}

}  // namespace stb::bign::detail
