#pragma once
// The queue between the HTTP layer's I/O thread and the request thread:
// complete requests in arrival order, taken one at a time, their bodies read
// from memory, their responses handed back to the I/O thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

#include <boost/asio/io_context.hpp>

#include "platform/http_queue.h"
#include "platform/queued_request.h"

namespace platform {

class RequestQueue final : public HttpQueue {
 public:
  explicit RequestQueue(boost::asio::io_context& io) : io_(io) {}

  // I/O thread: a request whose head and body have arrived.
  void Enqueue(std::shared_ptr<QueuedRequest> request);
  // Responses may be handed to the I/O thread from now on.
  void Open();
  // Ends the queue: a pending receive fails, nothing more is handed over.
  void End();
  std::size_t waiting() const;

  uint32_t ReceiveRequest(uint64_t request_id, std::span<char> buffer, HttpRequestRecord& record,
                          uint32_t& bytes_returned) override;
  uint32_t ReceiveEntityBody(uint64_t request_id, std::span<char> buffer,
                             uint32_t& bytes_returned) override;
  uint32_t SendResponse(uint64_t request_id, const HttpResponse& response) override;

 private:
  std::shared_ptr<QueuedRequest> Delivered(uint64_t request_id);
  void AbandonDelivered();
  template <typename Work>
  bool Post(Work&& work);

  boost::asio::io_context& io_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::shared_ptr<QueuedRequest>> queue_;
  std::unordered_map<uint64_t, std::shared_ptr<QueuedRequest>> delivered_;
  uint64_t next_id_ = 1;
  bool open_ = false;
  bool ended_ = false;
};

}  // namespace platform
