#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "server/http_server.h"
#include "server/test_client.h"

namespace vidoria {
namespace {

using namespace std::chrono_literals;
using testing::TestClient;

// Records events of all threads in order, and waits for them.
class EventLog {
 public:
  void Add(std::string event) {
    std::lock_guard lock(mu_);
    events_.push_back(std::move(event));
    cv_.notify_all();
  }
  bool WaitFor(const std::string& event, std::chrono::milliseconds timeout = 10s) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, timeout, [&] {
      return std::find(events_.begin(), events_.end(), event) != events_.end();
    });
  }
  std::vector<std::string> Events() {
    std::lock_guard lock(mu_);
    return events_;
  }
  int Count(const std::string& event) {
    std::lock_guard lock(mu_);
    return static_cast<int>(std::count(events_.begin(), events_.end(), event));
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<std::string> events_;
};

// A server on an ephemeral loopback port with the program's limits, its own runtime, and a
// provider whose answer each test chooses.
class HttpServerTest : public ::testing::Test {
 protected:
  HttpServerTest() {
    server_ = std::make_unique<HttpServer>(core_);
    server_->ServerAddr = "127.0.0.1";
    server_->ServerPort = "0";
    server_->SetMultiThreaded(true);
    server_->MaxRequestSize = 128000;
    server_->MaxHeaderSize = 16000;
    server_->Timeout.AfterConnecting = 60;
    server_->OnListenStart = [this](HttpServer&) { log_.Add("ListenStart"); };
    server_->OnListenStop = [this](HttpServer&) { log_.Add("ListenStop"); };
    server_->OnListenError = [this](HttpServer&, const std::exception& e) {
      log_.Add(std::string("ListenError:") + e.what());
    };
  }
  ~HttpServerTest() override {
    server_.reset();
    core_.Shutdown();
  }

  void Start() {
    server_->Listen();
    ASSERT_TRUE(log_.WaitFor("ListenStart"));
    port_ = server_->LocalPort();
  }

  // A provider answering every GET with `body`, collected (no length set).
  void AnswerWith(const std::string& body, int order = 10) {
    auto provider = std::make_unique<DataProvider>();
    provider->SetCheckOrder(order);
    provider->OnCheckRequest = [](Connection& c) { c.Accept(); };
    provider->OnDataReceived = [body](Connection& c) {
      if (c.Request.Complete) c.Write(body);
    };
    provider->SetServer(server_.get());
    providers_.push_back(std::move(provider));
  }

  CoreRuntime core_;
  std::unique_ptr<HttpServer> server_;
  std::vector<std::unique_ptr<DataProvider>> providers_;
  EventLog log_;
  std::string port_;
};

TEST_F(HttpServerTest, AnswersCollectedOutputWithItsComputedLength) {
  auto provider = std::make_unique<DataProvider>();
  provider->OnCheckRequest = [](Connection& c) { c.Accept(); };
  provider->OnDataReceived = [](Connection& c) {
    c.Write("abc");
    c.Write("def");
  };
  provider->SetServer(server_.get());
  Start();
  TestClient client(port_);
  client.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(client.ReadUntil("def"), "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 6\r\n\r\nabcdef");
}

TEST_F(HttpServerTest, BackToBackRequestsAreAnsweredInOrder) {
  auto provider = std::make_unique<DataProvider>();
  provider->OnCheckRequest = [](Connection& c) { c.Accept(); };
  provider->OnDataReceived = [](Connection& c) { c.Write(c.Request.FileName()); };
  provider->SetServer(server_.get());
  Start();
  TestClient client(port_);
  client.Send("GET /one HTTP/1.1\r\n\r\nGET /two HTTP/1.1\r\n\r\nGET /three HTTP/1.1\r\n\r\n");
  std::string all = client.ReadUntil("HTTP/1.1", 3);
  all = client.ReadUntil("/three");
  EXPECT_EQ(all,
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\n/one"
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 4\r\n\r\n/two"
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: 6\r\n\r\n/three");
}

}  // namespace
}  // namespace vidoria
