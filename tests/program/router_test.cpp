#include "service/router.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "fake_queue.h"
#include "service/reply.h"
#include "temp_dir.h"

namespace {

using testing_support::FakeQueue;
using testing_support::ScriptedRequest;
using testing_support::TempDir;
using testing_support::Unstamped;

class FakeProvider : public providers::SigningProvider {
 public:
  uint32_t Sign(char* output, uint32_t* length, const char* body, uint32_t size) override {
    if (throws) throw std::runtime_error("provider failed");
    received.assign(body, size);
    capacity = *length;
    const std::size_t n = std::min<std::size_t>(signature.size(), *length);
    std::copy_n(signature.data(), n, output);
    *length = static_cast<uint32_t>(n);
    return result;
  }
  void Forget() override { ++forgotten; }

  uint32_t result = 0;
  bool throws = false;
  std::string signature = "U0lH";
  std::string received;
  uint32_t capacity = 0;
  int forgotten = 0;
};

class RouterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.log.SetPaths(dir_ / "r.log", dir_ / "r.log1");
    state_.providers.Register(providers::Zorvik2Name(), &provider_);
    state_.active_provider.set(providers::Zorvik2Name());
  }
  // Routes one request and returns the JSON body of its reply.
  std::string Run(ScriptedRequest request) {
    const uint64_t id = queue_.Add(std::move(request));
    const auto record = queue_.Record(id);
    result_ = router_.Route(queue_, record);
    return queue_.sent.empty() ? std::string("<none>") : queue_.sent.back().body;
  }
  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    for (const auto& line : testing_support::ReadLines(dir_ / "r.log"))
      lines.push_back(Unstamped(line));
    return lines;
  }
  static ScriptedRequest Post(std::string body, std::string query = "?action=getDocSign") {
    ScriptedRequest r;
    r.verb = "POST";
    r.query = std::move(query);
    r.has_content_length = true;
    r.content_length = std::to_string(body.size());
    r.more_entity_body = !body.empty();
    r.body_pieces = {std::move(body)};
    return r;
  }

  TempDir dir_;
  service::ServiceState state_;
  FakeProvider provider_;
  service::Router router_{state_};
  FakeQueue queue_;
  uint32_t result_ = 0;
};

TEST_F(RouterTest, GetActionsAndQueryEdgeCases) {
  struct Case {
    bool has_query;
    std::string query;
    std::string reply;
    std::string log;
  };
  const std::string invalid = R"({"error":"invalid request","status":"OK"})";
  const std::vector<Case> cases = {
      {true, "?action=checkLs", R"({"status":"OK"})", "Get request ok | ?action=checkLs"},
      {true, "?action=version", R"({"status":"OK","version":"2.3.0"})",
       "Get request ok | ?action=version | Return message: 2.3.0"},
      {true, "?action=forget", R"({"status":"OK"})", "Get request ok | ?action=forget"},
      {false, "", invalid, "Request string is empty"},
      {true, "?action=Version", invalid,
       "Invalid get request | ?action=Version | Return message: invalid get request"},
      {true, "?action=version&x=1", invalid,
       "Invalid get request | ?action=version&x=1 | Return message: invalid get request"},
      {true, "?action=", invalid,
       "Invalid get request | ?action= | Return message: invalid get request"},
      {true, "?", invalid, "Invalid get request | ? | Return message: expected ?action="},
      {true, "?Action=checkLs", invalid,
       "Invalid get request | ?Action=checkLs | Return message: expected ?action="},
      {true, "?x=1&action=checkLs", invalid,
       "Invalid get request | ?x=1&action=checkLs | Return message: expected ?action="},
  };
  for (const Case& c : cases) {
    ScriptedRequest r;
    r.has_query = c.has_query;
    r.query = c.query;
    EXPECT_EQ(Run(r), c.reply) << c.query;
    EXPECT_EQ(LogLines().back(), c.log);
  }
  EXPECT_EQ(provider_.forgotten, 1);
}

