#include "platform/user_folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

std::string FromEnvironment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

}  // namespace

std::string UserTempFolder() {
  const uid_t uid = getuid();
  const std::string folder =
      WithSlash(FromEnvironment("TMPDIR", "/tmp")) + "Tavrik_Server_Crypt-" + std::to_string(uid);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  // A shared /tmp lets others plant a folder or link under our name first.
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) return {};
  if (!S_ISDIR(info.st_mode) || info.st_uid != uid) return {};
  if ((info.st_mode & 0077) != 0 && chmod(folder.c_str(), 0700) != 0) return {};
  return folder + "/";
}

std::string UserConfigFolder() {
  const std::string home = FromEnvironment("HOME", "/");
  return WithSlash(FromEnvironment("XDG_CONFIG_HOME", WithSlash(home) + ".config")) +
         "Tavrik_Server_Crypt/";
}

}  // namespace platform
