#pragma once
// Settings for automated tests only. They exist in builds configured with
// TAVRIK_TEST_HOOKS (a development build; packages are built without) and
// are read from the environment:
//   TAVRIK_TEST_LOGIN_LIFETIME_MS  a login or cached password lives this many
//                                  milliseconds instead of 60 s (only shorter)
//   TAVRIK_TEST_DIALOG_ANSWER      an owner-only file whose first line answers
//                                  the token dialog as if typed and confirmed

#include <chrono>
#include <optional>

#include "providers/secret_text.h"

namespace providers {

// How long a login or a cached password lives.
inline constexpr std::chrono::seconds kLoginLifetime{60};

// kLoginLifetime, or the test setting when it is shorter.
std::chrono::milliseconds LoginLifetime();

// Whether the dialog answer hook is set at all.
bool DialogAnswerHookSet();
// The hook's password; none when unset, or when the file is not a regular
// file of this user closed to others (then the dialog is cancelled).
std::optional<SecretText> DialogAnswerFromHook();

}  // namespace providers
