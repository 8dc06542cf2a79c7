#pragma once
// A complete request as the HTTP layer hands it to the request thread: its
// head, its body already read into memory, and the connection to answer on.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <boost/beast/http/message.hpp>

#include "platform/http_queue.h"

namespace platform {

// The request thread's side of a connection; every call but closed() runs on
// the I/O thread.
class HttpResponder {
 public:
  virtual ~HttpResponder() = default;
  virtual bool closed() const = 0;
  virtual void Close() = 0;
  virtual void Write(const HttpResponse& response, std::string body) = 0;
};

// Memory shared by the bodies being read or waiting in the queue. A body
// takes its bytes from the pool as they arrive and gives them back when its
// request is gone.
class BodyMemory {
 public:
  explicit BodyMemory(std::size_t limit) : limit_(limit) {}
  bool Take(std::size_t bytes);
  void Give(std::size_t bytes) { used_.fetch_sub(bytes); }
  std::size_t used() const { return used_.load(); }

 private:
  const std::size_t limit_;
  std::atomic<std::size_t> used_{0};
};

struct QueuedRequest {
  QueuedRequest() = default;
  QueuedRequest(const QueuedRequest&) = delete;
  QueuedRequest& operator=(const QueuedRequest&) = delete;
  ~QueuedRequest();

  uint64_t id = 0;
  std::string verb;
  std::string path;
  bool has_query = false;
  std::string query;  // with its leading '?'
  std::vector<std::pair<std::string, std::string>> unknown_headers;
  bool has_content_length = false;
  std::string content_length;
  bool has_host = false;
  std::string host;
  bool more_entity_body = false;
  bool body_too_large = false;  // announced or sent beyond the limit: not kept
  std::vector<char> body;
  std::size_t body_taken = 0;          // what the request thread has read of it
  std::shared_ptr<BodyMemory> memory;  // where the body's bytes come from
  std::size_t memory_taken = 0;
  std::shared_ptr<HttpResponder> connection;
};

// The request head in the form the request thread reads: the target split
// into path and query, Content-Length and Host apart, and the headers the
// service does not know by name.
std::shared_ptr<QueuedRequest> MakeQueuedRequest(const boost::beast::http::request_header<>& head);

// What a request occupies in a receive buffer: the fixed record and every
// string placed in it with its terminator.
uint32_t RecordSize(const QueuedRequest& request);

// Places the request's strings into buffer and points record at them. False,
// with nothing written, when the buffer is smaller than RecordSize.
bool PlaceRequest(const QueuedRequest& request, std::span<char> buffer, HttpRequestRecord& record);

}  // namespace platform
