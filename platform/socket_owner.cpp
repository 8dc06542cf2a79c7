#include "platform/socket_owner.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/tcp_table.h"

namespace platform {
namespace {

using tcp = boost::asio::ip::tcp;

// Puts an address into the diagnostics' four 32-bit words, network order.
void PutAddress(const boost::asio::ip::address& address, __be32 (&into)[4]) {
  std::memset(into, 0, sizeof into);
  if (address.is_v4()) {
    const auto bytes = address.to_v4().to_bytes();
    std::memcpy(&into[0], bytes.data(), bytes.size());
  } else {
    const auto bytes = address.to_v6().to_bytes();
    std::memcpy(into, bytes.data(), bytes.size());
  }
}

// Asks the kernel's socket diagnostics for the one socket whose source is
// remote and whose destination is local: the peer's end of the connection.
std::optional<uid_t> AskSocketDiagnostics(const tcp::endpoint& local, const tcp::endpoint& remote) {
  const int netlink = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (netlink < 0) return std::nullopt;
  struct {
    nlmsghdr header;
    inet_diag_req_v2 request;
  } message{};
  message.header.nlmsg_len = sizeof message;
  message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  message.header.nlmsg_flags = NLM_F_REQUEST;
  message.request.sdiag_family = remote.address().is_v4() ? AF_INET : AF_INET6;
  message.request.sdiag_protocol = IPPROTO_TCP;
  message.request.idiag_states = ~0U;
  message.request.id.idiag_sport = htons(remote.port());
  message.request.id.idiag_dport = htons(local.port());
  PutAddress(remote.address(), message.request.id.idiag_src);
  PutAddress(local.address(), message.request.id.idiag_dst);
  message.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
  message.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
  std::optional<uid_t> owner;
  if (send(netlink, &message, sizeof message, 0) == static_cast<ssize_t>(sizeof message)) {
    alignas(nlmsghdr) std::array<char, 8192> answer{};
    const ssize_t got = recv(netlink, answer.data(), answer.size(), 0);
    const auto* reply = reinterpret_cast<const nlmsghdr*>(answer.data());
    if (got >= static_cast<ssize_t>(sizeof(nlmsghdr)) &&
        NLMSG_OK(reply, static_cast<unsigned>(got)) && reply->nlmsg_type == SOCK_DIAG_BY_FAMILY &&
        reply->nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg))) {
      // The message follows its aligned header (what NLMSG_DATA computes).
      inet_diag_msg found{};
      std::memcpy(&found, answer.data() + NLMSG_HDRLEN, sizeof found);
      owner = found.idiag_uid;
    }
  }
  close(netlink);
  return owner;
}

// The same from /proc/net/tcp or tcp6, where addresses are hexadecimal words
// in host order.
std::string ProcAddress(const tcp::endpoint& at) {
  std::string text;
  char word[9];
  if (at.address().is_v4()) {
    const auto bytes = at.address().to_v4().to_bytes();
    uint32_t value = 0;
    std::memcpy(&value, bytes.data(), 4);
    std::snprintf(word, sizeof word, "%08X", value);
    text = word;
  } else {
    const auto bytes = at.address().to_v6().to_bytes();
    for (std::size_t i = 0; i < 16; i += 4) {
      uint32_t value = 0;
      std::memcpy(&value, bytes.data() + i, 4);
      std::snprintf(word, sizeof word, "%08X", value);
      text += word;
    }
  }
  std::snprintf(word, sizeof word, "%04X", at.port());
  return text + ":" + word;
}

std::optional<uid_t> ReadProcTable(const tcp::endpoint& local, const tcp::endpoint& remote) {
  const std::string want_local = ProcAddress(remote);
  const std::string want_remote = ProcAddress(local);
  for (const TcpTableRow& row : ParseTcpTable(ReadTcpTable(!remote.address().is_v4()))) {
    if (row.local == want_local && row.remote == want_remote) return row.uid;
  }
  return std::nullopt;
}

}  // namespace

std::optional<uid_t> PeerSocketOwner(const tcp::endpoint& local, const tcp::endpoint& remote) {
  if (!remote.address().is_loopback()) return std::nullopt;
  if (auto owner = AskSocketDiagnostics(local, remote)) return owner;
  return ReadProcTable(local, remote);
}

}  // namespace platform
