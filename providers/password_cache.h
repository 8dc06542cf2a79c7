#pragma once
// The Zorvik provider's cached password: a fixed area wiped on every change
// and at the end, with the origin of the page whose request cached it.

#include <array>
#include <cstddef>
#include <string>

#include "providers/secret_text.h"

namespace providers {

// The dialog takes 20 characters; in UTF-8 that is at most 80 bytes.
inline constexpr std::size_t kPasswordCacheBytes = 80;

class PasswordCache {
 public:
  PasswordCache() = default;
  ~PasswordCache() { Wipe(); }
  PasswordCache(const PasswordCache&) = delete;
  PasswordCache& operator=(const PasswordCache&) = delete;

  // false (and nothing cached) when the password is longer than the area.
  bool Store(const SecretText& password, const std::string& origin);
  void Wipe();
  bool empty() const { return bytes_[0] == '\0'; }
  // Usable for a request only from the origin that cached it.
  bool ServesOrigin(const std::string& origin) const { return !empty() && origin == origin_; }
  // NUL-terminated, for the sign component.
  const char* c_str() const { return bytes_.data(); }

 private:
  std::array<char, kPasswordCacheBytes + 1> bytes_{};
  std::string origin_;
};

}  // namespace providers
