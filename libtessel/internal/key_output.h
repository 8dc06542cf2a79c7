// Writing a private key (and its public key) into a record, shared by the
// key-pair and key-protection exports.
#pragma once

#include <openssl/evp.h>

#include <cstdint>

#include "libtessel/tessel.h"

namespace tessel {

// Passwords shorter than this are refused (status 9).
inline constexpr int kMinPasswordLength = 8;

// key = the private key as PKCS#8 PEM, encrypted under the password with
// belt-ctr256 when one is given (null: plain); with_public also sets
// public_key = its PEM public key. Answers the status: 9, 19, 32, 195, 33
// (public key not encodable), 7, 34 or 0.
int32_t write_key(CRYPTOCASE* rec, EVP_PKEY* key, const char* password, bool with_public);

}  // namespace tessel