TEST_F(RouterTest, ReplyCarriesStatus200JsonAndCorsHeadersInOrder) {
  ScriptedRequest r;
  r.query = "?action=checkLs";
  Run(r);
  const auto& sent = queue_.sent.back();
  EXPECT_EQ(sent.status, 200);
  ASSERT_EQ(sent.known_headers.size(), 2u);
  EXPECT_EQ(sent.known_headers[0].name, "Cache-Control");
  EXPECT_EQ(sent.known_headers[0].value, "no-cache, no-store");
  EXPECT_EQ(sent.known_headers[1].value, "application/json, charset=UTF-8");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Access-Control-Allow-Headers", "Content-Type"},
      {"Access-Control-Allow-Credentials", "true"},
      {"Access-Control-Allow-Origin", "*"},
      {"Access-Control-Allow-Methods", "POST, GET, OPTIONS"}};
  ASSERT_EQ(sent.unknown_headers.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(sent.unknown_headers[i].name, expected[i].first);
    EXPECT_EQ(sent.unknown_headers[i].value, expected[i].second);
  }
}

TEST_F(RouterTest, PreflightIsAnsweredAndOtherVerbsRefused) {
  state_.origins.SetAllowed({"https://bank.example"});
  ScriptedRequest options;
  options.verb = "OPTIONS";
  options.unknown_headers = {{"Origin", "https://bank.example"}};
  EXPECT_EQ(Run(options), "");
  EXPECT_EQ(queue_.sent.back().status, 200);
  const auto& headers = queue_.sent.back().unknown_headers;
  EXPECT_EQ(headers.front().value, "Content-Type, option");
  EXPECT_EQ(headers[2].value, "https://bank.example");
  EXPECT_EQ(headers.back().name, "Access-Control-Allow-Private-Network");
  // Without an origin (a program of the user's): no private-network permission.
  options.unknown_headers.clear();
  Run(options);
  EXPECT_EQ(queue_.sent.back().unknown_headers.back().name, "Access-Control-Allow-Methods");
  ScriptedRequest put;
  put.verb = "PUT";
  Run(put);
  EXPECT_EQ(queue_.sent.back().status, 405);
  EXPECT_EQ(queue_.sent.back().known_headers.front().name, "Allow");
}

// A page of an allowed origin gets its own origin back; a refused request
// gets 403 without cross-origin headers, a log line naming its origin, and
// changes nothing: no signature, no forget, no login mode.
TEST_F(RouterTest, OnlyAllowedPagesAndOwnProgramsHaveAnEffect) {
  state_.origins.SetAllowed({"https://bank.example"});
  ScriptedRequest allowed = Post("QUJD");
  allowed.unknown_headers = {{"Origin", "https://bank.example"}, {"option", "9"}};
  EXPECT_EQ(Run(allowed), R"({"sign":"U0lH","status":"OK","tokenId":"Zorvik"})");
  const auto& headers = queue_.sent.back().unknown_headers;
  EXPECT_EQ(headers[2].value, "https://bank.example");
  EXPECT_EQ(headers.back().name, "Vary");
  EXPECT_EQ(state_.avest_login_mode.load(), 9);

  struct Case {
    ScriptedRequest request;
    std::string log;
  };
  ScriptedRequest foreign_post = Post("QUJD");
  foreign_post.unknown_headers = {{"Origin", "https://evil.example"}, {"option", "1"}};
  ScriptedRequest image_forget;
  image_forget.query = "?action=forget";
  image_forget.unknown_headers = {{"Sec-Fetch-Dest", "image"}};
  ScriptedRequest rebinding;
  rebinding.query = "?action=checkLs";
  rebinding.has_host = true;
  rebinding.host = "evil.example:7887";
  const std::vector<Case> cases = {
      {foreign_post, "Request refused | https://evil.example | Return message: origin not allowed"},
      {image_forget,
       "Request refused | ?action=forget | Return message: browser request without an origin"},
      {rebinding,
       "Request refused | evil.example:7887 | Return message: host is not this computer"},
  };
  provider_.received.clear();
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.request), "");
    EXPECT_EQ(queue_.sent.back().status, 403);
    EXPECT_TRUE(queue_.sent.back().unknown_headers.empty());
    EXPECT_EQ(LogLines().back(), c.log);
  }
  EXPECT_TRUE(provider_.received.empty());
  EXPECT_EQ(provider_.forgotten, 0);
  EXPECT_EQ(state_.avest_login_mode.load(), 9);
}

