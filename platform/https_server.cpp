#include "platform/https_server.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <utility>

#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/post.hpp>

namespace platform {
namespace {

namespace net = boost::asio;
using tcp = net::ip::tcp;

constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kInvalidData = 13;

// A thousand idle keep-alive clients must fit beside the usual descriptors.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

// Copies text into the buffer at offset and returns a view of the copy.
std::string_view Place(std::span<char> buffer, std::size_t& offset, const std::string& text) {
  char* at = buffer.data() + offset;
  std::memcpy(at, text.data(), text.size());
  at[text.size()] = '\0';
  offset += text.size() + 1;
  return {at, text.size()};
}

}  // namespace

HttpsServer::HttpsServer(HttpsServerOptions options)
    : options_(std::move(options)), tls_(net::ssl::context::tls_server) {}

HttpsServer::~HttpsServer() {
  Terminate();
}

uint32_t HttpsServer::LoadCertificate() {
  if (access(options_.certificate_file.c_str(), R_OK) != 0 ||
      access(options_.key_file.c_str(), R_OK) != 0)
    return kFileNotFound;
  boost::system::error_code ec;
  tls_.set_options(net::ssl::context::default_workarounds | net::ssl::context::no_sslv2 |
                       net::ssl::context::no_sslv3 | net::ssl::context::no_tlsv1 |
                       net::ssl::context::no_tlsv1_1,
                   ec);
  tls_.use_certificate_chain_file(options_.certificate_file, ec);
  if (ec) return kInvalidData;
  tls_.use_private_key_file(options_.key_file, net::ssl::context::pem, ec);
  if (ec) return kInvalidData;
  return 0;
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
  if (running_ || ended_) return kHttpAlreadyExists;
  if (uint32_t code = LoadCertificate(); code != 0) return code;
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
    if (connections_.size() >= options_.max_connections) {
      socket.close(ec);
    } else {
      auto connection = std::make_shared<HttpsConnection>(
          std::move(socket), tls_, options_.limits,
          [this](std::shared_ptr<QueuedRequest> request) { Enqueue(std::move(request)); },
          [this](HttpsConnection* gone) { Forget(gone); });
      connections_.emplace(connection.get(), connection);
      {
        std::lock_guard lock(mutex_);
        connection_count_ = connections_.size();
      }
      connection->Start();
    }
    Accept(acceptor);
  });
}

void HttpsServer::Enqueue(std::shared_ptr<QueuedRequest> request) {
  {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    request->id = next_id_++;
    queue_.push_back(std::move(request));
  }
  arrived_.notify_one();
}

void HttpsServer::Forget(HttpsConnection* connection) {
  connections_.erase(connection);
  std::lock_guard lock(mutex_);
  connection_count_ = connections_.size();
}

std::size_t HttpsServer::connection_count() const {
  std::lock_guard lock(mutex_);
  return connection_count_;
}

template <typename Work>
bool HttpsServer::Post(Work&& work) {
  std::lock_guard lock(mutex_);
  if (ended_ || !running_) return false;
  net::post(io_, std::forward<Work>(work));
  return true;
}

void HttpsServer::Terminate() {
  bool was_running = false;
  {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    ended_ = true;
    was_running = running_;
  }
  arrived_.notify_all();
  if (was_running) {
    net::post(io_, [this] {
      boost::system::error_code ignored;
      for (auto& acceptor : acceptors_) acceptor->close(ignored);
      accept_retry_->cancel();
      auto open = connections_;
      for (auto& [raw, connection] : open) connection->Close();
    });
  }
  if (io_thread_.joinable()) io_thread_.join();
  std::lock_guard lock(mutex_);
  queue_.clear();
  delivered_.clear();
}

void HttpsServer::AbandonDelivered() {
  // Called with the lock held: a request the previous handler left without a
  // reply would otherwise hold its connection forever.
  for (auto& [id, request] : delivered_) {
    if (running_ && !ended_)
      net::post(io_, [connection = request->connection] { connection->Close(); });
  }
  delivered_.clear();
}

