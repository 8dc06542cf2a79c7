// The three providers over the real token components and soft tokens: the
// session rules (ask once within the lifetime, ask again after it, after
// forget, per requesting page), wrong passwords, cancel, and the log lines.
#include <chrono>
#include <thread>

#include "provider_doubles.h"
#include "providers/avest_provider.h"
#include "providers/text_conversions.h"
#include "providers/zorvik2_provider.h"
#include "providers/zorvik_provider.h"
#include "tokens/token_test_support.h"
#include "tokens/avcryptmail/avcryptmail.h"

namespace {

using namespace provider_testing;
using namespace std::chrono_literals;
using tokentest::kPassword;
using tokens::TokenKind;

constexpr auto kLifetime = 1500ms;  // room for two requests under the sanitizers on a loaded machine
constexpr char kContent[] = "платёжное поручение № 7";
const std::string kA = "https://bank.example";
const std::string kB = "https://other.example";

struct Step {
  char action;  // 's' sign, 'f' forget, 'e' let the lifetime pass
  std::string origin = {};
  std::vector<std::string> answers = {};  // "" cancels
  uint32_t code = 0;
  std::size_t asked = 0;  // dialogs or prompts during the step
};
struct Scenario {
  const char* name;
  std::vector<Step> steps;
  std::vector<std::string> log;
};

class ProviderSessionTest : public tokentest::TokenTest {
 protected:
  // Runs the steps; answers and asked go through the provider's own way of asking.
  void Run(providers::SigningProvider& provider, const Scenario& scenario,
           const std::function<void(const std::vector<std::string>&)>& answer,
           const std::function<std::size_t()>& asked) {
    SCOPED_TRACE(scenario.name);
    for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
      const Step& step = scenario.steps[i];
      if (step.action == 'f') provider.Forget();
      if (step.action == 'e') std::this_thread::sleep_for(kLifetime + 500ms);
      if (step.action != 's') continue;
      request_.origin = step.origin;
      answer(step.answers);
      const std::size_t before = asked();
      EXPECT_EQ(SignOnce(provider), step.code) << "step " << i;
      EXPECT_EQ(asked() - before, step.asked) << "step " << i;
    }
    EXPECT_EQ(log_.Lines(), scenario.log);
  }
  // One request; a success must verify against the content.
  uint32_t SignOnce(providers::SigningProvider& provider) {
    const std::string body =
        providers::Base64Encode(reinterpret_cast<const unsigned char*>(kContent), strlen(kContent));
    std::vector<char> output(8192);
    uint32_t length = 8192;
    const uint32_t code =
        provider.Sign(output.data(), &length, body.data(), static_cast<uint32_t>(body.size()));
    if (code == 0) {
      const auto signature = providers::Base64Decode(output.data(), length);
      EXPECT_TRUE(signature.has_value());
      EXPECT_EQ(tokentest::VerifyDetached(
                    tokens::Bytes(signature->bytes.begin(), signature->bytes.end() - 1), kContent),
                0);
    }
    return code;
  }
  void ScriptDialog(const std::vector<std::string>& answers) {
    dialog_.answers.assign(answers.begin(), answers.end());
  }
  std::size_t DialogsShown() { return dialog_.asked.size(); }
  // Wrong passwords answer at once, as the middleware does outside its
  // refusal window, and end the earlier login as it does.
  void RefuseWrong() {
    components_.auth_user = [this](const char* serial, const char* password) {
      if (std::string(password) != "wrong") return components_.linked.AuthUser(serial, password);
      components_.FreeRecord(components_.linked.DeAuthUser());
      return Record(ZORVIK_WRONG_PASSWORD);
    };
  }

  testing_support::TempDir dir_;
  FileLog log_{dir_};
  ScriptedDialog dialog_;
  FixedRequest request_;
  Components components_;
};

const std::string kLogin0 = "Zorvik2 login retCode | 0";
const std::string kSign0 = "Zorvik2 sign retCode | 0";

