// The bign functions of stb/stb.h over the key object in the EVP_PKEY.
#include <openssl/evp.h>

#include <cstring>
#include <new>
#include <span>

#include "stb/bign/derive.h"
#include "stb/bign/token.h"
#include "stb/openssl/bign_key.h"
#include "stb/stb.h"

namespace {

using stb::openssl::BignKey;
namespace bign = stb::bign;

constexpr int kOk = 0;
constexpr int kBad = 1;

// The key object of a bign key with parameters; registers on first use so
// that a caller holding an empty EVP_PKEY can start here.
BignKey* keyed(const EVP_PKEY* key) {
  if (stb::openssl::bign_nid() == NID_undef && STB_register() != 1) return nullptr;
  BignKey* k = stb::openssl::bign_key(key);
  return k != nullptr && bign::valid_level(k->level) ? k : nullptr;
}

size_t copy_out(const std::uint8_t* src, size_t n, bool present, unsigned char* out,
                size_t out_len) {
  if (!present) return 0;
  if (out == nullptr) return n;
  if (out_len < n) return 0;
  std::memcpy(out, src, n);
  return n;
}

}  // namespace

extern "C" {

const char* BIGN_get_params(const EVP_PKEY* key) {
  const BignKey* k = keyed(key);
  return k == nullptr ? nullptr : stb::openssl::curve_oid(k->level);
}

size_t BIGN_get_privkey(const EVP_PKEY* key, unsigned char* out, size_t out_len) {
  const BignKey* k = keyed(key);
  return k == nullptr ? 0 : copy_out(k->d, k->d_size(), k->has_private, out, out_len);
}

size_t BIGN_get_pubkey(const EVP_PKEY* key, unsigned char* out, size_t out_len) {
  const BignKey* k = keyed(key);
  return k == nullptr ? 0 : copy_out(k->q, k->q_size(), k->has_public, out, out_len);
}

int BIGN_load_std_params(EVP_PKEY* key, const char* curve) {
  if (key == nullptr || (stb::openssl::bign_nid() == NID_undef && STB_register() != 1)) {
    return kBad;
  }
  const unsigned level = stb::openssl::level_by_text(curve);
  if (level == 0) return kBad;
  if (BignKey* k = stb::openssl::bign_key(key)) {
    if (k->level == level) return kOk;
    if (k->level != 0) return kBad;
    k->level = level;
    return kOk;
  }
  // An empty EVP_PKEY, or one typed bign-pubkey but without a key object.
  const int type = EVP_PKEY_get_base_id(key);
  if (type != EVP_PKEY_NONE && type != stb::openssl::bign_nid()) return kBad;
  return stb::openssl::assign_bign_key(key, new (std::nothrow) BignKey(level)) ? kOk : kBad;
}

int BIGN_gen_keypair(EVP_PKEY* key, unsigned char* privkey, unsigned char* pubkey,
                     const unsigned char* src, size_t src_len) {
  BignKey* k = keyed(key);
  if (k == nullptr || (src == nullptr && src_len != 0)) return kBad;
  BignKey fresh(k->level);
  if (!bign::keypair_from_octets(k->level, std::span(src, src_len),
                                 std::span(fresh.d, fresh.d_size()),
                                 std::span(fresh.q, fresh.q_size()))) {
    return kBad;
  }
  fresh.has_private = fresh.has_public = true;
  *k = fresh;
  if (privkey != nullptr) std::memcpy(privkey, k->d, k->d_size());
  if (pubkey != nullptr) std::memcpy(pubkey, k->q, k->q_size());
  return kOk;
}

int BIGN_create_token(const EVP_PKEY* key, const unsigned char* pubkey, const unsigned char* secret,
                      size_t secret_len, const unsigned char* header, const unsigned char* rand,
                      unsigned char* token) {
  static constexpr std::uint8_t kZero[bign::kTokenHeaderSize] = {};
  constexpr size_t kRandSize = 64;
  const BignKey* k = keyed(key);
  if (k == nullptr || secret == nullptr || token == nullptr) return kBad;
  if (pubkey == nullptr) {
    if (!k->has_public) return kBad;
    pubkey = k->q;
  }
  const std::span<const std::uint8_t> r =
      rand == nullptr ? std::span<const std::uint8_t>() : std::span(rand, kRandSize);
  const bool ok = bign::token_create(
      k->level, std::span(secret, secret_len),
      std::span(header == nullptr ? kZero : header, bign::kTokenHeaderSize),
      std::span(pubkey, k->q_size()), std::span(token, bign::token_size(k->level, secret_len)), r);
  return ok ? kOk : kBad;
}

int BIGN_decode_token(const EVP_PKEY* key, const unsigned char* token, size_t token_len,
                      const unsigned char* header, const unsigned char* privkey,
                      unsigned char* out) {
  static constexpr std::uint8_t kZero[bign::kTokenHeaderSize] = {};
  const BignKey* k = keyed(key);
  if (k == nullptr || token == nullptr || out == nullptr) {
    return static_cast<int>(bign::TokenResult::malformed);
  }
  if (privkey == nullptr) {
    if (!k->has_private) return static_cast<int>(bign::TokenResult::malformed);
    privkey = k->d;
  }
  const size_t overhead = bign::token_size(k->level, 0);
  if (token_len < overhead + bign::kTokenMinKeySize) {
    return static_cast<int>(bign::TokenResult::malformed);
  }
  return static_cast<int>(
      bign::token_decode(k->level, std::span(token, token_len),
                         std::span(header == nullptr ? kZero : header, bign::kTokenHeaderSize),
                         std::span(privkey, k->d_size()), std::span(out, token_len - overhead)));
}

}  // extern "C"
