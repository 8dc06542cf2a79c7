#include "platform/https_server.h"

#include <future>
#include <thread>

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <gtest/gtest.h>

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
  missing.key_file = dir_ / "bad.key";
  EXPECT_EQ(platform::HttpsServer(missing).Start(), 13u);
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

TEST_F(HttpsServerTest, SilentClientsTimeOutAndTheCapRefusesMore) {
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
  }
  EXPECT_TRUE(WaitForConnections(server, 3));
  // The fourth is closed at once: reading from it ends.
  boost::system::error_code ec;
  char byte = 0;
  net::read(sockets.back(), net::buffer(&byte, 1), ec);
  EXPECT_EQ(ec, net::error::eof);
  // The silent three are dropped after the handshake time-out.
  EXPECT_TRUE(WaitForConnections(server, 0));
  for (int i = 0; i < 100 && server.connection_count() != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(server.connection_count(), 0u);
}

}  // namespace