TEST_F(ProviderSessionTest, Zorvik2SessionRules) {
  const std::vector<Scenario> scenarios = {
      {"two requests within the lifetime ask once",
       {{'s', kA, {kPassword}, 0, 1}, {'s', kA, {}, 0, 0}},
       {kLogin0, kSign0, kLogin0, kSign0}},
      {"after the lifetime the dialog comes back",
       {{'s', kA, {kPassword}, 0, 1}, {'e'}, {'s', kA, {kPassword}, 0, 1}},
       {kLogin0, kSign0, "Zorvik2 logout retCode | 0", kLogin0, kSign0}},
      {"forget ends the login, the next request asks",
       {{'s', kA, {kPassword}, 0, 1}, {'f'}, {'s', kA, {kPassword}, 0, 1}},
       {kLogin0, kSign0, kLogin0, kSign0}},
      {"three wrong passwords fail and a logout timer runs all the same",
       {{'s', kA, {"wrong", "wrong", "wrong"}, 0xFF30, 3}, {'e'}},
       {"Zorvik2 login retCode | 1", "Zorvik2 logout retCode | 3"}},
      {"wrong, then right", {{'s', kA, {"wrong", kPassword}, 0, 2}}, {kLogin0, kSign0}},
      {"cancel: no login and no timer",
       {{'s', kA, {""}, 0xFF30, 1}, {'e'}},
       {"Zorvik2 login retCode | 1"}},
      {"another page is asked, and its login replaces the first page's",
       {{'s', kA, {kPassword}, 0, 1}, {'s', kB, {kPassword}, 0, 1}, {'s', kA, {kPassword}, 0, 1}},
       {kLogin0, kSign0, kLogin0, kSign0, kLogin0, kSign0}},
      {"another page that cancels leaves the first page's login",
       {{'s', kA, {kPassword}, 0, 1}, {'s', kB, {""}, 0xFF30, 1}, {'s', kA, {}, 0, 0}},
       {kLogin0, kSign0, "Zorvik2 login retCode | 1", kLogin0, kSign0}},
  };
  for (const Scenario& scenario : scenarios) {
    dialog_.serial = MakeToken(TokenKind::kZorvik2);
    RefuseWrong();
    {
      providers::Zorvik2Provider provider(components_, dialog_, request_, log_, kLifetime);
      Run(provider, scenario, [&](const auto& a) { ScriptDialog(a); }, [&] { return DialogsShown(); });
      for (const auto& asked : dialog_.asked) EXPECT_TRUE(asked.choose_token);
    }
    std::filesystem::remove(log_.log.log_file());
  }
}

// The middleware refuses every password for a few seconds after a wrong one:
// the request waits that out instead of failing.
TEST_F(ProviderSessionTest, Zorvik2WaitsOutTheRefusalAfterAWrongPassword) {
  dialog_.serial = MakeToken(TokenKind::kZorvik2);
  providers::Zorvik2Provider provider(components_, dialog_, request_, log_, 60s);
  ScriptDialog({"Wrong-Pass1", kPassword});
  EXPECT_EQ(SignOnce(provider), 0u);
  EXPECT_EQ(components_.auth_calls, 3);  // wrong, refused for now, right
  EXPECT_EQ(provider.Shutdown(), 0u);
  EXPECT_EQ(log_.Lines(), (std::vector<std::string>{kLogin0, kSign0, "Zorvik2 logout retCode | 0"}));
}

