// The constant-time checker's view of secrets: octets marked secret are
// "undefined" to valgrind's memcheck, which then reports every branch and
// every memory address that depends on them. reveal() ends the tracing where
// a result is public (before comparing or printing it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ct {

using Bytes = std::vector<std::uint8_t>;

void secret(const void* p, std::size_t n);
void reveal(const void* p, std::size_t n);
inline void secret(const Bytes& b) {
  secret(b.data(), b.size());
}
inline void reveal(const Bytes& b) {
  reveal(b.data(), b.size());
}
bool under_valgrind();
// Whether memcheck traces any of the octets as secret (always true outside
// valgrind): the checker makes sure its marks arrive where it means them to.
bool traced(const void* p, std::size_t n);
inline bool traced(const Bytes& b) {
  return traced(b.data(), b.size());
}

// Makes OpenSSL's random numbers (RAND_bytes, RAND_priv_bytes) come out
// marked secret, so that generated keys and one-time keys are traced.
void mark_random_output();

// A failed expectation ends the run with a message (exit code 2).
void expect(bool ok, const char* what);

// Deterministic filler octets.
Bytes filled(std::size_t n, unsigned seed);

}  // namespace ct
