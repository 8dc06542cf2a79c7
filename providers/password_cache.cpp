#include "providers/password_cache.h"

#include <algorithm>

namespace providers {

bool PasswordCache::Store(const SecretText& password, const std::string& origin) {
  Wipe();
  if (password.size() > kPasswordCacheBytes || password.find('\0') != SecretText::npos) return false;
  std::copy(password.begin(), password.end(), bytes_.begin());
  origin_ = origin;
  return true;
}

void PasswordCache::Wipe() {
  WipeMemory(bytes_.data(), bytes_.size());
  origin_.clear();
}

}  // namespace providers
