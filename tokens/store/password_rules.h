#pragma once
// The token's password rules, as the password dialog states them: letters,
// digits, '_', '-' and '.'; letters of both cases and at least one digit; at
// least 8 characters. Letters are the Latin ones: the password reaches the
// token as narrow text, and only ASCII letters have one meaning in every
// code page.

#include <string_view>

namespace tokens {

enum class PasswordRule { kOk, kTooShort, kTooLong, kBadCharacter, kNoMixedCase, kNoDigit };

inline constexpr std::size_t kMinPasswordLength = 8;
inline constexpr std::size_t kMaxPasswordLength = 64;

PasswordRule CheckPasswordRules(std::string_view password);
// One English sentence for the token tool's messages.
std::string_view DescribePasswordRule(PasswordRule rule);

}  // namespace tokens
