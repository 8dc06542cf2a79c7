#pragma once
// The one-shot timer that ends a provider's login or drops its cached
// password a fixed time after it began. A timer that is abandoned or
// replaced never acts: its action runs under the provider's lock and only
// while it is still the timer that was started last.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace providers {

class TokenTimer {
 public:
  explicit TokenTimer(std::timed_mutex& lock) : lock_(lock) {}
  ~TokenTimer();
  TokenTimer(const TokenTimer&) = delete;
  TokenTimer& operator=(const TokenTimer&) = delete;

  // The caller holds the provider's lock for each of these. Start replaces a
  // pending action; the timer stays active after it fired, until abandoned.
  void Start(std::chrono::milliseconds after, std::function<void()> action);
  void Abandon();
  bool active() const;

 private:
  void Run();
  // The provider's lock, waited for as long as it takes (or until the end).
  bool TakeProviderLock();

  std::timed_mutex& lock_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread worker_;
  bool quit_ = false;
  bool active_ = false;
  bool pending_ = false;
  uint64_t generation_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  std::function<void()> action_;
};

}  // namespace providers
