#include "web/data_server.h"

#include <cmath>
#include <sstream>

#include "server/exceptions.h"
#include "server/log.h"
#include "web/request_log.h"

namespace vidoria {

DataServer::DataServer(WebContext context, CoreRuntime& core)
    : context_(std::move(context)), httpServer(core) {
  httpServer.SetMultiThreaded(true);
  httpServer.Timeout.AfterConnecting = 60;
  httpServer.ServerPort = "80";
  httpServer.RestartOn.ListenLost = true;
  httpServer.MaxRequestSize = 128000;
  httpServer.MaxHeaderSize = 16000;
  httpServer.OnConnecting = [this](Connection& c) { ServerConnecting(c); };
  httpServer.OnDisconnecting = [this](Connection& c) { ServerDisconnecting(c); };
  httpServer.OnDisconnect = [this](Connection& c) { ServerDisconnect(c); };
  httpServer.OnListenStart = [this](HttpServer& s) { ServerListenStart(s); };
  httpServer.OnListenStop = [this](HttpServer& s) { ServerListenStop(s); };
  httpServer.OnListenError = [this](HttpServer& s, const std::exception& e) {
    ServerListenError(s, e);
  };
  httpServer.OnRequestNotAccepted = [this](Connection& c) { ServerRequestNotAccepted(c); };
  httpServer.OnInvalidRequest = [this](Connection& c) { ServerInvalidRequest(c); };
}

DataServer::~DataServer() {
  // The server waits for its connections here, while the providers they use still exist.
  StopServer();
}

ProviderModule& DataServer::Providers() {
  if (!providers_) providers_ = std::make_unique<ProviderModule>(context_);
  return *providers_;
}

void DataServer::StartServer(const std::vector<std::string>& contentTypeLines, double port) {
  ProviderModule& providers = Providers();
  FilesProvider& files = providers.Files();
  files.ClearHostRoots();
  files.AddHostRoot("* = ./");  // every host is served from the program's folder
  files.ClearDefaultPages();
  files.AddDefaultPage("index.html");
  files.ClearContentTypes();
  for (const std::string& line : contentTypeLines) files.AddContentType(line);
  providers.Link().SetServer(&httpServer);
  std::ostringstream text;
  text << port;  // the shortest form: 80 gives "80"
  httpServer.ServerPort = text.str();
  httpServer.SetMultiThreaded(true);
  httpServer.Listen();
}

void DataServer::StopServer() {
  httpServer.StopListen();
}

int DataServer::ConnectionCount() const {
  std::lock_guard lock(connectionLock_);
  return connectionCount_;
}

void DataServer::ServerListenStart(HttpServer& server) {
  Log("SERVER STARTED ...");
  if (onListenStart) onListenStart(server);
}

void DataServer::ServerListenStop(HttpServer& server) {
  if (onListenStop) onListenStop(server);
  Log("SERVER STOPPED.");
}

void DataServer::ServerListenError(HttpServer& server, const std::exception& e) {
  Log("Error starting Web Server!\r\n" + ExceptionClassName(e) + ">" + e.what());
  if (onListenError) onListenError(server, e);
}

void DataServer::ServerConnecting(Connection& c) {
  {
    std::lock_guard lock(connectionLock_);
    ++connectionCount_;
    Log("++++ " + c.PeerAddr() + ":" + c.PeerPort() + " [" + std::to_string(connectionCount_) +
        " open]");
  }
  if (onConnecting) onConnecting(c);
}

void DataServer::ServerDisconnecting(Connection& c) {
  {
    std::lock_guard lock(connectionLock_);
    --connectionCount_;
    Log("---- " + c.PeerAddr() + ":" + c.PeerPort() + " [" + std::to_string(connectionCount_) +
        " open]");
  }
  if (onDisconnecting) onDisconnecting(c);
}

void DataServer::ServerDisconnect(Connection& c) {
  if (c.Request.ContentLength() > c.Request.ContentIn) {
    Log("ERR! " + RequestPart(c) + " 0 " + ClientPart(c) +
        " > DISCONNECTED while receiving a Request (" + std::to_string(c.Request.ContentIn) +
        " of " + std::to_string(c.Request.ContentLength()) + " bytes received).");
  }
}

void DataServer::ServerRequestNotAccepted(Connection& c) {
  Log("BAD! " + c.PeerAddr() + " > " + MethodAndName(c) + " > Method \"" + c.Request.Method() +
      "\" not supported.");
  c.Response.Status(400, "Bad Request");
  c.Write("Status 400: Bad Request");
  c.Disconnect();
}

void DataServer::ServerInvalidRequest(Connection& c) {
  Log("ERR! " + c.PeerAddr() + " > " + MethodAndName(c) +
      " > Invalid Request: Header size limit exceeded.");
  c.Response.Status(400, "Bad Request");
  c.Write("Status 400: Bad Request");
}

}  // namespace vidoria
