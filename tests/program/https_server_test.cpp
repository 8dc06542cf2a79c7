#include "platform/https_server.h"

#include <filesystem>

#include <algorithm>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>

#include "platform/tls_settings.h"
#include "temp_dir.h"
#include "tls_client.h"

namespace {

namespace net = boost::asio;
using testing_support::TempDir;

class HttpsServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testing_support::MakeCertificate(dir_.path().string())); }
  platform::HttpsServerOptions Options() {
    platform::HttpsServerOptions options;
    options.port = 0;
    options.certificate_file = dir_ / "server.crt";
    options.key_file = dir_ / "server.key";
    return options;
  }
  // Waits until the server has registered count connections.
  static bool WaitForConnections(const platform::HttpsServer& server, std::size_t count) {
    for (int i = 0; i < 200; ++i) {
      if (server.connection_count() == count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  TempDir dir_;
};

TEST_F(HttpsServerTest, StartReportsTakenPortAndMissingCertificate) {
  platform::HttpsServer first(Options());
  ASSERT_EQ(first.Start(), 0u);
  auto options = Options();
  options.port = first.port();
  platform::HttpsServer second(options);
  EXPECT_EQ(second.Start(), platform::kHttpAlreadyExists);

  auto missing = Options();
  missing.key_file = dir_ / "absent.key";
  EXPECT_EQ(platform::HttpsServer(missing).Start(), 2u);
  testing_support::WriteFile(dir_ / "bad.key", "not a key");
  std::filesystem::permissions(dir_ / "bad.key", std::filesystem::perms::owner_read,
                               std::filesystem::perm_options::replace);
  missing.key_file = dir_ / "bad.key";
  EXPECT_EQ(platform::HttpsServer(missing).Start(), 13u);
}

// A private key that other users can read is refused, and the refusal names it.
TEST_F(HttpsServerTest, KeyFileOpenToOtherUsersIsRefused) {
  using std::filesystem::perms;
  const struct {
    perms mode;
    uint32_t code;
  } cases[] = {{perms::owner_read | perms::owner_write, 0u},
               {perms::owner_read | perms::group_read, platform::kTlsKeyExposed},
               {perms::owner_read | perms::others_read, platform::kTlsKeyExposed},
               {perms::owner_read | perms::others_write, platform::kTlsKeyExposed}};
  for (const auto& c : cases) {
    std::filesystem::permissions(dir_ / "server.key", c.mode,
                                 std::filesystem::perm_options::replace);
    platform::HttpsServer server(Options());
    EXPECT_EQ(server.Start(), c.code);
    EXPECT_EQ(server.problem_file(), c.code == 0 ? "" : dir_ / "server.key");
  }
}

TEST_F(HttpsServerTest, RecordCarriesQueryHeadersAndNeededSize) {
  platform::HttpsServer server(Options());
  ASSERT_EQ(server.Start(), 0u);
  auto client = std::async(std::launch::async, [port = server.port()] {
    return testing_support::Curl(port, "/p/q?action=x&y=%20",
                                 "-X POST -H 'option: 9' -H 'Option: 1' -d QUJD")
        .output;
  });
  std::vector<char> small(platform::kRequestRecordSize + 10);
  platform::HttpRequestRecord record;
  uint32_t needed = 0;
  ASSERT_EQ(server.ReceiveRequest(0, small, record, needed), platform::kHttpMoreData);
  ASSERT_GT(needed, small.size());
  std::vector<char> buffer(needed);
  ASSERT_EQ(server.ReceiveRequest(record.request_id, buffer, record, needed), platform::kHttpOk);
  EXPECT_EQ(record.verb, "POST");
  EXPECT_EQ(record.path, "/p/q");
  EXPECT_EQ(record.query, "?action=x&y=%20");
  EXPECT_TRUE(record.more_entity_body);
  EXPECT_EQ(record.content_length, "4");
  ASSERT_EQ(record.unknown_headers.size(), 2u);
  EXPECT_EQ(record.unknown_headers[0].first, "option");
  EXPECT_EQ(record.unknown_headers[1].first, "Option");

  char piece[3];
  uint32_t got = 0;
  EXPECT_EQ(server.ReceiveEntityBody(record.request_id, piece, got), platform::kHttpOk);
  EXPECT_EQ(std::string(piece, got), "QUJ");
  EXPECT_EQ(server.ReceiveEntityBody(record.request_id, piece, got), platform::kHttpHandleEof);
  EXPECT_EQ(std::string(piece, got), "D");

  platform::HttpResponse response;
  response.reason = "OK";
  response.body = "done";
  EXPECT_EQ(server.SendResponse(record.request_id, response), platform::kHttpOk);
  EXPECT_EQ(client.get(), "done");
}

TEST_F(HttpsServerTest, TerminateMakesAPendingReceiveFail) {
  platform::HttpsServer server(Options());
  ASSERT_EQ(server.Start(), 0u);
  auto receive = std::async(std::launch::async, [&server] {
    std::vector<char> buffer(platform::kInitialReceiveBufferSize);
    platform::HttpRequestRecord record;
    uint32_t bytes = 0;
    return server.ReceiveRequest(0, buffer, record, bytes);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  server.Terminate();
  ASSERT_EQ(receive.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(receive.get(), platform::kHttpOperationAborted);
}

// The record holds the target as path and query, each with its terminator:
// a request grown to exactly the reported size fits, nothing lands past it.
TEST_F(HttpsServerTest, RecordFitsExactlyTheReportedSize) {
  platform::HttpsServer server(Options());
  ASSERT_EQ(server.Start(), 0u);
  const std::string query = "?action=checkLs&pad=" + std::string(3000, 'q');
  for (const std::string extra : {"-H 'Host:'", "-H 'option: 1' -H 'Host:'", ""}) {
    SCOPED_TRACE(extra);
    auto client = std::async(std::launch::async, [port = server.port(), &query, extra] {
      return testing_support::Curl(port, "/" + query, extra).output;
    });
    std::vector<char> small(platform::kInitialReceiveBufferSize);
    platform::HttpRequestRecord record;
    uint32_t needed = 0;
    ASSERT_EQ(server.ReceiveRequest(0, small, record, needed), platform::kHttpMoreData);
    constexpr char kGuard = '#';
    std::vector<char> buffer(needed + 8, kGuard);
    ASSERT_EQ(server.ReceiveRequest(record.request_id, std::span<char>(buffer.data(), needed),
                                    record, needed),
              platform::kHttpOk);
    EXPECT_EQ(record.query, query);
    EXPECT_EQ(std::count(buffer.begin() + needed, buffer.end(), kGuard), 8);
    platform::HttpResponse response;
    response.body = "x";
    server.SendResponse(record.request_id, response);
    client.get();
  }
}

// Probes as an attacker's client would make them: only TLS 1.2 with ECDHE and
// AEAD suites, or TLS 1.3, and no renegotiation.
TEST_F(HttpsServerTest, OnlyModernTlsIsOffered) {
  ASSERT_TRUE(testing_support::MakeCertificate(dir_.path().string(), "rsa:2048"));
  platform::HttpsServer server(Options());
  ASSERT_EQ(server.Start(), 0u);
  const std::string connect = " -connect 127.0.0.1:" + std::to_string(server.port()) + " 2>&1";
  const struct {
    const char* what;
    std::string options;
    bool accepted;
  } probes[] = {
      {"TLS 1.3", "-tls1_3", true},
      {"TLS 1.2, ECDHE and AES-GCM", "-tls1_2 -cipher ECDHE-RSA-AES128-GCM-SHA256", true},
      {"TLS 1.1", "-tls1_1 -cipher DEFAULT@SECLEVEL=0", false},
      {"static RSA key exchange", "-tls1_2 -cipher AES128-GCM-SHA256", false},
      {"CBC with SHA-1", "-tls1_2 -cipher ECDHE-RSA-AES128-SHA", false},
  };
  for (const auto& probe : probes) {
    const auto run =
        testing_support::RunCommand("openssl s_client " + probe.options + " </dev/null" + connect);
    EXPECT_EQ(run.status == 0, probe.accepted) << probe.what << "\n" << run.output;
  }
  // A renegotiation the client asks for is refused.
  const auto renegotiate =
      testing_support::RunCommand("(printf 'R\\n'; sleep 1) | openssl s_client -tls1_2" + connect);
  EXPECT_NE(renegotiate.output.find("RENEGOTIATING"), std::string::npos) << renegotiate.output;
  EXPECT_NE(renegotiate.output.find("no renegotiation"), std::string::npos) << renegotiate.output;
}

// A full table makes room by closing the connection that has waited longest
// for its client; silent connections end at the handshake time-out.
TEST_F(HttpsServerTest, FullTableClosesTheLongestIdleAndSilentOnesTimeOut) {
  auto options = Options();
  options.max_connections = 3;
  options.limits.handshake_timeout = std::chrono::seconds(1);
  platform::HttpsServer server(options);
  ASSERT_EQ(server.Start(), 0u);
  net::io_context io;
  const net::ip::tcp::endpoint at(net::ip::address_v4::loopback(), server.port());
  std::vector<net::ip::tcp::socket> sockets;
  for (int i = 0; i < 4; ++i) {
    sockets.emplace_back(io);
    sockets.back().connect(at);
    ASSERT_TRUE(WaitForConnections(server, std::min<std::size_t>(sockets.size(), 3)));
  }
  // The first one made room for the fourth: reading from it ends.
  boost::system::error_code ec;
  char byte = 0;
  net::read(sockets.front(), net::buffer(&byte, 1), ec);
  EXPECT_EQ(ec, net::error::eof);
  // The silent three are dropped after the handshake time-out.
  EXPECT_TRUE(WaitForConnections(server, 0));
}

}  // namespace
