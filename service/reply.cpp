#include "service/reply.h"

#include <array>

#include <nlohmann/json.hpp>

namespace service {
namespace {

struct ErrorReply {
  int code;
  const char* error;
  int error_code;  // 0: no "errorCode" member
};

constexpr std::array<ErrorReply, 11> kErrorReplies = {{
    {3841, "invalid request", 0},
    {3842, "create tempfile error", 0},
    {3844, "signing error", 0},
    {3846, "Zorvik sign.exe missing", 111},
    {3847, "Password missing", 100},
    {3848, "data missing", 200},
    {3849, "password invalid", 101},
    {3850, "Zorvik key expired", 113},
    {3852, "Zorvik2 error", 222},
    {3853, "Avest error", 222},
    {3854, "AvCryptMail.dll load error", 333},
}};

void AddCommonHeaders(platform::HttpResponse& response, const char* allow_headers,
                      std::string_view allowed_origin) {
  response.status = 200;
  response.reason = "OK";
  response.known_headers = {{"Cache-Control", "no-cache, no-store"}};
  const std::string origin = allowed_origin.empty() ? "*" : std::string(allowed_origin);
  response.unknown_headers = {{"Access-Control-Allow-Headers", allow_headers},
                              {"Access-Control-Allow-Credentials", "true"},
                              {"Access-Control-Allow-Origin", origin},
                              {"Access-Control-Allow-Methods", "POST, GET, OPTIONS"}};
  if (!allowed_origin.empty()) response.unknown_headers.push_back({"Vary", "Origin"});
}

}  // namespace

std::string BuildReply(int reply_code, std::string_view signature, std::string_view token_id) {
  nlohmann::json reply = nlohmann::json::object();  // std::map: members in byte order
  reply["status"] = "OK";
  if (reply_code == kReplyVersion) reply["version"] = kVersion;
  if (reply_code == kReplySigned) {
    reply["tokenId"] = token_id;
    reply["sign"] = signature;
  }
  for (const ErrorReply& error : kErrorReplies) {
    if (error.code != reply_code) continue;
    reply["error"] = error.error;
    if (error.error_code != 0) reply["errorCode"] = error.error_code;
  }
  return reply.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
}

void PrepareResponse(platform::HttpResponse& response, std::string_view text,
                     std::string_view allowed_origin) {
  response = platform::HttpResponse{};
  AddCommonHeaders(response, "Content-Type", allowed_origin);
  response.known_headers.push_back({"Content-Type", "application/json, charset=UTF-8"});
  response.body = text;
}

void PreparePreflightResponse(platform::HttpResponse& response, std::string_view allowed_origin) {
  response = platform::HttpResponse{};
  AddCommonHeaders(response, "Content-Type, option", allowed_origin);
  if (!allowed_origin.empty())
    response.unknown_headers.push_back({"Access-Control-Allow-Private-Network", "true"});
}

void PrepareForbidden(platform::HttpResponse& response) {
  response = platform::HttpResponse{};
  response.status = 403;
  response.reason = "Forbidden";
  response.known_headers = {{"Cache-Control", "no-cache, no-store"}};
}

void PrepareMethodNotAllowed(platform::HttpResponse& response) {
  response = platform::HttpResponse{};
  response.status = 405;
  response.reason = "Method Not Allowed";
  response.known_headers = {{"Allow", "GET, POST, OPTIONS"}};
}

SignOutcome MapSignResult(uint32_t result) {
  switch (result) {
    case 0:
      return {kReplySigned, nullptr};
    case 1:
      return {3846, "exe missing"};
    case 37:
      return {3847, "no Zorvik tokens"};
    case 38:
      return {kReplyPasswordInvalid, "invalid password"};
    case 40:
      return {3850, "key expired"};
    case 256:
      return {3842, "tempfile creation error"};
    case 0xFF01:
      return {3854, "avest dll error"};
    case 0xFF02:
    case 0xFF03:
    case 0xFF04:
    case 0xFF05:
      return {3853, "avest error"};
    case 0xFF30:
      return {3852, "Zorvik2 login error"};
    case 0xFF31:
      return {3852, "Zorvik2 sign error"};
    default:
      return {kReplySigningError, "unknown signing error, check retcodes"};
  }
}

}  // namespace service
