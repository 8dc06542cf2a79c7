#include "providers/test_hooks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace providers {
namespace {

#ifdef TAVRIK_TEST_HOOKS
constexpr bool kHooks = true;
#else
constexpr bool kHooks = false;
#endif

const char* Setting(const char* name) {
  const char* value = kHooks ? std::getenv(name) : nullptr;
  return value != nullptr && value[0] != '\0' ? value : nullptr;
}

}  // namespace

std::chrono::milliseconds LoginLifetime() {
  const std::chrono::milliseconds lifetime = kLoginLifetime;
  const char* setting = Setting("TAVRIK_TEST_LOGIN_LIFETIME_MS");
  if (setting == nullptr) return lifetime;
  const long long asked = std::strtoll(setting, nullptr, 10);
  return asked > 0 && asked < lifetime.count() ? std::chrono::milliseconds(asked) : lifetime;
}

bool DialogAnswerHookSet() {
  return Setting("TAVRIK_TEST_DIALOG_ANSWER") != nullptr;
}

std::optional<SecretText> DialogAnswerFromHook() {
  const char* path = Setting("TAVRIK_TEST_DIALOG_ANSWER");
  if (path == nullptr) return std::nullopt;
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  SecretText answer;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
      (info.st_mode & 077) == 0 && info.st_size <= 4096) {
    answer.resize(static_cast<std::size_t>(info.st_size));
    const ssize_t got = read(fd, answer.data(), answer.size());
    answer.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  } else {
    close(fd);
    return std::nullopt;
  }
  close(fd);
  if (const auto end = answer.find_first_of("\r\n"); end != SecretText::npos) answer.resize(end);
  return answer;
}

}  // namespace providers
