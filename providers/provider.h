#pragma once
// What the router needs of a signing back-end, and the providers' display names.

#include <cstdint>
#include <map>

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
  // Clean-up when the server stops or the program exits.
  virtual void Shutdown() {}
};

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
