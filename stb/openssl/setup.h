// The process-wide part of registration, shared by STB_register() and the
// loadable module: identifiers, by-name table entries (key types included),
// signature identifiers, the hmac-hbelt PBKDF2 PRF and the provider. The ENGINE itself differs
// between the two.
#pragma once

namespace stb::openssl {

// Runs once per process, from any thread; later calls return the first
// result.
bool prepare_process();

}  // namespace stb::openssl
