#include "tokens/watcher/token_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace watcher {
namespace {

constexpr uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR | IN_DONT_FOLLOW;

std::string Line(const std::string& serial, const Seen& seen, const char* what) {
  return "token " + serial + " (" + seen.kind + ") " + what;
}

}  // namespace

Snapshot Look(const tokens::TokenStore& store) {
  Snapshot snapshot;
  for (const tokens::TokenSummary& token : store.List()) {
    Seen seen;
    seen.connected = token.connected;
    seen.kind = token.kind ? std::string(tokens::KindTitle(*token.kind)) : "damaged";
    snapshot.emplace(token.serial, seen);
  }
  return snapshot;
}

std::vector<std::string> Changes(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> lines;
  auto old_it = before.begin();
  auto new_it = after.begin();
  // Both maps are in serial order: one merge walk.
  while (old_it != before.end() || new_it != after.end()) {
    if (new_it == after.end() || (old_it != before.end() && old_it->first < new_it->first)) {
      if (old_it->second.connected) lines.push_back(Line(old_it->first, old_it->second, "unplugged"));
      ++old_it;
    } else if (old_it == before.end() || new_it->first < old_it->first) {
      if (new_it->second.connected) lines.push_back(Line(new_it->first, new_it->second, "plugged"));
      ++new_it;
    } else {
      if (old_it->second.connected != new_it->second.connected)
        lines.push_back(Line(new_it->first, new_it->second,
                             new_it->second.connected ? "plugged" : "unplugged"));
      ++old_it;
      ++new_it;
    }
  }
  return lines;
}

TokenWatch::TokenWatch(std::filesystem::path folder) : store_(std::move(folder)) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return;
  if (inotify_add_watch(fd_, store_.folder().c_str(), kFolderEvents) < 0) {
    close(fd_);
    fd_ = -1;
    return;
  }
  WatchTokenFolders();
  current_ = Look(store_);
}

TokenWatch::~TokenWatch() {
  if (fd_ >= 0) close(fd_);
}

void TokenWatch::WatchTokenFolders() {
  // Adding a watch twice keeps the one the kernel has; a folder made anew
  // under an old name gets a new one.
  for (const tokens::TokenSummary& token : store_.List())
    inotify_add_watch(fd_, (store_.folder() / token.serial).c_str(), kFolderEvents);
}

std::vector<std::string> TokenWatch::Update() {
  alignas(inotify_event) char buffer[16 * 1024];
  bool any = false;
  for (;;) {
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    any = true;
  }
  if (!any) return {};
  WatchTokenFolders();
  Snapshot after = Look(store_);
  std::vector<std::string> lines = Changes(current_, after);
  current_ = std::move(after);
  return lines;
}

}  // namespace watcher
