// The server module: the program's one HTTP server, its fixed settings, its log lines.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/http_server.h"
#include "web/provider_module.h"

namespace vidoria {

// Owns the server and the provider module. StartServer and StopServer are called by the window
// (or the headless program) on its own thread; the event handlers run on request threads. The
// hooks are set before the first start and forwarded after the module's own work, outside its
// lock.
class DataServer {
  // Declared before httpServer, so that they are destroyed after it: the server's destructor waits
  // for its connections, which use them.
  WebContext context_;
  std::unique_ptr<ProviderModule> providers_;

 public:
  DataServer(WebContext context, CoreRuntime& core = ProcessCore());
  DataServer(const DataServer&) = delete;
  DataServer& operator=(const DataServer&) = delete;
  ~DataServer();

  // Rebuilds the provider tables from the content-type lines, takes the port and listens.
  void StartServer(const std::vector<std::string>& contentTypeLines, double port);
  void StopServer();
  int ConnectionCount() const;

  // The provider module, created at the first start.
  ProviderModule& Providers();

  ServerHandler onListenStart, onListenStop;
  std::function<void(HttpServer&, const std::exception&)> onListenError;
  ConnectionHandler onConnecting, onDisconnecting;

  HttpServer httpServer;

 private:
  void ServerListenStart(HttpServer& server);
  void ServerListenStop(HttpServer& server);
  void ServerListenError(HttpServer& server, const std::exception& e);
  void ServerConnecting(Connection& c);
  void ServerDisconnecting(Connection& c);
  void ServerDisconnect(Connection& c);
  void ServerRequestNotAccepted(Connection& c);
  void ServerInvalidRequest(Connection& c);

  mutable std::mutex connectionLock_;  // guards connectionCount_ and the line written with it
  int connectionCount_ = 0;
};

}  // namespace vidoria
