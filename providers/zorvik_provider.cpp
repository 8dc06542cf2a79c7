#include "providers/zorvik_provider.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <vector>

#include "providers/signing_io.h"

namespace providers {
namespace {

constexpr const char* kSignFileName = "sign.tmp";
constexpr int kPasswordAttempts = 3;

bool WriteAll(int fd, const std::vector<unsigned char>& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The data file: made anew, owner-only; removed whatever the outcome.
class DataFile {
 public:
  explicit DataFile(std::string path) : path_(std::move(path)) {}
  ~DataFile() { unlink(path_.c_str()); }
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  bool Create(const std::vector<unsigned char>& data) {
    unlink(path_.c_str());  // a read-only leftover is replaced like any other
    const int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, data) && fsync(fd) == 0;
    return close(fd) == 0 && written;
  }
  // What the sign program appended behind the data; none when the file
  // cannot be opened, and an empty result when nothing was appended.
  std::optional<std::vector<unsigned char>> Appended(std::size_t data_size, uint32_t capacity) {
    const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    std::vector<unsigned char> signature;
    if (fstat(fd, &info) == 0 && static_cast<std::size_t>(info.st_size) > data_size &&
        static_cast<std::size_t>(info.st_size) - data_size <= capacity) {
      signature.resize(static_cast<std::size_t>(info.st_size) - data_size);
      const ssize_t got =
          pread(fd, signature.data(), signature.size(), static_cast<off_t>(data_size));
      if (got != static_cast<ssize_t>(signature.size())) signature.clear();
    }
    close(fd);
    return signature;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

void ZorvikProvider::SetTokenWatcherFolder(const std::string& folder) {
  std::lock_guard guard(folder_mutex_);
  token_watcher_folder_ = folder;
}

uint32_t ZorvikProvider::Sign(char* output, uint32_t* length, const char* body,
                              uint32_t body_length) {
  const ProviderGate::Call call(gate_);
  // Data that is no base64 text is never written for the sign program.
  const auto data = DecodeBody(body, body_length);
  if (!data) return kSignUnknownError;
  if (temp_folder_.empty()) return kZorvikFileError;
  DataFile file(temp_folder_ + kSignFileName);
  if (!file.Create(*data)) return kZorvikFileError;

  uint32_t code = 0;
  const int32_t result = SignFile(file.path(), context_.Origin(), code);
  if (code != 0) return code;
  log_.Event(kLogZorvikExec, static_cast<uint32_t>(result));
  if (result != 0) return static_cast<uint32_t>(result);

  const auto signature = file.Appended(data->size(), SignatureCapacity(*length));
  if (!signature) return kZorvikFileError;
  // Nothing behind the data, or more than the reply can carry.
  if (signature->empty() ||
      !PutSignature(signature->data(), static_cast<uint32_t>(signature->size()), output, length))
    return kSignUnknownError;
  return 0;
}

int32_t ZorvikProvider::SignFile(const std::string& path, const std::string& origin,
                                 uint32_t& code) {
  std::string folder;
  {
    std::lock_guard guard(folder_mutex_);
    folder = token_watcher_folder_;
  }
  int32_t result = kSignZorvikWrongPassword;
  for (int attempt = 0; attempt < kPasswordAttempts && result == kSignZorvikWrongPassword;
       ++attempt) {
    SecretText password;
    bool cached = false;
    {
      std::unique_lock held(lock_, std::defer_lock);
      if (!held.try_lock_for(kLockWait)) {
        code = kSignUnknownError;
        return result;
      }
      // A cached password serves only the page that gave it.
      cached = timer_.active() && cache_.ServesOrigin(origin);
      if (cached) password = cache_.c_str();
    }
    if (!cached) {
      TokenDialogAnswer answer = dialog_.ShowTokenDialog({false, origin});
      if (!answer.accepted) {
        code = kZorvikCancelled;
        return result;
      }
      password = std::move(answer.entered_password);
    }
    result = components_.SignZorvik(folder.c_str(), path.c_str(), password.c_str());
    if (result == 0 && !cached) CachePassword(password, origin);
    if (result == kSignZorvikWrongPassword && cached) {
      // Refused (changed meanwhile): asking beats spending the token's tries.
      std::unique_lock held(lock_, std::defer_lock);
      if (held.try_lock_for(kLockWait) && cache_.ServesOrigin(origin)) cache_.Wipe();
    }
  }
  return result;
}

uint32_t ZorvikProvider::CachePassword(const SecretText& password, const std::string& origin) {
  std::unique_lock held(lock_, std::defer_lock);
  if (!held.try_lock_for(kLockWait)) return 1;
  timer_.Abandon();
  if (!cache_.Store(password, origin)) return 1;
  timer_.Start(lifetime_, [this] { cache_.Wipe(); });
  return 0;
}

void ZorvikProvider::Forget() {
  std::unique_lock held(lock_, std::defer_lock);
  if (held.try_lock_for(kLockWait)) cache_.Wipe();
}

uint32_t ZorvikProvider::Shutdown() {
  gate_.Stop();
  gate_.WaitIdle(kCleanupWait);
  std::unique_lock held(lock_, std::defer_lock);
  if (held.try_lock_for(kLockWait)) {
    timer_.Abandon();
    cache_.Wipe();
  }
  return 0;
}

}  // namespace providers
