// Dispatch of requests to providers and links, over in-memory peers on the test's thread.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/connection_harness.h"
#include "server/exceptions.h"

namespace vidoria {
namespace {

using DispatchTest = testing::ConnectionHarness;

TEST_F(DispatchTest, ProvidersAreAskedInCheckOrderLatestFirstAmongEquals) {
  auto add = [&](const std::string& name, int order) {
    DataProvider* provider = NewProvider();
    provider->onCheckRequest = [this, name](Connection& c) {
      events_.push_back(name);
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
  auto& client = Connect();
  EXPECT_EQ(Exchange(client, "GET / HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\ndone");
  EXPECT_EQ(events_, (std::vector<std::string>{"one", "ten", "R", "Q", "P", "last"}));
}

TEST_F(DispatchTest, ProviderLinksAreWalkedInPlaceAndCannotFormCycles) {
  DataServerLink& outer = *links_.emplace_back(std::make_unique<DataServerLink>());
  DataServerLink& inner = *links_.emplace_back(std::make_unique<DataServerLink>());
  EXPECT_THROW(outer.SetLink(&outer), EConnection);
  inner.SetLink(&outer);
  EXPECT_THROW(outer.SetLink(&inner), EConnection);
  auto provider = [&](const std::string& name, int order, DataServerLink* link) {
    DataProvider* p = NewProvider();
    p->SetCheckOrder(order);
    p->onCheckRequest = [this, name](Connection& c) {
      events_.push_back(name);
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
  };
  outer.SetCheckOrder(20);
  outer.SetServer(server_.get());
  outer.onRequestAccepted = [this](Connection&) { events_.push_back("outer accepted"); };
  provider("first", 10, nullptr);
  provider("in inner", 5, &inner);
  provider("answer", 50, &outer);
  provider("after", 30, nullptr);
  auto& client = Connect();
  EXPECT_EQ(Exchange(client, "GET / HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 2\r\n\r\nok");
  EXPECT_EQ(events_, (std::vector<std::string>{"first", "in inner", "answer", "outer accepted"}));
}

TEST_F(DispatchTest, CompleteAnswerInCheckRequestSkipsDataReceived) {
  int received = 0;
  DataProvider* provider = NewProvider();
  provider->onCheckRequest = [](Connection& c) {
    c.Accept();
    c.Response().SetContentLength(4);
    c.Write("fast");
  };
  provider->onDataReceived = [&](Connection&) { ++received; };
  provider->SetServer(server_.get());
  auto& client = Connect();
  EXPECT_EQ(Exchange(client, "GET / HTTP/1.1\r\n\r\nGET / HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\nfast"
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\nfast");
  EXPECT_EQ(received, 0);
}

TEST_F(DispatchTest, UnclaimedPostIsRefusedRightAfterItsHeader) {
  int64_t contentIn = -1;
  server_->onRequestNotAccepted = [&](Connection& c) {
    contentIn = c.Request().contentIn;
    c.Response().Status(400, "Bad Request");
    c.Write("Status 400: Bad Request");
    c.Disconnect();
  };
  DataProvider* provider = NewProvider();
  provider->onCheckRequest = [](Connection& c) {
    if (c.Request().FileName() == "/mine") c.Accept();
  };
  provider->SetServer(server_.get());
  auto& client = Connect();
  EXPECT_EQ(Exchange(client, "POST /other HTTP/1.1\r\nContent-Length: 100000\r\n\r\n"),
            "HTTP/1.1 400 Bad Request\r\nCONTENT-LENGTH: 23\r\n\r\nStatus 400: Bad Request");
  EXPECT_TRUE(client.peer->ClosedByServer());
  EXPECT_EQ(contentIn, 0) << "refused before any body byte";
}

TEST_F(DispatchTest, UnclaimedRequestWithoutHandlerClosesWithoutAnswer) {
  DataProvider* provider = NewProvider();
  provider->onCheckRequest = [](Connection&) {};
  provider->SetServer(server_.get());
  auto& client = Connect();
  EXPECT_EQ(Exchange(client, "GET / HTTP/1.1\r\n\r\n"), "");
  EXPECT_TRUE(client.peer->ClosedByServer());
}

TEST_F(DispatchTest, InvalidRequestGetsTheHandlersAnswerThenCloses) {
  server_->onInvalidRequest = [](Connection& c) {
    c.Response().Status(400, "Bad Request");
    c.Write("bad: " + c.Request().FileName());
  };
  auto& client = Connect();
  EXPECT_EQ(Exchange(client, "GARBAGE\r\n\r\n"),
            "HTTP/1.1 400 Bad Request\r\nCONTENT-LENGTH: 12\r\n\r\nbad: GARBAGE");
  EXPECT_TRUE(client.peer->ClosedByServer());
}

TEST_F(DispatchTest, ClientVanishingMidTransferTellsTheOwningProvider) {
  int pieces = 0;
  DataProvider* provider = NewProvider();
  provider->onCheckRequest = [](Connection& c) { c.Accept(); };
  // Streams 64 MiB one piece per data-sent step, as a file would be.
  auto piece = [&](Connection& c) {
    if (c.Response().done || c.Request().FileName() != "/big") return;
    ++pieces;
    c.Write(std::string(64240, 'v'));
  };
  provider->onDataReceived = [piece](Connection& c) {
    if (c.Request().FileName() != "/big") {
      c.Write("x");
      return;
    }
    c.Response().SetContentLength(int64_t{64240} * 1045);
    piece(c);
  };
  provider->onDataSent = piece;
  provider->onDisconnect = [this](Connection&) { events_.push_back("ProviderDisconnect"); };
  server_->onDisconnect = [this](Connection& c) {
    events_.push_back("ServerDisconnect");
    if (c.TotalDataOut() > 0 && c.TotalDataIn() > 0) events_.push_back("Counted");
  };
  provider->SetServer(server_.get());

  auto& leaving = Connect();
  leaving.peer->Limit(1 << 20);  // the client stops reading after a MiB
  Exchange(leaving, "GET /big HTTP/1.1\r\n\r\n");
  EXPECT_EQ(leaving.peer->Received().size(), size_t{1} << 20);
  leaving.peer->Reset();
  Run();
  EXPECT_EQ(events_,
            (std::vector<std::string>{"ProviderDisconnect", "ServerDisconnect", "Counted"}));
  EXPECT_EQ(pieces, 17) << "one piece per data-sent step, none once the client stopped";

  // After a complete answer only the server hears of the disconnect.
  events_.clear();
  auto& done = Connect();
  EXPECT_EQ(Exchange(done, "GET / HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 1\r\n\r\nx");
  done.peer->Close();
  Run();
  EXPECT_EQ(events_, (std::vector<std::string>{"ServerDisconnect", "Counted"}));
}

}  // namespace
}  // namespace vidoria
