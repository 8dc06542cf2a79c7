#include "service/origin_policy.h"

#include <gtest/gtest.h>

namespace {

using Kind = service::RequestCaller::Kind;

TEST(OriginPolicyTest, OriginsAndHostsAreReadAsBrowsersSendThem) {
  const std::pair<std::string, std::string> origins[] = {
      {"https://bank.example", "https://bank.example"},
      {"HTTPS://Bank.Example/", "https://bank.example"},
      {"https://bank.example:443", "https://bank.example"},
      {"http://127.0.0.1:8787", "http://127.0.0.1:8787"},
      {"http://[::1]:80", "http://[::1]"},
      {"https://bank.example/path", ""},
      {"ftp://bank.example", ""},
      {"https://", ""},
      {"https://bank.example:", ""},
      {"https://bank.example:44x", ""},
      {"https://user@bank.example", ""},
      {"null", ""},
  };
  for (const auto& [text, origin] : origins)
    EXPECT_EQ(service::NormalizeOrigin(text), origin) << text;
  EXPECT_EQ(service::OriginOf("https://ibank.bank.example/login?x=1"),
            "https://ibank.bank.example");

  const std::pair<std::string, bool> hosts[] = {
      {"localhost", true},
      {"LOCALHOST:7887", true},
      {"127.0.0.1:7887", true},
      {"[::1]:7887", true},
      {"[::1]", true},
      {"localhost.evil.example", false},
      {"evil.example:7887", false},
      {"127.0.0.2", false},
      {"localhost:", false},
      {"localhost,localhost", false},
      {"", false},
  };
  for (const auto& [host, loopback] : hosts)
    EXPECT_EQ(service::IsLoopbackHost(host), loopback) << host;
}

TEST(OriginPolicyTest, BrowsersOutsideTheAllowedOriginsAreRefused) {
  service::OriginPolicy policy;
  EXPECT_EQ(policy.SetAllowed({"https://bank.example", "http://127.0.0.1:8787", "bank.example"}),
            std::vector<std::string>{"bank.example"});
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> headers;
    const char* host;  // null: no Host header
    Kind kind;
  };
  const std::vector<Case> cases = {
      {"the bank's page",
       {{"Origin", "https://bank.example"}},
       "localhost:7887",
       Kind::kAllowedPage},
      {"the demo page",
       {{"origin", "http://127.0.0.1:8787"}, {"Sec-Fetch-Mode", "cors"}},
       "127.0.0.1:7887",
       Kind::kAllowedPage},
      {"a program of the user's", {}, "localhost:7887", Kind::kOwnProgram},
      {"a program without Host", {}, nullptr, Kind::kOwnProgram},
      {"another site's script", {{"Origin", "https://evil.example"}}, "localhost", Kind::kRefused},
      {"an origin of another case",
       {{"Origin", "https://Bank.example"}},
       "localhost",
       Kind::kRefused},
      {"a sandboxed frame", {{"Origin", "null"}}, "localhost", Kind::kRefused},
      {"two origins",
       {{"Origin", "https://bank.example"}, {"Origin", "https://evil.example"}},
       "localhost",
       Kind::kRefused},
      {"an image tag",
       {{"Sec-Fetch-Dest", "image"}, {"Sec-Fetch-Mode", "no-cors"}},
       "localhost",
       Kind::kRefused},
      {"a navigation", {{"Sec-Fetch-Mode", "navigate"}}, "localhost:7887", Kind::kRefused},
      {"DNS rebinding", {{"Origin", "https://bank.example"}}, "evil.example:7887", Kind::kRefused},
      {"rebinding from a program", {}, "evil.example", Kind::kRefused},
  };
  for (const Case& c : cases) {
    platform::HttpRequestRecord request;
    for (const auto& [name, value] : c.headers) request.unknown_headers.emplace_back(name, value);
    request.has_host = c.host != nullptr;
    if (c.host != nullptr) request.host = c.host;
    const auto caller = policy.Classify(request);
    EXPECT_EQ(caller.kind, c.kind) << c.what;
    EXPECT_EQ(caller.reason != nullptr, c.kind == Kind::kRefused) << c.what;
  }
}

}  // namespace
