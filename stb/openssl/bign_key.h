// The key object behind an EVP_PKEY of type bign-pubkey, and the lookups that
// the ASN.1 method, the key method and the C functions share: levels and
// curve identifiers, digests and signature identifiers.
#pragma once

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>

#include "stb/bign/curves.h"
#include "stb/bign/digest.h"

namespace stb::openssl {

// Level 0 means "no parameters yet" (an EVP_PKEY made by type only). A key
// with a private part always has its public part too.
struct BignKey {
  unsigned level = 0;
  bool has_private = false;
  bool has_public = false;
  std::uint8_t d[bign::kMaxFieldSize] = {};
  std::uint8_t q[2 * bign::kMaxFieldSize] = {};

  BignKey() = default;
  explicit BignKey(unsigned l) : level(l) {}
  BignKey(const BignKey&) = default;
  BignKey& operator=(const BignKey&) = default;
  ~BignKey() { OPENSSL_cleanse(d, sizeof d); }

  std::size_t d_size() const { return bign::private_key_size(level); }
  std::size_t q_size() const { return bign::public_key_size(level); }

  // d (l/4 octets) must lie in 1..q-1; Q follows.
  bool set_private(const std::uint8_t* src);
  // Q (l/2 octets) must be a valid point; drops any private part.
  bool set_public(const std::uint8_t* src);
  // A fresh pair from OpenSSL's generator.
  bool generate();
};

// NID of bign-pubkey; NID_undef until the identifiers exist.
int bign_nid();

// The key object of a bign EVP_PKEY, or null for any other key.
BignKey* bign_key(const EVP_PKEY* pkey);

// Makes pkey a bign key that owns key. On failure key is deleted.
bool assign_bign_key(EVP_PKEY* pkey, BignKey* key);

// Curve identifiers by level and back (0 for an unknown curve).
int curve_nid(unsigned level);
unsigned level_of_curve(int nid);
// Dotted form, or nullptr for a level other than 128, 192, 256.
const char* curve_oid(unsigned level);
// A curve given as dotted OID, curve name or "A"/"B"/"C": its level or 0.
unsigned level_by_text(const char* text);

// The hash behind a digest NID when it fits a signature at this level
// (belt-hash and bash256 at 128, bash384 at 192, bash512 at 256).
const bign::HashInfo* hash_for(int md_nid, unsigned level);
int default_md_nid(unsigned level);

}  // namespace stb::openssl
