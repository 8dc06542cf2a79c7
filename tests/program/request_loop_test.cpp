#include "service/request_loop.h"

#include <gtest/gtest.h>

#include "fake_queue.h"
#include "temp_dir.h"

namespace {

using testing_support::FakeQueue;
using testing_support::ScriptedRequest;

class RequestLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { state_.log.SetPaths(dir_ / "l.log", dir_ / "l.log1"); }
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    for (const auto& line : testing_support::ReadLines(dir_ / "l.log"))
      lines.push_back(testing_support::Unstamped(line));
    return lines;
  }

  testing_support::TempDir dir_;
  service::ServiceState state_;
  service::Router router_{state_};
  FakeQueue queue_;
};

ScriptedRequest Get(std::string query, uint32_t record_size = platform::kRequestRecordSize + 64) {
  ScriptedRequest r;
  r.query = std::move(query);
  r.record_size = record_size;
  return r;
}

TEST_F(RequestLoopTest, LargeHeadersAreReceivedAgainIntoAGrownBuffer) {
  queue_.Add(Get("?action=checkLs"));
  queue_.Add(Get("?action=version", 9000));
  queue_.Add(Get("?action=checkLs", 3000));  // fits: the buffer never shrinks
  EXPECT_EQ(service::RequestLoop(queue_, router_, state_.log), platform::kHttpOperationAborted);
  ASSERT_EQ(queue_.sent.size(), 3u);
  EXPECT_EQ(queue_.sent[1].body, R"({"status":"OK","version":"2.3.0"})");
  const std::vector<std::pair<uint64_t, std::size_t>> calls = {
      {0, 2520}, {0, 2520}, {2, 9000}, {0, 9000}, {0, 9000}};
  EXPECT_EQ(queue_.receive_calls, calls);
}

TEST_F(RequestLoopTest, ClientGoneDuringRetryMovesOnToTheNextRequest) {
  queue_.Add(Get("?action=version", 9000));
  queue_.Add(Get("?action=checkLs"));
  queue_.vanish_on_retry = true;
  EXPECT_EQ(service::RequestLoop(queue_, router_, state_.log), platform::kHttpOperationAborted);
  ASSERT_EQ(queue_.sent.size(), 1u);
  EXPECT_EQ(queue_.sent[0].body, R"({"status":"OK"})");
}

TEST_F(RequestLoopTest, HandlerFailuresAreLoggedAsResponseStatus) {
  ScriptedRequest post;
  post.verb = "POST";
  post.query = "?action=getDocSign";
  post.more_entity_body = true;
  post.body_failure = platform::kHttpConnectionInvalid;
  queue_.Add(post);
  queue_.Add(Get("?action=checkLs"));
  queue_.send_result = 0;
  EXPECT_EQ(service::RequestLoop(queue_, router_, state_.log), platform::kHttpOperationAborted);
  const auto lines = LogLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Response status | 4CD"), lines.end());
  EXPECT_EQ(lines.back(), "Get request ok | ?action=checkLs");
}

}  // namespace
