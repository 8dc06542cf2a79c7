#include "platform/https_server.h"

#include <sys/resource.h>
#include <unistd.h>

#include <utility>

#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>

#include "platform/http_connection.h"
#include "platform/socket_owner.h"
#include "platform/tls_settings.h"

namespace platform {
namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using TlsConnection = HttpConnection<boost::beast::ssl_stream<tcp::socket>>;

// Thousands of idle keep-alive clients must fit beside the usual descriptors.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

HttpsServer::HttpsServer(HttpsServerOptions options)
    : options_(std::move(options)),
      tls_(net::ssl::context::tls_server),
      table_(options_.max_connections, options_.max_connections_per_peer),
      body_memory_(std::make_shared<BodyMemory>(options_.body_memory)) {}

HttpsServer::~HttpsServer() {
  Terminate();
}

uint32_t HttpsServer::Bind(const net::ip::address& address, bool required) {
  auto acceptor = std::make_unique<tcp::acceptor>(io_);
  const tcp::endpoint endpoint(address, bound_port_ != 0 ? bound_port_ : options_.port);
  boost::system::error_code ec;
  acceptor->open(endpoint.protocol(), ec);
  if (!ec && address.is_v6()) acceptor->set_option(net::ip::v6_only(true), ec);
  if (!ec) acceptor->set_option(tcp::acceptor::reuse_address(true), ec);
  if (!ec) acceptor->bind(endpoint, ec);
  if (!ec) acceptor->listen(net::socket_base::max_listen_connections, ec);
  if (ec == net::error::address_in_use) return kHttpAlreadyExists;
  if (ec) return required ? static_cast<uint32_t>(ec.value()) : 0;  // no IPv6 here
  bound_port_ = acceptor->local_endpoint().port();
  acceptors_.push_back(std::move(acceptor));
  return 0;
}

uint32_t HttpsServer::Start() {
  {
    std::lock_guard lock(mutex_);
    if (running_ || ended_) return kHttpAlreadyExists;
  }
  if (uint32_t code =
          ConfigureServerTls(tls_, options_.certificate_file, options_.key_file, problem_file_);
      code != 0)
    return code;
  RaiseDescriptorLimit();
  if (uint32_t code = Bind(net::ip::address_v4::loopback(), true); code != 0) return code;
  if (uint32_t code = Bind(net::ip::address_v6::loopback(), false); code != 0) {
    acceptors_.clear();
    return code;
  }
  accept_retry_ = std::make_unique<net::steady_timer>(io_);
  for (auto& acceptor : acceptors_) Accept(*acceptor);
  {
    std::lock_guard lock(mutex_);
    running_ = true;
  }
  queue_.Open();
  io_thread_ = std::thread([this] { io_.run(); });
  return 0;
}

void HttpsServer::Accept(tcp::acceptor& acceptor) {
  acceptor.async_accept([this, &acceptor](boost::system::error_code ec, tcp::socket socket) {
    if (ec == net::error::operation_aborted || !acceptor.is_open()) return;
    if (ec) {
      // Out of descriptors or similar: try again shortly instead of spinning.
      accept_retry_->expires_after(std::chrono::milliseconds(50));
      accept_retry_->async_wait([this, &acceptor](boost::system::error_code wait) {
        if (!wait) Accept(acceptor);
      });
      return;
    }
    Admit(std::move(socket));
    Accept(acceptor);
  });
}

void HttpsServer::Admit(tcp::socket socket) {
  boost::system::error_code ec;
  const tcp::endpoint peer = socket.remote_endpoint(ec);
  const tcp::endpoint local = ec ? tcp::endpoint() : socket.local_endpoint(ec);
  // Another user's process gets nothing, not even a handshake; a peer whose
  // owner cannot be told is treated alike.
  const bool same_user = !ec && PeerSocketOwner(local, peer) == getuid();
  if (!same_user || !table_.MakeRoom(peer.address())) {
    socket.close(ec);
    CountConnections();
    return;
  }
  auto connection = std::make_shared<TlsConnection>(
      boost::beast::ssl_stream<tcp::socket>(std::move(socket), tls_), options_.limits, *this,
      body_memory_);
  table_.Add(connection, peer.address());
  CountConnections();
  connection->Start();
}

void HttpsServer::CountConnections() {
  std::lock_guard lock(mutex_);
  connection_count_ = table_.size();
}

void HttpsServer::Deliver(std::shared_ptr<QueuedRequest> request) {
  queue_.Enqueue(std::move(request));
}

void HttpsServer::Idle(HttpResponder* connection, bool idle) {
  table_.SetIdle(connection, idle);
}

void HttpsServer::Finished(HttpResponder* connection) {
  table_.Remove(connection);
  CountConnections();
}

std::size_t HttpsServer::connection_count() const {
  std::lock_guard lock(mutex_);
  return connection_count_;
}

void HttpsServer::Terminate() {
  bool was_running = false;
  {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    ended_ = true;
    was_running = running_;
  }
  queue_.End();
  if (was_running) {
    net::post(io_, [this] {
      boost::system::error_code ignored;
      for (auto& acceptor : acceptors_) acceptor->close(ignored);
      accept_retry_->cancel();
      table_.CloseAll();
    });
  }
  if (io_thread_.joinable()) io_thread_.join();
}

}  // namespace platform
