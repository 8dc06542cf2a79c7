#pragma once
// Who may use the signing server: web pages of the allowed origins (the
// bank's, and those the user adds), and the user's own programs, which send
// no Origin and none of a browser's Sec-Fetch headers. Everything else a
// browser sends (another site's script, an image, a form, a navigation) and
// any Host other than the loopback names (DNS rebinding) is refused before
// the request can have any effect.

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http_queue.h"

namespace service {

struct RequestCaller {
  enum class Kind { kAllowedPage, kOwnProgram, kRefused };
  Kind kind = Kind::kOwnProgram;
  std::string origin;            // the page's origin as sent; empty for a program
  const char* reason = nullptr;  // why a refused request was refused
};

class OriginPolicy {
 public:
  // Replaces the allowed origins; entries that are no origin are skipped and
  // returned, for the caller to report.
  std::vector<std::string> SetAllowed(const std::vector<std::string>& origins);
  bool IsAllowed(std::string_view origin) const;
  RequestCaller Classify(const platform::HttpRequestRecord& request) const;

 private:
  mutable std::mutex mutex_;
  std::set<std::string> allowed_;
};

// An origin in the form browsers send it: lower-case scheme and host, the
// scheme's default port left out, no path. Empty when text is no http or
// https origin.
std::string NormalizeOrigin(std::string_view text);
// localhost, 127.0.0.1 or [::1], with or without a port.
bool IsLoopbackHost(std::string_view host);
// The origin of an address such as "https://bank.example/path": its
// scheme, host and port.
std::string OriginOf(std::string_view address);

}  // namespace service
