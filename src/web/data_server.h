// The server module: the program's one HTTP server, its fixed settings, its log lines.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/http_server.h"
#include "web/provider_module.h"

namespace vidoria {

// What the program hears of the server, after the module's own work (its log lines). Each runs on
// a request thread, outside the module's lock; an empty one is skipped.
struct DataServerEvents {
  ServerHandler listenStart, listenStop;
  std::function<void(HttpServer&, const std::exception&)> listenError;
  ConnectionHandler connecting, disconnecting;
  ConnectionHandler dataOut;  // after every send, with Connection::DataOut() its byte count
};

// Owns the server and the provider module. The owner (the engine, or a test) calls everything
// here from one thread of its own; the events run on request threads.
//
// A request has to arrive whole within one idle interval (Timeout.afterConnecting) of its first
// byte, or its connection is closed with an "ERR! " line: every byte a client sends renews the
// idle timer, so without this a client trickling a request a byte at a time would hold its
// connection open for as long as it liked.
class DataServer {
  // Declared before server_, so that they are destroyed after it: the server's destructor waits
  // for its connections, which use them.
  WebContext context_;
  std::unique_ptr<ProviderModule> providers_;

 public:
  // `sessions` (default: the process's store) must outlive the module.
  explicit DataServer(WebContext context, CoreRuntime& core = ProcessCore(),
                      SessionStore* sessions = nullptr);
  DataServer(const DataServer&) = delete;
  DataServer& operator=(const DataServer&) = delete;
  ~DataServer();

  // Once, before the first start: connections of a stopped server may still be closing and
  // running them.
  void SetEvents(DataServerEvents events);
  // Rebuilds the provider tables from the content-type lines, takes the port and listens; the
  // outcome arrives as listenStart or listenError. Port 0 lets the system choose.
  void StartServer(const std::vector<std::string>& contentTypeLines, int port);
  void StopServer();

  bool Listening() const { return server_.Listening(); }
  // The port listened on ("" while not listening): the chosen one when 0 was asked for.
  std::string LocalPort() const { return server_.LocalPort(); }
  int ConnectionCount() const;
  // Bytes sent to clients since the last call (any thread): the traffic meter's reading.
  uint64_t TakeBytesSent() { return bytesSent_.exchange(0, std::memory_order_relaxed); }
  // Sends so far (any thread): grows while the server works, stands still while it is quiet.
  uint64_t Activity() const { return sends_.load(std::memory_order_relaxed); }

  // For tests that drive the server's connections in memory.
  HttpServer& ServerForTesting() { return server_; }

  // The provider module, created at the first start.
  ProviderModule& Providers();

 private:
  void ServerListenStart(HttpServer& server);
  void ServerListenStop(HttpServer& server);
  void ServerListenError(HttpServer& server, const std::exception& e);
  void ServerConnecting(Connection& c);
  void ServerDisconnecting(Connection& c);
  void ServerDisconnect(Connection& c);
  void ServerDataIn(Connection& c);
  void ServerDataOut(Connection& c);
  void ServerRequestNotAccepted(Connection& c);
  void ServerInvalidRequest(Connection& c);

  DataServerEvents events_;  // owner's thread while stopped; read by request threads
  std::atomic<uint64_t> bytesSent_{0};
  std::atomic<uint64_t> sends_{0};
  mutable std::mutex connectionLock_;  // guards connectionCount_ and the line written with it
  int connectionCount_ = 0;

  HttpServer server_;  // last: its destructor waits for connections that use the fields above
};

}  // namespace vidoria
