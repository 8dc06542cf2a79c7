#pragma once
// The part of the program-wide state that the request thread reads.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include <QString>

#include "providers/provider.h"
#include "service/event_log.h"
#include "service/origin_policy.h"

namespace service {

// Written on the window thread, read by the request thread for every request.
class ActiveProviderName {
 public:
  QString get() const {
    std::lock_guard lock(mutex_);
    return name_;
  }
  void set(const QString& name) {
    std::lock_guard lock(mutex_);
    name_ = name;
  }

 private:
  mutable std::mutex mutex_;
  QString name_;
};

struct ServiceState {
  ActiveProviderName active_provider;
  // Fourth argument of the Avest login; a POST's "option" header sets it.
  std::atomic<int32_t> avest_login_mode{0};
  EventLog log;
  providers::ProviderSet providers;
  // The pages allowed to call; set before the listener starts.
  OriginPolicy origins;
  // The origin of the page whose request is being served (empty for a
  // program of the user's own). Request thread only: a cached login or
  // password serves only the origin that opened it.
  std::string request_origin;
};

}  // namespace service
