#pragma once
// The open connections of the HTTP layer, on its I/O thread. When the table
// is full, or one peer holds its share, the connection that has waited
// longest for its client makes room: one process holding thousands of idle
// connections cannot keep anyone else out. A connection whose request is
// being served is never chosen.

#include <cstddef>
#include <list>
#include <map>
#include <memory>
#include <unordered_map>

#include <boost/asio/ip/address.hpp>

#include "platform/queued_request.h"

namespace platform {

class ConnectionTable {
 public:
  ConnectionTable(std::size_t max_total, std::size_t max_per_peer)
      : max_total_(max_total), max_per_peer_(max_per_peer) {}

  // Closes idle connections until one more from peer fits; false when none
  // can be closed.
  bool MakeRoom(const boost::asio::ip::address& peer);
  void Add(std::shared_ptr<HttpResponder> connection, const boost::asio::ip::address& peer);
  void SetIdle(HttpResponder* connection, bool idle);
  void Remove(HttpResponder* connection);
  void CloseAll();
  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::shared_ptr<HttpResponder> connection;
    boost::asio::ip::address peer;
    bool idle = false;
    std::list<HttpResponder*>::iterator in_idle;  // valid while idle
  };
  // Closes the longest-idle connection, of peer only when one is given.
  bool CloseOldestIdle(const boost::asio::ip::address* peer);

  const std::size_t max_total_;
  const std::size_t max_per_peer_;
  std::unordered_map<HttpResponder*, Entry> entries_;
  std::list<HttpResponder*> idle_;  // oldest first
  std::map<boost::asio::ip::address, std::size_t> per_peer_;
};

}  // namespace platform
