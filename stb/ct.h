// Where a value computed from secrets becomes public by the algorithm's own
// terms: a signature, a public key, a token, whether a key is in range or a
// check passed. Branching on such a value is fine; the constant-time checker
// of the test suite (secrets marked undefined for valgrind's memcheck) stops
// tracing it here. Outside valgrind the marking costs a few instructions.
#pragma once

#include <cstddef>

namespace stb::ct {

void declassify(const void* p, std::size_t n);

template <class T>
T declassified(T v) {
  declassify(&v, sizeof v);
  return v;
}

}  // namespace stb::ct
