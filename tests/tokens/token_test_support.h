// Shared pieces of the token component tests: a data folder of its own for
// each test (XDG_DATA_HOME), one demo CA per test program, tokens made as the
// token tool makes them, and the pre-signature the signing program makes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tokens/store/soft_token.h"
#include "tokens/store/tessel_record.h"
#include "tokens/tool/token_factory.h"

namespace tokentest {

using tokens::Bytes;
using tokens::TokenKind;

inline constexpr char kPassword[] = "Tessel-Test1";
// PBKDF2 iterations of test tokens: the cheapest the token files accept, so
// that tests of counting and locking stay fast.
inline constexpr uint32_t kTestIterations = 1000;

inline const unsigned char* bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}
inline int32_t len(const std::string& s) {
  return static_cast<int32_t>(s.size());
}
inline std::string text(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

class TokenTest : public ::testing::Test {
 protected:
  TokenTest();
  ~TokenTest() override;

  // A connected token with a certificate from the test CA.
  std::string MakeToken(TokenKind kind, const std::string& password = kPassword,
                        const tool::Validity& validity = {});
  // The user-data area as a login to the token sees it.
  tokens::AreaBlocks Blocks(const std::string& serial, const std::string& password = kPassword);
  const tool::DemoCa& Ca() const;
  tokens::TokenStore Store() const { return tokens::TokenStore(); }
  const std::filesystem::path& data() const { return data_; }
  std::filesystem::path TokenFolder(const std::string& serial) const;

 private:
  std::filesystem::path data_;
};

// What the signing program makes before the completion: a detached DER
// SignedData with the key block and certificate block.
Bytes PreSignature(const tokens::AreaBlocks& blocks, const std::string& content);
// VerifySignP7S of a detached signature over content.
int32_t VerifyDetached(const Bytes& cms, const std::string& content);
// `openssl cms -verify` with our module and the root certificate alone.
::testing::AssertionResult OpensslVerifies(const Bytes& cms, const std::string& content,
                                           const std::string& root_pem);
// The certificates a DER SignedData carries.
int CertificateCount(const Bytes& cms);

// An executable shell script.
void WriteScript(const std::filesystem::path& path, const std::string& body);
std::string ReadFile(const std::filesystem::path& path);
// Every regular file below folder whose bytes contain needle.
std::vector<std::string> FilesContaining(const std::filesystem::path& folder,
                                         const std::string& needle);

}  // namespace tokentest
