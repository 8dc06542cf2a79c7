#pragma once
// A main window over a real listener on a free port, in a folder of its own.

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "platform/user_folders.h"
#include "temp_dir.h"
#include "tls_client.h"

namespace gui_testing {

using testing_support::Curl;
using testing_support::TempDir;

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "program_gui_test";
    static char* argv[] = {name, nullptr};
    // No logind of the machine's: tests that want one start their own bus.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tavrik-test-bus", 1);
    application_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { application_.reset(); }

 private:
  std::unique_ptr<QApplication> application_;
};
inline const auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TMPDIR", dir_.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
    std::filesystem::create_directories(dir_ / "run");
    std::filesystem::permissions(dir_ / "run", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    ASSERT_TRUE(testing_support::MakeCertificate(dir_.path().string()));
    folder_ = platform::UserTempFolder();
    settings_folder_ = platform::UserSettingsFolder();
  }
  void TearDown() override {
    window_.reset();
    program_.reset();
    for (const char* name : {"TMPDIR", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) unsetenv(name);
  }
  void Launch(const std::string& settings) {
    testing_support::WriteFile(settings_folder_ + "Ferrox_Tavrik_Server_Crypt.ini", settings);
    program_ = std::make_unique<app::Program>();
    program_->listener_options.port = 0;  // never the real port
    program_->listener_options.certificate_file = dir_ / "server.crt";
    program_->listener_options.key_file = dir_ / "server.key";
    window_ = std::make_unique<app::CTavrik_Crypt_ServerDlg>(*program_);
    window_->InitMainWindow();
  }
  static std::string Settings(const std::string& provider,
                              const std::string& auto_start = "false") {
    return "[Tavrik_Server_Crypt Settings]\nautoStart=" + auto_start +
           "\ndefaultProvider=" + provider + "\n";
  }
  template <typename T>
  T* Control(int id) {
    return window_->findChild<T*>(QString::number(id));
  }
  std::vector<std::string> ListLines() {
    std::vector<std::string> lines;
    auto* list = Control<QListWidget>(app::kControlEventList);
    for (int i = 0; i < list->count(); ++i)
      lines.push_back(testing_support::Unstamped(list->item(i)->text().toStdString()));
    return lines;
  }
  std::string Answer(const std::string& query) {
    return Curl(program_->listener.port(), "/" + query).output;
  }
  bool Running() {
    return program_->server_running &&
           Control<QPushButton>(app::kControlStopButton)->isVisibleTo(window_.get()) &&
           !Control<QPushButton>(app::kControlStartButton)->isVisibleTo(window_.get());
  }

  TempDir dir_;
  std::string folder_;           // the temporary folder: logs
  std::string settings_folder_;  // the configuration folder: settings
  std::unique_ptr<app::Program> program_;
  std::unique_ptr<app::CTavrik_Crypt_ServerDlg> window_;
};

inline const std::string kHint =
    "В настройках Вы можете изменить носитель по умолчанию при старте приложения";

}  // namespace gui_testing
