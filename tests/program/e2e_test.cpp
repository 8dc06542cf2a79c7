// The real program, offscreen, with a folder and certificate of its own,
// driven over TLS on port 7887 by curl and openssl.

#include <fcntl.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "held_connections.h"
#include "program_fixture.h"

namespace {

using testing_support::CommandResult;
using testing_support::ProgramProcess;
using testing_support::RunCommand;
using testing_support::TempDir;

using testing_support::kPort;
const std::string kInvalid = R"({"error":"invalid request","status":"OK"})";
// The Zorvik2 provider's answer when its token dialog is cancelled.
const std::string kZorvik2Error = R"({"error":"Zorvik2 error","errorCode":222,"status":"OK"})";

using EndToEndTest = testing_support::ProgramTest;

TEST_F(EndToEndTest, ActionsAndRepliesOverTls) {
  auto program = Launch("Зорвик2");
  struct Case {
    std::string target;
    std::string extra;
    std::string reply;
    std::string log;
  };
  const std::vector<Case> cases = {
      {"?action=checkLs", "", R"({"status":"OK"})", "Get request ok | ?action=checkLs"},
      {"some/path?action=version", "", R"({"status":"OK","version":"2.3.0"})",
       "Get request ok | ?action=version | Return message: 2.3.0"},
      {"?action=forget", "", R"({"status":"OK"})", "Get request ok | ?action=forget"},
      {"", "", kInvalid, "Request string is empty"},
      {"?", "", kInvalid, "Invalid get request | ? | Return message: expected ?action="},
      {"?action=", "", kInvalid,
       "Invalid get request | ?action= | Return message: invalid get request"},
      {"?action=Version", "", kInvalid,
       "Invalid get request | ?action=Version | Return message: invalid get request"},
      {"?action=version&v=2", "", kInvalid,
       "Invalid get request | ?action=version&v=2 | Return message: invalid get request"},
      {"?action=check%4Cs", "", kInvalid,
       "Invalid get request | ?action=check%4Cs | Return message: invalid get request"},
      {"?action=getDocSign", "-X POST -d QUJD", kZorvik2Error,
       "Sign failed | Return message: Zorvik2 login error"},
      {"?action=checkLs", "-X POST -d QUJD", kInvalid,
       "Invalid post request | ?action=checkLs | Return message: invalid post request"},
      {"", "-X POST -d QUJD", kInvalid, "Request string is empty"},
      {"?action=getDocSign", "-X POST -H 'Content-Length: 0'",
       R"({"error":"data missing","errorCode":200,"status":"OK"})",
       "Post request data missing | ?action=getDocSign"},
      {"?action=getDocSign", "-X POST -H 'Transfer-Encoding: chunked' --data-binary ''",
       R"({"error":"password invalid","errorCode":101,"status":"OK"})",
       "Sign failed | Return message: invalid password"},
      {"?action=getDocSign", "-X POST -H 'Content-Length: 20971521'", kInvalid,
       "Invalid post request | ?action=getDocSign | Return message: request body too large"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Get(c.target, c.extra), c.reply) << c.target << " " << c.extra;
    EXPECT_EQ(LogLines().back(), c.log) << c.target << " " << c.extra;
  }
}

TEST_F(EndToEndTest, ReplyHeadersAreExact) {
  auto program = Launch("Зорвик2");
  const std::string head = Get("?action=version", "-i --http1.1");
  const std::string expected =
      "HTTP/1.1 200 OK\r\n"
      "Cache-Control: no-cache, no-store\r\n"
      "Content-Type: application/json, charset=UTF-8\r\n"
      "Content-Length: 33\r\n"
      "Access-Control-Allow-Headers: Content-Type\r\n"
      "Access-Control-Allow-Credentials: true\r\n"
      "Access-Control-Allow-Origin: *\r\n"
      "Access-Control-Allow-Methods: POST, GET, OPTIONS\r\n"
      "\r\n"
      R"({"status":"OK","version":"2.3.0"})";
  EXPECT_EQ(head, expected);

  const std::string preflight = Get("?action=getDocSign",
                                    "-i -X OPTIONS -H 'Origin: https://bank.example' "
                                    "-H 'Access-Control-Request-Method: POST' "
                                    "-H 'Access-Control-Request-Headers: option'");
  EXPECT_EQ(preflight,
            "HTTP/1.1 200 OK\r\n"
            "Cache-Control: no-cache, no-store\r\n"
            "Content-Length: 0\r\n"
            "Access-Control-Allow-Headers: Content-Type, option\r\n"
            "Access-Control-Allow-Credentials: true\r\n"
            "Access-Control-Allow-Origin: https://bank.example\r\n"
            "Access-Control-Allow-Methods: POST, GET, OPTIONS\r\n"
            "Vary: Origin\r\n"
            "Access-Control-Allow-Private-Network: true\r\n\r\n");
  EXPECT_NE(
      Get("", "-i -X PUT").find("HTTP/1.1 405 Method Not Allowed\r\nAllow: GET, POST, OPTIONS"),
      std::string::npos);
  // Both loopback addresses serve.
  EXPECT_EQ(RunCommand("curl -sk --max-time 5 'https://127.0.0.1:7887/?action=checkLs'").output,
            R"({"status":"OK"})");
  const auto v6 = RunCommand("curl -sk --max-time 5 -g 'https://[::1]:7887/?action=checkLs'");
  if (v6.status == 0) {
    EXPECT_EQ(v6.output, R"({"status":"OK"})");
  }
}

TEST_F(EndToEndTest, BodiesHeadersAndKeepAlive) {
  auto program = Launch("Зорвик2");
  // A 4 MB body, sent after the server's 100 Continue.
  testing_support::WriteFile(dir_ / "body.txt", std::string(4'000'000, 'A'));
  EXPECT_EQ(Post("?action=getDocSign",
                 "-H 'Expect: 100-continue' -H 'option: 8' --data-binary @" + (dir_ / "body.txt")),
            kZorvik2Error);
  EXPECT_TRUE(Logged("Read bytes  | 4000000"));
  // Headers beyond the first 2520-byte receive buffer.
  EXPECT_EQ(Get("?action=checkLs", "-H 'X-Padding: " + std::string(5000, 'p') + "'"),
            R"({"status":"OK"})");
  // Two requests on one connection.
  const auto both = RunCommand(
      "curl -sk --max-time 10 -w ' %{num_connects}' 'https://localhost:7887/?action=checkLs' "
      "'https://localhost:7887/?action=version'");
  EXPECT_EQ(both.output, R"({"status":"OK"} 1{"status":"OK","version":"2.3.0"} 0)");
}

// A request reaches the router only once its body has arrived: a client that
// leaves mid-body is forgotten without a trace, and serving goes on.
TEST_F(EndToEndTest, ClientLeavingMidBodyNeverReachesTheRouter) {
  auto program = Launch("Зорвик2");
  RunCommand(
      "(printf 'POST /?action=getDocSign HTTP/1.1\\r\\nHost: localhost\\r\\nContent-Length: "
      "1000\\r\\n\\r\\nQUJD'; sleep 1) | timeout 10 openssl s_client -quiet -no_ign_eof -connect "
      "127.0.0.1:7887 >/dev/null 2>&1");
  EXPECT_EQ(Get("?action=checkLs"), R"({"status":"OK"})");
  EXPECT_FALSE(Logged("Post request data reading"));
  EXPECT_FALSE(Logged("Response status"));
}

// One local process can delay nobody else: POSTs left half-sent never reach
// the request queue, and thousands of connections held open make room for a
// newcomer.
TEST_F(EndToEndTest, HalfSentPostsAndThousandsOfHeldConnectionsDelayNoOne) {
  auto program = Launch("Зорвик2");
  testing_support::HeldConnections held(kPort);
  auto answered_in = [](const std::string& target) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(target), R"({"status":"OK"})");
    return std::chrono::steady_clock::now() - start;
  };
  ASSERT_EQ(held.OpenHalfSentPosts(50), 50u);
  EXPECT_LT(answered_in("?action=checkLs"), std::chrono::seconds(1));
  if (!testing_support::HeldConnections::RoomFor(5000))
    GTEST_SKIP() << "the descriptor limit of this machine is below 5,000 connections";
  ASSERT_EQ(held.OpenSilent(5000), 5000u);
  ASSERT_TRUE(testing_support::HeldConnections::WaitUntilAccepted(kPort));
  EXPECT_LT(answered_in("?action=checkLs"), std::chrono::seconds(1));
  EXPECT_FALSE(Logged("Post request data reading"));
}

