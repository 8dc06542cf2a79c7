#include "providers/avest_provider.h"

#include <vector>

#include "platform/library.h"
#include "providers/readiness.h"
#include "providers/signing_io.h"

namespace providers {
namespace {

// The vendor library for the length of one call: a load of our own keeps it
// mapped even when the service stops and lets it go meanwhile.
struct VendorCalls {
  platform::Library pin;
  AvCmLoginFunction login = nullptr;
  AvCmLogoutFunction logout = nullptr;
  PEXLO_AVCMSIGN sign = nullptr;

  bool Load() {
    if (!pin.Load(kAvestLibraryName)) return false;
    login = reinterpret_cast<AvCmLoginFunction>(pin.Resolve("AvCmLogin"));
    logout = reinterpret_cast<AvCmLogoutFunction>(pin.Resolve("AvCmLogout"));
    sign = reinterpret_cast<PEXLO_AVCMSIGN>(pin.Resolve("AvCmSign"));
    return login != nullptr && logout != nullptr && sign != nullptr;
  }
};

}  // namespace

uint32_t AvestProvider::Sign(char* output, uint32_t* length, const char* body,
                             uint32_t body_length) {
  const ProviderGate::Call call(gate_);
  // Data that is no base64 text reaches no token.
  const auto data = DecodeBody(body, body_length);
  if (!data) return kAvestSignFailed;
  VendorCalls vendor;
  if (!vendor.Load()) return kAvestLibraryError;
  const std::string origin = context_.Origin();

  std::unique_lock held(avest_lock_, std::defer_lock);
  if (!held.try_lock_for(kLockWait)) return kAvestSignFailed;
  // An open session serves only the page that opened it.
  const bool reuse = timer_.active() && avest_session_ != nullptr && session_origin_ == origin;
  if (!reuse) {
    if (timer_.active() && avest_session_ == nullptr) timer_.Abandon();
    held.unlock();
    void* opened = nullptr;
    const uint32_t result = vendor.login(nullptr, nullptr, &opened, context_.AvestLoginMode());
    if (result != 0) {
      log_.Event(kLogAvCmLogin, result);
      return result == kAvCmCancelled ? kAvestLoginCancelled : kAvestLoginFailed;
    }
    const bool locked = held.try_lock_for(kLockWait);
    if (!locked || gate_.stopping()) {
      // Opened while the service stops, or with nowhere to keep it.
      log_.Event(kLogAvCmLogout, vendor.logout(opened, 0));
      return locked ? kAvestLoginFailed : kAvestSignFailed;
    }
    // One session at a time: another page's session ends with this one's start.
    if (avest_session_ != nullptr) log_.Event(kLogAvCmLogout, vendor.logout(avest_session_, 0));
    avest_session_ = opened;
    session_origin_ = origin;
    timer_.Start(lifetime_, [this] { TimerLogout(); });
  }
  log_.Event(kLogAvCmLogin, 0);

  // Signed under the lock, so that the timer never ends the session mid-call.
  uint32_t size = SignatureCapacity(*length);
  std::vector<unsigned char> signature(size);
  const uint32_t result =
      components_.SignAvest(vendor.sign, avest_session_, data->data(),
                            static_cast<uint32_t>(data->size()), signature.data(), &size,
                            kAvestSignFlags);
  held.unlock();
  log_.Event(kLogAvCmSign, result);
  if (result != 0 || !PutSignature(signature.data(), size, output, length))
    return kAvestSignFailed;
  return 0;
}

void AvestProvider::TimerLogout() {
  VendorCalls vendor;
  if (vendor.Load()) log_.Event(kLogAvCmLogout, vendor.logout(avest_session_, 0));
  avest_session_ = nullptr;
}

void AvestProvider::Forget() {
  std::unique_lock held(avest_lock_, std::defer_lock);
  if (!held.try_lock_for(kLockWait) || avest_session_ == nullptr) return;
  VendorCalls vendor;
  if (vendor.Load()) vendor.logout(avest_session_, 0);
  avest_session_ = nullptr;
}

uint32_t AvestProvider::Shutdown() {
  gate_.Stop();
  gate_.WaitIdle(kCleanupWait);
  std::unique_lock held(avest_lock_, std::defer_lock);
  // A request that still holds the session keeps the library loaded.
  if (!held.try_lock_for(kLockWait)) return kAvestSignFailed;
  timer_.Abandon();
  if (avest_session_ == nullptr) return 0;
  VendorCalls vendor;
  const uint32_t result = vendor.Load() ? vendor.logout(avest_session_, 0) : kAvestLibraryError;
  avest_session_ = nullptr;
  log_.Event(kLogAvCmLogout, result);
  return result;
}

}  // namespace providers
