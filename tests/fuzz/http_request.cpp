// Bytes in, response out: what one client sends on a connection, through the
// real HTTP layer (the connection over an in-memory stream, the request
// queue with its record placement) and the router with a signing provider
// that answers with a fixed signature. No sockets, no TLS.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/beast/_experimental/test/stream.hpp>

#include "platform/http_connection.h"
#include "platform/request_queue.h"
#include "providers/provider.h"
#include "service/router.h"
#include "service/service_state.h"

namespace {

namespace net = boost::asio;
using Stream = boost::beast::test::stream;

class FixedSignature : public providers::SigningProvider {
 public:
  uint32_t Sign(char* output, uint32_t* length, const char* body, uint32_t size) override {
    // The first body octet picks a result, so that the reply table is walked too.
    static const uint32_t kResults[] = {0, 1, 37, 38, 40, 256, 0xFF01, 0xFF02, 0xFF30, 3844};
    const uint32_t result = size == 0 ? 0 : kResults[static_cast<uint8_t>(body[0]) % 10];
    const std::string signature = "TUlJQg==";
    *length = static_cast<uint32_t>(std::min<std::size_t>(signature.size(), *length));
    std::copy_n(signature.data(), *length, output);
    return result;
  }
  void Forget() override {}
};

class QueueEvents : public platform::ConnectionEvents {
 public:
  explicit QueueEvents(platform::RequestQueue& queue) : queue_(queue) {}
  void Deliver(std::shared_ptr<platform::QueuedRequest> request) override {
    queue_.Enqueue(std::move(request));
  }
  void Idle(platform::HttpResponder*, bool) override {}
  void Finished(platform::HttpResponder*) override {}

 private:
  platform::RequestQueue& queue_;
};

struct Service {
  Service() {
    state.providers.Register(providers::Zorvik2Name(), &provider);
    state.active_provider.set(providers::Zorvik2Name());
  }
  service::ServiceState state;  // no log paths: entries go nowhere
  FixedSignature provider;
};

// One turn of the request loop on a request that is waiting.
void ServeOne(platform::RequestQueue& queue, service::Router& router, std::vector<char>& buffer) {
  platform::HttpRequestRecord record;
  uint32_t needed = 0;
  uint32_t code = queue.ReceiveRequest(0, buffer, record, needed);
  if (code == platform::kHttpMoreData) {
    buffer.resize(needed);
    code = queue.ReceiveRequest(record.request_id, buffer, record, needed);
  }
  if (code == platform::kHttpOk) router.Route(queue, record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Service* service = new Service;
  net::io_context io;
  platform::RequestQueue queue(io);
  queue.Open();
  QueueEvents events(queue);
  platform::ConnectionLimits limits;
  limits.body_limit = 64 * 1024;
  limits.header_limit = 8 * 1024;
  auto memory = std::make_shared<platform::BodyMemory>(1024 * 1024);

  Stream server_side(io);
  Stream client_side(io);
  server_side.connect(client_side);
  server_side.append({reinterpret_cast<const char*>(data), size});
  client_side.close();  // the client has said all it will

  auto connection = std::make_shared<platform::HttpConnection<Stream>>(std::move(server_side),
                                                                       limits, events, memory);
  connection->Start();
  service::Router router(service->state);
  std::vector<char> buffer(platform::kInitialReceiveBufferSize);
  // Requests arrive one after another on a kept-alive connection.
  for (int turn = 0; turn < 64; ++turn) {
    io.poll();
    io.restart();
    if (queue.waiting() == 0) break;
    ServeOne(queue, router, buffer);
  }
  connection->Close();
  queue.End();
  io.poll();
  // Whatever came in, what goes out is HTTP responses (100 Continue included).
  const std::string out(client_side.str());
  if (!out.empty() && out.rfind("HTTP/1.1 ", 0) != 0) __builtin_trap();
  if (std::getenv("HTTP_FUZZ_SHOW") != nullptr) std::fwrite(out.data(), 1, out.size(), stderr);
  return 0;
}
