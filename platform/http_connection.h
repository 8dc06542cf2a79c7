#pragma once
// One client connection of the HTTP layer, over TLS in the service and over
// an in-memory stream in the fuzz target. It reads a request's head and its
// whole body before handing the request over, so that a slow client delays
// only itself; every phase runs against a deadline.

#include <atomic>
#include <chrono>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include "platform/connection_limits.h"
#include "platform/queued_request.h"

namespace platform {

template <class Stream>
struct IsTlsStream : std::false_type {};
template <class Next>
struct IsTlsStream<boost::beast::ssl_stream<Next>> : std::true_type {};

template <class Stream>
class HttpConnection final : public HttpResponder,
                             public std::enable_shared_from_this<HttpConnection<Stream>> {
 public:
  HttpConnection(Stream stream, const ConnectionLimits& limits, ConnectionEvents& events,
                 std::shared_ptr<BodyMemory> memory)
      : stream_(std::move(stream)),
        deadline_(stream_.get_executor()),
        limits_(limits),
        events_(events),
        memory_(std::move(memory)) {}

  void Start();
  bool closed() const override { return closed_.load(); }
  void Close() override;
  void Write(const HttpResponse& response, std::string body) override;

 private:
  using Clock = std::chrono::steady_clock;
  using Parser = boost::beast::http::request_parser<boost::beast::http::buffer_body>;
  static constexpr std::size_t kBodyPiece = 64 * 1024;

  void ReadHead();
  void OnHead(boost::beast::error_code ec);
  void SendContinue();
  void ReadBodyPiece();
  void OnBodyPiece(boost::beast::error_code ec);
  void RefuseBody();
  void Deliver();
  void Shutdown();
  void Arm(Clock::time_point at);
  void Disarm() { deadline_.cancel(); }

  Stream stream_;
  boost::asio::steady_timer deadline_;
  boost::beast::flat_buffer buffer_;
  std::optional<Parser> parser_;
  ConnectionLimits limits_;
  ConnectionEvents& events_;
  std::shared_ptr<BodyMemory> memory_;
  std::shared_ptr<QueuedRequest> request_;  // until it is delivered
  Clock::time_point body_deadline_{};
  bool first_request_ = true;
  std::atomic<bool> closed_{false};
  std::string response_;  // kept until written
};

}  // namespace platform

#include "platform/http_connection_impl.h"
