#pragma once
// Time and size limits of one client connection of the HTTP layer.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

struct ConnectionLimits {
  std::chrono::seconds handshake_timeout{10};
  std::chrono::seconds header_timeout{30};  // first request: handshake done, head pending
  std::chrono::seconds idle_timeout{120};   // keep-alive wait for the next request
  std::chrono::seconds io_timeout{30};      // one response write
  // A request's whole body, counted from the arrival of its head, however it
  // trickles in.
  std::chrono::seconds body_timeout{60};
  uint32_t header_limit = 16 * 1024;
  std::size_t body_limit = 20 * 1024 * 1024;
};

// Receives what the connections of the HTTP layer report, on the I/O thread.
class ConnectionEvents {
 public:
  virtual ~ConnectionEvents() = default;
  // A request whose head and body have arrived, ready for the request thread.
  virtual void Deliver(std::shared_ptr<struct QueuedRequest> request) = 0;
  // The connection waits for its client (handshake, head, body): it may be
  // closed to make room for another. Not idle while its request is served.
  virtual void Idle(class HttpResponder* connection, bool idle) = 0;
  virtual void Finished(class HttpResponder* connection) = 0;
};

}  // namespace platform
