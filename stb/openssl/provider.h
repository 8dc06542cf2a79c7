// A small in-process provider "stb" with the digests belt-hash (its OID as an
// alias) and bash256/384/512, for code that fetches digests from providers
// (EVP_MD_fetch, EVP_Q_digest, ...) and never sees legacy EVP_MD tables.
#pragma once

namespace stb::openssl {

inline constexpr char kProviderName[] = "stb";

// Adds and loads the provider in the default library context. Loading a
// provider by hand stops OpenSSL from falling back to "default" on its own,
// so whatever the configuration would activate is activated first. The
// provider is unloaded when OpenSSL cleans up. Not thread-safe: the caller
// runs it once.
bool start_provider();

}  // namespace stb::openssl
