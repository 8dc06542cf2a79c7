#include "tokens/tool/commands.h"

#include <openssl/pem.h>

#include <array>
#include <cstdio>
#include <ctime>
#include <iostream>

#include "tokens/store/files.h"
#include "tokens/store/ossl_ptr.h"
#include "tokens/store/password_rules.h"
#include "tokens/tool/password_input.h"

namespace tool {
namespace {

using tokens::TokenKind;
using tokens::TokenStatus;

int Error(int code, const std::string& message) {
  std::cerr << "tessel-token: " << message << "\n";
  return code;
}

int StatusExit(TokenStatus status, const std::string& serial) {
  switch (status) {
    case TokenStatus::kOk:
      return kDone;
    case TokenStatus::kNoToken:
      return Error(kNoSuchToken, "no token " + serial);
    case TokenStatus::kExists:
      return Error(kExists, "a token " + serial + " exists already");
    case TokenStatus::kPasswordRules:
      return Error(kPasswordRefused, "the password breaks the rules");
    case TokenStatus::kDamaged:
      return Error(kDamaged, "the files of token " + serial + " are damaged");
    case TokenStatus::kBadArgument:
      return Error(kUsage, "the serial or a block of token " + serial + " is not acceptable");
    default:
      return Error(kFailed, "token " + serial + ": files could not be written");
  }
}

std::optional<tokens::SecretString> NewPassword() {
  auto password = ReadNewPassword();
  if (!password) {
    Error(kPasswordRefused, "no password given, or the two differ");
    return std::nullopt;
  }
  if (const auto rule = tokens::CheckPasswordRules(*password); rule != tokens::PasswordRule::kOk) {
    Error(kPasswordRefused, std::string(tokens::DescribePasswordRule(rule)));
    return std::nullopt;
  }
  return password;
}

// "2027-05-01", or "-" when there is no readable certificate.
std::string ValidUntil(const std::optional<std::string>& pem) {
  if (!pem) return "-";
  tokens::BioPtr bio(BIO_new_mem_buf(pem->data(), static_cast<int>(pem->size())));
  const tokens::X509Ptr cert(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)
                                 : nullptr);
  std::tm until{};
  if (!cert || ASN1_TIME_to_tm(X509_get0_notAfter(cert.get()), &until) != 1) return "-";
  std::array<char, 16> text{};
  std::strftime(text.data(), text.size(), "%Y-%m-%d", &until);
  return text.data();
}

std::string OwnerText(const tokens::TokenStore& store, const std::string& serial) {
  const auto area = store.PublicArea(serial);
  const auto record = area ? tokens::OwnerRecordOf(*area) : std::nullopt;
  const auto owner = record ? tokens::ParseOwnerRecord(*record) : std::nullopt;
  if (!owner) return "-";
  return owner->surname + " " + owner->given_name + ", " + owner->organisation;
}

std::optional<DemoCa> CaOrComplain() {
  auto ca = LoadDemoCa(CaFolder());
  if (!ca)
    Error(kNoCa, "no demo certificate authority in " + CaFolder().string() +
                     " (make one with `tessel-token ca` or `tessel-token --demo`)");
  return ca;
}

int MakeAndSave(DemoCa& ca, const TokenOrder& order, std::string_view password) {
  tokens::TokenStore store;
  const MadeToken made = MakeToken(store, ca, order, password);
  // The CA's index keeps the row of what it issued even when the token
  // could not be stored.
  if (!SaveDemoCa(ca, CaFolder())) return Error(kFailed, "cannot save the demo CA");
  if (made.status != TokenStatus::kOk) return StatusExit(made.status, made.serial);
  std::cout << "Made " << tokens::KindTitle(order.kind) << " token " << made.serial << " for "
            << order.owner.surname << " " << order.owner.given_name << " ("
            << order.owner.organisation << ") in " << (store.folder() / made.serial).string()
            << "\n";
  return kDone;
}

}  // namespace

int MakeCa(int32_t level, bool replace) {
  const std::filesystem::path folder = CaFolder();
  if (!replace && tokens::IsRegularFile(folder / "issuing.key"))
    return Error(kExists, "a demo CA exists already in " + folder.string() +
                              " (--replace makes a new one)");
  std::cout << "Making the demo certificate authority (bign level " << level << ") in "
            << folder.string() << "\n";
  const auto ca = MakeDemoCa(level);
  if (!ca) return Error(kFailed, "cannot make the demo CA");
  if (!SaveDemoCa(*ca, folder)) return Error(kFailed, "cannot save the demo CA in " + folder.string());
  std::cout << "Root certificate: " << (folder / "root.pem").string() << "\n";
  return kDone;
}

