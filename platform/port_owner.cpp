#include "platform/port_owner.h"

#include <pwd.h>

#include <charconv>
#include <iterator>
#include <sstream>
#include <vector>

#include <QFile>

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
  std::istringstream lines(table);
  std::string line;
  std::getline(lines, line);  // the column names
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    const std::vector<std::string> columns{std::istream_iterator<std::string>(fields),
                                           std::istream_iterator<std::string>()};
    // sl local rem st tx:rx tr:when retrnsmt uid ...
    if (columns.size() < 8 || columns[3] != kListening) continue;
    const std::size_t colon = columns[1].rfind(':');
    if (colon == std::string::npos) continue;
    const auto local_port = Number(std::string_view(columns[1]).substr(colon + 1), 16);
    const auto uid = Number(columns[7], 10);
    if (local_port && uid && *local_port == port) return static_cast<uid_t>(*uid);
  }
  return std::nullopt;
}

std::optional<uid_t> ListeningPortOwner(uint16_t port) {
  for (const char* name : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    QFile input(QString::fromLatin1(name));
    if (!input.open(QIODevice::ReadOnly)) continue;
    if (auto owner = ListeningPortOwnerIn(input.readAll().toStdString(), port)) return owner;
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
