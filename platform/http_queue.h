#pragma once
// The request queue of the local HTTP service, as the request thread sees it:
// one request at a time, its body in pieces, one response per request.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// Result codes, the numbers the request loop and the router act on.
inline constexpr uint32_t kHttpOk = 0;
inline constexpr uint32_t kHttpNotEnoughMemory = 8;
inline constexpr uint32_t kHttpHandleEof = 38;  // the piece returned is the last of the body
inline constexpr uint32_t kHttpAlreadyExists = 183;
inline constexpr uint32_t kHttpMoreData = 234;  // buffer too small, bytes_returned = size needed
inline constexpr uint32_t kHttpOperationAborted = 995;
inline constexpr uint32_t kHttpConnectionInvalid = 1229;

// Fixed part of a request record; the strings follow it in the caller's buffer.
inline constexpr uint32_t kRequestRecordSize = 472;
// 2048 bytes for the strings of a typical request.
inline constexpr uint32_t kInitialReceiveBufferSize = kRequestRecordSize + 2048;

// A received request. Every view points into the caller's receive buffer.
struct HttpRequestRecord {
  uint64_t request_id = 0;
  std::string_view verb;
  bool more_entity_body = false;  // flag bit 0
  bool has_query = false;
  std::string_view query;  // with its leading '?'
  std::string_view path;
  std::vector<std::pair<std::string_view, std::string_view>> unknown_headers;
  bool has_content_length = false;
  std::string_view content_length;
  bool has_host = false;  // the known header Host
  std::string_view host;
  // The body was announced or sent beyond the service's limit and not kept.
  bool body_too_large = false;
};

struct HttpHeader {
  std::string name;
  std::string value;
};

struct HttpResponse {
  uint16_t status = 200;
  std::string reason;
  std::vector<HttpHeader> known_headers;    // go out first
  std::vector<HttpHeader> unknown_headers;  // then these, in order
  std::string_view body;
};

class HttpQueue {
 public:
  virtual ~HttpQueue() = default;
  // request_id 0 takes the next request; a nonzero id takes again the request
  // that did not fit before. Blocks until a request arrives or the queue ends.
  virtual uint32_t ReceiveRequest(uint64_t request_id, std::span<char> buffer,
                                  HttpRequestRecord& record, uint32_t& bytes_returned) = 0;
  // Reads the next piece of the body into buffer: 0 with more to come,
  // kHttpHandleEof with the last piece (possibly empty).
  virtual uint32_t ReceiveEntityBody(uint64_t request_id, std::span<char> buffer,
                                     uint32_t& bytes_returned) = 0;
  virtual uint32_t SendResponse(uint64_t request_id, const HttpResponse& response) = 0;
};

}  // namespace platform
