// The real program signs with each provider and the demo tokens: the token
// dialog answered by the test hook (Zorvik, Zorvik2) or the vendor's prompt
// by a script (Avest); the signatures verify with libtessel and with the
// stock openssl command. Then the Zorvik2 login's life as the log shows it.
#include <sys/stat.h>

#include <random>

#include <nlohmann/json.hpp>

#include "program_fixture.h"
#include "providers/text_conversions.h"
#include "tokens/token_test_support.h"

namespace {

using testing_support::ProgramProcess;
using testing_support::RunCommand;

class SignEndToEndTest : public testing_support::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    data_ = dir_ / "data";
    ASSERT_EQ(RunCommand("XDG_DATA_HOME='" + data_ + "' " COMPONENTS_DIR "/tessel-token --demo "
                         ">/dev/null 2>&1").status, 0);
    answer_ = dir_ / "answer";
    testing_support::WriteFile(answer_, "Demo-Pass1\n");
    chmod(answer_.c_str(), 0600);
    tokentest::WriteScript(dir_ / "askpass", "head -n 1 '" + answer_ + "'");
    content_.resize(1024);
    std::mt19937 random(7);
    for (char& c : content_) c = static_cast<char>(random());
  }
  std::unique_ptr<ProgramProcess> Start(const std::string& provider, const char* lifetime_ms) {
    return Launch(provider, true, "stderr.txt",
                  {{"XDG_DATA_HOME", data_},
                   {"TAVRIK_TEST_DIALOG_ANSWER", answer_},
                   {"TAVRIK_TEST_LOGIN_LIFETIME_MS", lifetime_ms},
                   {"AVCM_ASKPASS", dir_ / "askpass"},
                   // The sanitizer's dlopen ignores the program's run path.
                   {"LD_LIBRARY_PATH", COMPONENTS_DIR}});
  }
  nlohmann::json SignRequest(const std::string& origin = "https://bank.example") {
    const std::string body = providers::Base64Encode(
        reinterpret_cast<const unsigned char*>(content_.data()), content_.size());
    testing_support::WriteFile(dir_ / "body", body);
    return nlohmann::json::parse(
        Post("?action=getDocSign", "-H 'Origin: " + origin + "' --data-binary @" + (dir_ / "body")),
        nullptr, false);
  }
  ::testing::AssertionResult Verifies(const nlohmann::json& reply) {
    if (!reply.contains("sign")) return ::testing::AssertionFailure() << reply.dump();
    const std::string text = reply["sign"];
    const auto der = providers::Base64Decode(text.data(), text.size());
    const tokens::Bytes cms(der->bytes.begin(), der->bytes.end() - 1);
    if (tokentest::VerifyDetached(cms, content_) != 0)
      return ::testing::AssertionFailure() << "VerifySignP7S";
    return tokentest::OpensslVerifies(cms, content_,
                                      testing_support::ReadFile(data_ + "/tessel/ca/root.pem"));
  }

  std::string data_;
  std::string answer_;
  std::string content_;
};

TEST_F(SignEndToEndTest, EachProviderSignsWithItsDemoToken) {
  // The first-generation sign program lies below the running TokenWatcher.
  ProgramProcess watcher(COMPONENTS_DIR "/TokenWatcher", {{"XDG_DATA_HOME", data_}},
                         dir_ / "watcher.txt");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Авест", "Avest"}, {"Зорвик", "Zorvik"}, {"Зорвик2", "Zorvik"}};
  for (const auto& [provider, token_id] : cases) {
    auto program = Start(provider, "60000");
    const nlohmann::json reply = SignRequest();
    EXPECT_TRUE(Verifies(reply)) << provider;
    EXPECT_EQ(reply.value("tokenId", ""), token_id) << provider;
    EXPECT_EQ(reply.value("status", ""), "OK") << provider;
  }
  // Neither the password nor a key reaches the log or the program's output.
  for (const std::string& file : {folder_ + "Tavrik_Server_Crypt_Z.log", dir_ / "stderr.txt"})
    for (const char* secret : {"Demo-Pass1", "PRIVATE KEY", "58203174"})
      EXPECT_EQ(testing_support::ReadFile(file).find(secret), std::string::npos) << file << secret;
}

TEST_F(SignEndToEndTest, Zorvik2LoginLivesItsLifetimeForItsPageOnly) {
  auto program = Start("Зорвик2", "4000");
  EXPECT_TRUE(Verifies(SignRequest()));
  std::filesystem::remove(answer_);  // from now on a dialog is cancelled
  EXPECT_TRUE(Verifies(SignRequest()));
  const std::string failed = R"({"error":"Zorvik2 error","errorCode":222,"status":"OK"})";
  EXPECT_EQ(SignRequest("").dump(), failed);  // another requester is asked
  EXPECT_TRUE(Verifies(SignRequest()));
  std::this_thread::sleep_for(std::chrono::milliseconds(4500));
  EXPECT_EQ(SignRequest().dump(), failed);
  const std::vector<std::string> expected = {
      "Zorvik2 login retCode | 0", "Zorvik2 sign retCode | 0", "Zorvik2 login retCode | 0",
      "Zorvik2 sign retCode | 0", "Zorvik2 login retCode | 1",
      "Sign failed | Return message: Zorvik2 login error", "Zorvik2 login retCode | 0",
      "Zorvik2 sign retCode | 0", "Zorvik2 logout retCode | 0", "Zorvik2 login retCode | 1",
      "Sign failed | Return message: Zorvik2 login error"};
  std::vector<std::string> lines;
  for (const std::string& line : LogLines())
    if (line.starts_with("Zorvik2") || line.starts_with("Sign failed")) lines.push_back(line);
  EXPECT_EQ(lines, expected);
}

}  // namespace
