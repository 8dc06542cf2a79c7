#include "platform/request_queue.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <boost/asio/post.hpp>

namespace platform {

void RequestQueue::Enqueue(std::shared_ptr<QueuedRequest> request) {
  {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    request->id = next_id_++;
    queue_.push_back(std::move(request));
  }
  arrived_.notify_one();
}

void RequestQueue::Open() {
  std::lock_guard lock(mutex_);
  open_ = true;
}

void RequestQueue::End() {
  {
    std::lock_guard lock(mutex_);
    if (ended_) return;
    ended_ = true;
    queue_.clear();
    delivered_.clear();
  }
  arrived_.notify_all();
}

std::size_t RequestQueue::waiting() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

template <typename Work>
bool RequestQueue::Post(Work&& work) {
  std::lock_guard lock(mutex_);
  if (ended_ || !open_) return false;
  boost::asio::post(io_, std::forward<Work>(work));
  return true;
}

void RequestQueue::AbandonDelivered() {
  // Called with the lock held: a request the previous handler left without a
  // reply would otherwise hold its connection forever.
  for (auto& [id, request] : delivered_) {
    if (open_ && !ended_)
      boost::asio::post(io_, [connection = request->connection] { connection->Close(); });
  }
  delivered_.clear();
}

std::shared_ptr<QueuedRequest> RequestQueue::Delivered(uint64_t request_id) {
  std::lock_guard lock(mutex_);
  auto found = delivered_.find(request_id);
  return found == delivered_.end() ? nullptr : found->second;
}

uint32_t RequestQueue::ReceiveRequest(uint64_t request_id, std::span<char> buffer,
                                      HttpRequestRecord& record, uint32_t& bytes_returned) {
  std::shared_ptr<QueuedRequest> request;
  {
    std::unique_lock lock(mutex_);
    if (request_id == 0) {
      AbandonDelivered();
      for (;;) {
        arrived_.wait(lock, [this] { return ended_ || !queue_.empty(); });
        if (ended_) return kHttpOperationAborted;
        request = std::move(queue_.front());
        queue_.pop_front();
        if (!request->connection->closed()) break;
      }
      delivered_[request->id] = request;
    } else {
      if (ended_) return kHttpOperationAborted;
      auto found = delivered_.find(request_id);
      if (found == delivered_.end()) return kHttpConnectionInvalid;
      request = found->second;
      if (request->connection->closed()) {
        delivered_.erase(found);
        return kHttpConnectionInvalid;
      }
    }
  }
  record = HttpRequestRecord{};
  record.request_id = request->id;
  bytes_returned = RecordSize(*request);
  return PlaceRequest(*request, buffer, record) ? kHttpOk : kHttpMoreData;
}

uint32_t RequestQueue::ReceiveEntityBody(uint64_t request_id, std::span<char> buffer,
                                         uint32_t& bytes_returned) {
  bytes_returned = 0;
  auto request = Delivered(request_id);
  if (!request) return kHttpConnectionInvalid;
  // The whole body is here already: a slow sender has delayed only itself.
  const std::size_t left = request->body.size() - request->body_taken;
  const std::size_t n = std::min(left, buffer.size());
  if (n != 0) std::memcpy(buffer.data(), request->body.data() + request->body_taken, n);
  request->body_taken += n;
  bytes_returned = static_cast<uint32_t>(n);
  return request->body_taken == request->body.size() ? kHttpHandleEof : kHttpOk;
}

uint32_t RequestQueue::SendResponse(uint64_t request_id, const HttpResponse& response) {
  std::shared_ptr<QueuedRequest> request;
  {
    std::lock_guard lock(mutex_);
    auto found = delivered_.find(request_id);
    if (found == delivered_.end()) return kHttpConnectionInvalid;
    request = std::move(found->second);
    delivered_.erase(found);
  }
  // Handed to the I/O thread without waiting for the write: the request thread
  // takes the next request meanwhile. A client already gone is reported here;
  // one that leaves during the write only loses its connection.
  if (request->connection->closed()) return kHttpConnectionInvalid;
  HttpResponse copy = response;
  copy.body = {};
  const bool posted = Post(
      [connection = request->connection, copy = std::move(copy),
       body = std::string(response.body)]() mutable { connection->Write(copy, std::move(body)); });
  return posted ? kHttpOk : kHttpOperationAborted;
}

}  // namespace platform
