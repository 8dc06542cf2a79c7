#pragma once
// Connections a test holds open against the local service, the way one
// hostile local process could: silent TCP connections, and TLS connections
// that leave a POST half-sent.

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/write.hpp>

#include "tls_client.h"

namespace testing_support {

class HeldConnections {
 public:
  explicit HeldConnections(uint16_t port)
      : at_(boost::asio::ip::address_v4::loopback(), port),
        tls_(boost::asio::ssl::context::tls_client) {
    tls_.set_verify_mode(boost::asio::ssl::verify_none);
  }

  // Descriptors for count more connections: false when the hard limit is lower.
  static bool RoomFor(std::size_t count) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_max < count + 256) return false;
    limit.rlim_cur = limit.rlim_max;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
  }

  // Waits until the service has taken every connection waiting in its
  // listening socket's queue (the kernel completes a connect before that).
  static bool WaitUntilAccepted(uint16_t port) {
    const std::string command =
        "ss -Hltn 'sport = :" + std::to_string(port) + "' | awk '{s += $2} END {print s + 0}'";
    for (int i = 0; i < 500; ++i) {
      const auto queued = RunCommand(command);
      if (queued.status == 0 && queued.output == "0\n") return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  std::size_t OpenSilent(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      boost::asio::ip::tcp::socket socket(io_);
      boost::system::error_code ec;
      socket.connect(at_, ec);
      if (ec) break;
      silent_.push_back(std::move(socket));
    }
    return silent_.size();
  }

  // A POST announcing 100 octets and sending 4 of them.
  std::size_t OpenHalfSentPosts(std::size_t count) {
    const std::string head =
        "POST /?action=getDocSign HTTP/1.1\r\nHost: localhost\r\nContent-Length: 100\r\n\r\nQUJD";
    for (std::size_t i = 0; i < count; ++i) {
      auto stream =
          std::make_unique<boost::asio::ssl::stream<boost::asio::ip::tcp::socket>>(io_, tls_);
      boost::system::error_code ec;
      stream->next_layer().connect(at_, ec);
      if (!ec) stream->handshake(boost::asio::ssl::stream_base::client, ec);
      if (!ec) boost::asio::write(*stream, boost::asio::buffer(head), ec);
      if (ec) break;
      half_sent_.push_back(std::move(stream));
    }
    return half_sent_.size();
  }

 private:
  boost::asio::io_context io_;
  boost::asio::ip::tcp::endpoint at_;
  boost::asio::ssl::context tls_;
  std::vector<boost::asio::ip::tcp::socket> silent_;
  std::vector<std::unique_ptr<boost::asio::ssl::stream<boost::asio::ip::tcp::socket>>> half_sent_;
};

}  // namespace testing_support
