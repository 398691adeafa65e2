#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "web/web_fixture.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;
using testing::TestClient;

class DataServerTest : public testing::WebFixture {};

TEST_F(DataServerTest, ConnectionsAreCountedInTheLog) {
  Start();
  {
    TestClient a(port_);
    ASSERT_NE(WaitForLogLine("++++ 127.0.0.1:"), "");
    TestClient b(port_);
    for (int i = 0; i < 500 && server_->ConnectionCount() < 2; ++i)
      std::this_thread::sleep_for(2ms);
  }
  for (int i = 0; i < 500 && server_->ConnectionCount() > 0; ++i) std::this_thread::sleep_for(2ms);
  std::vector<std::string> counts;
  for (const auto& line : LogLines()) {
    if (line.starts_with("++++ ") || line.starts_with("---- ")) {
      counts.push_back(line.substr(0, 4) + line.substr(line.find('[')));
    }
  }
  EXPECT_EQ(counts, (std::vector<std::string>{"++++[1 open]", "++++[2 open]", "----[1 open]",
                                              "----[0 open]"}));
  EXPECT_EQ(LogLines().front(), "SERVER STARTED ...");
}

TEST_F(DataServerTest, UnclaimedAndInvalidRequestsGetFourHundred) {
  Start();
  const auto post = Request("POST /index.html HTTP/1.1\r\n\r\n");
  EXPECT_EQ(post.StatusLine(), "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(post.body, "Status 400: Bad Request");
  EXPECT_NE(
      WaitForLogLine("BAD! 127.0.0.1 > \"POST /index.html\" > Method \"POST\" not supported."), "");
  TestClient client(port_);
  client.Send("GET /" + std::string(130000, 'a') + " HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(client.WaitClosed());
  EXPECT_TRUE(client.Received().ends_with("\r\n\r\nStatus 400: Bad Request"));
  const std::string invalid = WaitForLogLine("ERR! 127.0.0.1 > \"");
  EXPECT_TRUE(invalid.ends_with("\" > Invalid Request: Header size limit exceeded.")) << invalid;
}

// The web log quotes what clients send; a client must not be able to start a line of its own
// (a forged entry) or hide part of one with control bytes.
TEST_F(DataServerTest, ClientTextCannotBreakOrForgeLogLines) {
  WriteFile(programFolder_ + "index.html", "home");
  Start();
  struct Case {
    std::string request, expected;
  };
  const Case cases[] = {
      {"GET /index.html HTTP/1.1\r\nHost: test\r\nReferer: x\rSEND forged\r\n\r\n",
       "REF \"x\\rSEND forged\""},
      {"GET /index.html HTTP/1.1\r\nHost: test\r\nUser-Agent: a\x1b[2Jb\r\n\r\n",
       "AGENT \"a\\x1b[2Jb\""},
      {"GET /" + std::string(130000, 'b') + " HTTP/1.1\r\n\r\n",
       "\" > Invalid Request: Header size limit exceeded."},
  };
  for (const Case& c : cases) {
    Request(c.request);
    std::string found;
    for (int i = 0; i < 2000 && found.empty(); ++i) {
      for (const auto& line : LogLines()) {
        if (line.find(c.expected) != std::string::npos) found = line;
      }
      if (found.empty()) std::this_thread::sleep_for(5ms);
    }
    EXPECT_NE(found, "") << c.expected;
  }
  for (const auto& entry : std::filesystem::directory_iterator(logFolder_)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line))
      EXPECT_TRUE(line.size() > 21 && line[19] == ';') << line.substr(0, 80);
  }
}

// Each byte renews the idle timer; the request as a whole still has one idle interval from its
// first byte, and the next request on a kept-alive connection has its own.
TEST_F(DataServerTest, RequestTrickledInSlowerThanTheIdleIntervalIsClosed) {
  Start();
  TestClient slow(port_), quick(port_);
  int reads = 0;
  auto send = [&](TestClient& client, const std::string& bytes) {
    client.Send(bytes);
    ASSERT_TRUE(WaitForClockReads(++reads));  // the server has taken the bytes in
  };
  send(slow, "GET / HT");
  send(quick, "GET /login.html HT");
  clockOffsetSeconds_ = 59;
  send(quick, "TP/1.1\r\n\r\n");
  EXPECT_NE(quick.ReadUntil("\r\n\r\n"), "") << "in time";
  send(slow, "T");
  clockOffsetSeconds_ = 60;
  send(slow, "P");
  EXPECT_TRUE(slow.WaitClosed());
  EXPECT_EQ(slow.Received(), "");
  EXPECT_EQ(WaitForLogLine("ERR! 127.0.0.1 > Request not"),
            "ERR! 127.0.0.1 > Request not received within 60 seconds (10 bytes received).");

  send(quick, "GET /login.html HT");
  clockOffsetSeconds_ = 60 + 59;
  send(quick, "TP/1.1\r\n\r\n");
  EXPECT_NE(quick.ReadUntil("\r\n\r\n", 2), "");
  EXPECT_FALSE(quick.ClosedByServer());
}

TEST_F(DataServerTest, ListenErrorIsLoggedAndHandedOn) {
  Start();
  std::mutex mu;
  std::condition_variable cv;
  std::string error;
  DataServer second(Context(), core_);  // after what its handler uses, so that it goes first
  DataServerEvents events;
  events.listenError = [&](HttpServer&, const std::exception& e) {
    std::lock_guard lock(mu);
    error = e.what();
    cv.notify_all();
  };
  second.SetEvents(events);
  second.StartServer(DefaultContentTypeLines(), std::stoi(port_));
  std::unique_lock lock(mu);
  ASSERT_TRUE(cv.wait_for(lock, 10s, [&] { return !error.empty(); }));
  EXPECT_EQ(error, "Error 10048 in function Bind\r\nAddress or Port already in use");
  lock.unlock();
  EXPECT_NE(WaitForLogLine("EWinSockException>Error 10048 in function Bind"), "");
  EXPECT_NE(WaitForLogLine("Error starting Web Server!"), "");
}

TEST_F(DataServerTest, StopAndStartAgainTakesNewContentTypes) {
  WriteFile(programFolder_ + "file.xyz", "data");
  Start();
  EXPECT_EQ(Get("/file.xyz").Header("CONTENT-TYPE"), "");
  listening_ = false;
  server_->StopServer();
  ASSERT_NE(WaitForLogLine("SERVER STOPPED."), "");
  auto lines = DefaultContentTypeLines();
  lines.insert(lines.begin(), "xyz = application/x-test");
  Start(lines);
  EXPECT_EQ(Get("/file.xyz").Header("CONTENT-TYPE"), "application/x-test");
}

}  // namespace
}  // namespace vidoria
