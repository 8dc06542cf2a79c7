#pragma once
// What a provider's clean-up needs to know of the requests inside it: how
// many are in a call, and a way to tell them the service is stopping, which
// ends their waits early. The clean-up waits for them, within a bound, before
// it logs out or lets a library go.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace providers {

// How long the clean-up at stop or exit waits for a request still inside.
inline constexpr std::chrono::seconds kCleanupWait{3};
// How long a request waits for the provider's lock (the design's bound).
inline constexpr std::chrono::seconds kLockWait{3};

class ProviderGate {
 public:
  // Held by a request for the length of its signing call.
  class Call {
   public:
    explicit Call(ProviderGate& gate);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

   private:
    ProviderGate& gate_;
  };

  bool stopping() const;
  // Sleeps for wait unless the service stops first; false when it stopped.
  bool Pause(std::chrono::milliseconds wait);

  // At stop or exit: the requests inside learn of it, then are waited for.
  void Stop();
  // true when no request is inside any more.
  bool WaitIdle(std::chrono::milliseconds limit);
  // At start.
  void Resume();

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int calls_ = 0;
  bool stopping_ = false;
};

}  // namespace providers
