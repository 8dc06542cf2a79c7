#pragma once
// Which local user owns the other end of a loopback TCP connection, so that
// the service can refuse the processes of other users before any TLS.

#include <sys/types.h>

#include <optional>

#include <boost/asio/ip/tcp.hpp>

namespace platform {

// The uid of the socket at remote that is connected to local; nullopt when
// it cannot be told (not a loopback connection, or no such socket).
std::optional<uid_t> PeerSocketOwner(const boost::asio::ip::tcp::endpoint& local,
                                     const boost::asio::ip::tcp::endpoint& remote);

}  // namespace platform
