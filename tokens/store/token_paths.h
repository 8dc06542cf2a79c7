#pragma once
// Where soft tokens live and how they are named: one folder per token under
// $XDG_DATA_HOME/tessel/tokens/ (default ~/.local/share/tessel/tokens/), named
// by the token's serial.

#include <filesystem>
#include <optional>
#include <string_view>

namespace tokens {

enum class TokenKind { kZorvik2, kZorvik, kAvest };

// "zorvik2", "zorvik", "avest": the names in the token files and the tool.
std::string_view KindName(TokenKind kind);
// "Zorvik2", "Zorvik", "Avest": the names shown to people.
std::string_view KindTitle(TokenKind kind);
std::optional<TokenKind> ParseKind(std::string_view name);

// $XDG_DATA_HOME/tessel, or ~/.local/share/tessel.
std::filesystem::path DataFolder();
std::filesystem::path TokensFolder();

// 1 to 32 letters, digits and '-', starting with a letter or digit: a serial
// never names anything outside its own folder.
bool IsValidSerial(std::string_view serial);

// Files of a token folder.
inline constexpr char kStateFile[] = "token.json";
inline constexpr char kOwnerFile[] = "owner.json";
inline constexpr char kCertificateFile[] = "certificate.pem";
inline constexpr char kUnpluggedFile[] = "unplugged";
inline constexpr char kLockFile[] = "lock";

}  // namespace tokens
