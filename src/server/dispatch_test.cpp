#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include "server/exceptions.h"
#include "server/http_server.h"
#include "server/test_client.h"
#include "server/test_fixture.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;
using testing::EventLog;
using testing::TestClient;

using DispatchTest = testing::ServerFixture;

TEST_F(DispatchTest, ProvidersAreAskedInCheckOrderLatestFirstAmongEquals) {
  std::vector<std::string> asked;
  std::mutex mu;
  auto add = [&](const std::string& name, int order) {
    DataProvider* provider = NewProvider();
    provider->OnCheckRequest = [&, name](Connection& c) {
      std::lock_guard lock(mu);
      asked.push_back(name);
      if (name == "last") {
        c.Accept();
        c.Write("done");
      }
    };
    provider->SetCheckOrder(order);
    provider->SetServer(server_.get());
  };
  add("last", 900);
  add("ten", 10);
  add("P", 30);
  add("Q", 30);
  add("one", 1);
  add("R", 30);
  Start();
  TestClient client(port_);
  client.Send("GET / HTTP/1.1\r\n\r\n");
  client.ReadUntil("done");
  StopServer();
  std::lock_guard lock(mu);
  EXPECT_EQ(asked, (std::vector<std::string>{"one", "ten", "R", "Q", "P", "last"}));
}

TEST_F(DispatchTest, ProviderLinksAreWalkedInPlaceAndCannotFormCycles) {
  DataServerLink& outer = *links_.emplace_back(std::make_unique<DataServerLink>());
  DataServerLink& inner = *links_.emplace_back(std::make_unique<DataServerLink>());
  EXPECT_THROW(outer.SetLink(&outer), EConnection);
  inner.SetLink(&outer);
  EXPECT_THROW(outer.SetLink(&inner), EConnection);
  std::vector<std::string> seen;
  std::mutex mu;
  auto provider = [&](const std::string& name, int order, DataServerLink* link) {
    auto p = std::make_unique<DataProvider>();
    p->SetCheckOrder(order);
    p->OnCheckRequest = [&, name](Connection& c) {
      {
        std::lock_guard lock(mu);
        seen.push_back(name);
      }
      if (name == "answer") {
        c.Accept();
        c.Write("ok");
      }
    };
    if (link) {
      p->SetLink(link);
    } else {
      p->SetServer(server_.get());
    }
    providers_.push_back(std::move(p));
  };
  outer.SetCheckOrder(20);
  outer.SetServer(server_.get());
  outer.OnRequestAccepted = [&](Connection&) {
    std::lock_guard lock(mu);
    seen.push_back("outer accepted");
  };
  provider("first", 10, nullptr);
  provider("in inner", 5, &inner);
  provider("answer", 50, &outer);
  provider("after", 30, nullptr);
  Start();
  TestClient client(port_);
  client.Send("GET / HTTP/1.1\r\n\r\n");
  client.ReadUntil("ok");
  StopServer();
  std::lock_guard lock(mu);
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "in inner", "answer", "outer accepted"}));
}

TEST_F(DispatchTest, CompleteAnswerInCheckRequestSkipsDataReceived) {
  std::atomic<int> received{0};
  DataProvider* provider = NewProvider();
  provider->OnCheckRequest = [](Connection& c) {
    c.Accept();
    c.Response.SetContentLength(4);
    c.Write("fast");
  };
  provider->OnDataReceived = [&](Connection&) { ++received; };
  provider->SetServer(server_.get());
  Start();
  TestClient client(port_);
  client.Send("GET / HTTP/1.1\r\n\r\nGET / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(client.ReadUntil("fast", 2),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\nfast"
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\nfast");
  EXPECT_EQ(received, 0);
  StopServer();
}

TEST_F(DispatchTest, UnclaimedPostIsRefusedRightAfterItsHeader) {
  std::atomic<int64_t> contentIn{-1};
  server_->OnRequestNotAccepted = [&](Connection& c) {
    contentIn = c.Request.ContentIn;
    c.Response.Status(400, "Bad Request");
    c.Write("Status 400: Bad Request");
    c.Disconnect();
  };
  DataProvider* provider = NewProvider();
  provider->OnCheckRequest = [](Connection& c) {
    if (c.Request.FileName() == "/mine") c.Accept();
  };
  provider->SetServer(server_.get());
  Start();
  TestClient client(port_);
  client.Send("POST /other HTTP/1.1\r\nContent-Length: 100000\r\n\r\n");
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_EQ(client.Received(),
            "HTTP/1.1 400 Bad Request\r\nCONTENT-LENGTH: 23\r\n\r\nStatus 400: Bad Request");
  EXPECT_EQ(contentIn, 0) << "refused before any body byte";
  StopServer();
}

TEST_F(DispatchTest, InvalidRequestGetsTheHandlersAnswerThenCloses) {
  server_->OnInvalidRequest = [](Connection& c) {
    c.Response.Status(400, "Bad Request");
    c.Write("bad: " + c.Request.FileName());
  };
  Start();
  TestClient client(port_);
  client.Send("GARBAGE\r\n\r\n");
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_EQ(client.Received(),
            "HTTP/1.1 400 Bad Request\r\nCONTENT-LENGTH: 12\r\n\r\nbad: GARBAGE");
}

TEST_F(DispatchTest, ClientVanishingMidTransferTellsTheOwningProvider) {
  std::atomic<int> pieces{0};
  DataProvider* provider = NewProvider();
  provider->OnCheckRequest = [](Connection& c) { c.Accept(); };
  // Streams 64 MiB one piece per data-sent step, as a file would be.
  auto piece = [&](Connection& c) {
    if (c.Response.Done || c.Request.FileName() != "/big") return;
    ++pieces;
    c.Write(std::string(64240, 'v'));
  };
  provider->OnDataReceived = [piece](Connection& c) {
    if (c.Request.FileName() != "/big") {
      c.Write("x");
      return;
    }
    c.Response.SetContentLength(int64_t{64240} * 1045);
    piece(c);
  };
  provider->OnDataSent = piece;
  provider->OnDisconnect = [this](Connection&) { log_.Add("ProviderDisconnect"); };
  server_->OnDisconnect = [this](Connection& c) {
    log_.Add("ServerDisconnect");
    if (c.TotalDataOut() > 0 && c.TotalDataIn() > 0) log_.Add("Counted");
  };
  provider->SetServer(server_.get());
  Start();
  {
    TestClient client(port_);
    client.Send("GET /big HTTP/1.1\r\n\r\n");
    client.ReadAtLeast(1 << 20);
    client.Reset();
  }
  ASSERT_TRUE(log_.WaitFor("ServerDisconnect"));
  auto events = log_.Events();
  EXPECT_EQ(std::vector<std::string>(events.begin() + 1, events.end()),
            (std::vector<std::string>{"ProviderDisconnect", "ServerDisconnect", "Counted"}));
  EXPECT_LT(pieces, 1045);

  // After a complete answer only the server hears of the disconnect.
  {
    TestClient client(port_);
    client.Send("GET / HTTP/1.1\r\n\r\n");
    client.ReadUntil("x");
  }
  for (int i = 0; i < 500 && log_.Count("ServerDisconnect") < 2; ++i)
    std::this_thread::sleep_for(2ms);
  EXPECT_EQ(log_.Count("ProviderDisconnect"), 1);
  StopServer();
}

}  // namespace
}  // namespace vidoria