TEST_F(ProviderSessionTest, ZorvikSessionRulesAndARefusedCachedPassword) {
  const std::string serial = MakeToken(TokenKind::kZorvik);
  const std::string exec0 = "Zorvik exec retCode | 0";
  const std::vector<Scenario> scenarios = {
      {"two requests within the lifetime ask once",
       {{'s', kA, {kPassword}, 0, 1}, {'s', kA, {}, 0, 0}},
       {exec0, exec0}},
      {"after the lifetime, and after forget, the dialog comes back",
       {{'s', kA, {kPassword}, 0, 1}, {'e'}, {'s', kA, {kPassword}, 0, 1}, {'f'},
        {'s', kA, {kPassword}, 0, 1}},
       {exec0, exec0, exec0}},
      {"another page is asked", {{'s', kA, {kPassword}, 0, 1}, {'s', kB, {kPassword}, 0, 1}},
       {exec0, exec0}},
      {"cancel answers 1 without a log line", {{'s', kA, {""}, 1, 1}}, {}},
  };
  providers::ZorvikProvider provider(components_, dialog_, request_, log_, kLifetime,
                                     dir_.path().string() + "/");
  provider.SetTokenWatcherFolder(TOKENS_COMPONENTS_DIR);
  for (const Scenario& scenario : scenarios) {
    Run(provider, scenario, [&](const auto& a) { ScriptDialog(a); }, [&] { return DialogsShown(); });
    provider.Forget();
    std::filesystem::remove(log_.log.log_file());
  }
  // Changed meanwhile: the cached password is tried once, then the user is asked.
  ScriptDialog({kPassword});
  ASSERT_EQ(SignOnce(provider), 0u);
  ASSERT_EQ(Store().ChangePassword(serial, kPassword, "Changed-Pass1").status,
            tokens::TokenStatus::kOk);
  ScriptDialog({"Changed-Pass1"});
  const std::size_t before = DialogsShown();
  EXPECT_EQ(SignOnce(provider), 0u);
  EXPECT_EQ(DialogsShown() - before, 1u);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "sign.tmp"));
}

TEST_F(ProviderSessionTest, AvestSessionRulesThroughTheVendorPrompt) {
  MakeToken(TokenKind::kAvest);
  const auto answer_file = dir_.path() / "answer";
  const auto prompts = dir_.path() / "prompts";
  tokentest::WriteScript(dir_.path() / "askpass",
                         "echo x >> '" + prompts.string() + "'\nread -r p < '" +
                             answer_file.string() + "' && [ -n \"$p\" ] && echo \"$p\"");
  setenv("AVCM_ASKPASS", (dir_.path() / "askpass").c_str(), 1);
  const auto answer = [&](const std::vector<std::string>& answers) {
    std::ofstream(answer_file) << (answers.empty() ? "" : answers.front()) << "\n";
  };
  const auto asked = [&] { return tokentest::ReadFile(prompts).size() / 2; };
  const std::string login0 = "AvCmLogin retCode | 0";
  const std::string sign0 = "AvCmSign retCode | 0";
  const std::vector<Scenario> scenarios = {
      {"two requests within the lifetime: one vendor login",
       {{'s', kA, {kPassword}, 0, 1}, {'s', kA, {}, 0, 0}},
       {login0, sign0, login0, sign0}},
      {"after the lifetime the timer has logged out; after forget too",
       {{'s', kA, {kPassword}, 0, 1}, {'e'}, {'s', kA, {kPassword}, 0, 1}, {'f'},
        {'s', kA, {kPassword}, 0, 1}},
       {login0, sign0, "AvCmLogout retCode | 0", login0, sign0, login0, sign0}},
      {"another page logs in anew; the session it replaces is logged out",
       {{'s', kA, {kPassword}, 0, 1}, {'s', kB, {kPassword}, 0, 1}},
       {login0, sign0, "AvCmLogout retCode | 0", login0, sign0}},
      {"cancelled prompt", {{'s', kA, {""}, 0xFF04, 1}}, {"AvCmLogin retCode | E82A010B"}},
  };
  ASSERT_EQ(AvCmInit(AVCM_INIT_START), AVCM_OK);
  for (const Scenario& scenario : scenarios) {
    providers::AvestProvider provider(components_, request_, log_, kLifetime);
    Run(provider, scenario, answer, asked);
    provider.Shutdown();
    std::filesystem::remove(log_.log.log_file());
  }
  AvCmInit(AVCM_INIT_FINISH);
  unsetenv("AVCM_ASKPASS");
}

}  // namespace
