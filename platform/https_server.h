#pragma once
// The local HTTPS service on the loopback addresses: accepts and reads any
// number of connections on its own I/O thread and queues complete requests;
// the request thread takes them one at a time through HttpQueue.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "platform/connection_limits.h"
#include "platform/connection_table.h"
#include "platform/http_queue.h"
#include "platform/request_queue.h"

namespace platform {

struct HttpsServerOptions {
  uint16_t port = 7887;  // 0 picks a free port (tests)
  std::string certificate_file;
  std::string key_file;
  std::size_t max_connections = 4000;
  std::size_t max_connections_per_peer = 1000;
  // What the bodies being read or waiting may hold together.
  std::size_t body_memory = 64 * 1024 * 1024;
  ConnectionLimits limits;
};

class HttpsServer final : public HttpQueue, public ConnectionEvents {
 public:
  explicit HttpsServer(HttpsServerOptions options);
  ~HttpsServer() override;
  HttpsServer(const HttpsServer&) = delete;
  HttpsServer& operator=(const HttpsServer&) = delete;

  // Loads the certificate and binds the addresses: 0, kHttpAlreadyExists when
  // another process holds the port, another error code otherwise (with the
  // file concerned in problem_file() when a file is the cause).
  uint32_t Start();
  // Ends the service: connections close, a pending receive fails.
  void Terminate();
  uint16_t port() const { return bound_port_; }
  const std::string& problem_file() const { return problem_file_; }
  std::size_t connection_count() const;

  uint32_t ReceiveRequest(uint64_t request_id, std::span<char> buffer, HttpRequestRecord& record,
                          uint32_t& bytes_returned) override {
    return queue_.ReceiveRequest(request_id, buffer, record, bytes_returned);
  }
  uint32_t ReceiveEntityBody(uint64_t request_id, std::span<char> buffer,
                             uint32_t& bytes_returned) override {
    return queue_.ReceiveEntityBody(request_id, buffer, bytes_returned);
  }
  uint32_t SendResponse(uint64_t request_id, const HttpResponse& response) override {
    return queue_.SendResponse(request_id, response);
  }

 private:
  uint32_t Bind(const boost::asio::ip::address& address, bool required);
  void Accept(boost::asio::ip::tcp::acceptor& acceptor);
  void Admit(boost::asio::ip::tcp::socket socket);
  void CountConnections();

  // ConnectionEvents, on the I/O thread.
  void Deliver(std::shared_ptr<QueuedRequest> request) override;
  void Idle(HttpResponder* connection, bool idle) override;
  void Finished(HttpResponder* connection) override;

  HttpsServerOptions options_;
  boost::asio::io_context io_;
  boost::asio::ssl::context tls_;
  RequestQueue queue_{io_};
  std::vector<std::unique_ptr<boost::asio::ip::tcp::acceptor>> acceptors_;
  std::unique_ptr<boost::asio::steady_timer> accept_retry_;
  std::thread io_thread_;
  uint16_t bound_port_ = 0;
  std::string problem_file_;

  // I/O thread only.
  ConnectionTable table_;
  std::shared_ptr<BodyMemory> body_memory_;

  mutable std::mutex mutex_;
  bool running_ = false;
  bool ended_ = false;
  std::size_t connection_count_ = 0;
};

}  // namespace platform
