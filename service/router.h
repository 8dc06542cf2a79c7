#pragma once
// Routing of one request: the GET actions, the signing POST, the preflight.

#include <cstdint>
#include <string>

#include "platform/http_queue.h"
#include "service/origin_policy.h"
#include "service/service_state.h"

namespace service {

// No POST body is allocated or read beyond this.
inline constexpr uint32_t kMaxPostBody = 20 * 1024 * 1024;
// Signing output area; the signature text holds at most one byte less.
inline constexpr uint32_t kSignOutputSize = 8192;

class Router {
 public:
  explicit Router(ServiceState& state) : state_(state) {}

  // Each returns 0 when its reply was sent, otherwise the error that kept it.
  uint32_t Route(platform::HttpQueue& queue, const platform::HttpRequestRecord& request);
  uint32_t HandleGet(platform::HttpQueue& queue, const platform::HttpRequestRecord& request);
  uint32_t HandlePost(platform::HttpQueue& queue, const platform::HttpRequestRecord& request);

 private:
  uint32_t Dispatch(platform::HttpQueue& queue, const platform::HttpRequestRecord& request);
  uint32_t Refuse(platform::HttpQueue& queue, const platform::HttpRequestRecord& request,
                  const RequestCaller& caller);
  uint32_t Reply(platform::HttpQueue& queue, uint64_t request_id, int reply_code,
                 std::string_view signature = {});
  int Sign(const char* body, uint32_t size, std::string& signature);

  ServiceState& state_;
  std::string allowed_origin_;  // of the request being served; empty for a program
};

// Leading decimal integer of a header value; text that is no number reads as 0.
long long LeadingInteger(std::string_view text);

}  // namespace service
