#include "stb/openssl/bign_key.h"

#include <openssl/objects.h>

#include <atomic>
#include <cstring>
#include <span>
#include <string_view>

#include "stb/bign/keys.h"
#include "stb/openssl/objects.h"

namespace stb::openssl {
namespace {

// NIDs never change once created, and these lookups sit on every key
// operation: remember them, but only once they exist.
int cached(std::atomic<int>& slot, const char* short_name) {
  int nid = slot.load(std::memory_order_relaxed);
  if (nid == NID_undef) {
    nid = nid_of(short_name);
    slot.store(nid, std::memory_order_relaxed);
  }
  return nid;
}

std::atomic<int> pubkey_nid{NID_undef};
std::atomic<int> curve_nids[3] = {};
std::atomic<int> hash_nids[4] = {};

constexpr const char* kCurveNames[3] = {kBignCurve256, kBignCurve384, kBignCurve512};
constexpr const char* kHashNames[4] = {kBeltHash, kBash256, kBash384, kBash512};
constexpr bign::HashAlg kHashAlgs[4] = {bign::HashAlg::belt_hash, bign::HashAlg::bash256,
                                        bign::HashAlg::bash384, bign::HashAlg::bash512};

int level_index(unsigned level) {
  return level == 128 ? 0 : level == 192 ? 1 : level == 256 ? 2 : -1;
}

}  // namespace

bool BignKey::set_private(const std::uint8_t* src) {
  if (!bign::valid_level(level)) return false;
  std::uint8_t pub[2 * bign::kMaxFieldSize];
  if (!bign::public_key(level, std::span(src, d_size()), std::span(pub, q_size()))) return false;
  std::memcpy(d, src, d_size());
  std::memcpy(q, pub, q_size());
  has_private = has_public = true;
  return true;
}

bool BignKey::set_public(const std::uint8_t* src) {
  if (!bign::valid_level(level) || !bign::public_key_valid(level, std::span(src, q_size()))) {
    return false;
  }
  OPENSSL_cleanse(d, sizeof d);
  std::memcpy(q, src, q_size());
  has_private = false;
  has_public = true;
  return true;
}

bool BignKey::generate() {
  if (!bign::valid_level(level)) return false;
  if (!bign::generate_keypair(level, std::span(d, d_size()), std::span(q, q_size()))) {
    return false;
  }
  has_private = has_public = true;
  return true;
}

int bign_nid() {
  return cached(pubkey_nid, kBignPubkey);
}

BignKey* bign_key(const EVP_PKEY* pkey) {
  if (pkey == nullptr || bign_nid() == NID_undef || EVP_PKEY_get_base_id(pkey) != bign_nid()) {
    return nullptr;
  }
  return static_cast<BignKey*>(EVP_PKEY_get0(pkey));
}

bool assign_bign_key(EVP_PKEY* pkey, BignKey* key) {
  if (pkey == nullptr || key == nullptr || bign_nid() == NID_undef ||
      !EVP_PKEY_assign(pkey, bign_nid(), key)) {
    delete key;
    return false;
  }
  return true;
}

int curve_nid(unsigned level) {
  const int i = level_index(level);
  return i < 0 ? NID_undef : cached(curve_nids[i], kCurveNames[i]);
}

unsigned level_of_curve(int nid) {
  if (nid == NID_undef) return 0;
  for (unsigned level : {128u, 192u, 256u}) {
    if (curve_nid(level) == nid) return level;
  }
  return 0;
}

const char* curve_oid(unsigned level) {
  const bign::Curve* c = bign::curve(level);
  return c == nullptr ? nullptr : c->oid;
}

unsigned level_by_text(const char* text) {
  if (text == nullptr) return 0;
  const std::string_view t(text);
  if (t == "A" || t == "a") return 128;
  if (t == "B" || t == "b") return 192;
  if (t == "C" || t == "c") return 256;
  const bign::Curve* c = bign::curve_by_oid(t);
  if (c == nullptr) c = bign::curve_by_name(t);
  return c == nullptr ? 0 : c->level;
}

const bign::HashInfo* hash_for(int md_nid, unsigned level) {
  if (md_nid == NID_undef) return nullptr;
  for (int i = 0; i < 4; ++i) {
    if (cached(hash_nids[i], kHashNames[i]) != md_nid) continue;
    const bign::HashInfo& info = bign::hash_info(kHashAlgs[i]);
    return info.level == level ? &info : nullptr;
  }
  return nullptr;
}

int default_md_nid(unsigned level) {
  if (!bign::valid_level(level)) return NID_undef;
  return nid_of(bign::hash_info(bign::default_hash(level)).name);
}

}  // namespace stb::openssl
