#pragma once
// An HttpQueue double: hands out scripted requests and bodies, keeps the responses.

#include <algorithm>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/http_queue.h"

namespace testing_support {

struct ScriptedRequest {
  std::string verb = "GET";
  bool has_query = true;
  std::string query;
  std::vector<std::pair<std::string, std::string>> unknown_headers;
  bool has_content_length = false;
  std::string content_length;
  bool has_host = false;
  std::string host;
  bool more_entity_body = false;
  bool body_too_large = false;
  std::vector<std::string> body_pieces;  // the last one comes with the end-of-body code
  uint32_t body_failure = 0;             // returned instead of the pieces when set
  uint32_t record_size = platform::kRequestRecordSize + 100;
};

struct SentResponse {
  uint64_t request_id;
  uint16_t status;
  std::vector<platform::HttpHeader> known_headers;
  std::vector<platform::HttpHeader> unknown_headers;
  std::string body;
};

class FakeQueue : public platform::HttpQueue {
 public:
  uint64_t Add(ScriptedRequest request) {
    requests_.push_back(std::move(request));
    return requests_.size();
  }
  // The record of request n (1-based), strings pointing into the script.
  platform::HttpRequestRecord Record(uint64_t id) const {
    const ScriptedRequest& r = requests_.at(id - 1);
    platform::HttpRequestRecord record;
    record.request_id = id;
    record.verb = r.verb;
    record.has_query = r.has_query;
    record.query = r.query;
    for (const auto& [name, value] : r.unknown_headers)
      record.unknown_headers.emplace_back(name, value);
    record.has_content_length = r.has_content_length;
    record.content_length = r.content_length;
    record.more_entity_body = r.more_entity_body;
    record.body_too_large = r.body_too_large;
    record.has_host = r.has_host;
    record.host = r.host;
    return record;
  }

  uint32_t ReceiveRequest(uint64_t request_id, std::span<char> buffer,
                          platform::HttpRequestRecord& record, uint32_t& bytes_returned) override {
    receive_calls.emplace_back(request_id, buffer.size());
    if (request_id == 0) {
      if (next_ >= requests_.size()) return platform::kHttpOperationAborted;
      request_id = ++next_;
    } else if (vanish_on_retry) {
      return platform::kHttpConnectionInvalid;
    }
    record = Record(request_id);
    bytes_returned = requests_[request_id - 1].record_size;
    return buffer.size() < bytes_returned ? platform::kHttpMoreData : platform::kHttpOk;
  }

  uint32_t ReceiveEntityBody(uint64_t request_id, std::span<char> buffer,
                             uint32_t& bytes_returned) override {
    ScriptedRequest& r = requests_.at(request_id - 1);
    bytes_returned = 0;
    if (r.body_failure != 0) return r.body_failure;
    if (r.body_pieces.empty()) return platform::kHttpHandleEof;
    // At most one buffer from the front piece; the rest stays for the next call.
    const std::string& piece = r.body_pieces.front();
    const std::size_t n = std::min(buffer.size(), piece.size() - body_offset_);
    std::copy_n(piece.data() + body_offset_, n, buffer.data());
    bytes_returned = static_cast<uint32_t>(n);
    body_offset_ += n;
    if (body_offset_ == piece.size()) {
      r.body_pieces.erase(r.body_pieces.begin());
      body_offset_ = 0;
    }
    return r.body_pieces.empty() ? platform::kHttpHandleEof : platform::kHttpOk;
  }

  uint32_t SendResponse(uint64_t request_id, const platform::HttpResponse& response) override {
    sent.push_back({request_id, response.status, response.known_headers, response.unknown_headers,
                    std::string(response.body)});
    return send_result;
  }

  std::vector<SentResponse> sent;
  std::vector<std::pair<uint64_t, std::size_t>> receive_calls;
  uint32_t send_result = 0;
  bool vanish_on_retry = false;

 private:
  std::deque<ScriptedRequest> requests_;
  std::size_t next_ = 0;
  std::size_t body_offset_ = 0;
};

}  // namespace testing_support
