#include "tokens/store/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tokens {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool IsOwnFolder(const std::filesystem::path& folder) {
  struct stat info {};
  return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid();
}

}  // namespace

bool MakeOwnerOnlyFolder(const std::filesystem::path& folder) {
  if (IsOwnFolder(folder)) return true;
  if (folder.has_parent_path() && folder.parent_path() != folder) {
    std::error_code ignored;
    std::filesystem::create_directories(folder.parent_path(), ignored);
  }
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsOwnFolder(folder);
}

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         unsigned mode) {
  std::string temp = path.string() + ".XXXXXX";
  const int fd = mkstemp(temp.data());  // mode 0600
  if (fd < 0) return false;
  const bool written = (mode == 0600 || fchmod(fd, static_cast<mode_t>(mode)) == 0) &&
                       WriteAll(fd, bytes) && fsync(fd) == 0;
  if (close(fd) != 0 || !written || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder.
  const int folder = open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}

std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::size_t max_size) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> content;
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<std::size_t>(info.st_size) <= max_size) {
    std::string data(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = read(fd, data.data() + done, data.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    if (done == data.size()) content = std::move(data);
  }
  close(fd);
  return content;
}

bool IsRegularFile(const std::filesystem::path& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::filesystem::path& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileLock::FileLock(const std::filesystem::path& path, Wait wait) {
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  const int operation = wait == Wait::kTry ? LOCK_EX | LOCK_NB : LOCK_EX;
  int result;
  do {
    result = flock(fd_, operation);
  } while (result != 0 && errno == EINTR);
  held_ = result == 0;
}

FileLock::~FileLock() {
  if (fd_ >= 0) close(fd_);  // closing releases the lock
}

}  // namespace tokens
