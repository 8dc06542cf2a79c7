// The Zorvik2 signature: the key and certificate blocks read from the token,
// the pre-signature made with them, the completion by the token, and the
// final bytes within the reply's capacity.
#include <memory>

#include "libtessel/tessel.h"
#include "providers/signing_io.h"
#include "providers/token_selection.h"
#include "providers/zorvik2_provider.h"

namespace providers {
namespace {

constexpr const char* kUndefinedUserInfo = "undefined UserInfo";

using TesselRecord = std::unique_ptr<CRYPTOCASE, decltype(&CRYPTOCASE_free)>;

}  // namespace

uint32_t Zorvik2Provider::Sign(char* output, uint32_t* length, const char* body,
                               uint32_t body_length) {
  const ProviderGate::Call call(gate_);
  // Data that is no base64 text reaches no token: no dialog, no login.
  const auto data = DecodeBody(body, body_length);
  if (!data) {
    LogSignFailure(0, "data is not base64");
    return kZorvik2SignFailed;
  }
  std::unique_lock held(lock_, std::defer_lock);
  const uint32_t login = LoginZorvik2(held, context_.Origin());
  log_.Event(kLogZorvik2Login, login);
  if (login != 0) return kZorvik2LoginFailed;
  // The lock stays held, so that the timer never ends the login mid-signature.
  return SignWithLogin(*data, output, length);
}

void Zorvik2Provider::LogSignFailure(int32_t status, const char* message) {
  log_.Event(kLogZorvik2Sign, static_cast<uint32_t>(status), message);
}

std::optional<ZorvikRecord> Zorvik2Provider::ReadBlock(int32_t length_at,
                                                       const char* field_failure) {
  const char* serial = selected_token_id_.c_str();
  const ZorvikRecord field(components_, components_.ReadData(serial, length_at, kLengthFieldSize));
  if (!field.ok()) {
    LogSignFailure(field.status(), field_failure);
    return std::nullopt;
  }
  const std::optional<int32_t> size = ParseLengthField(field);
  if (!size || *size == 0) {
    LogSignFailure(0, kUndefinedUserInfo);
    return std::nullopt;
  }
  ZorvikRecord block(components_,
                     components_.ReadData(serial, length_at + kLengthFieldSize, *size));
  if (!block.ok() || block.size() == 0) {
    LogSignFailure(block.status(), kUndefinedUserInfo);
    return std::nullopt;
  }
  return block;
}

uint32_t Zorvik2Provider::SignWithLogin(const std::vector<unsigned char>& data, char* output,
                                        uint32_t* length) {
  // Every record below is released (and wiped) on every path.
  std::optional<ZorvikRecord> key = ReadBlock(kKeyLengthAt, "readKeyLen");
  if (!key) return kZorvik2SignFailed;
  const std::optional<ZorvikRecord> certificate = ReadBlock(kCertificateLengthAt,
                                                            kUndefinedUserInfo);
  if (!certificate) return kZorvik2SignFailed;
  TesselRecord pre(CreateSignP7S(data.data(), static_cast<int32_t>(data.size()), key->data(),
                                 key->size(), kKeyBlockPassword, certificate->data(),
                                 certificate->size(), TESSEL_FORM_DER, TESSEL_CMS_DETACHED),
                   CRYPTOCASE_free);
  key.reset();
  if (!pre || pre->status != 0) {
    LogSignFailure(pre ? pre->status : TESSEL_NO_MEMORY, "preSign error");
    return kZorvik2SignFailed;
  }
  const std::optional<ZorvikRecord> completion = ReadBlock(kCompletionLengthAt,
                                                           kUndefinedUserInfo);
  if (!completion) return kZorvik2SignFailed;
  const ZorvikRecord completed(components_,
                               components_.ProcessP7S(completion->data(), completion->size(),
                                                      pre->data, pre->data_len));
  log_.Event(kLogZorvik2Sign, static_cast<uint32_t>(completed.status()));
  pre.reset();
  if (!completed.ok()) return kZorvik2SignFailed;

  // The component copies only what fits: length 0 is a failure too.
  uint32_t size = SignatureCapacity(*length);
  std::vector<unsigned char> signature(size);
  const int32_t result =
      components_.SignZorvik2(completed.data(), completed.size(), signature.data(), &size);
  if (result != 0 || size == 0 || !PutSignature(signature.data(), size, output, length)) {
    LogSignFailure(result, "signature does not fit");
    return kZorvik2SignFailed;
  }
  return 0;
}

}  // namespace providers
