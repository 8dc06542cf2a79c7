#pragma once
// Definitions of HttpConnection; included by its header only.

namespace platform {

template <class Stream>
void HttpConnection<Stream>::Start() {
  events_.Idle(this, true);
  if constexpr (IsTlsStream<Stream>::value) {
    Arm(Clock::now() + limits_.handshake_timeout);
    stream_.async_handshake(boost::asio::ssl::stream_base::server,
                            [self = this->shared_from_this()](boost::beast::error_code ec) {
                              if (ec || self->closed_) return self->Close();
                              self->ReadHead();
                            });
  } else {
    ReadHead();
  }
}

template <class Stream>
void HttpConnection<Stream>::Close() {
  if (closed_.exchange(true)) return;
  Disarm();
  boost::beast::close_socket(boost::beast::get_lowest_layer(stream_));
  request_.reset();
  events_.Finished(this);
}

// Expiry closes the connection; a wait that was replaced by a later Arm or
// cancelled finds the deadline moved and does nothing.
template <class Stream>
void HttpConnection<Stream>::Arm(Clock::time_point at) {
  deadline_.expires_at(at);
  deadline_.async_wait([self = this->shared_from_this()](boost::beast::error_code ec) {
    if (ec || self->closed_ || self->deadline_.expiry() > Clock::now()) return;
    self->Close();
  });
}

template <class Stream>
void HttpConnection<Stream>::ReadHead() {
  parser_.emplace();
  // The body is bounded here, by its own count; a numeric parser limit
  // because this Boost compares a length against an empty limit wrongly.
  parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
  parser_->header_limit(limits_.header_limit);
  Arm(Clock::now() + (first_request_ ? limits_.header_timeout : limits_.idle_timeout));
  boost::beast::http::async_read_header(
      stream_, buffer_, *parser_,
      [self = this->shared_from_this()](boost::beast::error_code ec, std::size_t) {
        self->OnHead(ec);
      });
}

template <class Stream>
void HttpConnection<Stream>::OnHead(boost::beast::error_code ec) {
  if (ec || closed_) return Close();
  first_request_ = false;
  body_deadline_ = Clock::now() + limits_.body_timeout;
  request_ = MakeQueuedRequest(parser_->get().base());
  request_->more_entity_body = !parser_->is_done();
  request_->memory = memory_;
  if (!request_->more_entity_body) return Deliver();
  const auto announced = parser_->content_length();
  if (announced && *announced > limits_.body_limit) return RefuseBody();
  Arm(body_deadline_);
  if (boost::beast::iequals(parser_->get()[boost::beast::http::field::expect], "100-continue"))
    return SendContinue();
  ReadBodyPiece();
}

template <class Stream>
void HttpConnection<Stream>::SendContinue() {
  static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
  boost::asio::async_write(
      stream_, boost::asio::buffer(kContinue.data(), kContinue.size()),
      [self = this->shared_from_this()](boost::beast::error_code ec, std::size_t) {
        if (ec || self->closed_) return self->Close();
        self->ReadBodyPiece();
      });
}

template <class Stream>
void HttpConnection<Stream>::ReadBodyPiece() {
  // Without a length, one octet beyond the limit tells that the body is too large.
  const std::size_t room = limits_.body_limit + 1 - request_->body.size();
  std::size_t piece = std::min(kBodyPiece, room);
  if (const auto announced = parser_->content_length())
    piece = std::min<std::size_t>(piece, *announced - request_->body.size());
  piece = std::max<std::size_t>(piece, 1);
  // A body that would take the service over the memory all bodies share
  // gets the "too large" answer, not more memory.
  if (!memory_->Take(piece)) return RefuseBody();
  request_->memory_taken += piece;
  const std::size_t at = request_->body.size();
  request_->body.resize(at + piece);
  auto& body = parser_->get().body();
  body.data = request_->body.data() + at;
  body.size = piece;
  body.more = true;
  boost::beast::http::async_read(
      stream_, buffer_, *parser_,
      [self = this->shared_from_this()](boost::beast::error_code ec, std::size_t) {
        self->OnBodyPiece(ec);
      });
}

template <class Stream>
void HttpConnection<Stream>::OnBodyPiece(boost::beast::error_code ec) {
  if (ec == boost::beast::http::error::need_buffer) ec = {};
  if (ec || closed_) return Close();
  const std::size_t unused = parser_->get().body().size;
  request_->body.resize(request_->body.size() - unused);
  memory_->Give(unused);
  request_->memory_taken -= unused;
  if (request_->body.size() > limits_.body_limit) return RefuseBody();
  if (parser_->is_done()) return Deliver();
  ReadBodyPiece();
}

// The request goes over without its body, for the "too large" answer; the
// unread rest keeps the connection from being used again.
template <class Stream>
void HttpConnection<Stream>::RefuseBody() {
  request_->body_too_large = true;
  std::vector<char>().swap(request_->body);
  memory_->Give(request_->memory_taken);
  request_->memory_taken = 0;
  Deliver();
}

template <class Stream>
void HttpConnection<Stream>::Deliver() {
  // Nothing runs against this connection while the request waits its turn.
  Disarm();
  events_.Idle(this, false);
  request_->connection = this->shared_from_this();
  events_.Deliver(std::move(request_));
}

template <class Stream>
void HttpConnection<Stream>::Write(const HttpResponse& response, std::string body) {
  if (closed_) return;
  // A body left unread cannot be skipped safely, so such a connection ends here.
  const bool keep_alive = parser_ && parser_->is_done() && parser_->get().keep_alive();
  // Head and body in one buffer make one TLS record and one send.
  response_.clear();
  response_.reserve(512 + body.size());
  response_ += "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
  auto add = [this](const std::string& name, const std::string& value) {
    response_ += name;
    response_ += ": ";
    response_ += value;
    response_ += "\r\n";
  };
  for (const auto& header : response.known_headers) add(header.name, header.value);
  add("Content-Length", std::to_string(body.size()));
  for (const auto& header : response.unknown_headers) add(header.name, header.value);
  if (!keep_alive) add("Connection", "close");
  response_ += "\r\n";
  response_ += body;
  Arm(Clock::now() + limits_.io_timeout);
  boost::asio::async_write(
      stream_, boost::asio::buffer(response_),
      [self = this->shared_from_this(), keep_alive](boost::beast::error_code ec, std::size_t) {
        std::string().swap(self->response_);
        if (ec || self->closed_) return self->Close();
        if (!keep_alive) return self->Shutdown();
        self->events_.Idle(self.get(), true);
        self->ReadHead();
      });
}

template <class Stream>
void HttpConnection<Stream>::Shutdown() {
  if constexpr (IsTlsStream<Stream>::value) {
    Arm(Clock::now() + std::chrono::seconds(2));
    stream_.async_shutdown(
        [self = this->shared_from_this()](boost::beast::error_code) { self->Close(); });
  } else {
    Close();
  }
}

}  // namespace platform
