#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include "server/connection_events_for_tests.h"
#include "server/exceptions.h"
#include "server/http_server.h"
#include "server/test_client.h"
#include "server/test_fixture.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;
using testing::EventLog;
using testing::TestClient;

using HttpServerTest = testing::ServerFixture;

TEST_F(HttpServerTest, AnswersCollectedOutputWithItsComputedLength) {
  DataProvider* provider = NewProvider();
  provider->onCheckRequest = [](Connection& c) { c.Accept(); };
  provider->onDataReceived = [](Connection& c) {
    c.Write("abc");
    c.Write("def");
  };
  provider->SetServer(server_.get());
  Start();
  TestClient client(port_);
  client.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(client.ReadUntil("def"), "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 6\r\n\r\nabcdef");
}

TEST_F(HttpServerTest, ConnectionEventsComeInTheirOrder) {
  testing::RecordConnectionEvents(*server_, [this](const std::string& event) { log_.Add(event); });
  AnswerWith("hi");
  Start();
  {
    TestClient client(port_);
    client.Send("GET / HTTP/1.1\r\n\r\n");
    client.ReadUntil("hi");
    ASSERT_TRUE(log_.WaitFor("ResponseDone"));
  }
  ASSERT_TRUE(log_.WaitFor("ClientDisconnect"));
  EXPECT_EQ(log_.Events(),
            (std::vector<std::string>{"ListenStart", "Connecting", "ClientConnect", "Connect",
                                      "RequestAccepted", "ResponseDone", "Disconnecting",
                                      "Disconnect", "ClientDisconnect"}));
  EXPECT_EQ(server_->OpenConnections(), 0);
}

TEST_F(HttpServerTest, SilentClientIsClosedByTheIdleTimeout) {
  server_->timeout.afterConnecting = 1;
  server_->onClientDisconnect = [this](Connection&) { log_.Add("ClientDisconnect"); };
  Start();
  TestClient client(port_);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(client.WaitClosed(5s));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 900ms);
  EXPECT_TRUE(log_.WaitFor("ClientDisconnect"));
  EXPECT_EQ(client.Received(), "");
}

TEST_F(HttpServerTest, ConnectionOverTheLimitIsClosedAtOnceWithoutEvents) {
  server_->serverConnectionLimit = 2;
  server_->onClientConnect = [this](Connection&) { log_.Add("ClientConnect"); };
  AnswerWith("ok");
  Start();
  TestClient first(port_), second(port_);
  ASSERT_TRUE(log_.WaitForCount("ClientConnect", 2));
  TestClient third(port_);
  EXPECT_TRUE(third.WaitClosed(5s));
  EXPECT_EQ(third.Received(), "");
  EXPECT_EQ(log_.Count("ClientConnect"), 2);
  first.Send("GET / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(first.ReadUntil("ok"), "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 2\r\n\r\nok");
}

TEST_F(HttpServerTest, PortInUseReportsListenErrorWithTheSocketMessage) {
  Start();
  HttpServer second(core_);
  second.serverAddr = "127.0.0.1";
  second.serverPort = port_;
  EventLog secondLog;
  second.onListenStart = [&](HttpServer&) { secondLog.Add("ListenStart"); };
  second.onListenError = [&](HttpServer&, const std::exception& e) {
    secondLog.Add(std::string(typeid(e) == typeid(EWinSockException) ? "EWinSock:" : "other:") +
                  e.what());
  };
  second.Listen();
  EXPECT_TRUE(
      secondLog.WaitFor("EWinSock:Error 10048 in function Bind\r\nAddress or Port already in use"));
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(secondLog.Events().size(), 1u) << "no start, no retry";
  EXPECT_FALSE(second.Listening());
}

TEST_F(HttpServerTest, EmptyPortGivesNoEventAndALaterListenWorks) {
  server_->serverPort = "  ";
  server_->Listen();
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(log_.Events().empty());
  EXPECT_FALSE(server_->Listening());
  server_->serverPort = "0";
  Start();
  EXPECT_TRUE(server_->Listening());
}

TEST_F(HttpServerTest, StopListenFiresListenStopThenClosesEveryConnection) {
  server_->onDisconnect = [this](Connection&) { log_.Add("Disconnect"); };
  server_->onConnect = [this](Connection&) { log_.Add("Connect"); };
  DataProvider* provider = NewProvider();
  provider->onListenStop = [this](HttpServer&) { log_.Add("ProviderListenStop"); };
  provider->SetServer(server_.get());
  Start();
  TestClient a(port_), b(port_);
  ASSERT_TRUE(log_.WaitForCount("Connect", 2));
  server_->StopListen();
  EXPECT_TRUE(a.WaitClosed());
  EXPECT_TRUE(b.WaitClosed());
  ASSERT_TRUE(log_.WaitForCount("Disconnect", 2));
  auto events = log_.Events();
  std::vector<std::string> afterConnects(events.begin() + 3, events.end());
  EXPECT_EQ(afterConnects, (std::vector<std::string>{"ProviderListenStop", "ListenStop",
                                                     "Disconnect", "Disconnect"}));
  // The listening socket closes after the connections were told to stop.
  for (int i = 0; i < 500 && server_->Listening(); ++i) std::this_thread::sleep_for(2ms);
  EXPECT_FALSE(server_->Listening());
  TestClient refused(port_);
  EXPECT_FALSE(refused.Connected());
}

TEST_F(HttpServerTest, LostListenerIsRestarted) {
  server_->restartOn.listenLost = true;
  server_->onListenLost = [this](HttpServer&) { log_.Add("ListenLost"); };
  server_->onRestart = [this](HttpServer&) { log_.Add("Restart"); };
  AnswerWith("again");
  Start();
  ::shutdown(server_->ListenerFdForTesting(), SHUT_RDWR);
  ASSERT_TRUE(log_.WaitFor("Restart"));
  ASSERT_TRUE(log_.WaitForCount("ListenStart", 2));
  EXPECT_EQ(log_.Events(),
            (std::vector<std::string>{"ListenStart", "ListenLost", "Restart", "ListenStart"}));
  TestClient client(server_->LocalPort());
  client.Send("GET / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(client.ReadUntil("again"), "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 5\r\n\r\nagain");
}

}  // namespace
}  // namespace vidoria