TEST_F(RouterTest, SignedReplyNamesTheTransliteratedProvider) {
  EXPECT_EQ(Run(Post("QUJD")), R"({"sign":"U0lH","status":"OK","tokenId":"Zorvik"})");
  EXPECT_EQ(provider_.received, "QUJD");
  EXPECT_EQ(provider_.capacity, service::kSignOutputSize);
  const auto lines = LogLines();
  EXPECT_EQ(lines[lines.size() - 2], "Post request data reading | ?action=getDocSign");
  EXPECT_EQ(lines.back(), "Read bytes  | 4");
}

TEST_F(RouterTest, SigningResultsMapToReplies) {
  struct Case {
    uint32_t result;
    std::string reply;
    std::string log;
  };
  const std::vector<Case> cases = {
      {1, R"({"error":"Zorvik sign.exe missing","errorCode":111,"status":"OK"})", "exe missing"},
      {37, R"({"error":"Password missing","errorCode":100,"status":"OK"})", "no Zorvik tokens"},
      {38, R"({"error":"password invalid","errorCode":101,"status":"OK"})", "invalid password"},
      {40, R"({"error":"Zorvik key expired","errorCode":113,"status":"OK"})", "key expired"},
      {256, R"({"error":"create tempfile error","status":"OK"})", "tempfile creation error"},
      {0xFF01, R"({"error":"AvCryptMail.dll load error","errorCode":333,"status":"OK"})",
       "avest dll error"},
      {0xFF02, R"({"error":"Avest error","errorCode":222,"status":"OK"})", "avest error"},
      {0xFF05, R"({"error":"Avest error","errorCode":222,"status":"OK"})", "avest error"},
      {0xFF30, R"({"error":"Zorvik2 error","errorCode":222,"status":"OK"})", "Zorvik2 login error"},
      {0xFF31, R"({"error":"Zorvik2 error","errorCode":222,"status":"OK"})", "Zorvik2 sign error"},
      {3844, R"({"error":"signing error","status":"OK"})", "unknown signing error, check retcodes"},
      {0xFF06, R"({"error":"signing error","status":"OK"})",
       "unknown signing error, check retcodes"},
  };
  for (const Case& c : cases) {
    provider_.result = c.result;
    EXPECT_EQ(Run(Post("QUJD")), c.reply) << c.result;
    EXPECT_EQ(LogLines().back(), "Sign failed | Return message: " + c.log);
  }
}

TEST_F(RouterTest, PostRefusalsBeforeSigning) {
  const std::string invalid = R"({"error":"invalid request","status":"OK"})";
  EXPECT_EQ(Run(Post("QUJD", "?action=getdocsign")), invalid);
  EXPECT_EQ(LogLines().back(),
            "Invalid post request | ?action=getdocsign | Return message: invalid post request");
  EXPECT_EQ(Run(Post("QUJD", "?do=getDocSign")), invalid);
  EXPECT_EQ(LogLines().back(),
            "Invalid post request | ?do=getDocSign | Return message: expected ?action=");

  // Content-Length 0: no body at all.
  EXPECT_EQ(Run(Post("")), R"({"error":"data missing","errorCode":200,"status":"OK"})");
  EXPECT_EQ(LogLines().back(), "Post request data missing | ?action=getDocSign");

  // A body that turns out empty (chunked, no length).
  ScriptedRequest empty = Post("");
  empty.has_content_length = false;
  empty.more_entity_body = true;
  EXPECT_EQ(Run(empty), R"({"error":"password invalid","errorCode":101,"status":"OK"})");

  // No provider signs under an unknown or empty name.
  state_.active_provider.set(QString());
  EXPECT_EQ(Run(Post("QUJD")), R"({"error":"signing error","status":"OK"})");
  EXPECT_TRUE(provider_.received.empty());
}

