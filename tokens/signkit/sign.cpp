// Signkit/sign: the sign program of first-generation Zorvik tokens.
//
//   sign FILE        the token password on standard input (one line)
//
// Appends a detached DER CMS SignedData of the file's data, made with the key
// of the connected first-generation token and carrying its certificate chain,
// to the file. The file is replaced whole (new file, then rename), never left
// half-written. Exit status: 0 signed; 2 wrong use, or the file cannot be read
// or replaced; 37 no first-generation token connected; 38 wrong password;
// 40 the token's certificate has expired; 41 the token is locked; 42 the
// token's files are damaged; 43 signing failed.
#include <openssl/x509.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <thread>

#include "tokens/store/completion.h"
#include "tokens/store/files.h"
#include "tokens/store/ossl_ptr.h"
#include "tokens/store/soft_token.h"
#include "tokens/store/tessel_record.h"

namespace {

enum Exit {
  kSigned = 0,
  kUsage = 2,
  kNoToken = 37,
  kWrongPassword = 38,
  kExpired = 40,
  kLocked = 41,
  kDamaged = 42,
  kSignFailed = 43,
};

constexpr std::size_t kMaxPassword = 256;
constexpr std::size_t kMaxData = 64 * 1024 * 1024;

int Fail(int code, const char* message) {
  std::cerr << "sign: " << message << "\n";
  return code;
}

tokens::SecretString ReadPassword() {
  tokens::SecretString password;
  password.reserve(kMaxPassword);
  for (int c; password.size() < kMaxPassword && (c = std::getchar()) != EOF && c != '\n';)
    password.push_back(static_cast<char>(c));
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return password;
}

// The refusal after a wrong password is a delay to the sign program: it
// waits it out rather than failing the signature.
tokens::Login LogIn(tokens::TokenStore& store, const std::string& serial,
                    const tokens::SecretString& password) {
  tokens::Login login = store.LogIn(serial, password);
  for (int waits = 0; login.status == tokens::TokenStatus::kTryLater && waits < 3; ++waits) {
    std::this_thread::sleep_for(std::chrono::milliseconds(login.wait_ms));
    login = store.LogIn(serial, password);
  }
  return login;
}

// Nothing when the certificate cannot be read.
std::optional<bool> Expired(const tokens::Bytes& certificate) {
  const unsigned char* p = certificate.data();
  const tokens::X509Ptr cert(d2i_X509(nullptr, &p, static_cast<long>(certificate.size())));
  if (!cert) return std::nullopt;
  return X509_cmp_current_time(X509_get0_notAfter(cert.get())) <= 0;
}

int Run(const char* path) {
  const tokens::SecretString password = ReadPassword();
  tokens::TokenStore store;
  const std::vector<std::string> connected = store.Connected(tokens::TokenKind::kZorvik);
  if (connected.empty()) return Fail(kNoToken, "no first-generation token is connected");
  const tokens::Login login = LogIn(store, connected.front(), password);
  switch (login.status) {
    case tokens::TokenStatus::kOk:
      break;
    case tokens::TokenStatus::kWrongPassword:
    case tokens::TokenStatus::kTryLater:
      return Fail(kWrongPassword, "wrong password");
    case tokens::TokenStatus::kLocked:
      return Fail(kLocked, "the token is locked; the token tool resets it");
    default:
      return Fail(kDamaged, "the token's files are damaged");
  }
  const auto blocks = tokens::BlocksOf(login.area);
  if (!blocks) return Fail(kDamaged, "the token holds no key");
  const auto expired = Expired(blocks->certificate);
  if (!expired) return Fail(kDamaged, "the token's certificate cannot be read");
  if (*expired) return Fail(kExpired, "the token's certificate has expired");

  struct stat info {};
  const auto data = tokens::ReadSmallFile(path, kMaxData);
  if (!data || data->empty() || stat(path, &info) != 0)
    return Fail(kUsage, "the file cannot be read, or is empty");
  const tokens::Record pre(CreateSignP7S(tokens::Ptr(*data), tokens::Len(*data),
                                         tokens::Ptr(blocks->key_pem), tokens::Len(blocks->key_pem),
                                         tokens::kKeyBlockPassword, blocks->certificate.data(),
                                         tokens::Len(blocks->certificate), TESSEL_FORM_DER,
                                         TESSEL_CMS_DETACHED));
  if (!tokens::Succeeded(pre)) return Fail(kSignFailed, "signing failed");
  const tokens::Completion signature =
      tokens::AddBlockCertificates({pre->data, static_cast<std::size_t>(pre->data_len)},
                                   blocks->completion);
  if (signature.error != tokens::CompletionError::kNone) return Fail(kSignFailed, "signing failed");

  std::string signed_file = *data;
  signed_file.append(reinterpret_cast<const char*>(signature.cms.data()), signature.cms.size());
  if (!tokens::WriteFileAtomically(path, signed_file, info.st_mode & 07777))
    return Fail(kUsage, "the file cannot be replaced");
  return kSigned;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail(kUsage, "usage: sign FILE (the password on standard input)");
  try {
    return Run(argv[1]);
  } catch (...) {
    return Fail(kSignFailed, "signing failed");
  }
}
