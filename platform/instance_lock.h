#pragma once
// One running copy per user: a lock file that the holder keeps for its whole
// run (a crashed holder's lock is taken over).

#include <memory>
#include <string>

#include <QLockFile>

namespace platform {

inline constexpr const char* kInstanceLockName = "Tavrik_Server_Crypt.lock";

struct InstanceLock {
  std::unique_ptr<QLockFile> lock;  // held for the run; null when not taken
  bool other_copy = false;          // another live copy of this user holds it
};

// folder ends with its separator; an empty or unusable folder takes no lock
// and finds no other copy.
InstanceLock LockInstance(const std::string& folder);

}  // namespace platform
