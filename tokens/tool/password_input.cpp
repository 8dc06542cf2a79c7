#include "tokens/tool/password_input.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace tool {
namespace {

constexpr std::size_t kMaxLine = 256;

tokens::SecretString ReadLine() {
  tokens::SecretString line;
  line.reserve(kMaxLine);
  for (int c; (c = std::getchar()) != EOF && c != '\n';)
    if (line.size() < kMaxLine) line.push_back(static_cast<char>(c));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// One line typed without echo.
tokens::SecretString AskHidden(const char* prompt) {
  std::cerr << prompt << std::flush;
  termios saved{};
  const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  tokens::SecretString line = ReadLine();
  if (terminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::cerr << "\n";
  return line;
}

}  // namespace

std::optional<tokens::SecretString> ReadNewPassword() {
  if (!isatty(STDIN_FILENO)) {
    tokens::SecretString line = ReadLine();
    if (line.empty()) return std::nullopt;
    return line;
  }
  tokens::SecretString first = AskHidden("New token password: ");
  const tokens::SecretString second = AskHidden("The same password again: ");
  if (first.empty() || first != second) return std::nullopt;
  return first;
}

}  // namespace tool
