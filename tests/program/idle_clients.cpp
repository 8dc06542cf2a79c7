// Load helper for scripts/bench-server.sh: holds N idle TLS connections open
// to a port, then times one fresh HTTPS request beside them.
//   idle_clients PORT COUNT

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>

namespace net = boost::asio;
using tcp = net::ip::tcp;
using Stream = net::ssl::stream<tcp::socket>;

namespace {

std::unique_ptr<Stream> Connect(net::io_context& io, net::ssl::context& tls,
                                const tcp::endpoint& at) {
  auto stream = std::make_unique<Stream>(io, tls);
  stream->next_layer().connect(at);
  stream->handshake(net::ssl::stream_base::client);
  return stream;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: idle_clients PORT COUNT\n");
    return 2;
  }
  const auto port = static_cast<unsigned short>(std::atoi(argv[1]));
  const int count = std::atoi(argv[2]);
  net::io_context io;
  net::ssl::context tls(net::ssl::context::tls_client);
  tls.set_verify_mode(net::ssl::verify_none);
  const tcp::endpoint at(net::ip::address_v4::loopback(), port);

  std::vector<std::unique_ptr<Stream>> idle;
  try {
    for (int i = 0; i < count; ++i) idle.push_back(Connect(io, tls, at));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "opened %zu idle connections, then: %s\n", idle.size(), e.what());
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  try {
    auto fresh = Connect(io, tls, at);
    const std::string request =
        "GET /?action=checkLs HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
    net::write(*fresh, net::buffer(request));
    net::streambuf reply;
    net::read_until(*fresh, reply, "}");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fresh request failed: %s\n", e.what());
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("idle=%zu fresh_request_ms=%.1f\n", idle.size(), ms);
  return ms < 100.0 ? 0 : 1;
}
