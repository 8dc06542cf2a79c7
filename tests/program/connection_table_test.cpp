#include "platform/connection_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using platform::ConnectionTable;

class FakeConnection : public platform::HttpResponder {
 public:
  FakeConnection(ConnectionTable& table, char id) : table_(table), name(id) {}
  bool closed() const override { return closed_; }
  void Close() override {
    closed_ = true;
    table_.Remove(this);
  }
  void Write(const platform::HttpResponse&, std::string) override {}

 private:
  ConnectionTable& table_;
  bool closed_ = false;

 public:
  const char name;
};

const auto kPeerA = boost::asio::ip::make_address("127.0.0.1");
const auto kPeerB = boost::asio::ip::make_address("127.0.0.2");

// A script of steps: "a1" adds connection 1 from peer A (after MakeRoom),
// "b1" from peer B, "i1" lets 1 wait for its client (idle), "u1" serves it;
// an add may be followed by ">2" (MakeRoom closed 2) or "!" (refused).
TEST(ConnectionTableTest, RoomIsMadeByClosingTheLongestIdleConnection) {
  const struct {
    const char* what;
    std::size_t per_peer;  // of a table of 3 (4 when a peer's share is tried)
    std::string script;
  } cases[] = {
      {"full table: the first to fall idle goes, not the first added", 3, "a1 a2 a3 i2 i1 a4>2"},
      {"a connection being served is never closed", 3, "a1 a2 a3 a4!"},
      {"idle again after serving: to the back of the line", 3, "a1 a2 a3 i1 i2 u1 i1 a4>2"},
      {"a peer at its share loses its own oldest idle connection", 2, "b1 i1 a2 a3 i3 i2 a4>3"},
      {"a peer at its share with nothing idle is refused", 2, "a1 a2 a3!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ConnectionTable table(c.per_peer == 3 ? 3 : 4, c.per_peer);
    std::vector<std::shared_ptr<FakeConnection>> all;
    auto find = [&all](char name) {
      for (auto& connection : all)
        if (connection->name == name) return connection.get();
      return static_cast<FakeConnection*>(nullptr);
    };
    std::istringstream steps(c.script);
    for (std::string step; steps >> step;) {
      const char action = step[0];
      const char name = step[1];
      if (action == 'i' || action == 'u') {
        table.SetIdle(find(name), action == 'i');
        continue;
      }
      const auto& peer = action == 'a' ? kPeerA : kPeerB;
      std::vector<bool> open_before;
      for (auto& connection : all) open_before.push_back(!connection->closed());
      const bool admitted = table.MakeRoom(peer);
      EXPECT_EQ(admitted, step.find('!') == std::string::npos) << step;
      std::string closed;
      for (std::size_t i = 0; i < all.size(); ++i)
        if (open_before[i] && all[i]->closed()) closed += all[i]->name;
      const auto arrow = step.find('>');
      EXPECT_EQ(closed, arrow == std::string::npos ? "" : step.substr(arrow + 1)) << step;
      if (!admitted) continue;
      all.push_back(std::make_shared<FakeConnection>(table, name));
      table.Add(all.back(), peer);
    }
  }
}

}  // namespace
