#include "tokens/tool/token_factory.h"

#include <cstdio>
#include <filesystem>

#include "tokens/store/completion.h"
#include "tokens/store/sealing.h"
#include "tokens/store/tessel_record.h"

namespace tool {

using tokens::TokenStatus;

std::string NewSerial(tokens::TokenKind kind) {
  const char* prefix = kind == tokens::TokenKind::kZorvik2 ? "Z2-"
                       : kind == tokens::TokenKind::kZorvik ? "Z1-"
                                                            : "AV-";
  const auto random = tokens::RandomBytes(4);
  if (!random) return {};
  char digits[9];
  std::snprintf(digits, sizeof digits, "%02X%02X%02X%02X", (*random)[0], (*random)[1],
                (*random)[2], (*random)[3]);
  return prefix + std::string(digits);
}

MadeToken MakeToken(tokens::TokenStore& store, DemoCa& ca, const TokenOrder& order,
                    std::string_view password) {
  MadeToken made;
  made.serial = order.serial.empty() ? NewSerial(order.kind) : order.serial;
  // Refused before the CA issues anything for it.
  if (!made.serial.empty() && std::filesystem::exists(store.folder() / made.serial))
    return {TokenStatus::kExists, made.serial};
  const tokens::Record key(GenPrivateKey(ca.level, tokens::kKeyBlockPassword, nullptr, 0));
  if (made.serial.empty() || !tokens::Succeeded(key)) return {TokenStatus::kStorage, made.serial};
  tokens::NewToken token;
  token.serial = made.serial;
  token.kind = order.kind;
  token.iterations = order.iterations;
  token.blocks.key_pem = tokens::TextOf<tokens::SecretString>(key->key, key->key_len);
  const auto request = OwnerRequest(order.owner, token.blocks.key_pem, tokens::kKeyBlockPassword);
  auto certificate = request ? IssueCertificate(ca, *request, order.validity) : std::nullopt;
  const tokens::Record certificate_pem(
      certificate ? ConvertCertificate(TESSEL_FORM_PEM, certificate->data(),
                                       tokens::Len(*certificate))
                  : nullptr);
  const auto completion = tokens::MakeCompletionBlock(
      {tokens::Bytes(ca.issuing_pem.begin(), ca.issuing_pem.end()),
       tokens::Bytes(ca.root_pem.begin(), ca.root_pem.end())});
  if (!certificate || !tokens::Succeeded(certificate_pem) || !completion)
    return {TokenStatus::kStorage, made.serial};
  token.blocks.certificate = std::move(*certificate);
  token.blocks.completion = *completion;
  token.owner_record = tokens::OwnerRecordText(order.owner);
  token.certificate_pem = tokens::TextOf(certificate_pem->data, certificate_pem->data_len);
  made.status = store.Create(token, password);
  return made;
}

}  // namespace tool
