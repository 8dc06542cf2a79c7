#include "platform/connection_table.h"

#include <vector>

namespace platform {

bool ConnectionTable::MakeRoom(const boost::asio::ip::address& peer) {
  while (entries_.size() >= max_total_) {
    if (!CloseOldestIdle(nullptr)) return false;
  }
  for (;;) {
    const auto found = per_peer_.find(peer);
    if (found == per_peer_.end() || found->second < max_per_peer_) return true;
    if (!CloseOldestIdle(&peer)) return false;
  }
}

bool ConnectionTable::CloseOldestIdle(const boost::asio::ip::address* peer) {
  for (HttpResponder* candidate : idle_) {
    const Entry& entry = entries_.at(candidate);
    if (peer != nullptr && entry.peer != *peer) continue;
    // Closing reports back through Remove, which drops the table's reference.
    const std::shared_ptr<HttpResponder> keep = entry.connection;
    keep->Close();
    if (entries_.count(candidate) != 0) Remove(candidate);
    return true;
  }
  return false;
}

void ConnectionTable::Add(std::shared_ptr<HttpResponder> connection,
                          const boost::asio::ip::address& peer) {
  HttpResponder* key = connection.get();
  entries_[key] = Entry{std::move(connection), peer, false, idle_.end()};
  ++per_peer_[peer];
}

void ConnectionTable::SetIdle(HttpResponder* connection, bool idle) {
  const auto found = entries_.find(connection);
  if (found == entries_.end() || found->second.idle == idle) return;
  Entry& entry = found->second;
  if (entry.idle) idle_.erase(entry.in_idle);
  entry.idle = idle;
  entry.in_idle = idle ? idle_.insert(idle_.end(), connection) : idle_.end();
}

void ConnectionTable::Remove(HttpResponder* connection) {
  const auto found = entries_.find(connection);
  if (found == entries_.end()) return;
  if (found->second.idle) idle_.erase(found->second.in_idle);
  const auto peer = per_peer_.find(found->second.peer);
  if (peer != per_peer_.end() && --peer->second == 0) per_peer_.erase(peer);
  entries_.erase(found);
}

void ConnectionTable::CloseAll() {
  std::vector<std::shared_ptr<HttpResponder>> open;
  open.reserve(entries_.size());
  for (const auto& [key, entry] : entries_) open.push_back(entry.connection);
  for (const auto& connection : open) connection->Close();
  entries_.clear();
  idle_.clear();
  per_peer_.clear();
}

}  // namespace platform
