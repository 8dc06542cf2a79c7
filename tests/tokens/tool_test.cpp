// tessel-token as a person runs it: exit statuses, the demo tokens, and the
// commands that change a token.
#include <sys/wait.h>

#include <fstream>

#include "token_test_support.h"

namespace {

using namespace tokentest;

class ToolTest : public TokenTest {
 protected:
  // Runs the tool with the line on its standard input; its output in out_.
  int Tool(const std::string& args, const std::string& input = "") {
    const std::string output = (data() / "out").string();
    const std::string command = "printf '%s\\n' '" + input + "' | " TOKENS_COMPONENTS_DIR
                                "/tessel-token " + args + " > " + output + " 2>&1";
    const int status = std::system(command.c_str());
    out_ = ReadFile(output);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // The serial of the first listed token of that kind.
  std::string Listed(const std::string& kind) {
    Tool("list");
    const std::size_t at = out_.find(" " + kind + " ");
    return at == std::string::npos ? "" : out_.substr(out_.rfind('\n', at) + 1, 11);
  }
  std::string out_;
};

constexpr char kOwner[] = "--surname Петров --given-name Пётр --organisation 'ООО Тест'";

TEST_F(ToolTest, DemoMakesOneTokenOfEachKindOnce) {
  EXPECT_EQ(Tool("--help"), 0);
  EXPECT_NE(out_.find("Exit status"), std::string::npos);
  EXPECT_EQ(Tool("list"), 0);
  EXPECT_NE(out_.find("No tokens"), std::string::npos);

  ASSERT_EQ(Tool("--demo"), 0) << out_;
  EXPECT_NE(out_.find("their password is Demo-Pass1"), std::string::npos);
  for (const char* kind : {"Zorvik2", "Zorvik", "Avest"}) {
    const std::string serial = Listed(kind);
    ASSERT_FALSE(serial.empty()) << kind;
    EXPECT_NE(out_.find(serial + "   " + std::string(kind)), std::string::npos);
    EXPECT_EQ(Store().LogIn(serial, "Demo-Pass1").status, tokens::TokenStatus::kOk);
  }
  std::size_t connected = 0;
  for (std::size_t at = 0; (at = out_.find(" connected ", at)) != std::string::npos; ++at) ++connected;
  EXPECT_EQ(connected, 3u);
  EXPECT_EQ(Tool("--demo"), 3);
}

TEST_F(ToolTest, ExitStatusesSayWhatWentWrong) {
  const struct {
    std::string args;
    std::string input;
    int status;
  } rows[] = {
      {"", "", 1},
      {"bogus", "", 1},
      {"create --kind zorvik2", "", 1},
      {"ca --level 100", "", 1},
      {std::string("create --kind zorvik2 ") + kOwner, kPassword, 5},
      {"ca", "", 0},
      {"ca", "", 3},
      {std::string("create --kind zorvik2 ") + kOwner, "short1A", 4},
      {std::string("create --kind zorvik2 ") + kOwner, "", 4},
      {std::string("create --kind avest --serial ../x ") + kOwner, kPassword, 1},
      {std::string("create --kind avest --serial AV-1 ") + kOwner, kPassword, 0},
      {std::string("create --kind avest --serial AV-1 ") + kOwner, kPassword, 3},
      {"unplug AV-2", "", 2},
      {"remove ../tokens", "", 2},
      {"export-cert AV-2", "", 2},
  };
  for (const auto& row : rows) EXPECT_EQ(Tool(row.args, row.input), row.status) << row.args << "\n" << out_;
}

TEST_F(ToolTest, CommandsChangeTheToken) {
  ASSERT_EQ(Tool("ca --level 192"), 0);
  ASSERT_EQ(Tool(std::string("create --kind zorvik2 --serial Z2-1 --days 10 ") + kOwner, kPassword),
            0);
  ASSERT_EQ(Tool("unplug Z2-1"), 0);
  EXPECT_NE(Tool("list"), -1);
  EXPECT_NE(out_.find("Z2-1          Zorvik2  unplugged"), std::string::npos) << out_;
  ASSERT_EQ(Tool("plug Z2-1"), 0);
  EXPECT_EQ(Store().Connected(TokenKind::kZorvik2), std::vector<std::string>{"Z2-1"});

  ASSERT_EQ(Tool("export-cert Z2-1 --out " + (data() / "z2.pem").string()), 0);
  EXPECT_EQ(ReadFile(data() / "z2.pem").rfind("-----BEGIN CERTIFICATE-----", 0), 0u);

  // A locked token opens again after a reset, blank, under its new password.
  std::string state = ReadFile(TokenFolder("Z2-1") / tokens::kStateFile);
  state.replace(state.find("\"locked\": false"), 15, "\"locked\": true");
  std::ofstream(TokenFolder("Z2-1") / tokens::kStateFile) << state;
  EXPECT_EQ(Tool("reset Z2-1", "Reset-Pass3"), 0);
  EXPECT_EQ(Store().LogIn("Z2-1", "Reset-Pass3").status, tokens::TokenStatus::kOk);
  Tool("list");
  EXPECT_NE(out_.find("Z2-1          Zorvik2  blank"), std::string::npos) << out_;
  ASSERT_EQ(Tool("remove Z2-1"), 0);
  EXPECT_TRUE(Store().List().empty());
}

}  // namespace
