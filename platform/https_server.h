#pragma once
// The local HTTPS service on the loopback addresses: accepts and parses any
// number of connections on its own I/O thread and queues complete request
// heads; the request thread takes them one at a time through HttpQueue.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "platform/http_queue.h"
#include "platform/https_connection.h"

namespace platform {

struct HttpsServerOptions {
  uint16_t port = 7887;  // 0 picks a free port (tests)
  std::string certificate_file;
  std::string key_file;
  std::size_t max_connections = 4000;
  ConnectionLimits limits;
};

class HttpsServer final : public HttpQueue {
 public:
  explicit HttpsServer(HttpsServerOptions options);
  ~HttpsServer() override;
  HttpsServer(const HttpsServer&) = delete;
  HttpsServer& operator=(const HttpsServer&) = delete;

  // Loads the certificate and binds the addresses: 0, kHttpAlreadyExists when
  // another process holds the port, another error code otherwise.
  uint32_t Start();
  // Ends the service: connections close, a pending receive fails.
  void Terminate();
  uint16_t port() const { return bound_port_; }
  std::size_t connection_count() const;

  uint32_t ReceiveRequest(uint64_t request_id, std::span<char> buffer, HttpRequestRecord& record,
                          uint32_t& bytes_returned) override;
  uint32_t ReceiveEntityBody(uint64_t request_id, std::span<char> buffer,
                             uint32_t& bytes_returned) override;
  uint32_t SendResponse(uint64_t request_id, const HttpResponse& response) override;

 private:
  uint32_t LoadCertificate();
  uint32_t Bind(const boost::asio::ip::address& address, bool required);
  void Accept(boost::asio::ip::tcp::acceptor& acceptor);
  void Enqueue(std::shared_ptr<QueuedRequest> request);
  void Forget(HttpsConnection* connection);
  void AbandonDelivered();
  std::shared_ptr<QueuedRequest> Delivered(uint64_t request_id);
  // Runs work on the I/O thread; false once the service has ended.
  template <typename Work>
  bool Post(Work&& work);

  HttpsServerOptions options_;
  boost::asio::io_context io_;
  boost::asio::ssl::context tls_;
  std::vector<std::unique_ptr<boost::asio::ip::tcp::acceptor>> acceptors_;
  std::unique_ptr<boost::asio::steady_timer> accept_retry_;
  std::thread io_thread_;
  uint16_t bound_port_ = 0;

  // I/O thread only.
  std::map<HttpsConnection*, std::shared_ptr<HttpsConnection>> connections_;

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::shared_ptr<QueuedRequest>> queue_;
  std::unordered_map<uint64_t, std::shared_ptr<QueuedRequest>> delivered_;
  uint64_t next_id_ = 1;
  bool running_ = false;
  bool ended_ = false;
  std::size_t connection_count_ = 0;
};

}  // namespace platform
