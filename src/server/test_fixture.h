// A server on an ephemeral loopback port for tests, with an event recorder.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/http_server.h"

namespace vidoria::testing {

using namespace std::chrono_literals;

// Records events of all threads in order, and waits for them.
class EventLog {
 public:
  void Add(std::string event) {
    std::lock_guard lock(mu_);
    events_.push_back(std::move(event));
    cv_.notify_all();
  }
  bool WaitFor(const std::string& event, std::chrono::milliseconds timeout = 10s) {
    return WaitForCount(event, 1, timeout);
  }
  // Waits until `event` was recorded `count` times.
  bool WaitForCount(const std::string& event, int count, std::chrono::milliseconds timeout = 10s) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, timeout,
                        [&] { return std::count(events_.begin(), events_.end(), event) >= count; });
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
class ServerFixture : public ::testing::Test {
 protected:
  ServerFixture() {
    server_ = std::make_unique<HttpServer>(core_);
    server_->serverAddr = "127.0.0.1";
    server_->serverPort = "0";
    server_->SetMultiThreaded(true);
    server_->maxRequestSize = 128000;
    server_->maxHeaderSize = 16000;
    server_->timeout.afterConnecting = 60;
    server_->onListenStart = [this](HttpServer&) { log_.Add("ListenStart"); };
    server_->onListenStop = [this](HttpServer&) { log_.Add("ListenStop"); };
    server_->onListenError = [this](HttpServer&, const std::exception& e) {
      log_.Add(std::string("ListenError:") + e.what());
    };
  }
  // Handlers that capture a test's locals must not run after the test body: a test using such
  // handlers stops the server (waiting for its connections) before its locals go.
  void StopServer() { server_.reset(); }

  ~ServerFixture() override {
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
    DataProvider* provider = NewProvider();
    provider->SetCheckOrder(order);
    provider->onCheckRequest = [](Connection& c) { c.Accept(); };
    provider->onDataReceived = [body](Connection& c) {
      if (c.Request().complete) c.Write(body);
    };
    provider->SetServer(server_.get());
  }

  // Providers must outlive the connections that use them, so the fixture owns them.
  DataProvider* NewProvider() {
    providers_.push_back(std::make_unique<DataProvider>());
    return providers_.back().get();
  }

  CoreRuntime core_;
  std::unique_ptr<HttpServer> server_;
  std::vector<std::unique_ptr<DataProvider>> providers_;
  std::vector<std::unique_ptr<DataServerLink>> links_;
  EventLog log_;
  std::string port_;
};

}  // namespace vidoria::testing
