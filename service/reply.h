#pragma once
// The JSON replies of the local service and the HTTP response that carries them.

#include <cstdint>
#include <string>
#include <string_view>

#include <QString>

#include "platform/http_queue.h"

namespace service {

inline constexpr int kReplyOk = 0;
inline constexpr int kReplyVersion = 1;
inline constexpr int kReplyInvalidRequest = 3841;
inline constexpr int kReplySigned = 3843;
inline constexpr int kReplySigningError = 3844;
inline constexpr int kReplyDataMissing = 3848;
inline constexpr int kReplyPasswordInvalid = 3849;

inline constexpr const char* kVersion = "2.3.0";

// Compact JSON, members in byte order of their names. token_id is used by the
// signed reply only.
std::string BuildReply(int reply_code, std::string_view signature, std::string_view token_id);

// Status 200 and the cache and cross-origin headers around the JSON text. A
// page of an allowed origin gets its origin back (and Vary: Origin); the
// user's own programs, which send none, get "*".
void PrepareResponse(platform::HttpResponse& response, std::string_view text,
                     std::string_view allowed_origin = {});
// Answer to a preflight: the same headers, no body; the private-network
// permission only for an allowed origin.
void PreparePreflightResponse(platform::HttpResponse& response,
                              std::string_view allowed_origin = {});
// A request that may have no effect: 403, no cross-origin headers.
void PrepareForbidden(platform::HttpResponse& response);
// Any verb other than GET, POST and OPTIONS.
void PrepareMethodNotAllowed(platform::HttpResponse& response);

struct SignOutcome {
  int reply_code;
  const char* log_message;  // return message of "Sign failed"; null for success
};
// What a signing routine's result becomes.
SignOutcome MapSignResult(uint32_t result);

}  // namespace service
