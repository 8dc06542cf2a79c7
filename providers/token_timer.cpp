#include "providers/token_timer.h"

namespace providers {
namespace {

// How often a timer waiting for the provider's lock checks for the end.
constexpr std::chrono::milliseconds kLockPoll{100};

}  // namespace

TokenTimer::~TokenTimer() {
  {
    std::lock_guard guard(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void TokenTimer::Start(std::chrono::milliseconds after, std::function<void()> action) {
  {
    std::lock_guard guard(mutex_);
    ++generation_;
    deadline_ = std::chrono::steady_clock::now() + after;
    action_ = std::move(action);
    pending_ = true;
    active_ = true;
    if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
  }
  wake_.notify_all();
}

void TokenTimer::Abandon() {
  {
    std::lock_guard guard(mutex_);
    ++generation_;
    action_ = nullptr;
    pending_ = false;
    active_ = false;
  }
  wake_.notify_all();
}

bool TokenTimer::active() const {
  std::lock_guard guard(mutex_);
  return active_;
}

bool TokenTimer::TakeProviderLock() {
  while (!lock_.try_lock_for(kLockPoll)) {
    std::lock_guard guard(mutex_);
    if (quit_) return false;
  }
  return true;
}

void TokenTimer::Run() {
  std::unique_lock guard(mutex_);
  while (!quit_) {
    if (!pending_) {
      wake_.wait(guard);
      continue;
    }
    if (std::chrono::steady_clock::now() < deadline_) {
      wake_.wait_until(guard, deadline_);
      continue;
    }
    const uint64_t due = generation_;
    guard.unlock();
    if (TakeProviderLock()) {
      std::function<void()> action;
      {
        std::lock_guard check(mutex_);
        if (pending_ && generation_ == due) {
          pending_ = false;
          action = std::move(action_);
        }
      }
      // Nothing thrown on this thread may end the program.
      try {
        if (action) action();
      } catch (...) {
      }
      lock_.unlock();
    }
    guard.lock();
  }
}

}  // namespace providers
