#include "tokens/avcryptmail/askpass.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "tokens/store/child_program.h"

namespace avest {
namespace {

constexpr std::size_t kMaxAnswer = 1024;

// The answer up to its first line end, read whole so that the program never
// blocks on a full pipe.
tokens::SecretString ReadAnswer(int fd) {
  tokens::SecretString answer;
  answer.reserve(kMaxAnswer);
  char chunk[256];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const std::size_t room = kMaxAnswer - answer.size();
    answer.append(chunk, std::min(room, static_cast<std::size_t>(n)));
  }
  OPENSSL_cleanse(chunk, sizeof chunk);
  if (const std::size_t end = answer.find_first_of("\r\n"); end != answer.npos) answer.resize(end);
  return answer;
}

}  // namespace

std::string PromptProgram() {
  if (const char* named = std::getenv("AVCM_ASKPASS"); named != nullptr && named[0] != '\0')
    return named;
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&PromptProgram), &self) == 0 || self.dli_fname == nullptr)
    return {};
  return (std::filesystem::path(self.dli_fname).parent_path() / "tessel-askpass").string();
}

PromptAnswer AskPassword(const std::string& program, const std::string& text) {
  PromptAnswer answer;
  tokens::ChildProgram prompt;
  if (!prompt.Start(program, text, STDOUT_FILENO)) return answer;
  answer.password = ReadAnswer(prompt.channel());
  prompt.CloseChannel();
  const int status = prompt.Wait();
  if (status == 0) {
    answer.outcome = PromptOutcome::kAnswered;
  } else {
    tokens::Wipe(answer.password);
    answer.outcome = PromptOutcome::kCancelled;
  }
  return answer;
}

}  // namespace avest
