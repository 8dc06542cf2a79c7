#include "tokens/store/password_rules.h"

namespace tokens {

PasswordRule CheckPasswordRules(std::string_view password) {
  if (password.size() < kMinPasswordLength) return PasswordRule::kTooShort;
  if (password.size() > kMaxPasswordLength) return PasswordRule::kTooLong;
  bool lower = false, upper = false, digit = false;
  for (const char c : password) {
    if (c >= 'a' && c <= 'z') {
      lower = true;
    } else if (c >= 'A' && c <= 'Z') {
      upper = true;
    } else if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '_' && c != '-' && c != '.') {
      return PasswordRule::kBadCharacter;
    }
  }
  if (!lower || !upper) return PasswordRule::kNoMixedCase;
  if (!digit) return PasswordRule::kNoDigit;
  return PasswordRule::kOk;
}

std::string_view DescribePasswordRule(PasswordRule rule) {
  switch (rule) {
    case PasswordRule::kOk:
      return "the password follows the rules";
    case PasswordRule::kTooShort:
      return "a password has at least 8 characters";
    case PasswordRule::kTooLong:
      return "a password has at most 64 characters";
    case PasswordRule::kBadCharacter:
      return "a password consists of Latin letters, digits, '_', '-' and '.'";
    case PasswordRule::kNoMixedCase:
      return "a password contains both upper- and lower-case letters";
    case PasswordRule::kNoDigit:
      return "a password contains at least one digit";
  }
  return {};
}

}  // namespace tokens
