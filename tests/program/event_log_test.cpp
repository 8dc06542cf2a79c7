#include "service/event_log.h"

#include <filesystem>
#include <cctype>

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace {

using service::EventLog;
using service::LogValue;
using testing_support::ReadLines;
using testing_support::TempDir;
using testing_support::Unstamped;

// "[dd.mm.yyyy hh:mm:ss]: " at the start of the line.
bool HasTimeStamp(const std::string& line) {
  const std::string shape = "[00.00.0000 00:00:00]: ";
  if (line.size() < shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const bool digit = std::isdigit(static_cast<unsigned char>(line[i])) != 0;
    if (shape[i] == '0' ? !digit : line[i] != shape[i]) return false;
  }
  return true;
}

class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override { log_.SetPaths(dir_ / "app.log", dir_ / "app.log1"); }
  std::vector<std::string> Lines() { return ReadLines(dir_ / "app.log"); }

  TempDir dir_;
  EventLog log_;
};

TEST_F(EventLogTest, LineHasTimeStampTitleValueAndMessageInThatOrder) {
  struct Case {
    std::optional<QString> title;
    std::optional<QString> message;
    LogValue value;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {QStringLiteral("Response status"), std::nullopt, LogValue::Hex(200), "Response status | C8"},
      {QStringLiteral("Read bytes "), std::nullopt, LogValue::Decimal(0), "Read bytes  | 0"},
      {QStringLiteral("Read bytes "), std::nullopt, LogValue::Decimal(-5), "Read bytes  | -5"},
      {QStringLiteral("Sign failed"), std::nullopt, LogValue::None(), "Sign failed"},
      {QStringLiteral("T"), QStringLiteral("msg"), LogValue::Hex(0xFFFFFFFF),
       "T | FFFFFFFF | Return message: msg"},
      {QStringLiteral("T"), QStringLiteral("msg"), LogValue::Text(QStringLiteral("?a=б")),
       "T | ?a=б | Return message: msg"},
      {std::nullopt, std::nullopt, LogValue::Decimal(7), " | 7"},
  };
  for (const Case& c : cases) EXPECT_EQ(log_.WriteLog(c.title, c.message, c.value), 0);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_TRUE(HasTimeStamp(lines[i])) << lines[i];
    EXPECT_EQ(Unstamped(lines[i]), cases[i].expected);
  }
}

TEST_F(EventLogTest, EventCodesChooseTitleValueKindAndMessage) {
  const auto text = LogValue::Text(QStringLiteral("?action=x"));
  log_.LogEvent(2, QStringLiteral("why"), text);
  log_.LogEvent(4, QStringLiteral("dropped"), LogValue::Decimal(12));
  log_.LogEvent(8, QStringLiteral("dropped"), text);
  log_.LogEvent(32, QStringLiteral("invalid password"), text);
  log_.LogEvent(72, std::nullopt, LogValue::Hex(1229));
  log_.LogEvent(18, std::nullopt, LogValue::Text(QStringLiteral("AvCryptMail.dll")));
  log_.LogEvent(999, QStringLiteral("x"), text);
  const std::vector<std::string> expected = {
      "Invalid post request | ?action=x | Return message: why",
      "Read bytes  | 12",
      "Post request data missing | ?action=x",
      "Sign failed | Return message: invalid password",
      "Response status | 4CD",
      "Avest dll load failed | AvCryptMail.dll",
      "Invalid log",
  };
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(Unstamped(lines[i]), expected[i]);
}

TEST_F(EventLogTest, RotatesAtExactlyTheThreshold) {
  for (const long long size : {service::kLogRotationSize - 1, service::kLogRotationSize}) {
    std::filesystem::remove(dir_ / "app.log1");
    testing_support::WriteFile(dir_ / "app.log", "");
    std::filesystem::resize_file(dir_ / "app.log", static_cast<std::uintmax_t>(size));
    log_.LogEvent(33);
    const bool rotated = size >= service::kLogRotationSize;
    EXPECT_EQ(std::filesystem::exists(dir_ / "app.log1"), rotated) << size;
    if (rotated) {
      EXPECT_EQ(std::filesystem::file_size(dir_ / "app.log1"), static_cast<std::uintmax_t>(size));
      ASSERT_EQ(Lines().size(), 1u);
      EXPECT_EQ(Unstamped(Lines()[0]), "Request string is empty");
    } else {
      EXPECT_GT(std::filesystem::file_size(dir_ / "app.log"), static_cast<std::uintmax_t>(size));
    }
  }
}

TEST_F(EventLogTest, DeletedFileIsCreatedAgainAndUnwritableFileReports100) {
  log_.LogEvent(33);
  std::filesystem::remove(dir_ / "app.log");
  log_.LogEvent(33);
  EXPECT_EQ(Lines().size(), 1u);

  EventLog nowhere;
  nowhere.SetPaths(dir_ / "missing/app.log", dir_ / "missing/app.log1");
  EXPECT_EQ(nowhere.WriteLog(QStringLiteral("x"), std::nullopt, LogValue::None()), 100);
}

TEST_F(EventLogTest, EntriesFromManyThreadsStayWholeLines) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([this] {
      for (int i = 0; i < 200; ++i)
        log_.LogEvent(36, QStringLiteral("2.3.0"), LogValue::Text(QString(300, u'x')));
    });
  for (auto& thread : threads) thread.join();
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 800u);
  const std::string expected =
      "Get request ok | " + std::string(300, 'x') + " | Return message: 2.3.0";
  for (const auto& line : lines) ASSERT_EQ(Unstamped(line), expected);
}

}  // namespace
