// The ENGINE "stb": hands out the belt ciphers, the belt-hash/bash digests
// and the bign-pubkey key type (key method and ASN.1 method). Kept apart from what goes into
// OpenSSL's by-name tables (see methods.h): each ENGINE owns a MethodSet, freed when OpenSSL
// destroys it.
#pragma once

#include <openssl/engine.h>

namespace stb::openssl {

inline constexpr char kEngineId[] = "stb";

// Sets id, name, callbacks and a MethodSet of its own on e: a fresh ENGINE or
// the one the dynamic loader passes in. The identifiers must exist.
bool bind_engine(ENGINE* e);

// Creates the ENGINE, adds it to OpenSSL's list and registers its ciphers,
// digests and key type for their NIDs (EVP then finds it for them). Does nothing if an
// ENGINE with our id is listed already.
bool add_engine();

}  // namespace stb::openssl
