#pragma once
// The kernel's tables of TCP sockets (/proc/net/tcp and tcp6), row by row.

#include <sys/types.h>

#include <string>
#include <vector>

namespace platform {

struct TcpTableRow {
  std::string local;  // "ADDRESS:PORT", both in hexadecimal as the kernel writes them
  std::string remote;
  std::string state;  // hexadecimal; "0A" is listening
  uid_t uid = 0;
};

// The rows of one table's text (its line of column titles first); lines that
// do not read as a row are skipped.
std::vector<TcpTableRow> ParseTcpTable(const std::string& table);
// The text of /proc/net/tcp, or of /proc/net/tcp6; empty when unreadable.
std::string ReadTcpTable(bool ipv6);

}  // namespace platform
