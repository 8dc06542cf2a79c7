#pragma once
// The token's own file, token.json: what the token is, the password verifier,
// the sealed contents and the try counter. Everything in it is read back
// through ParseTokenState, which refuses anything out of shape.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tokens/store/secret_bytes.h"
#include "tokens/store/token_paths.h"

namespace tokens {

inline constexpr int kMaxFailures = 10;        // wrong passwords in a row that lock the token
inline constexpr int64_t kRefusalMs = 5000;    // a wrong password bars the next for this long
inline constexpr std::size_t kMaxStateFile = 64 * 1024;

struct TokenState {
  std::string serial;
  TokenKind kind = TokenKind::kZorvik2;
  uint32_t iterations = 0;  // PBKDF2 with hmac-hbelt
  Bytes salt;
  Bytes verifier;  // derived from the password, never the password
  Bytes contents;  // sealed private part of the user-data area
  int failures = 0;
  int64_t refuse_until_ms = 0;  // wall-clock time before which no password is tried
  bool locked = false;
};

std::optional<TokenState> ParseTokenState(std::string_view text);
std::string SerializeTokenState(const TokenState& state);

}  // namespace tokens
