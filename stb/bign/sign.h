// bign signatures. The signer gets the hash value H (l/4 octets) and the
// complete DER of the hash algorithm's OID (digest.h has them); the signature
// is s0 || s1, 3l/8 octets. Lengths are checked: a span of the wrong size
// makes the call fail.
#pragma once

#include <cstdint>
#include <span>

namespace stb::bign {

// bign-genk: the one-time key k (l/4 octets) derived from the hash OID, d, H
// and optional extra octets t (absent and empty are the same).
bool genk(unsigned level, std::span<const std::uint8_t> oid_der, std::span<const std::uint8_t> h,
          std::span<const std::uint8_t> d, std::span<const std::uint8_t> t,
          std::span<std::uint8_t> k);

// The signature with the one-time key from genk(): equal inputs give equal
// signatures, and no random generator is involved, so a broken one cannot
// reveal d. t may carry extra octets (a counter, fresh randomness).
bool sign(unsigned level, std::span<const std::uint8_t> oid_der, std::span<const std::uint8_t> h,
          std::span<const std::uint8_t> d, std::span<std::uint8_t> sig,
          std::span<const std::uint8_t> t = {});

// sign() with 32 fresh random octets as t: signatures of the same H differ,
// and k stays safe even if the generator is bad.
bool sign_randomized(unsigned level, std::span<const std::uint8_t> oid_der,
                     std::span<const std::uint8_t> h, std::span<const std::uint8_t> d,
                     std::span<std::uint8_t> sig);

// The signature with a given one-time key k in 1..q-1. Never use a k twice:
// two signatures with one k reveal d.
bool sign_with_k(unsigned level, std::span<const std::uint8_t> oid_der,
                 std::span<const std::uint8_t> h, std::span<const std::uint8_t> d,
                 std::span<const std::uint8_t> k, std::span<std::uint8_t> sig);

// True only for a valid signature under a valid public key q.
bool verify(unsigned level, std::span<const std::uint8_t> oid_der, std::span<const std::uint8_t> h,
            std::span<const std::uint8_t> sig, std::span<const std::uint8_t> q);

}  // namespace stb::bign
