#pragma once
// The real program as a user runs it, offscreen, with a folder and
// certificate of its own, serving on port 7887.

#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_process.h"
#include "temp_dir.h"
#include "tls_client.h"

namespace testing_support {

inline constexpr int kPort = 7887;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.path() / "config/Tavrik_Server_Crypt");
    ASSERT_TRUE(testing_support::MakeCertificate(dir_ / "config/Tavrik_Server_Crypt"));
    folder_ = dir_ / ("tmp/Tavrik_Server_Crypt-" + std::to_string(getuid()));
    std::filesystem::create_directories(folder_);
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    folder_ += "/";
  }

  std::unique_ptr<ProgramProcess> Launch(const std::string& provider,
                                         bool wait_until_serving = true,
                                         const std::string& stderr_name = "stderr.txt",
                                         std::map<std::string, std::string> extra = {}) {
    testing_support::WriteFile(dir_ / "config/Tavrik_Server_Crypt/Ferrox_Tavrik_Server_Crypt.ini",
                               "[Tavrik_Server_Crypt Settings]\ndefaultProvider=" + provider +
                                   "\nallowedOrigins=https://bank.example\n");
    extra["QT_QPA_PLATFORM"] = "offscreen";
    // No human answers here: unless a test gives an answer, a token dialog is cancelled.
    extra.try_emplace("TAVRIK_TEST_DIALOG_ANSWER", dir_ / "no-answer");
    extra["TMPDIR"] = dir_ / "tmp";
    extra["XDG_CONFIG_HOME"] = dir_ / "config";
    extra["XDG_RUNTIME_DIR"] = dir_.path().string();
    extra["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=/nonexistent/tavrik-test-bus";  // no logind
    auto process = std::make_unique<ProgramProcess>(TAVRIK_PROGRAM, extra, dir_ / stderr_name);
    if (wait_until_serving) {
      for (int i = 0; i < 250 && Get("?action=checkLs").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return process;
  }
  static std::string Get(const std::string& target, const std::string& extra = "") {
    return testing_support::Curl(kPort, "/" + target, extra).output;
  }
  static std::string Post(const std::string& target, const std::string& extra) {
    return testing_support::Curl(kPort, "/" + target, "-X POST " + extra).output;
  }
  std::vector<std::string> LogLines(const std::string& name = "Tavrik_Server_Crypt_Z.log") {
    std::vector<std::string> lines;
    for (const auto& line : testing_support::ReadLines(folder_ + name))
      lines.push_back(testing_support::Unstamped(line));
    return lines;
  }
  bool Logged(const std::string& line) {
    const auto lines = LogLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  TempDir dir_;
  std::string folder_;
};

}  // namespace testing_support
