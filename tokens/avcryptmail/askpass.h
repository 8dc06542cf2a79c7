#pragma once
// Asking for a password through a prompt program, as the askpass convention
// has it: the program gets the text to show as its one argument and writes
// the password to its standard output; a nonzero exit is a cancel.

#include <string>

#include "tokens/store/secret_bytes.h"

namespace avest {

enum class PromptOutcome { kAnswered, kCancelled, kUnavailable };

struct PromptAnswer {
  PromptOutcome outcome = PromptOutcome::kUnavailable;
  tokens::SecretString password;
};

// The program named by AVCM_ASKPASS, or tessel-askpass beside this library.
std::string PromptProgram();
PromptAnswer AskPassword(const std::string& program, const std::string& text);

}  // namespace avest
