#pragma once
// Who listens on a TCP port of this machine, from the kernel's socket tables.

#include <cstdint>
#include <optional>
#include <string>

#include <sys/types.h>

namespace platform {

// The owner of a socket listening on port, from /proc/net/tcp and tcp6.
std::optional<uid_t> ListeningPortOwner(uint16_t port);

// The same from the text of one such table (header line first).
std::optional<uid_t> ListeningPortOwnerIn(const std::string& table, uint16_t port);

// The user's login name, or the number when it has none.
std::string UserName(uid_t uid);

}  // namespace platform
