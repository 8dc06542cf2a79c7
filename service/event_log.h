#pragma once
// The support log file (English entries, rotated by size) and the time stamps
// shared with the main window's event list.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include <QString>

namespace service {

// A log file this large is renamed to the previous log before the next entry.
inline constexpr long long kLogRotationSize = 26'214'400;

struct LogValue {
  enum class Kind { kText = 0, kDecimal = 1, kHex = 2 };
  Kind kind = Kind::kText;
  std::optional<QString> text;
  int32_t number = 0;

  static LogValue None() { return {}; }
  static LogValue Text(QString value) { return {Kind::kText, std::move(value), 0}; }
  static LogValue Decimal(int32_t value) { return {Kind::kDecimal, std::nullopt, value}; }
  static LogValue Hex(uint32_t value) {
    return {Kind::kHex, std::nullopt, static_cast<int32_t>(value)};
  }
};

// "[dd.mm.yyyy hh:mm:ss]: " in local time.
QString TimeStamp();
// An event-list line: the time stamp and the message.
QString StampedListLine(const QString& message);

class EventLog {
 public:
  void SetPaths(std::string log_file, std::string previous_log_file);
  const std::string& log_file() const { return log_file_; }

  // 0 when the entry was written, 100 when the log file cannot be opened.
  int WriteLog(const std::optional<QString>& title, const std::optional<QString>& return_message,
               const LogValue& value);
  // The entry that belongs to an event code; the code fixes title and value kind.
  int LogEvent(int code, const std::optional<QString>& return_message = std::nullopt,
               const LogValue& value = LogValue::None());

 private:
  std::mutex mutex_;  // entries from both threads stay whole lines
  std::string log_file_;
  std::string previous_log_file_;
};

}  // namespace service
