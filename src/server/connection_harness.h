// Connections over in-memory peers, run on the test's own thread: no sockets, no waiting.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/connection_queue.h"
#include "server/http_server.h"
#include "server/memory_socket.h"
#include "server/timers.h"

namespace vidoria::testing {

// A connection queue that keeps its messages for the test to run, in the order the pool would:
// one at a time, head posts first, nothing after the message that closed it.
class ManualConnectionQueue final : public ConnectionQueue {
 public:
  using ConnectionQueue::ConnectionQueue;

  void PostMessage(ConnectionMessage message, bool atHead) override {
    if (finished_) return;
    if (atHead) {
      inbox_.push_front(message);
    } else {
      inbox_.push_back(message);
    }
  }
  void RunOrPostMessage(ConnectionMessage message, bool atHead) override {
    PostMessage(message, atHead);
  }
  // Runs waiting messages, including those they post, until none is left.
  void RunAll() {
    while (!inbox_.empty() && !finished_) {
      const ConnectionMessage message = inbox_.front();
      inbox_.pop_front();
      auto job = MakeMessageJob(message);
      if (Work(*job)) {
        finished_ = true;
        inbox_.clear();
      }
    }
  }
  bool Finished() const { return finished_; }

 private:
  std::deque<ConnectionMessage> inbox_;
  bool finished_ = false;
};

// One client of a harness connection: its peer end and the queue that runs the connection.
struct HarnessClient {
  std::shared_ptr<MemoryPeer> peer;
  std::shared_ptr<ManualConnectionQueue> queue;
  Connection& GetConnection() { return queue->GetConnection(); }
};

// Makes connections of a server over in-memory peers, as its listener would, and runs them only
// inside Run, on the calling thread. Their idle timers run on a clock that only Advance moves.
// The server must outlive the driver.
class ConnectionDriver {
 public:
  explicit ConnectionDriver(HttpServer& server) : server_(server) {}
  ConnectionDriver(const ConnectionDriver&) = delete;
  ConnectionDriver& operator=(const ConnectionDriver&) = delete;

  // A new connection, already through its init and first readiness.
  HarnessClient& Connect() {
    auto peer = std::make_shared<MemoryPeer>();
    HarnessClient& client = Connect(std::make_unique<MemorySocket>(peer));
    client.peer = peer;
    return client;
  }
  // The same over a socket of the test's making (its readiness is the test's to report too);
  // the client's `peer` stays empty.
  HarnessClient& Connect(std::unique_ptr<Socket> socket) {
    if (!server_.CountConnection()) ADD_FAILURE() << "connection limit";
    auto queue = std::make_shared<ManualConnectionQueue>(server_, std::move(socket),
                                                         server_.SettingsForConnection(), &timers_);
    queue->PostInit();
    clients_.push_back({nullptr, queue});
    queue->RunAll();
    return clients_.back();
  }
  // Runs every connection's waiting messages until all are idle (a connection's messages only
  // ever come from itself or its peer, so one pass does).
  void Run() {
    for (auto& client : clients_) client.queue->RunAll();
  }
  // Moves the idle timers' clock on second by second, delivering their ticks and running what
  // they cause after each.
  void Advance(std::chrono::seconds total) {
    for (std::chrono::seconds done{0}; done < total; done += std::chrono::seconds(1)) {
      now_ += std::chrono::seconds(1);
      timers_.DeliverDue();
      Run();
    }
  }
  // Sends `bytes` as `client` and runs what they cause; returns all the server sent so far.
  const std::string& Exchange(HarnessClient& client, std::string_view bytes) {
    client.peer->Send(bytes);
    Run();
    return client.peer->Received();
  }

 private:
  HttpServer& server_;
  Timers::Clock::time_point now_ = Timers::Clock::time_point{} + std::chrono::hours(1);
  Timers timers_{[this] { return now_; }};  // outlives the connections, which stop their timers
  std::deque<HarnessClient> clients_;
};

// A server that never listens: tests attach providers and handlers to it, then Connect clients.
// Idle timeouts are off, so no timer thread starts.
class ConnectionHarness : public ::testing::Test {
 protected:
  ConnectionHarness() {
    server_ = std::make_unique<HttpServer>(core_);
    server_->maxRequestSize = 128000;
    server_->maxHeaderSize = 16000;
    driver_ = std::make_unique<ConnectionDriver>(*server_);
  }
  ~ConnectionHarness() override {
    driver_.reset();
    server_.reset();
    core_.Shutdown();
  }

  HarnessClient& Connect() { return driver_->Connect(); }
  HarnessClient& Connect(std::unique_ptr<Socket> socket) {
    return driver_->Connect(std::move(socket));
  }
  void Run() { driver_->Run(); }
  const std::string& Exchange(HarnessClient& client, std::string_view bytes) {
    return driver_->Exchange(client, bytes);
  }

  DataProvider* NewProvider() {
    providers_.push_back(std::make_unique<DataProvider>());
    return providers_.back().get();
  }
  // A provider accepting every request and answering `answer` once it is complete.
  DataProvider* AnswerWith(std::function<void(Connection&)> answer) {
    DataProvider* provider = NewProvider();
    provider->onCheckRequest = [](Connection& c) { c.Accept(); };
    provider->onDataReceived = [answer = std::move(answer)](Connection& c) {
      if (c.Request().complete) answer(c);
    };
    provider->SetServer(server_.get());
    return provider;
  }

  CoreRuntime core_;
  std::unique_ptr<HttpServer> server_;
  std::unique_ptr<ConnectionDriver> driver_;
  std::vector<std::unique_ptr<DataProvider>> providers_;
  std::vector<std::unique_ptr<DataServerLink>> links_;
  std::vector<std::string> events_;  // for handlers to record into, in order
};

}  // namespace vidoria::testing
