#include "service/router.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <memory>
#include <new>

#include "providers/text_conversions.h"
#include "service/reply.h"

namespace service {
namespace {

constexpr std::string_view kActionPrefix = "?action=";
// The body arrives in pieces of at most this size.
constexpr uint32_t kReceivePiece = 64 * 1024;

constexpr int kLogInvalidPost = 2;
constexpr int kLogReadBytes = 4;
constexpr int kLogDataMissing = 8;
constexpr int kLogDataReading = 16;
constexpr int kLogSignFailed = 32;
constexpr int kLogEmptyRequest = 33;
constexpr int kLogInvalidGet = 34;
constexpr int kLogGetOk = 36;

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsBase64Text(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=';
  });
}

}  // namespace

long long LeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (value > (1LL << 40)) break;  // far beyond any size we accept
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

uint32_t Router::Route(platform::HttpQueue& queue, const platform::HttpRequestRecord& request) {
  // Checked before anything else: a refused request has no effect at all.
  const RequestCaller caller = state_.origins.Classify(request);
  if (caller.kind == RequestCaller::Kind::kRefused) return Refuse(queue, request, caller);
  allowed_origin_ = caller.kind == RequestCaller::Kind::kAllowedPage ? caller.origin : "";
  state_.request_origin = allowed_origin_;
  // Nothing a request brings about may end the program: a handler that
  // throws is logged, and its request gets the signing-error reply.
  try {
    return Dispatch(queue, request);
  } catch (const std::exception& failure) {
    state_.log.WriteLog(QStringLiteral("Request failed"), QString::fromLocal8Bit(failure.what()),
                        LogValue::None());
  } catch (...) {
    state_.log.WriteLog(QStringLiteral("Request failed"), std::nullopt, LogValue::None());
  }
  try {
    return Reply(queue, request.request_id, kReplySigningError);
  } catch (...) {
    return platform::kHttpNotEnoughMemory;
  }
}

uint32_t Router::Dispatch(platform::HttpQueue& queue, const platform::HttpRequestRecord& request) {
  if (request.verb == "GET") return HandleGet(queue, request);
  if (request.verb == "POST") return HandlePost(queue, request);
  platform::HttpResponse response;
  if (request.verb == "OPTIONS")
    PreparePreflightResponse(response, allowed_origin_);
  else
    PrepareMethodNotAllowed(response);
  return queue.SendResponse(request.request_id, response);
}

uint32_t Router::Reply(platform::HttpQueue& queue, uint64_t request_id, int reply_code,
                       std::string_view signature) {
  const std::string token_id = providers::Transliterate(state_.active_provider.get());
  const std::string text = BuildReply(reply_code, signature, token_id);
  platform::HttpResponse response;
  PrepareResponse(response, text, allowed_origin_);
  return queue.SendResponse(request_id, response);
}

uint32_t Router::Refuse(platform::HttpQueue& queue, const platform::HttpRequestRecord& request,
                        const RequestCaller& caller) {
  state_.log.WriteLog(QStringLiteral("Request refused"), QString::fromLatin1(caller.reason),
                      LogValue::Text(Text(caller.origin.empty() ? request.query : caller.origin)));
  platform::HttpResponse response;
  PrepareForbidden(response);
  return queue.SendResponse(request.request_id, response);
}

uint32_t Router::HandleGet(platform::HttpQueue& queue, const platform::HttpRequestRecord& request) {
  EventLog& log = state_.log;
  if (!request.has_query) {
    log.LogEvent(kLogEmptyRequest);
    return Reply(queue, request.request_id, kReplyInvalidRequest);
  }
  const QString query = Text(request.query);
  if (!request.query.starts_with(kActionPrefix)) {
    log.LogEvent(kLogInvalidGet, QStringLiteral("expected ?action="), LogValue::Text(query));
    return Reply(queue, request.request_id, kReplyInvalidRequest);
  }
  const std::string_view action = request.query.substr(kActionPrefix.size());
  int reply_code = kReplyOk;
  if (action == "checkLs") {
    log.LogEvent(kLogGetOk, std::nullopt, LogValue::Text(query));
  } else if (action == "version") {
    log.LogEvent(kLogGetOk, QString::fromLatin1(kVersion), LogValue::Text(query));
    reply_code = kReplyVersion;
  } else if (action == "forget") {
    log.LogEvent(kLogGetOk, std::nullopt, LogValue::Text(query));
    if (auto* provider = state_.providers.Find(state_.active_provider.get())) provider->Forget();
  } else {
    log.LogEvent(kLogInvalidGet, QStringLiteral("invalid get request"), LogValue::Text(query));
    reply_code = kReplyInvalidRequest;
  }
  return Reply(queue, request.request_id, reply_code);
}

