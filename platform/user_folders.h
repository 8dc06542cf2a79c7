#pragma once
// The per-user folders the program keeps its files in.

#include <string>

namespace platform {

// ${TMPDIR:-/tmp}/Tavrik_Server_Crypt-<uid>/, created owner-only. Empty when the
// folder is a link, is owned by someone else or cannot be made.
std::string UserTempFolder();

// $XDG_CONFIG_HOME/Tavrik_Server_Crypt/ (or ~/.config/...), where the server
// certificate and key live.
std::string UserConfigFolder();

inline constexpr const char* kCertificateFileName = "server.crt";
inline constexpr const char* kKeyFileName = "server.key";

}  // namespace platform
