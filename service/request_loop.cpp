#include "service/request_loop.h"

#include <algorithm>
#include <new>
#include <vector>

namespace service {
namespace {

constexpr int kLogResponseStatus = 72;

bool Grow(std::vector<char>& buffer, std::size_t size) {
  try {
    if (size > buffer.size()) buffer.resize(size);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

uint32_t RequestLoop(platform::HttpQueue& queue, Router& router, EventLog& log) {
  std::vector<char> buffer;
  if (!Grow(buffer, platform::kInitialReceiveBufferSize)) return platform::kHttpNotEnoughMemory;
  uint64_t request_id = 0;
  for (;;) {
    std::fill(buffer.begin(), buffer.end(), '\0');
    platform::HttpRequestRecord record;
    uint32_t bytes = 0;
    const uint32_t code = queue.ReceiveRequest(request_id, buffer, record, bytes);
    if (code == platform::kHttpOk) {
      const uint32_t result = router.Route(queue, record);
      if (result != 0) log.LogEvent(kLogResponseStatus, std::nullopt, LogValue::Hex(result));
      request_id = 0;
    } else if (code == platform::kHttpMoreData) {
      request_id = record.request_id;
      if (!Grow(buffer, bytes)) return platform::kHttpNotEnoughMemory;
    } else if (code == platform::kHttpConnectionInvalid && request_id != 0) {
      request_id = 0;  // the client left while its large request was fetched
    } else {
      return code;
    }
  }
}

}  // namespace service
