#include "service/event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <ctime>

namespace service {
namespace {

enum class ValueUse { kNone, kText, kDecimal, kHex };
enum class MessageUse { kNone, kCallers };

struct EventEntry {
  int code;
  const char* title;
  ValueUse value;
  MessageUse message;
};

constexpr std::array<EventEntry, 18> kEvents = {{
    {2, "Invalid post request", ValueUse::kText, MessageUse::kCallers},
    {4, "Read bytes ", ValueUse::kDecimal, MessageUse::kNone},
    {8, "Post request data missing", ValueUse::kText, MessageUse::kNone},
    {16, "Post request data reading", ValueUse::kText, MessageUse::kNone},
    {17, "AvCmInitEx retCode", ValueUse::kHex, MessageUse::kNone},
    {18, "Avest dll load failed", ValueUse::kText, MessageUse::kNone},
    {20, "AvCmLogin retCode", ValueUse::kHex, MessageUse::kNone},
    {24, "AvCmSign retCode", ValueUse::kHex, MessageUse::kNone},
    {32, "Sign failed", ValueUse::kNone, MessageUse::kCallers},
    {33, "Request string is empty", ValueUse::kNone, MessageUse::kNone},
    {34, "Invalid get request", ValueUse::kText, MessageUse::kCallers},
    {36, "Get request ok", ValueUse::kText, MessageUse::kCallers},
    {40, "AvCmLogout retCode", ValueUse::kHex, MessageUse::kNone},
    {64, "Zorvik exec retCode", ValueUse::kHex, MessageUse::kNone},
    {72, "Response status", ValueUse::kHex, MessageUse::kNone},
    {80, "Zorvik2 login retCode", ValueUse::kHex, MessageUse::kNone},
    {82, "Zorvik2 sign retCode", ValueUse::kHex, MessageUse::kCallers},
    {84, "Zorvik2 logout retCode", ValueUse::kHex, MessageUse::kNone},
}};

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

QString TimeStamp() {
  const std::tm t = LocalNow();
  return QString::asprintf("[%02d.%02d.%d %02d:%02d:%02d]: ", t.tm_mday, t.tm_mon + 1,
                           t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
}

QString StampedListLine(const QString& message) {
  return TimeStamp() + message;
}

void EventLog::SetPaths(std::string log_file, std::string previous_log_file) {
  std::lock_guard lock(mutex_);
  log_file_ = std::move(log_file);
  previous_log_file_ = std::move(previous_log_file);
}

int EventLog::WriteLog(const std::optional<QString>& title,
                       const std::optional<QString>& return_message, const LogValue& value) {
  std::lock_guard lock(mutex_);
  // One open-append-close cycle per entry; the size seen at open decides the rotation.
  int fd = open(log_file_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return 100;
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_size >= kLogRotationSize &&
      std::rename(log_file_.c_str(), previous_log_file_.c_str()) == 0) {
    close(fd);  // a failed rename appends to the full file and retries next time
    fd = open(log_file_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return 100;
  }

  QString line = TimeStamp();
  if (title) line += *title;
  switch (value.kind) {
    case LogValue::Kind::kDecimal:
      line += QStringLiteral(" | %1").arg(value.number);
      break;
    case LogValue::Kind::kHex:
      line += QStringLiteral(" | %1").arg(static_cast<uint32_t>(value.number), 0, 16).toUpper();
      break;
    case LogValue::Kind::kText:
      if (value.text) line += QStringLiteral(" | ") + *value.text;
      break;
  }
  if (return_message) line += QStringLiteral(" | Return message: ") + *return_message;
  line += u'\n';

  const QByteArray bytes = line.toUtf8();
  // One write call keeps the line whole even beside another writer of the file.
  const ssize_t written = write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size()));
  close(fd);
  static_cast<void>(written);
  return 0;
}

int EventLog::LogEvent(int code, const std::optional<QString>& return_message,
                       const LogValue& value) {
  for (const EventEntry& event : kEvents) {
    if (event.code != code) continue;
    LogValue written;
    switch (event.value) {
      case ValueUse::kNone:
        break;
      case ValueUse::kText:
        written = LogValue{LogValue::Kind::kText, value.text, 0};
        break;
      case ValueUse::kDecimal:
        written = LogValue::Decimal(value.number);
        break;
      case ValueUse::kHex:
        written = LogValue::Hex(static_cast<uint32_t>(value.number));
        break;
    }
    const auto message = event.message == MessageUse::kCallers ? return_message : std::nullopt;
    WriteLog(QString::fromLatin1(event.title), message, written);
    return 0;
  }
  WriteLog(QStringLiteral("Invalid log"), std::nullopt, LogValue::None());
  return 0;
}

}  // namespace service
