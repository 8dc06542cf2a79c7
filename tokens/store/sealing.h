#pragma once
// Sealing a token's private contents under its password: PBKDF2 with
// hmac-hbelt turns password and salt into a master key, from which a
// verifier, an encryption key and a MAC key are derived; the contents are
// encrypted with belt-ctr256 and authenticated with hmac-hbelt (encrypt, then
// MAC over the serial, the IV and the ciphertext). A copy of the files opens
// nothing without the password, and any change to them is detected.

#include <cstdint>
#include <optional>
#include <string_view>

#include "tokens/store/secret_bytes.h"

namespace tokens {

// Chosen so that a login costs about 34 ms on the development machine (see the
// benchmark figures in the README): no wait a person notices, and every
// password guess costs the same.
inline constexpr uint32_t kPasswordIterations = 25'000;
inline constexpr std::size_t kSaltSize = 16;

struct TokenKeys {
  SecretBytes encryption;
  SecretBytes mac;
  Bytes verifier;
};

std::optional<TokenKeys> DeriveTokenKeys(std::string_view password, const Bytes& salt,
                                         uint32_t iterations);
// In constant time.
bool VerifierMatches(const TokenKeys& keys, const Bytes& stored);

std::optional<Bytes> Seal(const TokenKeys& keys, std::string_view serial, const SecretBytes& plain);
// Nothing when the sealed bytes were altered or belong to another key or serial.
std::optional<SecretBytes> Unseal(const TokenKeys& keys, std::string_view serial,
                                  const Bytes& sealed);

// Fresh random bytes from OpenSSL's private generator (through libtessel).
std::optional<Bytes> RandomBytes(std::size_t size);

}  // namespace tokens
