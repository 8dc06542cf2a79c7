#pragma once
// The Avest provider: logs in through the vendor library (which asks for the
// password with its own prompt), keeps the session for the login lifetime for
// requests of the page that opened it, and signs through the signing
// component with the vendor's signing function.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "providers/provider.h"
#include "providers/provider_gate.h"
#include "providers/token_components.h"
#include "providers/token_timer.h"

namespace providers {

inline constexpr uint32_t kAvestLibraryError = 0xFF01;
inline constexpr uint32_t kAvestLoginFailed = 0xFF03;
inline constexpr uint32_t kAvestLoginCancelled = 0xFF04;
inline constexpr uint32_t kAvestSignFailed = 0xFF05;
// The vendor's answer when the person cancels its prompt.
inline constexpr uint32_t kAvCmCancelled = 0xE82A010B;
// Detached, DER, with the signer's certificate chain.
inline constexpr uint32_t kAvestSignFlags = 0x2100100;

class AvestProvider final : public SigningProvider {
 public:
  AvestProvider(TokenComponents& components, RequestContext& context, ProviderLog& log,
                std::chrono::milliseconds lifetime)
      : components_(components), context_(context), log_(log), lifetime_(lifetime) {}

  // SignAvest.
  uint32_t Sign(char* output, uint32_t* length, const char* body, uint32_t body_length) override;
  void Forget() override;
  // ShutdownAvest up to the library's finish, which the readiness layer does
  // when this answers 0.
  uint32_t Shutdown() override;
  void Resume() override { gate_.Resume(); }

 private:
  // Runs under lock_ when the timer fires.
  void TimerLogout();

  TokenComponents& components_;
  RequestContext& context_;
  ProviderLog& log_;
  const std::chrono::milliseconds lifetime_;

  std::timed_mutex avest_lock_;  // the session, its origin and the timer
  void* avest_session_ = nullptr;
  std::string session_origin_;
  TokenTimer timer_{avest_lock_};
  ProviderGate gate_;
};

}  // namespace providers