// Another Unix user's process gets nothing: its connection is closed before
// any TLS. Run as root, the test makes such a user for the purpose.
TEST_F(EndToEndTest, AnotherUsersProcessGetsNothing) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to create a second user and run curl as it";
  const std::string user = "tavrik-peer-" + std::to_string(getpid());
  ASSERT_EQ(RunCommand("useradd --system --no-create-home --shell /usr/sbin/nologin " + user).status,
            0);
  auto program = Launch("Зорвик2");
  const auto theirs = RunCommand("runuser -u " + user +
                                 " -- curl -sk --max-time 5 'https://localhost:7887/?action=checkLs'");
  RunCommand("userdel " + user);
  EXPECT_NE(theirs.status, 0);
  EXPECT_EQ(theirs.output, "");
  EXPECT_EQ(Get("?action=checkLs"), R"({"status":"OK"})");
}

TEST_F(EndToEndTest, SecondCopyShowsItsMessageAndExits) {
  auto first = Launch("Зорвик2");
  ASSERT_EQ(Get("?action=checkLs"), R"({"status":"OK"})");
  auto second = Launch("Зорвик2", false, "second.txt");
  EXPECT_EQ(second->WaitForExit(std::chrono::seconds(10)), 0);
  EXPECT_NE(
      testing_support::ReadFile(dir_ / "second.txt").find("Уже запущена копия Tavrik_Server_Crypt"),
      std::string::npos);
  EXPECT_EQ(Get("?action=checkLs"), R"({"status":"OK"})");
}

