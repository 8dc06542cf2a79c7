#pragma once
// Watching the token folders with inotify: any change under the tokens folder
// or in a token's folder leads to a fresh look at every token, and the
// differences to the last look are the plug and unplug events.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tokens/store/soft_token.h"

namespace watcher {

// What a person sees of a token: connected or not, and its kind.
struct Seen {
  bool connected = false;
  std::string kind;
};
using Snapshot = std::map<std::string, Seen>;

Snapshot Look(const tokens::TokenStore& store);
// One line per token plugged in ("token S (Kind) plugged") or taken out
// ("... unplugged"), in serial order. A token that appears already connected
// counts as plugged; one that disappears while connected as unplugged.
std::vector<std::string> Changes(const Snapshot& before, const Snapshot& after);

class TokenWatch {
 public:
  explicit TokenWatch(std::filesystem::path folder);
  ~TokenWatch();
  TokenWatch(const TokenWatch&) = delete;
  TokenWatch& operator=(const TokenWatch&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const Snapshot& current() const { return current_; }
  // Reads the pending events and answers the changes they made.
  std::vector<std::string> Update();

 private:
  void WatchTokenFolders();

  tokens::TokenStore store_;
  int fd_ = -1;
  Snapshot current_;
};

}  // namespace watcher