int Demo(int32_t level) {
  const tokens::TokenStore store;
  if (!store.List().empty())
    return Error(kExists, "there are tokens in " + store.folder().string() +
                              " already; the demo makes its tokens into an empty folder");
  if (!tokens::IsRegularFile(CaFolder() / "issuing.key"))
    if (const int made = MakeCa(level, false); made != kDone) return made;
  auto ca = CaOrComplain();
  if (!ca) return kNoCa;
  const std::string organisation = "ООО «Тессель Демо»";
  const std::array<TokenOrder, 3> orders{{
      {TokenKind::kZorvik2, {"Иванова", "Анна", organisation}, {}, {}, 0},
      {TokenKind::kZorvik, {"Петров", "Пётр", organisation}, {}, {}, 0},
      {TokenKind::kAvest, {"Сидоров", "Сергей", organisation}, {}, {}, 0},
  }};
  for (const TokenOrder& order : orders)
    if (const int made = MakeAndSave(*ca, order, kDemoPassword); made != kDone) return made;
  std::cout << "The demo tokens are in " << store.folder().string()
            << "; their password is " << kDemoPassword
            << ".\nDemo tokens are for trying the program, never for real keys.\n";
  return kDone;
}

int Create(const TokenOrder& order) {
  if (!order.serial.empty() && !tokens::IsValidSerial(order.serial))
    return Error(kUsage, "a serial is 1 to 32 letters, digits and '-'");
  auto ca = CaOrComplain();
  if (!ca) return kNoCa;
  const auto password = NewPassword();
  if (!password) return kPasswordRefused;
  return MakeAndSave(*ca, order, *password);
}

int List() {
  const tokens::TokenStore store;
  const std::vector<tokens::TokenSummary> all = store.List();
  if (all.empty()) {
    std::cout << "No tokens in " << store.folder().string() << "\n";
    return kDone;
  }
  std::cout << "SERIAL        KIND     STATE      VALID UNTIL  OWNER\n";
  for (const tokens::TokenSummary& token : all) {
    const auto certificate = store.CertificatePem(token.serial);
    const char* state = !token.kind      ? "damaged"
                        : token.locked   ? "locked"
                        : !certificate   ? "blank"
                        : token.connected ? "connected"
                                          : "unplugged";
    const std::string kind = token.kind ? std::string(tokens::KindTitle(*token.kind)) : "-";
    std::printf("%-13s %-8s %-10s %-12s %s\n", token.serial.c_str(), kind.c_str(), state,
                ValidUntil(certificate).c_str(), OwnerText(store, token.serial).c_str());
  }
  std::fflush(stdout);
  return kDone;
}

int Plug(const std::string& serial, bool plugged) {
  const int result = StatusExit(tokens::TokenStore().SetPlugged(serial, plugged), serial);
  if (result == kDone) std::cout << "Token " << serial << (plugged ? " plugged in\n" : " unplugged\n");
  return result;
}

int Remove(const std::string& serial) {
  const int result = StatusExit(tokens::TokenStore().Remove(serial), serial);
  if (result == kDone) std::cout << "Token " << serial << " removed\n";
  return result;
}

int Reset(const std::string& serial) {
  tokens::TokenStore store;
  if (!tokens::IsValidSerial(serial) || !tokens::IsFolder(store.folder() / serial))
    return StatusExit(TokenStatus::kNoToken, serial);
  const auto password = NewPassword();
  if (!password) return kPasswordRefused;
  const int result = StatusExit(store.Reset(serial, *password), serial);
  if (result == kDone)
    std::cout << "Token " << serial << " reset: its contents are erased, it is blank and unlocked\n";
  return result;
}

int ExportCertificate(const std::string& serial, const std::string& out_path) {
  const auto pem = tokens::TokenStore().CertificatePem(serial);
  if (!pem) return Error(kNoSuchToken, "no certificate of token " + serial);
  if (out_path.empty()) {
    std::cout << *pem << std::flush;
    return kDone;
  }
  if (!tokens::WriteFileAtomically(out_path, *pem, 0644))
    return Error(kFailed, "cannot write " + out_path);
  std::cout << "Wrote the certificate of token " << serial << " to " << out_path << "\n";
  return kDone;
}

}  // namespace tool
