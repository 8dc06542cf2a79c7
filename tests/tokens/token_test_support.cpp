#include "token_test_support.h"

#include <openssl/cms.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "support/openssl_command.h"
#include "tokens/store/tessel_record.h"

namespace tokentest {
namespace {

std::filesystem::path NewFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tessel-tokens-XXXXXX").string();
  return mkdtemp(pattern.data());
}

}  // namespace

TokenTest::TokenTest() : data_(NewFolder()) {
  setenv("XDG_DATA_HOME", data_.c_str(), 1);
}

TokenTest::~TokenTest() {
  std::error_code ignored;
  std::filesystem::remove_all(data_, ignored);
}

const tool::DemoCa& TokenTest::Ca() const {
  static const tool::DemoCa ca = [] {
    auto made = tool::MakeDemoCa(128);
    if (!made) throw std::runtime_error("no test CA");
    return *made;
  }();
  return ca;
}

std::string TokenTest::MakeToken(TokenKind kind, const std::string& password,
                                 const tool::Validity& validity) {
  tool::DemoCa ca = Ca();
  tokens::TokenStore store;
  tool::TokenOrder order{kind, {"Иванова", "Анна", "ООО «Тест»"}, {}, validity, kTestIterations};
  const tool::MadeToken made = tool::MakeToken(store, ca, order, password);
  EXPECT_EQ(made.status, tokens::TokenStatus::kOk);
  return made.serial;
}

tokens::AreaBlocks TokenTest::Blocks(const std::string& serial, const std::string& password) {
  tokens::Login login = Store().LogIn(serial, password);
  EXPECT_EQ(login.status, tokens::TokenStatus::kOk);
  auto blocks = tokens::BlocksOf(login.area);
  return blocks ? *blocks : tokens::AreaBlocks{};
}

std::filesystem::path TokenTest::TokenFolder(const std::string& serial) const {
  return tokens::TokensFolder() / serial;
}

Bytes PreSignature(const tokens::AreaBlocks& blocks, const std::string& content) {
  const tokens::Record pre(CreateSignP7S(
      bytes(content), len(content), tokens::Ptr(blocks.key_pem), tokens::Len(blocks.key_pem),
      tokens::kKeyBlockPassword, blocks.certificate.data(), tokens::Len(blocks.certificate),
      TESSEL_FORM_DER, TESSEL_CMS_DETACHED));
  EXPECT_TRUE(tokens::Succeeded(pre));
  return tokens::DataOf(pre);
}

int32_t VerifyDetached(const Bytes& cms, const std::string& content) {
  const tokens::Record verified(
      VerifySignP7S(cms.data(), tokens::Len(cms), bytes(content), len(content), nullptr, 0));
  return verified ? verified->status : -1;
}

::testing::AssertionResult OpensslVerifies(const Bytes& cms, const std::string& content,
                                           const std::string& root_pem) {
  const testsupport::CommandFiles files;
  files.write("sig.der", text(cms));
  files.write("content", content);
  files.write("root.pem", root_pem);
  const testsupport::CommandRun run = testsupport::run_openssl(
      "cms",
      "-verify -binary -inform DER -in \"" + files.path("sig.der") + "\" -content \"" +
          files.path("content") + "\" -CAfile \"" + files.path("root.pem") + "\" -out /dev/null",
      files.path("log"));
  if (run.ok) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << run.line << "\n" << files.read("log");
}

int CertificateCount(const Bytes& cms) {
  const unsigned char* p = cms.data();
  std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)> parsed(
      d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(cms.size())), CMS_ContentInfo_free);
  if (!parsed) return -1;
  STACK_OF(X509)* certs = CMS_get1_certs(parsed.get());  // null when there are none
  const int count = certs != nullptr ? sk_X509_num(certs) : 0;
  sk_X509_pop_free(certs, X509_free);
  return count;
}

void WriteScript(const std::filesystem::path& path, const std::string& body) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
  chmod(path.c_str(), 0700);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> FilesContaining(const std::filesystem::path& folder,
                                         const std::string& needle) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file() && ReadFile(entry.path()).find(needle) != std::string::npos)
      found.push_back(entry.path().string());
  return found;
}

}  // namespace tokentest
