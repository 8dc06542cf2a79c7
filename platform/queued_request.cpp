#include "platform/queued_request.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>

#include <boost/beast/core/string.hpp>

namespace platform {
namespace {

namespace beast = boost::beast;

// Request headers the service knows by name; everything else is handed over
// as an "unknown" header, the way the router expects to find "option".
constexpr std::array<std::string_view, 41> kKnownRequestHeaders = {"Cache-Control",
                                                                   "Connection",
                                                                   "Date",
                                                                   "Keep-Alive",
                                                                   "Pragma",
                                                                   "Trailer",
                                                                   "Transfer-Encoding",
                                                                   "Upgrade",
                                                                   "Via",
                                                                   "Warning",
                                                                   "Allow",
                                                                   "Content-Length",
                                                                   "Content-Type",
                                                                   "Content-Encoding",
                                                                   "Content-Language",
                                                                   "Content-Location",
                                                                   "Content-MD5",
                                                                   "Content-Range",
                                                                   "Expires",
                                                                   "Last-Modified",
                                                                   "Accept",
                                                                   "Accept-Charset",
                                                                   "Accept-Encoding",
                                                                   "Accept-Language",
                                                                   "Authorization",
                                                                   "Cookie",
                                                                   "Expect",
                                                                   "From",
                                                                   "Host",
                                                                   "If-Match",
                                                                   "If-Modified-Since",
                                                                   "If-None-Match",
                                                                   "If-Range",
                                                                   "If-Unmodified-Since",
                                                                   "Max-Forwards",
                                                                   "Proxy-Authorization",
                                                                   "Referer",
                                                                   "Range",
                                                                   "TE",
                                                                   "Translate",
                                                                   "User-Agent"};

std::string_view Std(beast::string_view text) {
  return {text.data(), text.size()};
}

bool IsKnownHeader(std::string_view name) {
  return std::any_of(kKnownRequestHeaders.begin(), kKnownRequestHeaders.end(),
                     [name](std::string_view known) {
                       return beast::iequals(beast::string_view(known.data(), known.size()),
                                             beast::string_view(name.data(), name.size()));
                     });
}

// Room a string takes in the receive buffer, terminator included.
std::size_t Room(const std::string& text) {
  return text.size() + 1;
}

// Copies strings into a receive buffer one after another, never past its end.
class Placer {
 public:
  explicit Placer(std::span<char> buffer) : buffer_(buffer), offset_(kRequestRecordSize) {}
  std::optional<std::string_view> Place(const std::string& text) {
    if (offset_ > buffer_.size() || Room(text) > buffer_.size() - offset_) return std::nullopt;
    char* at = buffer_.data() + offset_;
    std::memcpy(at, text.data(), text.size());
    at[text.size()] = '\0';
    offset_ += Room(text);
    return std::string_view(at, text.size());
  }

 private:
  std::span<char> buffer_;
  std::size_t offset_;
};

}  // namespace

bool BodyMemory::Take(std::size_t bytes) {
  std::size_t used = used_.load();
  do {
    if (bytes > limit_ - std::min(used, limit_)) return false;
  } while (!used_.compare_exchange_weak(used, used + bytes));
  return true;
}

QueuedRequest::~QueuedRequest() {
  if (memory) memory->Give(memory_taken);
}

std::shared_ptr<QueuedRequest> MakeQueuedRequest(const boost::beast::http::request_header<>& head) {
  auto request = std::make_shared<QueuedRequest>();
  request->verb = std::string(Std(head.method_string()));
  const std::string_view target = Std(head.target());
  const auto question = target.find('?');
  request->path = std::string(target.substr(0, question));
  if (question != std::string_view::npos) {
    request->has_query = true;
    request->query = std::string(target.substr(question));
  }
  for (const auto& field : head) {
    const std::string_view name = Std(field.name_string());
    const std::string_view value = Std(field.value());
    if (beast::iequals(field.name_string(), "Content-Length")) {
      request->has_content_length = true;
      request->content_length = std::string(value);
    } else if (beast::iequals(field.name_string(), "Host")) {
      // A second Host makes the request ambiguous: the check sees both.
      if (request->has_host) request->host += ",";
      request->has_host = true;
      request->host += std::string(value);
    } else if (!IsKnownHeader(name)) {
      request->unknown_headers.emplace_back(std::string(name), std::string(value));
    }
  }
  return request;
}

uint32_t RecordSize(const QueuedRequest& request) {
  std::size_t size = kRequestRecordSize + Room(request.verb) + Room(request.path);
  if (request.has_query) size += Room(request.query);
  for (const auto& [name, value] : request.unknown_headers) size += Room(name) + Room(value);
  if (request.has_content_length) size += Room(request.content_length);
  if (request.has_host) size += Room(request.host);
  return static_cast<uint32_t>(size);
}

bool PlaceRequest(const QueuedRequest& request, std::span<char> buffer, HttpRequestRecord& record) {
  if (buffer.size() < RecordSize(request)) return false;
  Placer placer(buffer);
  record = HttpRequestRecord{};
  record.request_id = request.id;
  record.verb = placer.Place(request.verb).value_or("");
  record.path = placer.Place(request.path).value_or("");
  record.has_query = request.has_query;
  if (request.has_query) record.query = placer.Place(request.query).value_or("");
  for (const auto& [name, value] : request.unknown_headers) {
    const auto placed_name = placer.Place(name).value_or("");
    record.unknown_headers.emplace_back(placed_name, placer.Place(value).value_or(""));
  }
  record.has_content_length = request.has_content_length;
  if (request.has_content_length)
    record.content_length = placer.Place(request.content_length).value_or("");
  record.has_host = request.has_host;
  if (request.has_host) record.host = placer.Place(request.host).value_or("");
  record.more_entity_body = request.more_entity_body;
  record.body_too_large = request.body_too_large;
  return true;
}

}  // namespace platform