uint32_t Router::HandlePost(platform::HttpQueue& queue,
                            const platform::HttpRequestRecord& request) {
  EventLog& log = state_.log;
  const QString query = Text(request.query);
  const uint64_t id = request.request_id;

  // The client's number sizes nothing beyond the limit.
  uint32_t body_size = kMaxPostBody;
  if (request.has_content_length) {
    const long long announced = LeadingInteger(request.content_length);
    if (announced < 0 || announced > kMaxPostBody) {
      log.LogEvent(kLogInvalidPost, QStringLiteral("request body too large"),
                   LogValue::Text(query));
      return Reply(queue, id, kReplyInvalidRequest);
    }
    body_size = static_cast<uint32_t>(announced);
  }
  // The layer keeps no body beyond the limit, announced or not.
  if (request.body_too_large) {
    log.LogEvent(kLogInvalidPost, QStringLiteral("request body too large"), LogValue::Text(query));
    return Reply(queue, id, kReplyInvalidRequest);
  }
  const uint32_t piece_size = std::max<uint32_t>(1, std::min(body_size, kReceivePiece));
  std::unique_ptr<char[]> piece(new (std::nothrow) char[piece_size]);
  std::unique_ptr<char[]> body(new (std::nothrow) char[std::max<uint32_t>(body_size, 1)]);
  if (!piece || !body) return platform::kHttpNotEnoughMemory;

  if (!request.has_query) {
    log.LogEvent(kLogEmptyRequest);
    return Reply(queue, id, kReplyInvalidRequest);
  }
  if (!request.query.starts_with(kActionPrefix)) {
    log.LogEvent(kLogInvalidPost, QStringLiteral("expected ?action="), LogValue::Text(query));
    return Reply(queue, id, kReplyInvalidRequest);
  }
  if (request.query.substr(kActionPrefix.size()) != "getDocSign") {
    log.LogEvent(kLogInvalidPost, QStringLiteral("invalid post request"), LogValue::Text(query));
    return Reply(queue, id, kReplyInvalidRequest);
  }

  std::optional<long long> option;
  for (const auto& [name, value] : request.unknown_headers)
    if (name == "option") option = LeadingInteger(value);
  if (option && (*option == 1 || *option == 8 || *option == 9))
    state_.avest_login_mode = static_cast<int32_t>(*option);

  if (!request.more_entity_body) {
    log.LogEvent(kLogDataMissing, std::nullopt, LogValue::Text(query));
    return Reply(queue, id, kReplyDataMissing);
  }

  log.LogEvent(kLogDataReading, std::nullopt, LogValue::Text(query));
  uint32_t total = 0;
  for (;;) {
    uint32_t got = 0;
    const uint32_t code =
        queue.ReceiveEntityBody(id, std::span<char>(piece.get(), piece_size), got);
    if (code != platform::kHttpOk && code != platform::kHttpHandleEof) return code;
    if (got > body_size - total) {
      log.LogEvent(kLogInvalidPost, QStringLiteral("request body too large"),
                   LogValue::Text(query));
      return Reply(queue, id, kReplyInvalidRequest);
    }
    std::copy_n(piece.get(), got, body.get() + total);
    total += got;
    if (code == platform::kHttpHandleEof) break;
  }
  log.LogEvent(kLogReadBytes, std::nullopt, LogValue::Decimal(static_cast<int32_t>(total)));
  if (total == 0) {
    log.LogEvent(kLogSignFailed, QStringLiteral("invalid password"));
    return Reply(queue, id, kReplyPasswordInvalid);
  }

  std::string signature;
  const int reply_code = Sign(body.get(), total, signature);
  return Reply(queue, id, reply_code, signature);
}

int Router::Sign(const char* body, uint32_t size, std::string& signature) {
  const QString active = state_.active_provider.get();
  const bool known = active == providers::AvestName() || active == providers::ZorvikName() ||
                     active == providers::Zorvik2Name();
  providers::SigningProvider* provider = known ? state_.providers.Find(active) : nullptr;
  uint32_t result = providers::kSignUnknownError;
  auto output = std::make_unique<char[]>(kSignOutputSize);
  uint32_t length = kSignOutputSize;
  if (provider != nullptr) result = provider->Sign(output.get(), &length, body, size);
  const SignOutcome outcome = MapSignResult(result);
  if (outcome.log_message != nullptr) {
    state_.log.LogEvent(kLogSignFailed, QString::fromLatin1(outcome.log_message));
    return outcome.reply_code;
  }
  signature.assign(output.get(), std::min(length, kSignOutputSize - 1));
  // The reply carries base64 text only.
  if (!IsBase64Text(signature)) {
    signature.clear();
    state_.log.LogEvent(kLogSignFailed, QStringLiteral("signature is not base64 text"));
    return kReplySigningError;
  }
  return outcome.reply_code;
}

}  // namespace service
