#include "platform/instance_lock.h"

namespace platform {

InstanceLock LockInstance(const std::string& folder) {
  InstanceLock result;
  if (folder.empty()) return result;
  auto lock = std::make_unique<QLockFile>(QString::fromStdString(folder + kInstanceLockName));
  // Held as long as the holder lives: only a dead holder's lock is stale.
  lock->setStaleLockTime(0);
  if (lock->tryLock(0)) {
    result.lock = std::move(lock);
  } else {
    result.other_copy = lock->error() == QLockFile::LockFailedError;
  }
  return result;
}

}  // namespace platform
