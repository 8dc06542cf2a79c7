// TokenWatcher: the plug and unplug lines it derives from two looks at the
// tokens, and the running program: one per user, lines as tokens come and go,
// a clean end on SIGTERM.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "token_test_support.h"
#include "tokens/watcher/token_watch.h"

extern char** environ;

namespace {

using namespace tokentest;
using watcher::Seen;
using watcher::Snapshot;

TEST(TokenWatch, ChangesBetweenTwoLooks) {
  const Seen in{true, "Zorvik2"};
  const Seen out{false, "Zorvik2"};
  const struct {
    Snapshot before;
    Snapshot after;
    std::vector<std::string> lines;
  } rows[] = {
      {{}, {{"A", in}}, {"token A (Zorvik2) plugged"}},
      {{}, {{"A", out}}, {}},
      {{{"A", in}}, {{"A", out}}, {"token A (Zorvik2) unplugged"}},
      {{{"A", out}}, {{"A", in}}, {"token A (Zorvik2) plugged"}},
      {{{"A", in}}, {}, {"token A (Zorvik2) unplugged"}},
      {{{"A", in}, {"C", in}}, {{"B", in}, {"C", in}},
       {"token A (Zorvik2) unplugged", "token B (Zorvik2) plugged"}},
  };
  for (const auto& row : rows) EXPECT_EQ(watcher::Changes(row.before, row.after), row.lines);
}

class WatcherProcess {
 public:
  explicit WatcherProcess(const std::filesystem::path& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    char path[] = TOKENS_COMPONENTS_DIR "/TokenWatcher";
    char* argv[] = {path, nullptr};
    posix_spawn(&pid_, path, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~WatcherProcess() {
    if (pid_ > 0) End(SIGKILL);
  }
  // The exit status after the signal.
  int End(int signal) {
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = 0;
};

// True once the log has a line ending in text (within five seconds).
bool LogShows(const std::filesystem::path& log, const std::string& text) {
  for (int i = 0; i < 500; ++i) {
    if (ReadFile(log).find(text + "\n") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class WatcherTest : public TokenTest {};

TEST_F(WatcherTest, LogsTokensPluggedAndUnpluggedAndEndsOnSigterm) {
  const std::string present = MakeToken(TokenKind::kZorvik);
  const std::filesystem::path log = data() / "watcher.log";
  WatcherProcess watcher(log);
  ASSERT_TRUE(LogShows(log, "token " + present + " (Zorvik) connected"));

  const std::filesystem::path second_log = data() / "second.log";
  WatcherProcess second(second_log);
  EXPECT_EQ(second.End(0), 3);  // already running: it has ended by itself
  EXPECT_TRUE(LogShows(second_log, "TokenWatcher already runs for this user"));

  const std::string serial = MakeToken(TokenKind::kZorvik2);
  EXPECT_TRUE(LogShows(log, "token " + serial + " (Zorvik2) plugged"));
  ASSERT_EQ(Store().SetPlugged(serial, false), tokens::TokenStatus::kOk);
  EXPECT_TRUE(LogShows(log, "token " + serial + " (Zorvik2) unplugged"));
  ASSERT_EQ(Store().SetPlugged(serial, true), tokens::TokenStatus::kOk);
  EXPECT_TRUE(LogShows(log, "token " + serial + " (Zorvik2) plugged"));
  ASSERT_EQ(Store().Remove(present), tokens::TokenStatus::kOk);
  EXPECT_TRUE(LogShows(log, "token " + present + " (Zorvik) unplugged"));

  EXPECT_EQ(watcher.End(SIGTERM), 0);
  EXPECT_TRUE(LogShows(log, "TokenWatcher ends (Terminated)"));
}

}  // namespace
