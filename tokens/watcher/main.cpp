// TokenWatcher: the resident token monitor, one per user. It watches the soft
// token folders and logs each token plugged in or taken out, on standard
// error with a time stamp. The sign program of first-generation tokens is
// installed beside it, in Signkit/.
//
// Exit status: 0 ended by SIGTERM, SIGINT or SIGHUP; 1 the tokens folder
// cannot be made or watched; 2 wrong use; 3 TokenWatcher already runs for
// this user.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <iostream>

#include "tokens/store/files.h"
#include "tokens/watcher/token_watch.h"

namespace {

void Log(const std::string& message) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "[%d.%m.%Y %H:%M:%S]: ", &local);
  std::cerr << stamp << message << std::endl;
}

int SignalDescriptor() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGHUP);
  if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return -1;
  return signalfd(-1, &signals, SFD_CLOEXEC);
}

int Watch() {
  const std::filesystem::path folder = tokens::TokensFolder();
  if (!tokens::MakeOwnerOnlyFolder(folder)) {
    Log("cannot make the tokens folder " + folder.string());
    return 1;
  }
  tokens::FileLock instance(folder / ".TokenWatcher.lock", tokens::FileLock::Wait::kTry);
  if (!instance.held()) {
    Log("TokenWatcher already runs for this user");
    return 3;
  }
  const int signals = SignalDescriptor();
  watcher::TokenWatch watch(folder);
  if (signals < 0 || !watch.ok()) {
    Log(std::string("cannot watch ") + folder.string() + ": " + std::strerror(errno));
    return 1;
  }
  Log("TokenWatcher watches " + folder.string());
  for (const auto& [serial, seen] : watch.current())
    Log("token " + serial + " (" + seen.kind + ") " + (seen.connected ? "connected" : "unplugged"));
  pollfd fds[2] = {{watch.fd(), POLLIN, 0}, {signals, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      Log(std::string("poll failed: ") + std::strerror(errno));
      return 1;
    }
    if ((fds[1].revents & POLLIN) != 0) {
      signalfd_siginfo info{};
      const bool named = read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
      Log(std::string("TokenWatcher ends (") +
          (named ? strsignal(static_cast<int>(info.ssi_signo)) : "signal") + ")");
      close(signals);
      return 0;
    }
    if ((fds[0].revents & POLLIN) != 0)
      for (const std::string& line : watch.Update()) Log(line);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    const bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
    (help ? std::cout : std::cerr)
        << "Usage: TokenWatcher\n"
           "Watches the soft tokens in $XDG_DATA_HOME/tessel/tokens (default\n"
           "~/.local/share/tessel/tokens) and logs each token plugged in or taken out\n"
           "on standard error. One runs per user; SIGTERM ends it.\n"
           "Exit status: 0 ended by a signal, 1 cannot watch, 2 wrong use, 3 already running.\n";
    return help ? 0 : 2;
  }
  try {
    return Watch();
  } catch (const std::exception& e) {
    Log(std::string("TokenWatcher failed: ") + e.what());
    return 1;
  }
}
