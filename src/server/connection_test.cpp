// A connection's life over in-memory peers: its events in order for each way it can end, and
// the listener's count released on every path.
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/connection_events_for_tests.h"
#include "server/connection_harness.h"

namespace vidoria {
namespace {

using ConnectionTest = testing::ConnectionHarness;

TEST_F(ConnectionTest, EventsComeInTheirOrderForEachWayOfEnding) {
  testing::RecordConnectionEvents(*server_,
                                  [this](const std::string& event) { events_.push_back(event); });
  DataProvider* provider = AnswerWith([](Connection& c) {
    if (c.Request().FileName() != "/never") c.Write("hi");
  });
  provider->onDisconnect = [this](Connection&) { events_.push_back("ProviderDisconnect"); };
  const std::vector<std::string> opened{"Connecting", "ClientConnect", "Connect"};
  const std::vector<std::string> closed{"Disconnecting", "Disconnect", "ClientDisconnect"};
  auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Case {
    const char* name;
    const char* request;
    std::function<void(testing::MemoryPeer&)> end;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"client closes after the answer", "GET / HTTP/1.1\r\n\r\n",
       [](testing::MemoryPeer& peer) { peer.Close(); },
       join(join(opened, {"RequestAccepted", "ResponseDone"}), closed)},
      {"server closes after an HTTP/1.0 answer",
       "GET / HTTP/1.0\r\n\r\n",
       {},
       join(join(opened, {"RequestAccepted", "ResponseDone"}), closed)},
      {"client resets while its request is owned", "GET /never HTTP/1.1\r\n\r\n",
       [](testing::MemoryPeer& peer) { peer.Reset(); },
       join(join(opened, {"RequestAccepted", "Disconnecting", "ProviderDisconnect"}),
            {"Disconnect", "ClientDisconnect"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    events_.clear();
    auto& client = Connect();
    Exchange(client, c.request);
    if (c.end) c.end(*client.peer);
    Run();
    EXPECT_TRUE(client.peer->ClosedByServer());
    EXPECT_FALSE(client.peer->Watched());
    EXPECT_EQ(events_, c.events);
    EXPECT_EQ(server_->OpenConnections(), 0);
  }
}

// The bytes and the end arrive before the connection reads: one readiness report for both, and
// still the end is seen without waiting for the idle timeout.
TEST_F(ConnectionTest, ClientLeavingRightAfterItsLastBytesIsNoticedAtOnce) {
  AnswerWith([](Connection& c) { c.Write("hi"); });
  struct Case {
    const char* name;
    const char* bytes;
    const char* answer;
  };
  const Case cases[] = {
      {"a whole request", "GET / HTTP/1.1\r\n\r\n",
       "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 2\r\n\r\nhi"},
      {"half a request", "GET / HT", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto& client = Connect();
    client.peer->Send(c.bytes);
    client.peer->Close();
    Run();
    EXPECT_EQ(client.peer->Received(), c.answer);
    EXPECT_TRUE(client.peer->ClosedByServer());
    EXPECT_EQ(server_->OpenConnections(), 0);
  }
}

TEST_F(ConnectionTest, ThrowingClosingEventStillReleasesTheCountWhenFreed) {
  server_->onDisconnecting = [](Connection&) { throw std::runtime_error("closing failed"); };
  server_->onClientDisconnect = [this](Connection&) { events_.push_back("ClientDisconnect"); };
  auto& client = Connect();
  EXPECT_EQ(server_->OpenConnections(), 1);
  client.peer->Close();
  Run();
  EXPECT_TRUE(client.queue->Finished());
  EXPECT_TRUE(events_.empty()) << "the close step ended at the exception";
  EXPECT_EQ(server_->OpenConnections(), 1) << "still counted until the queue is freed";
  driver_.reset();
  EXPECT_EQ(server_->OpenConnections(), 0);
}

TEST_F(ConnectionTest, ReadStepsLeaveBytesOfTheNextRequestUntilTheAnswerLeft) {
  AnswerWith([](Connection& c) { c.Write(c.Request().FileName()); });
  auto& client = Connect();
  client.peer->Limit(0);
  Exchange(client, "GET /a HTTP/1.1\r\n\r\nGET /b HTTP/1.1\r\n\r\n");
  EXPECT_EQ(client.GetConnection().Request().FileName(), "/a");
  EXPECT_TRUE(client.GetConnection().Request().complete);
  client.peer->Allow();
  Run();
  EXPECT_EQ(client.peer->Received(),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 2\r\n\r\n/a"
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 2\r\n\r\n/b");
}

// Each phase sets the idle interval it names: > 0 a new period, 0 a postponed deadline, < 0 no
// timeout. Ticks come once a period from when the period was set.
TEST_F(ConnectionTest, IdleTimeoutOfEachPhaseClosesTheConnection) {
  struct Case {
    const char* name;
    Timeout timeout;
    std::vector<int> sendAt;  // seconds at which a byte of a never-ending request arrives
    int closedAt;             // seconds after connecting; 0: still open at 60 s
  };
  std::vector<int> every4s;
  for (int at = 4; at < 60; at += 4) every4s.push_back(at);
  const Case cases[] = {
      {"silent client", {.afterConnecting = 5}, {}, 5},
      {"connect sets a longer period", {.afterConnecting = 5, .afterConnect = 20}, {}, 20},
      {"connect stops the timer", {.afterConnecting = 5, .afterConnect = -1}, {}, 0},
      {"bytes keep it alive", {.afterConnecting = 5}, every4s, 0},
      {"a byte at 4 s: deadline 9 s, passed at the tick of 10 s", {.afterConnecting = 5}, {4}, 10},
      {"bytes set a shorter period", {.afterConnecting = 30, .afterDataIn = 3}, {10}, 13},
  };
  server_->onClientDisconnect = [this](Connection&) { events_.push_back("ClientDisconnect"); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server_->timeout = c.timeout;
    events_.clear();
    auto& client = Connect();
    int closedAt = 0;
    for (int second = 1; second <= 60 && closedAt == 0; ++second) {
      driver_->Advance(std::chrono::seconds(1));
      if (client.peer->ClosedByServer()) {
        closedAt = second;
      } else if (std::find(c.sendAt.begin(), c.sendAt.end(), second) != c.sendAt.end()) {
        Exchange(client, "G");
      }
    }
    EXPECT_EQ(closedAt, c.closedAt);
    EXPECT_EQ(events_.size(), c.closedAt ? 1u : 0u);
    EXPECT_EQ(client.peer->Received(), "");
    client.peer->Close();
    Run();
  }
}

}  // namespace
}  // namespace vidoria
