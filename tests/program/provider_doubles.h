#pragma once
// Doubles around the real token components for the provider tests: a
// scripted token dialog, a fixed request, the log file through the program's
// event codes, and the linked components with single calls replaced.

#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "providers/linked_components.h"
#include "providers/provider.h"
#include "providers/token_dialog.h"
#include "service/event_log.h"
#include "temp_dir.h"

namespace provider_testing {

// Answers in order; an empty password, or none left, is Cancel.
class ScriptedDialog final : public providers::TokenDialog {
 public:
  providers::TokenDialogAnswer ShowTokenDialog(const providers::TokenDialogRequest& request) override {
    std::lock_guard guard(mutex);
    asked.push_back(request);
    if (answers.empty() || answers.front().empty()) {
      if (!answers.empty()) answers.pop_front();
      return {};
    }
    providers::TokenDialogAnswer answer{true, serial, providers::SecretText(answers.front())};
    answers.pop_front();
    return answer;
  }
  std::mutex mutex;
  std::string serial;
  std::deque<std::string> answers;
  std::vector<providers::TokenDialogRequest> asked;
};

class FixedRequest final : public providers::RequestContext {
 public:
  std::string Origin() const override { return origin; }
  int32_t AvestLoginMode() const override { return 0; }
  std::string origin = "https://bank.example";
};

class FileLog final : public providers::ProviderLog {
 public:
  explicit FileLog(const testing_support::TempDir& dir) { log.SetPaths(dir / "p.log", dir / "p.log1"); }
  void Event(int code, uint32_t value, const char* message) override {
    log.LogEvent(code, message ? std::optional(QString::fromLatin1(message)) : std::nullopt,
                 service::LogValue::Hex(value));
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const auto& line : testing_support::ReadLines(log.log_file()))
      lines.push_back(testing_support::Unstamped(line));
    return lines;
  }
  service::EventLog log;
};

// A middleware record as the middleware makes them (released by its free).
inline ZORVIKCASE* Record(int32_t status, const std::string& data = {}) {
  auto* record = static_cast<ZORVIKCASE*>(std::calloc(1, sizeof(ZORVIKCASE)));
  record->status = status;
  record->data = static_cast<unsigned char*>(std::calloc(data.size() + 1, 1));
  std::memcpy(record->data, data.data(), data.size());
  record->data_len = static_cast<int32_t>(data.size());
  return record;
}

// The linked components; a set hook replaces its call.
class Components final : public providers::TokenComponents {
 public:
  std::function<ZORVIKCASE*(const char*, const char*)> auth_user;
  std::function<ZORVIKCASE*(const char*, int32_t, int32_t)> read_data;
  std::function<ZORVIKCASE*()> process_p7s;
  std::function<int32_t(unsigned char*, uint32_t*)> sign_zorvik2;
  std::function<uint32_t(unsigned char*, uint32_t*)> sign_avest;
  int auth_calls = 0;

  ZORVIKCASE* AuthUser(const char* serial, const char* password) override {
    ++auth_calls;
    return auth_user ? auth_user(serial, password) : linked.AuthUser(serial, password);
  }
  ZORVIKCASE* DeAuthUser() override { return linked.DeAuthUser(); }
  ZORVIKCASE* ReadData(const char* serial, int32_t offset, int32_t length) override {
    return read_data ? read_data(serial, offset, length) : linked.ReadData(serial, offset, length);
  }
  ZORVIKCASE* GetSerialNumber() override { return linked.GetSerialNumber(); }
  ZORVIKCASE* ChangeUserPassword(const char* serial, const char* old_password,
                                 const char* new_password) override {
    return linked.ChangeUserPassword(serial, old_password, new_password);
  }
  ZORVIKCASE* ProcessP7S(const unsigned char* block, int32_t block_len, const unsigned char* p7s,
                         int32_t p7s_len) override {
    return process_p7s ? process_p7s() : linked.ProcessP7S(block, block_len, p7s, p7s_len);
  }
  void FreeRecord(ZORVIKCASE* record) override { linked.FreeRecord(record); }
  int32_t SignZorvik(const char* folder, const char* path, const char* password) override {
    return linked.SignZorvik(folder, path, password);
  }
  int32_t SignZorvik2(const unsigned char* cms, int32_t cms_len, unsigned char* output,
                      uint32_t* output_len) override {
    return sign_zorvik2 ? sign_zorvik2(output, output_len)
                        : linked.SignZorvik2(cms, cms_len, output, output_len);
  }
  uint32_t SignAvest(PEXLO_AVCMSIGN sign, void* session, const unsigned char* data,
                     uint32_t data_len, unsigned char* output, uint32_t* output_len,
                     uint32_t flags) override {
    return sign_avest ? sign_avest(output, output_len)
                      : linked.SignAvest(sign, session, data, data_len, output, output_len, flags);
  }

  providers::LinkedComponents linked;
};

}  // namespace provider_testing
