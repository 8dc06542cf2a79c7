#include "tokens/store/soft_token.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>

#include "tokens/store/files.h"
#include "tokens/store/password_rules.h"

namespace tokens {
namespace {

constexpr std::size_t kMaxCertificateFile = 16 * 1024;

SystemClock& DefaultClock() {
  static SystemClock clock;
  return clock;
}

// A fresh owner-only folder beside the tokens, for building or discarding a
// token folder out of sight.
std::optional<std::filesystem::path> ScratchFolder(const std::filesystem::path& root,
                                                   const char* prefix) {
  std::string pattern = (root / (std::string(prefix) + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return std::nullopt;
  return std::filesystem::path(pattern);
}

void RemoveTree(const std::filesystem::path& folder) {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace

TokenStore::TokenStore(std::filesystem::path folder, Clock* clock)
    : folder_(std::move(folder)), clock_(clock != nullptr ? clock : &DefaultClock()) {}

std::filesystem::path TokenStore::TokenFolder(std::string_view serial) const {
  return folder_ / std::string(serial);
}

std::optional<TokenState> TokenStore::Load(std::string_view serial) const {
  const auto text = ReadSmallFile(TokenFolder(serial) / kStateFile, kMaxStateFile);
  if (!text) return std::nullopt;
  auto state = ParseTokenState(*text);
  if (!state || state->serial != serial) return std::nullopt;
  return state;
}

bool TokenStore::Save(const TokenState& state) const {
  return WriteFileAtomically(TokenFolder(state.serial) / kStateFile, SerializeTokenState(state));
}

std::vector<TokenSummary> TokenStore::List() const {
  std::vector<TokenSummary> tokens;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
    const std::string name = entry.path().filename().string();
    if (!IsValidSerial(name) || !IsFolder(entry.path())) continue;
    TokenSummary summary;
    summary.serial = name;
    if (const auto state = Load(name)) {
      summary.kind = state->kind;
      summary.locked = state->locked;
    }
    summary.connected = IsConnected(name);
    tokens.push_back(std::move(summary));
  }
  std::sort(tokens.begin(), tokens.end(),
            [](const TokenSummary& a, const TokenSummary& b) { return a.serial < b.serial; });
  return tokens;
}

std::vector<std::string> TokenStore::Connected(TokenKind kind) const {
  std::vector<std::string> serials;
  for (const TokenSummary& token : List())
    if (token.connected && token.kind == kind) serials.push_back(token.serial);
  return serials;
}

bool TokenStore::IsConnected(std::string_view serial) const {
  if (!IsValidSerial(serial)) return false;
  const std::filesystem::path folder = TokenFolder(serial);
  return IsRegularFile(folder / kStateFile) && !std::filesystem::exists(folder / kUnpluggedFile);
}

bool TokenStore::IsConnected(std::string_view serial, TokenKind kind) const {
  if (!IsConnected(serial)) return false;
  const auto state = Load(serial);
  return state && state->kind == kind;
}

PasswordCheck TokenStore::Check(TokenState& state, std::string_view password,
                                std::optional<TokenKeys>& keys) {
  if (state.locked) return {TokenStatus::kLocked, 0, 0};
  const int64_t now = clock_->NowMs();
  if (state.refuse_until_ms > now + kRefusalMs) {
    // Written under a clock that has since gone back: the refusal is never
    // longer than its own length.
    state.refuse_until_ms = now + kRefusalMs;
    if (!Save(state)) return {TokenStatus::kStorage, 0, 0};
  }
  if (now < state.refuse_until_ms) return {TokenStatus::kTryLater, state.refuse_until_ms - now, 0};
  keys = DeriveTokenKeys(password, state.salt, state.iterations);
  if (!keys) return {TokenStatus::kStorage, 0, 0};
  if (!VerifierMatches(*keys, state.verifier)) {
    keys.reset();
    state.failures = std::min(state.failures + 1, kMaxFailures);
    state.refuse_until_ms = now + kRefusalMs;
    state.locked = state.failures >= kMaxFailures;
    if (!Save(state)) return {TokenStatus::kStorage, 0, 0};
    return {TokenStatus::kWrongPassword, 0, kMaxFailures - state.failures};
  }
  if (state.failures != 0 || state.refuse_until_ms != 0) {
    state.failures = 0;
    state.refuse_until_ms = 0;
    if (!Save(state)) return {TokenStatus::kStorage, 0, 0};
  }
  return {};
}

Login TokenStore::LogIn(std::string_view serial, std::string_view password) {
  Login login;
  if (!IsConnected(serial)) {
    login.status = TokenStatus::kNoToken;
    return login;
  }
  FileLock lock(TokenFolder(serial) / kLockFile, FileLock::Wait::kBlock);
  auto state = Load(serial);
  if (!lock.held() || !state) {
    login.status = TokenStatus::kDamaged;
    return login;
  }
  std::optional<TokenKeys> keys;
  static_cast<PasswordCheck&>(login) = Check(*state, password, keys);
  if (login.status != TokenStatus::kOk) return login;
  auto plain = Unseal(*keys, serial, state->contents);
  const auto public_area = PublicArea(serial);
  if (!plain || plain->size() != kPrivateAreaSize || !public_area) {
    login.status = TokenStatus::kDamaged;
    return login;
  }
  login.area = std::move(*plain);
  login.area.insert(login.area.end(), public_area->begin(), public_area->end());
  return login;
}

PasswordCheck TokenStore::ChangePassword(std::string_view serial, std::string_view old_password,
                                         std::string_view new_password) {
  if (CheckPasswordRules(new_password) != PasswordRule::kOk)
    return {TokenStatus::kPasswordRules, 0, 0};
  if (!IsConnected(serial)) return {TokenStatus::kNoToken, 0, 0};
  FileLock lock(TokenFolder(serial) / kLockFile, FileLock::Wait::kBlock);
  auto state = Load(serial);
  if (!lock.held() || !state) return {TokenStatus::kDamaged, 0, 0};
  std::optional<TokenKeys> old_keys;
  const PasswordCheck check = Check(*state, old_password, old_keys);
  if (check.status != TokenStatus::kOk) return check;
  const auto plain = Unseal(*old_keys, serial, state->contents);
  if (!plain) return {TokenStatus::kDamaged, 0, 0};
  auto salt = RandomBytes(kSaltSize);
  if (!salt) return {TokenStatus::kStorage, 0, 0};
  const auto new_keys = DeriveTokenKeys(new_password, *salt, state->iterations);
  auto sealed = new_keys ? Seal(*new_keys, serial, *plain) : std::nullopt;
  if (!sealed) return {TokenStatus::kStorage, 0, 0};
  state->salt = std::move(*salt);
  state->verifier = new_keys->verifier;
  state->contents = std::move(*sealed);
  return {Save(*state) ? TokenStatus::kOk : TokenStatus::kStorage, 0, 0};
}

TokenStatus TokenStore::Create(const NewToken& token, std::string_view password) {
  if (!IsValidSerial(token.serial)) return TokenStatus::kBadArgument;
  if (CheckPasswordRules(password) != PasswordRule::kOk) return TokenStatus::kPasswordRules;
  const auto plain = BuildPrivateArea(token.blocks);
  if (!plain || !BuildPublicArea(token.owner_record)) return TokenStatus::kBadArgument;
  if (!MakeOwnerOnlyFolder(folder_)) return TokenStatus::kStorage;
  if (std::filesystem::exists(TokenFolder(token.serial))) return TokenStatus::kExists;

  TokenState state;
  state.serial = token.serial;
  state.kind = token.kind;
  state.iterations = token.iterations != 0 ? token.iterations : kPasswordIterations;
  auto salt = RandomBytes(kSaltSize);
  const auto keys = salt ? DeriveTokenKeys(password, *salt, state.iterations) : std::nullopt;
  auto sealed = keys ? Seal(*keys, token.serial, *plain) : std::nullopt;
  if (!sealed) return TokenStatus::kStorage;
  state.salt = std::move(*salt);
  state.verifier = keys->verifier;
  state.contents = std::move(*sealed);

  // Built in a scratch folder and moved into place whole: a watcher or a
  // reader never sees a token folder without its files.
  const auto scratch = ScratchFolder(folder_, ".new-");
  if (!scratch) return TokenStatus::kStorage;
  const bool written =
      WriteFileAtomically(*scratch / kStateFile, SerializeTokenState(state)) &&
      WriteFileAtomically(*scratch / kOwnerFile, token.owner_record) &&
      WriteFileAtomically(*scratch / kCertificateFile, token.certificate_pem);
  if (!written) {
    RemoveTree(*scratch);
    return TokenStatus::kStorage;
  }
  if (renameat2(AT_FDCWD, scratch->c_str(), AT_FDCWD, TokenFolder(token.serial).c_str(),
                RENAME_NOREPLACE) != 0) {
    const bool exists = errno == EEXIST;
    RemoveTree(*scratch);
    return exists ? TokenStatus::kExists : TokenStatus::kStorage;
  }
  return TokenStatus::kOk;
}

TokenStatus TokenStore::Reset(std::string_view serial, std::string_view new_password) {
  if (!IsValidSerial(serial) || !IsFolder(TokenFolder(serial))) return TokenStatus::kNoToken;
  if (CheckPasswordRules(new_password) != PasswordRule::kOk) return TokenStatus::kPasswordRules;
  FileLock lock(TokenFolder(serial) / kLockFile, FileLock::Wait::kBlock);
  auto state = Load(serial);
  if (!lock.held() || !state) return TokenStatus::kDamaged;
  auto salt = RandomBytes(kSaltSize);
  const auto keys = salt ? DeriveTokenKeys(new_password, *salt, state->iterations) : std::nullopt;
  auto sealed = keys ? Seal(*keys, serial, SecretBytes(kPrivateAreaSize, 0)) : std::nullopt;
  if (!sealed) return TokenStatus::kStorage;
  state->salt = std::move(*salt);
  state->verifier = keys->verifier;
  state->contents = std::move(*sealed);
  state->failures = 0;
  state->refuse_until_ms = 0;
  state->locked = false;
  std::error_code ignored;
  std::filesystem::remove(TokenFolder(serial) / kOwnerFile, ignored);
  std::filesystem::remove(TokenFolder(serial) / kCertificateFile, ignored);
  return Save(*state) ? TokenStatus::kOk : TokenStatus::kStorage;
}

TokenStatus TokenStore::SetPlugged(std::string_view serial, bool plugged) {
  if (!IsValidSerial(serial) || !IsRegularFile(TokenFolder(serial) / kStateFile))
    return TokenStatus::kNoToken;
  const std::filesystem::path marker = TokenFolder(serial) / kUnpluggedFile;
  if (plugged) {
    std::error_code error;
    std::filesystem::remove(marker, error);
    return error ? TokenStatus::kStorage : TokenStatus::kOk;
  }
  return WriteFileAtomically(marker, "") ? TokenStatus::kOk : TokenStatus::kStorage;
}

TokenStatus TokenStore::Remove(std::string_view serial) {
  if (!IsValidSerial(serial) || !IsFolder(TokenFolder(serial))) return TokenStatus::kNoToken;
  // Moved out of the way first, so that the token disappears at once.
  const auto scratch = ScratchFolder(folder_, ".removed-");
  if (!scratch) return TokenStatus::kStorage;
  if (rename(TokenFolder(serial).c_str(), scratch->c_str()) != 0) {
    RemoveTree(*scratch);
    return TokenStatus::kStorage;
  }
  RemoveTree(*scratch);
  return TokenStatus::kOk;
}

std::optional<Bytes> TokenStore::PublicArea(std::string_view serial) const {
  if (!IsValidSerial(serial)) return std::nullopt;
  const std::filesystem::path path = TokenFolder(serial) / kOwnerFile;
  if (!std::filesystem::exists(path)) return BuildPublicArea("");  // blank after a reset
  const auto owner = ReadSmallFile(path, kMaxOwnerRecord);
  return owner ? BuildPublicArea(*owner) : std::nullopt;
}

std::optional<std::string> TokenStore::CertificatePem(std::string_view serial) const {
  if (!IsValidSerial(serial)) return std::nullopt;
  return ReadSmallFile(TokenFolder(serial) / kCertificateFile, kMaxCertificateFile);
}

}  // namespace tokens
