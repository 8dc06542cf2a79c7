#include "providers/provider_gate.h"

namespace providers {

ProviderGate::Call::Call(ProviderGate& gate) : gate_(gate) {
  std::lock_guard guard(gate_.mutex_);
  ++gate_.calls_;
}

ProviderGate::Call::~Call() {
  {
    std::lock_guard guard(gate_.mutex_);
    --gate_.calls_;
  }
  gate_.changed_.notify_all();
}

bool ProviderGate::stopping() const {
  std::lock_guard guard(mutex_);
  return stopping_;
}

bool ProviderGate::Pause(std::chrono::milliseconds wait) {
  std::unique_lock guard(mutex_);
  return !changed_.wait_for(guard, wait, [this] { return stopping_; });
}

void ProviderGate::Stop() {
  {
    std::lock_guard guard(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
}

bool ProviderGate::WaitIdle(std::chrono::milliseconds limit) {
  std::unique_lock guard(mutex_);
  return changed_.wait_for(guard, limit, [this] { return calls_ == 0; });
}

void ProviderGate::Resume() {
  std::lock_guard guard(mutex_);
  stopping_ = false;
}

}  // namespace providers
