// A deliberately table-driven belt-block, the way belt is usually written
// (and the way this project's belt was before): G looks H up at the octets
// of a key-dependent word. The constant-time checker must report it, and the
// benchmarks run it beside the constant-time paths as a stand-in for
// table-driven implementations such as the standards' reference one.
// Never use it for anything else.
#pragma once

#include <cstdint>

namespace ct {

// One belt-block encryption of the words x under the key words k.
void table_encrypt(const std::uint32_t k[8], std::uint32_t (&x)[4]);

}  // namespace ct
