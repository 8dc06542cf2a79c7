#pragma once
// What the router needs of a signing back-end, and the providers' display names.

#include <cstdint>
#include <map>
#include <string>

#include <QString>

namespace providers {

inline QString AvestName() {
  return QStringLiteral("Авест");
}
inline QString ZorvikName() {
  return QStringLiteral("Зорвик");
}
inline QString Zorvik2Name() {
  return QStringLiteral("Зорвик2");
}

// Result codes the signing routines share with the router.
inline constexpr uint32_t kSignUnknownError = 3844;

class SigningProvider {
 public:
  virtual ~SigningProvider() = default;
  // body is base64 text; on entry *length is the output's capacity, on success
  // the output holds the base64 signature and *length its size. 0 = signed.
  virtual uint32_t Sign(char* output, uint32_t* length, const char* body, uint32_t body_length) = 0;
  // Ends the provider's login or drops its cached password.
  virtual void Forget() = 0;
  // Clean-up when the server stops or the program exits: 0, or the vendor's
  // result that leaves its library loaded.
  virtual uint32_t Shutdown() { return 0; }
  // When the server starts with this provider.
  virtual void Resume() {}
};

// What a provider learns of the request it serves (request thread only).
class RequestContext {
 public:
  virtual ~RequestContext() = default;
  // The requesting page's origin; empty for a program of the user's own.
  virtual std::string Origin() const = 0;
  // Fourth argument of the Avest login, from the "option" header.
  virtual int32_t AvestLoginMode() const = 0;
};

// The providers' log entries: an event code of the log file, a value written
// in hexadecimal, and a return message where the event takes one.
class ProviderLog {
 public:
  virtual ~ProviderLog() = default;
  virtual void Event(int code, uint32_t value, const char* message = nullptr) = 0;
};

// Event codes of the log file.
inline constexpr int kLogAvCmLogin = 20;
inline constexpr int kLogAvCmSign = 24;
inline constexpr int kLogAvCmLogout = 40;
inline constexpr int kLogZorvikExec = 64;
inline constexpr int kLogZorvik2Login = 80;
inline constexpr int kLogZorvik2Sign = 82;
inline constexpr int kLogZorvik2Logout = 84;

// The providers that can sign, by display name. Filled before the server
// starts, read-only while it runs.
class ProviderSet {
 public:
  void Register(const QString& name, SigningProvider* provider) { providers_[name] = provider; }
  SigningProvider* Find(const QString& name) const {
    auto found = providers_.find(name);
    return found == providers_.end() ? nullptr : found->second;
  }

 private:
  std::map<QString, SigningProvider*> providers_;
};

}  // namespace providers
