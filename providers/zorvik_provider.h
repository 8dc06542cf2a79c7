#pragma once
// The Zorvik provider: the first-generation sign program signs a file that
// holds the data; the password comes from the token dialog and is kept for
// the login lifetime for requests of the page that gave it.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "providers/password_cache.h"
#include "providers/provider.h"
#include "providers/provider_gate.h"
#include "providers/token_components.h"
#include "providers/token_dialog.h"
#include "providers/token_timer.h"

namespace providers {

inline constexpr uint32_t kZorvikCancelled = 1;
inline constexpr uint32_t kZorvikFileError = 256;
inline constexpr int32_t kSignZorvikWrongPassword = 38;

class ZorvikProvider final : public SigningProvider {
 public:
  // temp_folder: the program's own folder, with its final separator.
  ZorvikProvider(TokenComponents& components, TokenDialog& dialog, RequestContext& context,
                 ProviderLog& log, std::chrono::milliseconds lifetime, std::string temp_folder)
      : components_(components),
        dialog_(dialog),
        context_(context),
        log_(log),
        lifetime_(lifetime),
        temp_folder_(std::move(temp_folder)) {}

  // SignZorvik.
  uint32_t Sign(char* output, uint32_t* length, const char* body, uint32_t body_length) override;
  void Forget() override;
  // Abandons the timer and wipes the cache (the stop's step for every provider).
  uint32_t Shutdown() override;
  void Resume() override { gate_.Resume(); }
  // The folder of the running TokenWatcher, found by the readiness check.
  void SetTokenWatcherFolder(const std::string& folder);

  // Keeps a password that signed, for the login lifetime; 0, or 1 when it is
  // not kept.
  uint32_t CachePassword(const SecretText& password, const std::string& origin);

 private:
  // The sign component's result; the signature is then behind the data in
  // the file.
  int32_t SignFile(const std::string& path, const std::string& origin, uint32_t& code);

  TokenComponents& components_;
  TokenDialog& dialog_;
  RequestContext& context_;
  ProviderLog& log_;
  const std::chrono::milliseconds lifetime_;
  const std::string temp_folder_;

  std::mutex folder_mutex_;
  std::string token_watcher_folder_;

  std::timed_mutex lock_;  // the timer lock: the cache and the timer
  PasswordCache cache_;
  TokenTimer timer_{lock_};
  ProviderGate gate_;
};

}  // namespace providers
