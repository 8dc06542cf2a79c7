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

std::string WithoutSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Missing parents are made 0700, as the base-directory rules ask.
void MakeParents(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1))
    mkdir(folder.substr(0, slash).c_str(), 0700);
}

}  // namespace

std::string OwnerOnlyFolder(const std::string& folder) {
  const std::string path = WithoutSlash(folder);
  const uid_t uid = getuid();
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return {};
  // A shared parent lets others plant a folder or link under our name first.
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return {};
  if (!S_ISDIR(info.st_mode) || info.st_uid != uid) return {};
  if ((info.st_mode & 0077) != 0 && chmod(path.c_str(), 0700) != 0) return {};
  return path + "/";
}

std::string UserTempFolder() {
  return OwnerOnlyFolder(WithSlash(FromEnvironment("TMPDIR", "/tmp")) + "Tavrik_Server_Crypt-" +
                         std::to_string(getuid()));
}

std::string UserConfigHome() {
  const std::string home = FromEnvironment("HOME", "/");
  return WithSlash(FromEnvironment("XDG_CONFIG_HOME", WithSlash(home) + ".config"));
}

std::string UserConfigFolder() {
  return UserConfigHome() + "Tavrik_Server_Crypt/";
}

void MakeFolderWithParents(const std::string& folder) {
  MakeParents(WithoutSlash(folder) + "/");
}

std::string UserSettingsFolder() {
  const std::string folder = UserConfigFolder();
  MakeParents(WithoutSlash(folder));
  return OwnerOnlyFolder(folder);
}

std::string UserRuntimeFolder() {
  const std::string folder = FromEnvironment("XDG_RUNTIME_DIR", "");
  if (folder.empty() || folder.front() != '/') return {};
  struct stat info {};
  if (lstat(WithoutSlash(folder).c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
      info.st_uid != getuid() || (info.st_mode & 0077) != 0)
    return {};
  return WithSlash(folder);
}

}  // namespace platform
