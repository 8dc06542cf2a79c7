#pragma once
// One client connection of the HTTPS service. Lives on the service's I/O
// thread; the request thread reaches it only through posted calls.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

namespace platform {

struct ConnectionLimits {
  std::chrono::seconds handshake_timeout{10};
  std::chrono::seconds header_timeout{30};  // first request: handshake done, headers pending
  std::chrono::seconds idle_timeout{120};   // keep-alive wait for the next request
  std::chrono::seconds io_timeout{30};      // one response write
  std::chrono::seconds body_timeout{60};    // a whole request body, however it trickles in
  uint32_t header_limit = 64 * 1024;
};

// A complete request head, queued for the request thread.
struct QueuedRequest {
  uint64_t id = 0;
  std::string verb;
  std::string path;
  bool has_query = false;
  std::string query;
  std::vector<std::pair<std::string, std::string>> unknown_headers;
  bool has_content_length = false;
  std::string content_length;
  bool more_entity_body = false;
  uint32_t record_size = 0;  // what the request occupies in a receive buffer
  std::shared_ptr<class HttpsConnection> connection;
};

class HttpsConnection : public std::enable_shared_from_this<HttpsConnection> {
 public:
  using RequestSink = std::function<void(std::shared_ptr<QueuedRequest>)>;
  using Finished = std::function<void(HttpsConnection*)>;
  using BodyDone = std::function<void(uint32_t code, std::size_t bytes)>;
  using WriteDone = std::function<void(uint32_t code)>;

  HttpsConnection(boost::asio::ip::tcp::socket socket, boost::asio::ssl::context& tls,
                  const ConnectionLimits& limits, RequestSink sink, Finished finished);
  ~HttpsConnection();

  void Start();
  void Close();
  bool closed() const { return closed_.load(); }

  void ReadBody(std::span<char> into, BodyDone done);
  void Write(int status, std::string reason, std::vector<std::pair<std::string, std::string>> known,
             std::vector<std::pair<std::string, std::string>> unknown, std::string body,
             WriteDone done);

 private:
  using Parser = boost::beast::http::request_parser<boost::beast::http::buffer_body>;

  void ReadHeader();
  void OnHeader(boost::beast::error_code ec);
  void ReadBodyPiece(std::span<char> into, BodyDone done);
  void Shutdown();

  boost::beast::ssl_stream<boost::beast::tcp_stream> stream_;
  boost::beast::flat_buffer buffer_;
  std::optional<Parser> parser_;
  ConnectionLimits limits_;
  RequestSink sink_;
  Finished finished_;
  bool first_request_ = true;
  bool continue_pending_ = false;
  std::chrono::steady_clock::time_point body_deadline_{};  // set at the first piece
  std::atomic<bool> closed_{false};
  std::shared_ptr<std::string> response_;  // kept until written
};

}  // namespace platform
