#pragma once
// The per-user folders the program keeps its files in.

#include <string>

namespace platform {

// ${TMPDIR:-/tmp}/Tavrik_Server_Crypt-<uid>/, created owner-only. Empty when the
// folder is a link, is owned by someone else or cannot be made.
std::string UserTempFolder();

// $XDG_CONFIG_HOME/ (or ~/.config/), with its final separator.
std::string UserConfigHome();

// $XDG_CONFIG_HOME/Tavrik_Server_Crypt/ (or ~/.config/...), where the server
// certificate and key live. Only the name: nothing is created.
std::string UserConfigFolder();

// The same folder made ready for the settings: created owner-only (its parents
// too, as the base-directory rules ask), refused like the temporary folder.
std::string UserSettingsFolder();

// $XDG_RUNTIME_DIR/ when it is set and ours alone, else empty.
std::string UserRuntimeFolder();

// folder (given with or without its final separator) as an owner-only folder
// of this user: made when missing, loosened modes tightened; empty when it is
// a link, someone else's or cannot be made.
std::string OwnerOnlyFolder(const std::string& folder);

// Makes folder and its missing parents, each 0700 (existing ones stay as they are).
void MakeFolderWithParents(const std::string& folder);

inline constexpr const char* kCertificateFileName = "server.crt";
inline constexpr const char* kKeyFileName = "server.key";

}  // namespace platform