TEST_F(RouterTest, BodyLimitRefusesLargeAnnouncementsAndOverlongBodies) {
  const std::string invalid = R"({"error":"invalid request","status":"OK"})";
  ScriptedRequest huge = Post("QUJD");
  huge.content_length = std::to_string(service::kMaxPostBody + 1);
  EXPECT_EQ(Run(huge), invalid);
  EXPECT_EQ(LogLines().back(),
            "Invalid post request | ?action=getDocSign | Return message: request body too large");

  ScriptedRequest at_limit = Post(std::string(service::kMaxPostBody, 'A'));
  EXPECT_EQ(Run(at_limit), R"({"sign":"U0lH","status":"OK","tokenId":"Zorvik"})");
  EXPECT_EQ(provider_.received.size(), service::kMaxPostBody);

  // More body than announced.
  ScriptedRequest longer = Post("QUJDQUJD");
  longer.content_length = "4";
  EXPECT_EQ(Run(longer), invalid);

  // No length: the limit itself bounds the body.
  ScriptedRequest chunked = Post(std::string(service::kMaxPostBody + 1, 'A'));
  chunked.has_content_length = false;
  EXPECT_EQ(Run(chunked), invalid);

  // The HTTP layer kept no body: nothing is read or signed.
  provider_.received.clear();
  ScriptedRequest dropped = Post("QUJD");
  dropped.has_content_length = false;
  dropped.body_too_large = true;
  EXPECT_EQ(Run(dropped), invalid);
  EXPECT_EQ(LogLines().back(),
            "Invalid post request | ?action=getDocSign | Return message: request body too large");
  EXPECT_TRUE(provider_.received.empty());
}

TEST_F(RouterTest, BodyReadFailureSendsNothingAndReturnsTheCode) {
  ScriptedRequest gone = Post("QUJD");
  gone.body_failure = platform::kHttpConnectionInvalid;
  EXPECT_EQ(Run(gone), "<none>");
  EXPECT_EQ(result_, platform::kHttpConnectionInvalid);
}

TEST_F(RouterTest, LastOptionHeaderSetsAvestLoginModeWhenValid) {
  struct Case {
    std::vector<std::string> values;
    int32_t expected;
  };
  const std::vector<Case> cases = {{{"8"}, 8},   {{"8", "5"}, 8}, {{"5", "9"}, 9}, {{"1x"}, 1},
                                   {{"abc"}, 1}, {{" 8"}, 8},     {{}, 8},         {{"0"}, 8}};
  for (const Case& c : cases) {
    ScriptedRequest r = Post("QUJD");
    for (const auto& value : c.values) r.unknown_headers.emplace_back("option", value);
    r.unknown_headers.emplace_back("Option", "9");  // the name is case-sensitive
    Run(r);
    EXPECT_EQ(state_.avest_login_mode.load(), c.expected);
  }
}

// What a provider hands back goes out as JSON: anything but base64 text, and
// anything a provider throws, becomes the signing-error reply with a log
// line, and the program goes on.
TEST_F(RouterTest, ProviderOutputThatIsNoBase64OrThrowsIsASigningError) {
  const std::string error = R"({"error":"signing error","status":"OK"})";
  const struct {
    std::string signature;
    bool throws;
    std::string log;
  } cases[] = {
      {"\xff\xfe", false, "Sign failed | Return message: signature is not base64 text"},
      {"QUJD\n", false, "Sign failed | Return message: signature is not base64 text"},
      {"U0lH", true, "Request failed | Return message: provider failed"},
  };
  for (const auto& c : cases) {
    provider_.signature = c.signature;
    provider_.throws = c.throws;
    EXPECT_EQ(Run(Post("QUJD")), error);
    EXPECT_EQ(result_, 0u);
    EXPECT_EQ(LogLines().back(), c.log);
  }
}

TEST(ReplyTest, EveryReplyCodeBuildsItsMembers) {
  using service::BuildReply;
  EXPECT_EQ(BuildReply(0, "", ""), R"({"status":"OK"})");
  EXPECT_EQ(BuildReply(1, "", ""), R"({"status":"OK","version":"2.3.0"})");
  EXPECT_EQ(BuildReply(3843, "a+/=", "Avest"),
            R"({"sign":"a+/=","status":"OK","tokenId":"Avest"})");
  EXPECT_EQ(BuildReply(3852, "", ""), R"({"error":"Zorvik2 error","errorCode":222,"status":"OK"})");
  EXPECT_EQ(BuildReply(3853, "", ""), R"({"error":"Avest error","errorCode":222,"status":"OK"})");
  EXPECT_EQ(BuildReply(3845, "", ""), R"({"status":"OK"})");
  EXPECT_EQ(BuildReply(3851, "", ""), R"({"status":"OK"})");
}

}  // namespace
