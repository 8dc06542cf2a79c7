#include "platform/https_connection.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

#include <boost/asio/write.hpp>

#include "platform/http_queue.h"

namespace platform {
namespace {

namespace beast = boost::beast;
namespace http = boost::beast::http;
namespace net = boost::asio;

// Request headers the service knows by name; everything else is handed over
// as an "unknown" header, the way the router expects to find "option".
constexpr std::array<std::string_view, 41> kKnownRequestHeaders = {"Cache-Control",
                                                                   "Connection",
                                                                   "Date",
                                                                   "Keep-Alive",
                                                                   "Pragma",
                                                                   "Trailer",
                                                                   "Transfer-Encoding",
                                                                   "Upgrade",
                                                                   "Via",
                                                                   "Warning",
                                                                   "Allow",
                                                                   "Content-Length",
                                                                   "Content-Type",
                                                                   "Content-Encoding",
                                                                   "Content-Language",
                                                                   "Content-Location",
                                                                   "Content-MD5",
                                                                   "Content-Range",
                                                                   "Expires",
                                                                   "Last-Modified",
                                                                   "Accept",
                                                                   "Accept-Charset",
                                                                   "Accept-Encoding",
                                                                   "Accept-Language",
                                                                   "Authorization",
                                                                   "Cookie",
                                                                   "Expect",
                                                                   "From",
                                                                   "Host",
                                                                   "If-Match",
                                                                   "If-Modified-Since",
                                                                   "If-None-Match",
                                                                   "If-Range",
                                                                   "If-Unmodified-Since",
                                                                   "Max-Forwards",
                                                                   "Proxy-Authorization",
                                                                   "Referer",
                                                                   "Range",
                                                                   "TE",
                                                                   "Translate",
                                                                   "User-Agent"};

std::string_view Std(beast::string_view text) {
  return {text.data(), text.size()};
}
beast::string_view Beast(std::string_view text) {
  return {text.data(), text.size()};
}

bool IsKnownHeader(std::string_view name) {
  return std::any_of(
      kKnownRequestHeaders.begin(), kKnownRequestHeaders.end(),
      [name](std::string_view known) { return beast::iequals(Beast(known), Beast(name)); });
}

// Room a string takes in the receive buffer, terminator included.
uint32_t Room(std::string_view text) {
  return static_cast<uint32_t>(text.size() + 1);
}

}  // namespace

HttpsConnection::HttpsConnection(net::ip::tcp::socket socket, net::ssl::context& tls,
                                 const ConnectionLimits& limits, RequestSink sink,
                                 Finished finished)
    : stream_(std::move(socket), tls),
      limits_(limits),
      sink_(std::move(sink)),
      finished_(std::move(finished)) {}

HttpsConnection::~HttpsConnection() = default;

void HttpsConnection::Start() {
  beast::get_lowest_layer(stream_).expires_after(limits_.handshake_timeout);
  stream_.async_handshake(net::ssl::stream_base::server,
                          [self = shared_from_this()](beast::error_code ec) {
                            if (ec) return self->Close();
                            self->ReadHeader();
                          });
}

void HttpsConnection::Close() {
  if (closed_.exchange(true)) return;
  beast::error_code ignored;
  beast::get_lowest_layer(stream_).socket().shutdown(net::ip::tcp::socket::shutdown_both, ignored);
  beast::get_lowest_layer(stream_).close();
  if (finished_) finished_(this);
}

void HttpsConnection::ReadHeader() {
  parser_.emplace();
  body_deadline_ = {};
  // The router bounds what it reads of a body; the parser must not refuse first.
  // (A numeric limit: this Boost compares a length against an empty limit wrongly.)
  parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
  parser_->header_limit(limits_.header_limit);
  beast::get_lowest_layer(stream_).expires_after(first_request_ ? limits_.header_timeout
                                                                : limits_.idle_timeout);
  http::async_read_header(
      stream_, buffer_, *parser_,
      [self = shared_from_this()](beast::error_code ec, std::size_t) { self->OnHeader(ec); });
}

void HttpsConnection::OnHeader(beast::error_code ec) {
  if (ec) return Close();
  first_request_ = false;
  // Nothing runs against this connection while the request waits its turn.
  beast::get_lowest_layer(stream_).expires_never();

  const auto& head = parser_->get();
  auto request = std::make_shared<QueuedRequest>();
  request->verb = std::string(head.method_string());
  std::string_view target = Std(head.target());
  const auto question = target.find('?');
  request->path = std::string(target.substr(0, question));
  if (question != std::string_view::npos) {
    request->has_query = true;
    request->query = std::string(target.substr(question));
  }
  uint32_t size = kRequestRecordSize + Room(request->verb) + Room(target);
  for (const auto& field : head) {
    std::string_view name = Std(field.name_string());
    std::string_view value = Std(field.value());
    size += Room(name) + Room(value);
    if (beast::iequals(Beast(name), "Content-Length")) {
      request->has_content_length = true;
      request->content_length = std::string(value);
    } else if (!IsKnownHeader(name)) {
      request->unknown_headers.emplace_back(std::string(name), std::string(value));
    }
  }
  request->record_size = size;
  request->more_entity_body = !parser_->is_done();
  continue_pending_ =
      request->more_entity_body && beast::iequals(head[http::field::expect], "100-continue");
  request->connection = shared_from_this();
  sink_(std::move(request));
}

void HttpsConnection::ReadBody(std::span<char> into, BodyDone done) {
  if (closed_) return done(kHttpConnectionInvalid, 0);
  if (!parser_ || parser_->is_done()) return done(kHttpHandleEof, 0);
  if (!continue_pending_) return ReadBodyPiece(into, std::move(done));
  continue_pending_ = false;
  static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
  beast::get_lowest_layer(stream_).expires_after(limits_.io_timeout);
  net::async_write(stream_, net::buffer(kContinue.data(), kContinue.size()),
                   [self = shared_from_this(), into, done = std::move(done)](beast::error_code ec,
                                                                             std::size_t) mutable {
                     if (ec) {
                       self->Close();
                       return done(kHttpConnectionInvalid, 0);
                     }
                     self->ReadBodyPiece(into, std::move(done));
                   });
}

void HttpsConnection::ReadBodyPiece(std::span<char> into, BodyDone done) {
  auto& body = parser_->get().body();
  body.data = into.data();
  body.size = into.size();
  body.more = true;
  // One deadline for the whole body: a client sending a byte now and then
  // must not hold the request thread for long.
  if (body_deadline_ == std::chrono::steady_clock::time_point{})
    body_deadline_ = std::chrono::steady_clock::now() + limits_.body_timeout;
  beast::get_lowest_layer(stream_).expires_at(body_deadline_);
  http::async_read(
      stream_, buffer_, *parser_,
      [self = shared_from_this(), into, done = std::move(done)](beast::error_code ec, std::size_t) {
        beast::get_lowest_layer(self->stream_).expires_never();
        const std::size_t got = into.size() - self->parser_->get().body().size;
        if (ec == http::error::need_buffer) ec = {};
        if (ec) {
          self->Close();
          return done(kHttpConnectionInvalid, 0);
        }
        done(self->parser_->is_done() ? kHttpHandleEof : kHttpOk, got);
      });
}

void HttpsConnection::Write(int status, std::string reason,
                            std::vector<std::pair<std::string, std::string>> known,
                            std::vector<std::pair<std::string, std::string>> unknown,
                            std::string body, WriteDone done) {
  if (closed_) return done(kHttpConnectionInvalid);
  // A body left unread cannot be skipped safely, so such a connection ends here.
  const bool keep_alive = parser_ && parser_->is_done() && parser_->get().keep_alive();
  // Head and body in one buffer make one TLS record and one send.
  response_ = std::make_shared<std::string>();
  std::string& text = *response_;
  text.reserve(512 + body.size());
  text += "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
  auto add = [&text](const std::string& name, const std::string& value) {
    text += name;
    text += ": ";
    text += value;
    text += "\r\n";
  };
  for (const auto& [name, value] : known) add(name, value);
  add("Content-Length", std::to_string(body.size()));
  for (const auto& [name, value] : unknown) add(name, value);
  if (!keep_alive) add("Connection", "close");
  text += "\r\n";
  text += body;
  beast::get_lowest_layer(stream_).expires_after(limits_.io_timeout);
  net::async_write(stream_, net::buffer(text),
                   [self = shared_from_this(), keep_alive, done = std::move(done)](
                       beast::error_code ec, std::size_t) {
                     self->response_.reset();
                     if (ec) {
                       self->Close();
                       return done(kHttpConnectionInvalid);
                     }
                     done(kHttpOk);
                     if (keep_alive)
                       self->ReadHeader();
                     else
                       self->Shutdown();
                   });
}

void HttpsConnection::Shutdown() {
  beast::get_lowest_layer(stream_).expires_after(std::chrono::seconds(2));
  stream_.async_shutdown([self = shared_from_this()](beast::error_code) { self->Close(); });
}

}  // namespace platform
