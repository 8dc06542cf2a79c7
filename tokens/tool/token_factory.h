#pragma once
// Making a soft token: a bign key pair (its private key under the key block's
// fixed password), a certificate from the demo CA for the owner, the owner
// record and the completion block (issuing and root certificates), sealed
// under the token's password.

#include <cstdint>
#include <string>
#include <string_view>

#include "tokens/store/owner_record.h"
#include "tokens/store/soft_token.h"
#include "tokens/tool/demo_ca.h"

namespace tool {

struct TokenOrder {
  tokens::TokenKind kind = tokens::TokenKind::kZorvik2;
  tokens::Owner owner;
  std::string serial;  // empty: a fresh one
  Validity validity;
  uint32_t iterations = 0;  // 0: the token default
};

struct MadeToken {
  tokens::TokenStatus status = tokens::TokenStatus::kOk;
  std::string serial;
};

// A fresh serial: "Z2-", "Z1-" or "AV-" and eight hexadecimal digits.
std::string NewSerial(tokens::TokenKind kind);

// The CA's index grows by the new certificate; the caller saves the CA.
MadeToken MakeToken(tokens::TokenStore& store, DemoCa& ca, const TokenOrder& order,
                    std::string_view password);

}  // namespace tool
