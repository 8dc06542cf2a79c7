// bign key pairs: the private key d is an integer in 1..q-1 stored as l/4
// little-endian octets; the public key Q = d G is x || y, l/2 octets.
// Lengths are checked: a span of the wrong size makes the call fail.
#pragma once

#include <cstdint>
#include <span>

namespace stb::bign {

// d has l/4 octets and lies in 1..q-1 (checked in constant time).
bool private_key_valid(unsigned level, std::span<const std::uint8_t> d);

// A fresh d from OpenSSL's private random generator.
bool generate_private_key(unsigned level, std::span<std::uint8_t> d);

// q_out = d G. False for an invalid d.
bool public_key(unsigned level, std::span<const std::uint8_t> d, std::span<std::uint8_t> q_out);

// Q has l/2 octets, both coordinates are below p and the point is on the
// curve (bign-valpubkey). Check every public key that comes from outside.
bool public_key_valid(unsigned level, std::span<const std::uint8_t> q);

// A fresh pair: generate_private_key then public_key.
bool generate_keypair(unsigned level, std::span<std::uint8_t> d, std::span<std::uint8_t> q_out);

}  // namespace stb::bign
