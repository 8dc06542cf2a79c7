#include "tokens/store/token_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

namespace tokens {
namespace {

struct KindNames {
  TokenKind kind;
  std::string_view name;
  std::string_view title;
};
constexpr std::array<KindNames, 3> kKinds{{{TokenKind::kZorvik2, "zorvik2", "Zorvik2"},
                                           {TokenKind::kZorvik, "zorvik", "Zorvik"},
                                           {TokenKind::kAvest, "avest", "Avest"}}};

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return "/";
}

}  // namespace

std::string_view KindName(TokenKind kind) {
  for (const KindNames& k : kKinds)
    if (k.kind == kind) return k.name;
  return {};
}

std::string_view KindTitle(TokenKind kind) {
  for (const KindNames& k : kKinds)
    if (k.kind == kind) return k.title;
  return {};
}

std::optional<TokenKind> ParseKind(std::string_view name) {
  for (const KindNames& k : kKinds)
    if (k.name == name) return k.kind;
  return std::nullopt;
}

std::filesystem::path DataFolder() {
  // A relative XDG_DATA_HOME is invalid and ignored, as the base directory
  // convention says.
  const char* data = std::getenv("XDG_DATA_HOME");
  const std::filesystem::path base = data != nullptr && data[0] == '/'
                                         ? std::filesystem::path(data)
                                         : HomeFolder() / ".local" / "share";
  return base / "tessel";
}

std::filesystem::path TokensFolder() {
  return DataFolder() / "tokens";
}

bool IsValidSerial(std::string_view serial) {
  if (serial.empty() || serial.size() > 32 || serial.front() == '-') return false;
  for (const char c : serial) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '-';
    if (!ok) return false;
  }
  return true;
}

}  // namespace tokens
