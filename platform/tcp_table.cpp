#include "platform/tcp_table.h"

#include <fstream>
#include <sstream>

namespace platform {

std::vector<TcpTableRow> ParseTcpTable(const std::string& table) {
  std::vector<TcpTableRow> rows;
  std::istringstream lines(table);
  std::string line;
  std::getline(lines, line);  // the column titles
  while (std::getline(lines, line)) {
    // sl local remote st tx:rx tr:when retransmits uid ...
    std::istringstream fields(line);
    std::string slot, queues, timer, retransmits;
    TcpTableRow row;
    unsigned long uid = 0;
    if (fields >> slot >> row.local >> row.remote >> row.state >> queues >> timer >> retransmits >>
        uid) {
      row.uid = static_cast<uid_t>(uid);
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

std::string ReadTcpTable(bool ipv6) {
  std::ifstream input(ipv6 ? "/proc/net/tcp6" : "/proc/net/tcp");
  std::ostringstream text;
  text << input.rdbuf();
  return text.str();
}

}  // namespace platform
