#pragma once
// The file operations of the soft-token folders: owner-only folders and files,
// writes that replace a file whole or not at all, and a lock that orders the
// processes using one token.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tokens {

// Makes the folder (and its parents) with mode 0700 where missing. False when
// it cannot be made, or exists as a link, a non-folder or someone else's.
bool MakeOwnerOnlyFolder(const std::filesystem::path& folder);

// Writes the bytes to a new owner-only file beside path, flushes it and renames
// it over path, so readers see the old file or the new one, never a mix.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         unsigned mode = 0600);

// The whole content of a regular file (links are not followed); nothing when
// it is missing, unreadable or longer than max_size.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& path, std::size_t max_size);

bool IsRegularFile(const std::filesystem::path& path);
bool IsFolder(const std::filesystem::path& path);

// An exclusive lock on a lock file (made owner-only when missing), held for
// the object's life. The kernel drops it when the process ends.
class FileLock {
 public:
  enum class Wait { kBlock, kTry };
  FileLock(const std::filesystem::path& path, Wait wait);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace tokens
