#pragma once
// The Zorvik2 provider: a login to the token chosen in the token dialog,
// kept for the login lifetime for requests of the page that opened it; the
// signature is a pre-signature with the token's key and certificate,
// completed by the token.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "providers/provider.h"
#include "providers/provider_gate.h"
#include "providers/token_components.h"
#include "providers/token_dialog.h"
#include "providers/token_timer.h"

namespace providers {

inline constexpr uint32_t kZorvik2LoginFailed = 0xFF30;
inline constexpr uint32_t kZorvik2SignFailed = 0xFF31;
// The fixed password of the token's key block.
inline constexpr const char* kKeyBlockPassword = "58203174";

class Zorvik2Provider final : public SigningProvider {
 public:
  Zorvik2Provider(TokenComponents& components, TokenDialog& dialog, RequestContext& context,
                  ProviderLog& log, std::chrono::milliseconds lifetime)
      : components_(components), dialog_(dialog), context_(context), log_(log), lifetime_(lifetime) {}

  // SignZorvik2.
  uint32_t Sign(char* output, uint32_t* length, const char* body, uint32_t body_length) override;
  void Forget() override;
  // LogoutZorvik2.
  uint32_t Shutdown() override;
  void Resume() override { gate_.Resume(); }

 private:
  // 0 with the login open and held locked for the signing; 1 (cancelled,
  // three wrong passwords, lock not obtained) or the middleware's status.
  uint32_t LoginZorvik2(std::unique_lock<std::timed_mutex>& held, const std::string& origin);
  // AuthUser, waiting out the middleware's short refusal after a wrong
  // password; on success the lock stays held.
  int32_t LogIn(std::unique_lock<std::timed_mutex>& held, const TokenDialogAnswer& answer,
                const std::string& origin);
  void StartLogoutTimer();
  // The signature with the open login (lock held): 0 or kZorvik2SignFailed.
  uint32_t SignWithLogin(const std::vector<unsigned char>& data, char* output, uint32_t* length);
  // A length field and the block behind it; none (and logged) on failure.
  std::optional<ZorvikRecord> ReadBlock(int32_t length_at, const char* field_failure);
  void LogSignFailure(int32_t status, const char* message);

  TokenComponents& components_;
  TokenDialog& dialog_;
  RequestContext& context_;
  ProviderLog& log_;
  const std::chrono::milliseconds lifetime_;

  std::timed_mutex lock_;  // the timer lock: the login state and the timer
  bool zorvik2_logged_in_ = false;
  std::string login_origin_;
  std::string selected_token_id_;
  TokenTimer timer_{lock_};
  ProviderGate gate_;
};

}  // namespace providers
