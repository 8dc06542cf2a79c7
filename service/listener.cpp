#include "service/listener.h"

#include <thread>

#include "service/request_loop.h"
#include "service/router.h"

namespace service {

Listener::~Listener() {
  StopAndWait(std::chrono::milliseconds(2000));
}

uint32_t Listener::Start(const platform::HttpsServerOptions& options) {
  platform::HttpsServerOptions bounded = options;
  bounded.limits.body_limit = kMaxPostBody;
  auto server = std::make_shared<platform::HttpsServer>(bounded);
  const uint32_t code = server->Start();
  problem_file_ = server->problem_file();
  if (code != 0) return code;
  server_ = server;
  ++*threads_running_;
  std::thread([server, running = threads_running_, &state = state_]() mutable {
    // The router catches what a request throws; this is the last guard, so
    // that nothing thrown here ends the program.
    try {
      Router router(state);
      RequestLoop(*server, router, state.log);
    } catch (...) {
      state.log.WriteLog(QStringLiteral("Request thread ended"), std::nullopt, LogValue::None());
    }
    server.reset();  // before the count drops, so nothing of it outlives the wait
    --*running;
  }).detach();
  return 0;
}

void Listener::Stop() {
  if (server_) server_->Terminate();
  server_.reset();
}

bool Listener::StopAndWait(std::chrono::milliseconds limit) {
  Stop();
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (*threads_running_ > 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace service
