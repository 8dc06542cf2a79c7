#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/library.h"
#include "platform/process_snapshot.h"
#include "platform/profile.h"
#include "platform/user_folders.h"
#include "temp_dir.h"

namespace {

using testing_support::TempDir;

class ScopedTmpdir {
 public:
  explicit ScopedTmpdir(const std::string& value) { setenv("TMPDIR", value.c_str(), 1); }
  ~ScopedTmpdir() { unsetenv("TMPDIR"); }
};

TEST(UserTempFolderTest, CreatesOwnerOnlyFolderAndRefusesForeignOrLinkedOnes) {
  TempDir dir;
  ScopedTmpdir tmpdir(dir.path().string());
  const std::string expected = dir / ("Tavrik_Server_Crypt-" + std::to_string(getuid())) + "/";
  EXPECT_EQ(platform::UserTempFolder(), expected);
  struct stat info {};
  ASSERT_EQ(stat(expected.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  chmod(expected.c_str(), 0777);  // loosened by someone: tightened again
  EXPECT_EQ(platform::UserTempFolder(), expected);
  ASSERT_EQ(stat(expected.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  std::filesystem::remove_all(expected);
  std::filesystem::create_directory(dir / "elsewhere");
  std::filesystem::create_directory_symlink(dir / "elsewhere",
                                            expected.substr(0, expected.size() - 1));
  EXPECT_EQ(platform::UserTempFolder(), "");

  if (getuid() == 0) {  // only root can hand a folder to someone else
    std::filesystem::remove(expected.substr(0, expected.size() - 1));
    std::filesystem::create_directory(expected);
    ASSERT_EQ(chown(expected.c_str(), 4242, 4242), 0);
    EXPECT_EQ(platform::UserTempFolder(), "");
  }
}

TEST(ProfileTest, ReadsLikeTheProfileFunctions) {
  TempDir dir;
  const QString file = QString::fromStdString(dir / "s.ini");
  testing_support::WriteFile(dir / "s.ini",
                             "; comment\n[Other]\ndefaultProvider=wrong\n"
                             "[ tavrik_server_crypt settings ]\r\n"
                             "AUTOSTART = true \r\n"
                             "defaultProvider=\"Зорвик2\"\n"
                             "long=0123456789abc\n"
                             "defaultProvider=second\n");
  const QString section = QStringLiteral("Tavrik_Server_Crypt Settings");
  struct Case {
    QString key;
    QString fallback;
    int chars;
    QString expected;
  };
  const std::vector<Case> cases = {
      {QStringLiteral("autoStart"), QStringLiteral("false"), 10, QStringLiteral("true")},
      {QStringLiteral("defaultProvider"), QString(), 10, QStringLiteral("Зорвик2")},
      {QStringLiteral("long"), QString(), 10, QStringLiteral("012345678")},
      {QStringLiteral("missing"), QStringLiteral("false"), 10, QStringLiteral("false")},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::ReadProfileString(file, section, c.key, c.fallback, c.chars), c.expected)
        << c.key.toStdString();
  EXPECT_EQ(platform::ReadProfileString(QStringLiteral("/nonexistent/x.ini"), section,
                                        QStringLiteral("autoStart"), QStringLiteral("false"), 10),
            QStringLiteral("false"));
  EXPECT_TRUE(platform::TouchProfileFile(QString::fromStdString(dir / "new.ini")));
  EXPECT_TRUE(std::filesystem::exists(dir / "new.ini"));
  EXPECT_FALSE(platform::TouchProfileFile(QString::fromStdString(dir / "no/dir.ini")));
}

TEST(LibraryTest, WindowsNamesMapToSharedObjects) {
  EXPECT_EQ(platform::SharedObjectName("AvCryptMail.dll"), "libAvCryptMail.so");
  EXPECT_EQ(platform::SharedObjectName("WtsApi32.DLL"), "libWtsApi32.so");
  EXPECT_EQ(platform::SharedObjectName("plain"), "libplain.so");

  platform::Library library;
  EXPECT_FALSE(library.Load("NoSuchLibraryAnywhere.dll"));
  EXPECT_EQ(library.Resolve("AvCmInit"), nullptr);
  // Found through this test's run path.
  ASSERT_TRUE(library.Load("AvCryptMail.dll"));
  EXPECT_NE(library.Resolve("AvCmInit"), nullptr);
  EXPECT_EQ(library.Resolve("NoSuchSymbol"), nullptr);
}

TEST(ProcessSnapshotTest, ListsThisProcessByItsExeName) {
  const auto processes = platform::SnapshotProcesses();
  const auto self = std::find_if(processes.begin(), processes.end(),
                                 [](const platform::ProcessEntry& p) { return p.pid == getpid(); });
  ASSERT_NE(self, processes.end());
  EXPECT_EQ(self->executable_name, "program_platform_test.exe");
  EXPECT_EQ(self->module_path, std::filesystem::canonical("/proc/self/exe").string());
  EXPECT_TRUE(std::is_sorted(processes.begin(), processes.end(),
                             [](const auto& a, const auto& b) { return a.pid < b.pid; }));
}

}  // namespace
