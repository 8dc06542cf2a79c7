#pragma once
// The HTTPS listener and its request thread, from start to stop.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/https_server.h"
#include "service/service_state.h"

namespace service {

class Listener {
 public:
  explicit Listener(ServiceState& state) : state_(state) {}
  ~Listener();
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // 0 and the request thread running; kHttpAlreadyExists when another copy
  // holds the address; another error code otherwise.
  uint32_t Start(const platform::HttpsServerOptions& options);
  // Ends the service; the request thread's pending receive fails and it ends
  // by itself. Does not wait for it (it may be inside a signing routine).
  void Stop();
  // At program end: stop, then give request threads a bounded time to finish.
  bool StopAndWait(std::chrono::milliseconds limit);
  uint16_t port() const { return server_ ? server_->port() : 0; }
  // The file that kept the last start from succeeding, when a file did.
  const std::string& problem_file() const { return problem_file_; }

 private:
  ServiceState& state_;
  std::shared_ptr<platform::HttpsServer> server_;
  std::string problem_file_;
  std::shared_ptr<std::atomic<int>> threads_running_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace service