TEST_F(EndToEndTest, LogRotatesAtExactlyTwentyFiveMebibytes) {
  testing_support::WriteFile(folder_ + "Tavrik_Server_Crypt_Z.log", "");
  std::filesystem::resize_file(folder_ + "Tavrik_Server_Crypt_Z.log", 26'214'400);
  auto program = Launch("Зорвик2");
  Get("?action=version");
  EXPECT_EQ(std::filesystem::file_size(folder_ + "Tavrik_Server_Crypt_Z.log1"), 26'214'400u);
  const auto lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "Get request ok | ?action=checkLs");
  EXPECT_EQ(lines.back(), "Get request ok | ?action=version | Return message: 2.3.0");
}

TEST_F(EndToEndTest, AvestStartsWithAStandInVendorLibraryAndNotWithout) {
  {
    // The real vendor library is on the program's run path; an unloadable
    // file of its name found first stands for a machine without it.
    std::filesystem::create_directories(dir_.path() / "novendor");
    testing_support::WriteFile(dir_ / "novendor/libAvCryptMail.so", "");
    auto program = Launch("Авест", false, "stderr.txt", {{"LD_LIBRARY_PATH", dir_ / "novendor"}});
    // A loaded machine (or a sanitizer build) may take a while to get there.
    for (int i = 0; i < 250 && !Logged("Avest dll load failed | AvCryptMail.dll"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Get("?action=checkLs"), "");
    EXPECT_TRUE(Logged("Avest dll load failed | AvCryptMail.dll"));
  }
  auto program = Launch("Авест", true, "stderr.txt", {{"LD_LIBRARY_PATH", TAVRIK_VENDOR_DIR}});
  EXPECT_EQ(Get("?action=checkLs"), R"({"status":"OK"})");
  EXPECT_TRUE(Logged("AvCmInitEx retCode | 0"));
}

TEST_F(EndToEndTest, PortOfAnotherUserIsNamedAndTheProgramStaysStopped) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to listen as another user";
  // nobody listens on the port (a TLS server without certificate will do).
  ProgramProcess other("/usr/bin/setpriv", {}, dir_ / "other.txt",
                       {"--reuid=65534", "--regid=65534", "--clear-groups", "openssl", "s_server",
                        "-nocert", "-accept", std::to_string(kPort)});
  for (int i = 0; i < 250 && RunCommand("grep -qi ':1ECF [0-9A-F]*:0000 0A' /proc/net/tcp "
                                        "/proc/net/tcp6")
                                     .status != 0;
       ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto program = Launch("Зорвик2", false);
  std::string messages;
  for (int i = 0; i < 250 && messages.find("nobody") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    messages = testing_support::ReadFile(dir_ / "stderr.txt");
  }
  EXPECT_NE(messages.find("порт 7887 занят программой пользователя nobody"), std::string::npos)
      << messages;
  EXPECT_EQ(program->WaitForExit(std::chrono::milliseconds(500)), -1);  // still running
}

}  // namespace
