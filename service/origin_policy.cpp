#include "service/origin_policy.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace service {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool IsHostChar(unsigned char c) {
  return std::isalnum(c) != 0 || c == '-' || c == '.' || c == '_';
}

// "host[:port]" or "[v6]:port" split at the port; nullopt when malformed.
std::optional<std::pair<std::string_view, std::string_view>> SplitHostPort(std::string_view text) {
  std::string_view host = text;
  std::string_view port;
  bool has_port = false;
  if (!text.empty() && text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(0, close + 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return std::nullopt;
    has_port = !rest.empty();
    if (has_port) port = rest.substr(1);
  } else if (const auto colon = text.find(':'); colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    has_port = true;
  }
  if (host.empty() || (has_port && !AllDigits(port))) return std::nullopt;
  return std::make_pair(host, port);
}

}  // namespace

std::string NormalizeOrigin(std::string_view text) {
  const std::string lower = Lower(text);
  std::string_view rest = lower;
  std::string_view scheme;
  for (const std::string_view candidate : {"https", "http"}) {
    if (rest.starts_with(candidate) && rest.substr(candidate.size()).starts_with("://")) {
      scheme = candidate;
      rest.remove_prefix(candidate.size() + 3);
      break;
    }
  }
  if (scheme.empty()) return {};
  if (rest.ends_with('/')) rest.remove_suffix(1);
  const auto parts = SplitHostPort(rest);
  if (!parts) return {};
  const auto [host, port] = *parts;
  if (host.front() != '[' && !std::all_of(host.begin(), host.end(), IsHostChar)) return {};
  std::string origin = std::string(scheme) + "://" + std::string(host);
  const bool default_port =
      (scheme == "https" && port == "443") || (scheme == "http" && port == "80");
  if (!port.empty() && !default_port) {
    origin.push_back(':');
    origin.append(port);
  }
  return origin;
}

std::string OriginOf(std::string_view address) {
  const auto scheme_end = address.find("://");
  if (scheme_end == std::string_view::npos) return {};
  const auto path = address.find('/', scheme_end + 3);
  return NormalizeOrigin(address.substr(0, path));
}

bool IsLoopbackHost(std::string_view host) {
  const auto parts = SplitHostPort(host);
  if (!parts) return false;
  const std::string name = Lower(parts->first);
  return name == "localhost" || name == "127.0.0.1" || name == "[::1]";
}

std::vector<std::string> OriginPolicy::SetAllowed(const std::vector<std::string>& origins) {
  std::set<std::string> allowed;
  std::vector<std::string> skipped;
  for (const std::string& text : origins) {
    const std::string origin = NormalizeOrigin(text);
    if (origin.empty())
      skipped.push_back(text);
    else
      allowed.insert(origin);
  }
  std::lock_guard lock(mutex_);
  allowed_ = std::move(allowed);
  return skipped;
}

bool OriginPolicy::IsAllowed(std::string_view origin) const {
  std::lock_guard lock(mutex_);
  return allowed_.count(std::string(origin)) != 0;
}

RequestCaller OriginPolicy::Classify(const platform::HttpRequestRecord& request) const {
  RequestCaller caller;
  auto refuse = [&caller](const char* reason) {
    caller.kind = RequestCaller::Kind::kRefused;
    caller.reason = reason;
    return caller;
  };
  if (request.has_host && !IsLoopbackHost(request.host)) {
    caller.origin = std::string(request.host);
    return refuse("host is not this computer");
  }
  int origins = 0;
  bool from_browser = false;
  for (const auto& [name, value] : request.unknown_headers) {
    if (Lower(name) == "origin") {
      ++origins;
      caller.origin = std::string(value);
    } else if (Lower(name).starts_with("sec-fetch-")) {
      from_browser = true;
    }
  }
  if (origins > 1) return refuse("more than one origin");
  if (origins == 1) {
    if (!IsAllowed(caller.origin)) return refuse("origin not allowed");
    caller.kind = RequestCaller::Kind::kAllowedPage;
    return caller;
  }
  // A browser leaves the origin out of images, navigations and some forms.
  if (from_browser) return refuse("browser request without an origin");
  return caller;
}

}  // namespace service
