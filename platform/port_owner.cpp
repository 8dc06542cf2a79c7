#include "platform/port_owner.h"

#include <pwd.h>

#include <charconv>
#include <vector>

#include "platform/tcp_table.h"

namespace platform {
namespace {

constexpr std::string_view kListening = "0A";

std::optional<unsigned long> Number(std::string_view text, int base) {
  unsigned long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<uid_t> ListeningPortOwnerIn(const std::string& table, uint16_t port) {
  for (const TcpTableRow& row : ParseTcpTable(table)) {
    if (row.state != kListening) continue;
    const std::size_t colon = row.local.rfind(':');
    if (colon == std::string::npos) continue;
    const auto local_port = Number(std::string_view(row.local).substr(colon + 1), 16);
    if (local_port && *local_port == port) return row.uid;
  }
  return std::nullopt;
}

std::optional<uid_t> ListeningPortOwner(uint16_t port) {
  for (bool ipv6 : {false, true}) {
    if (auto owner = ListeningPortOwnerIn(ReadTcpTable(ipv6), port)) return owner;
  }
  return std::nullopt;
}

std::string UserName(uid_t uid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
    return found->pw_name;
  return std::to_string(uid);
}

}  // namespace platform
