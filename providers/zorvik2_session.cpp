// The Zorvik2 login: opened through the token dialog, reused by the page that
// opened it, ended by its timer, by forget and at stop.
#include "providers/zorvik2_provider.h"

#include <algorithm>

namespace providers {
namespace {

constexpr int kPasswordAttempts = 3;
// After a wrong password the middleware refuses every password for a few
// seconds; a request waits that out at most this often, each wait bounded.
constexpr int kTryLaterWaits = 2;
constexpr int32_t kLongestTryLater = 6000;

}  // namespace

uint32_t Zorvik2Provider::LoginZorvik2(std::unique_lock<std::timed_mutex>& held,
                                       const std::string& origin) {
  if (!held.try_lock_for(kLockWait)) return 1;
  if (timer_.active()) {
    // The open login serves only the page that opened it.
    if (zorvik2_logged_in_ && login_origin_ == origin) return 0;
    if (!zorvik2_logged_in_) timer_.Abandon();
  }
  held.unlock();

  for (int attempt = 0; attempt < kPasswordAttempts; ++attempt) {
    const TokenDialogAnswer answer = dialog_.ShowTokenDialog({true, origin});
    if (!answer.accepted) return 1;
    const int32_t status = LogIn(held, answer, origin);
    if (status == ZORVIK_OK) return 0;
    if (status != ZORVIK_WRONG_PASSWORD) return static_cast<uint32_t>(status);
  }
  // Three wrong passwords: a logout timer runs all the same.
  if (held.try_lock_for(kLockWait)) {
    StartLogoutTimer();
    held.unlock();
  }
  return 1;
}

int32_t Zorvik2Provider::LogIn(std::unique_lock<std::timed_mutex>& held,
                               const TokenDialogAnswer& answer, const std::string& origin) {
  for (int waits = 0;; ++waits) {
    if (!held.try_lock_for(kLockWait)) return 1;
    if (gate_.stopping()) {
      held.unlock();
      return 1;
    }
    // The middleware ends any earlier login when asked for a new one.
    zorvik2_logged_in_ = false;
    const ZorvikRecord login(components_,
                             components_.AuthUser(answer.selected_token_id.c_str(), answer.entered_password.c_str()));
    if (login.ok()) {
      zorvik2_logged_in_ = true;
      login_origin_ = origin;
      selected_token_id_ = answer.selected_token_id;
      StartLogoutTimer();
      return ZORVIK_OK;
    }
    held.unlock();
    if (login.status() != ZORVIK_TRY_LATER || waits == kTryLaterWaits) return login.status();
    const int32_t wait = std::clamp(login->wait_ms, 0, kLongestTryLater);
    if (!gate_.Pause(std::chrono::milliseconds(wait + 10))) return 1;
  }
}

void Zorvik2Provider::StartLogoutTimer() {
  timer_.Start(lifetime_, [this] {
    const ZorvikRecord logout(components_, components_.DeAuthUser());
    log_.Event(kLogZorvik2Logout, static_cast<uint32_t>(logout.status()));
    zorvik2_logged_in_ = false;
  });
}

void Zorvik2Provider::Forget() {
  std::unique_lock held(lock_, std::defer_lock);
  if (!held.try_lock_for(kLockWait)) return;
  const ZorvikRecord logout(components_, components_.DeAuthUser());
  zorvik2_logged_in_ = false;
}

uint32_t Zorvik2Provider::Shutdown() {
  gate_.Stop();
  gate_.WaitIdle(kCleanupWait);
  std::unique_lock held(lock_, std::defer_lock);
  const bool locked = held.try_lock_for(kLockWait);
  if (locked) timer_.Abandon();
  // A request stuck past the wait still loses the login under it.
  if (!locked || zorvik2_logged_in_) {
    const ZorvikRecord logout(components_, components_.DeAuthUser());
    log_.Event(kLogZorvik2Logout, static_cast<uint32_t>(logout.status()));
    if (locked) zorvik2_logged_in_ = false;
  }
  return 0;
}

}  // namespace providers