std::shared_ptr<QueuedRequest> HttpsServer::Delivered(uint64_t request_id) {
  std::lock_guard lock(mutex_);
  auto found = delivered_.find(request_id);
  return found == delivered_.end() ? nullptr : found->second;
}

uint32_t HttpsServer::ReceiveRequest(uint64_t request_id, std::span<char> buffer,
                                     HttpRequestRecord& record, uint32_t& bytes_returned) {
  std::shared_ptr<QueuedRequest> request;
  {
    std::unique_lock lock(mutex_);
    if (request_id == 0) {
      AbandonDelivered();
      for (;;) {
        arrived_.wait(lock, [this] { return ended_ || !queue_.empty(); });
        if (ended_) return kHttpOperationAborted;
        request = std::move(queue_.front());
        queue_.pop_front();
        if (!request->connection->closed()) break;
      }
      delivered_[request->id] = request;
    } else {
      if (ended_) return kHttpOperationAborted;
      auto found = delivered_.find(request_id);
      if (found == delivered_.end()) return kHttpConnectionInvalid;
      request = found->second;
      if (request->connection->closed()) {
        delivered_.erase(found);
        return kHttpConnectionInvalid;
      }
    }
  }
  record = HttpRequestRecord{};
  record.request_id = request->id;
  bytes_returned = request->record_size;
  if (buffer.size() < request->record_size) return kHttpMoreData;

  std::size_t offset = kRequestRecordSize;
  record.verb = Place(buffer, offset, request->verb);
  record.path = Place(buffer, offset, request->path);
  record.has_query = request->has_query;
  if (request->has_query) record.query = Place(buffer, offset, request->query);
  for (const auto& [name, value] : request->unknown_headers) {
    auto placed_name = Place(buffer, offset, name);
    record.unknown_headers.emplace_back(placed_name, Place(buffer, offset, value));
  }
  record.has_content_length = request->has_content_length;
  if (request->has_content_length)
    record.content_length = Place(buffer, offset, request->content_length);
  record.more_entity_body = request->more_entity_body;
  return kHttpOk;
}

uint32_t HttpsServer::ReceiveEntityBody(uint64_t request_id, std::span<char> buffer,
                                        uint32_t& bytes_returned) {
  bytes_returned = 0;
  auto request = Delivered(request_id);
  if (!request) return kHttpConnectionInvalid;
  std::promise<std::pair<uint32_t, std::size_t>> result;
  auto outcome = result.get_future();
  const bool posted = Post([connection = request->connection, buffer, &result] {
    connection->ReadBody(buffer, [&result](uint32_t code, std::size_t bytes) {
      result.set_value({code, bytes});
    });
  });
  if (!posted) return kHttpOperationAborted;
  const auto [code, bytes] = outcome.get();
  bytes_returned = static_cast<uint32_t>(bytes);
  return code;
}

uint32_t HttpsServer::SendResponse(uint64_t request_id, const HttpResponse& response) {
  std::shared_ptr<QueuedRequest> request;
  {
    std::lock_guard lock(mutex_);
    auto found = delivered_.find(request_id);
    if (found == delivered_.end()) return kHttpConnectionInvalid;
    request = std::move(found->second);
    delivered_.erase(found);
  }
  std::vector<std::pair<std::string, std::string>> known, unknown;
  for (const auto& header : response.known_headers) known.emplace_back(header.name, header.value);
  for (const auto& header : response.unknown_headers)
    unknown.emplace_back(header.name, header.value);
  // Handed to the I/O thread without waiting for the write: the request thread
  // takes the next request meanwhile. A client already gone is reported here;
  // one that leaves during the write only loses its connection.
  if (request->connection->closed()) return kHttpConnectionInvalid;
  const bool posted =
      Post([connection = request->connection, status = response.status, reason = response.reason,
            known = std::move(known), unknown = std::move(unknown),
            body = std::string(response.body)]() mutable {
        connection->Write(status, std::move(reason), std::move(known), std::move(unknown),
                          std::move(body), [](uint32_t) {});
      });
  return posted ? kHttpOk : kHttpOperationAborted;
}

}  // namespace platform
