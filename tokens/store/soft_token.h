#pragma once
// The soft tokens of one user: each a folder under TokensFolder() named by its
// serial, holding token.json (kind, password verifier, sealed contents, try
// counter), the public owner record and certificate, and a lock file. A token
// is connected while its folder is there without an "unplugged" marker.
//
// Every operation on one token runs under that token's file lock, and every
// file is replaced whole, so processes sharing a token never see or leave a
// half-written state.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tokens/store/clock.h"
#include "tokens/store/sealing.h"
#include "tokens/store/secret_bytes.h"
#include "tokens/store/token_paths.h"
#include "tokens/store/token_state.h"
#include "tokens/store/user_area.h"

namespace tokens {

enum class TokenStatus {
  kOk,
  kNoToken,        // no such token, or not connected
  kWrongPassword,
  kTryLater,       // within the refusal after a wrong password: not tried
  kLocked,         // 10 wrong passwords in a row; only a reset opens it
  kPasswordRules,  // the new password breaks the rules
  kDamaged,        // the token's files are unreadable or were altered
  kStorage,        // files could not be written, or a cryptographic step failed
  kExists,
  kBadArgument,
};

struct PasswordCheck {
  TokenStatus status = TokenStatus::kOk;
  int64_t wait_ms = 0;  // kTryLater: how long the refusal still lasts
  int tries_left = 0;   // kWrongPassword: wrong passwords left before the lock
};

struct Login : PasswordCheck {
  SecretBytes area;  // the whole user-data area, private and public part
};

struct TokenSummary {
  std::string serial;
  std::optional<TokenKind> kind;  // nothing: token.json is damaged
  bool connected = false;
  bool locked = false;
};

struct NewToken {
  std::string serial;
  TokenKind kind = TokenKind::kZorvik2;
  AreaBlocks blocks;
  std::string owner_record;
  std::string certificate_pem;
  uint32_t iterations = 0;  // 0: kPasswordIterations
};

class TokenStore {
 public:
  // clock: null for the system clock.
  explicit TokenStore(std::filesystem::path folder = TokensFolder(), Clock* clock = nullptr);

  const std::filesystem::path& folder() const { return folder_; }

  // By serial.
  std::vector<TokenSummary> List() const;
  std::vector<std::string> Connected(TokenKind kind) const;
  bool IsConnected(std::string_view serial) const;
  // A connected token of that kind.
  bool IsConnected(std::string_view serial, TokenKind kind) const;

  Login LogIn(std::string_view serial, std::string_view password);
  PasswordCheck ChangePassword(std::string_view serial, std::string_view old_password,
                               std::string_view new_password);

  TokenStatus Create(const NewToken& token, std::string_view password);
  // Erases the contents, owner record and certificate, clears the lock and
  // the counter and sets a new password: the token is blank.
  TokenStatus Reset(std::string_view serial, std::string_view new_password);
  TokenStatus SetPlugged(std::string_view serial, bool plugged);
  TokenStatus Remove(std::string_view serial);

  // Readable without a login: the owner record after its length field.
  std::optional<Bytes> PublicArea(std::string_view serial) const;
  std::optional<std::string> CertificatePem(std::string_view serial) const;

 private:
  std::filesystem::path TokenFolder(std::string_view serial) const;
  std::optional<TokenState> Load(std::string_view serial) const;
  bool Save(const TokenState& state) const;
  // The password against the loaded state: counts a wrong one and saves.
  PasswordCheck Check(TokenState& state, std::string_view password,
                      std::optional<TokenKeys>& keys);

  std::filesystem::path folder_;
  Clock* clock_;
};

}  // namespace tokens
