// Answers on the wire: collected and announced bodies, errors, partial sends. In-memory peers
// on the test's thread.
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/connection_harness.h"
#include "server/exceptions.h"

namespace vidoria {
namespace {

using ResponseWriterTest = testing::ConnectionHarness;

TEST_F(ResponseWriterTest, AnswersCollectedOutputWithItsComputedLength) {
  AnswerWith([](Connection& c) {
    c.Write("abc");
    c.Write("def");
  });
  auto& client = Connect();
  EXPECT_EQ(Exchange(client, "GET / HTTP/1.1\r\nHost: x\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 6\r\n\r\nabcdef");
}

TEST_F(ResponseWriterTest, BackToBackRequestsAreAnsweredInOrder) {
  AnswerWith([](Connection& c) { c.Write(c.Request().FileName()); });
  auto& client = Connect();
  EXPECT_EQ(
      Exchange(client,
               "GET /one HTTP/1.1\r\n\r\nGET /two HTTP/1.1\r\n\r\nGET /three HTTP/1.1\r\n\r\n"),
      "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\n/one"
      "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\n/two"
      "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 6\r\n\r\n/three");
  EXPECT_FALSE(client.peer->ClosedByServer());
}

TEST_F(ResponseWriterTest, Http10ResponseSaysCloseAndClosesTheConnection) {
  AnswerWith([](Connection& c) { c.Write("bye"); });
  auto& client = Connect();
  EXPECT_EQ(Exchange(client, "GET / HTTP/1.0\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 3\r\nConnection: close\r\n\r\nbye");
  EXPECT_TRUE(client.peer->ClosedByServer());
}

TEST_F(ResponseWriterTest, WriterErrorsReachTheHandlerAndCloseTheConnection) {
  struct Case {
    const char* name;
    std::function<void(Connection&)> answer;
    const char* error;
  };
  const Case cases[] = {
      {"longer than announced",
       [](Connection& c) {
         c.Response().SetContentLength(10);
         c.Write(std::string(11, 'x'));
       },
       "Error! Sending more data out than specified in header."},
      {"second header",
       [](Connection& c) {
         c.Response().SetContentLength(10);
         c.WriteHeader(true);
         c.WriteHeader(true);
       },
       "Error! Sending multiple headers for one request."},
      {"answer after it was complete",
       [](Connection& c) {
         c.Response().SetContentLength(2);
         c.Write("ab");
         c.Write("c");
       },
       "Error! Answer allready sent for this request."},
  };
  std::string error;
  const Case* current = nullptr;
  AnswerWith([&](Connection& c) {
    try {
      current->answer(c);
    } catch (const EConnection& e) {
      error = e.what();
      throw;
    }
  });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    current = &c;
    error.clear();
    auto& client = Connect();
    Exchange(client, "GET / HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(client.peer->ClosedByServer());
    EXPECT_EQ(error, c.error);
  }
}

TEST_F(ResponseWriterTest, HeadAnswerAnnouncesTheLengthSendsNoBodyAndCompletes) {
  AnswerWith([](Connection& c) {
    c.Response().SetContentLength(500);
    if (c.Request().Method() == "HEAD") {
      c.Response().sendContent = false;
      c.WriteHeader(true);
    } else {
      c.Write(std::string(500, 'z'));
    }
  });
  auto& client = Connect();
  EXPECT_EQ(Exchange(client, "HEAD / HTTP/1.1\r\n\r\nGET / HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 500\r\n\r\n"
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 500\r\n\r\n" +
                std::string(500, 'z'));
}

TEST_F(ResponseWriterTest, ChunkedBodyReachesTheProviderPieceByPiece) {
  DataProvider* provider = NewProvider();
  provider->onCheckRequest = [](Connection& c) { c.Accept(); };
  provider->onDataReceived = [this](Connection& c) {
    std::string body = c.Read();
    events_.push_back(body);
    c.GetInfo().SetTextField("body", c.GetInfo().TextField("body") + body);
    if (c.Request().complete) c.Write("got " + c.GetInfo().TextField("body"));
  };
  provider->SetServer(server_.get());
  auto& client = Connect();
  EXPECT_EQ(
      Exchange(client, "POST /up HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nWiki\r\n"), "");
  EXPECT_EQ(Exchange(client, "5\r\npedia\r\n0\r\n\r\n"),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 13\r\n\r\ngot Wikipedia");
  EXPECT_EQ(events_, (std::vector<std::string>{"Wiki", "pedia", ""}));
}

TEST_F(ResponseWriterTest, HandlerExceptionClosesOnlyItsConnection) {
  AnswerWith([](Connection& c) {
    if (c.Request().FileName() == "/fail") throw std::runtime_error("handler failed");
    c.Write("fine");
  });
  auto& healthy = Connect();
  auto& failing = Connect();
  EXPECT_EQ(Exchange(failing, "GET /fail HTTP/1.1\r\n\r\n"), "");
  EXPECT_TRUE(failing.peer->ClosedByServer());
  std::string expected;
  for (int i = 0; i < 3; ++i) {
    expected += "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\nfine";
    EXPECT_EQ(Exchange(healthy, "GET /ok HTTP/1.1\r\n\r\n"), expected);
  }
  EXPECT_FALSE(healthy.peer->ClosedByServer());
}

// A socket that takes only part of the output: the rest leaves on write readiness, and the
// request counts as answered (and the next one is read) only once the last byte left.
TEST_F(ResponseWriterTest, OutputTheSocketRefusesLeavesOnWriteReadinessBeforeTheNextRequest) {
  server_->onResponseDone = [this](Connection&) { events_.push_back("ResponseDone"); };
  AnswerWith([this](Connection& c) {
    events_.push_back("answer " + c.Request().FileName());
    c.Response().SetContentLength(100);
    c.Write(std::string(100, 'a'));
  });
  auto& client = Connect();
  client.peer->Limit(60);
  EXPECT_EQ(Exchange(client, "GET /1 HTTP/1.1\r\n\r\nGET /2 HTTP/1.1\r\n\r\n").size(), 60u);
  EXPECT_EQ(events_, (std::vector<std::string>{"answer /1"}));
  client.peer->Allow(80 + 40);  // the rest of the first answer and 40 bytes of the second
  Run();
  EXPECT_EQ(events_, (std::vector<std::string>{"answer /1", "ResponseDone", "answer /2"}));
  const std::string answer =
      "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 100\r\n\r\n" + std::string(100, 'a');
  EXPECT_EQ(client.peer->Received(), answer + answer.substr(0, 40));
  client.peer->Allow();
  Run();
  EXPECT_EQ(client.peer->Received(), answer + answer);
  EXPECT_EQ(events_.back(), "ResponseDone");
}

TEST_F(ResponseWriterTest, FailedSendWaitsForTheHangUpToClose) {
  server_->onDisconnect = [this](Connection& c) {
    events_.push_back("Disconnect after " + std::to_string(c.TotalDataOut()));
  };
  AnswerWith([](Connection& c) { c.Write("lost"); });
  auto& client = Connect();
  client.peer->Limit(0);
  Exchange(client, "GET / HTTP/1.1\r\n\r\n");
  client.peer->Reset();
  Run();
  EXPECT_EQ(client.peer->Received(), "");
  EXPECT_TRUE(client.peer->ClosedByServer());
  EXPECT_EQ(events_, (std::vector<std::string>{"Disconnect after 0"}));
}

}  // namespace
}  // namespace vidoria
