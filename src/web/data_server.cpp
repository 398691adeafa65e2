#include "web/data_server.h"

#include "server/exceptions.h"
#include "server/log.h"
#include "web/request_log.h"

namespace vidoria {

DataServer::DataServer(WebContext context, CoreRuntime& core, SessionStore* sessions)
    : context_(std::move(context)), server_(core) {
  if (sessions) server_.Sessions = sessions;
  server_.SetMultiThreaded(true);
  server_.Timeout.AfterConnecting = 60;
  server_.ServerPort = "80";
  server_.RestartOn.ListenLost = true;
  server_.MaxRequestSize = 128000;
  server_.MaxHeaderSize = 16000;
  server_.OnConnecting = [this](Connection& c) { ServerConnecting(c); };
  server_.OnDisconnecting = [this](Connection& c) { ServerDisconnecting(c); };
  server_.OnDisconnect = [this](Connection& c) { ServerDisconnect(c); };
  server_.OnListenStart = [this](HttpServer& s) { ServerListenStart(s); };
  server_.OnListenStop = [this](HttpServer& s) { ServerListenStop(s); };
  server_.OnListenError = [this](HttpServer& s, const std::exception& e) {
    ServerListenError(s, e);
  };
  server_.OnRequestNotAccepted = [this](Connection& c) { ServerRequestNotAccepted(c); };
  server_.OnInvalidRequest = [this](Connection& c) { ServerInvalidRequest(c); };
  server_.OnDataOut = [this](Connection& c) { ServerDataOut(c); };
}

void DataServer::SetEvents(DataServerEvents events) {
  events_ = std::move(events);
}

DataServer::~DataServer() {
  // The server waits for its connections here, while the providers they use still exist.
  StopServer();
}

ProviderModule& DataServer::Providers() {
  if (!providers_) providers_ = std::make_unique<ProviderModule>(context_);
  return *providers_;
}

void DataServer::StartServer(const std::vector<std::string>& contentTypeLines, int port) {
  ProviderModule& providers = Providers();
  FilesProvider& files = providers.Files();
  files.ClearHostRoots();
  files.AddHostRoot("* = ./");  // every host is served from the program's folder
  files.ClearDefaultPages();
  files.AddDefaultPage("index.html");
  files.ClearContentTypes();
  for (const std::string& line : contentTypeLines) files.AddContentType(line);
  providers.Link().SetServer(&server_);
  server_.ServerPort = std::to_string(port);
  server_.SetMultiThreaded(true);
  server_.Listen();
}

void DataServer::StopServer() {
  server_.StopListen();
}

int DataServer::ConnectionCount() const {
  std::lock_guard lock(connectionLock_);
  return connectionCount_;
}

void DataServer::ServerListenStart(HttpServer& server) {
  Log("SERVER STARTED ...");
  if (events_.listenStart) events_.listenStart(server);
}

void DataServer::ServerListenStop(HttpServer& server) {
  if (events_.listenStop) events_.listenStop(server);
  Log("SERVER STOPPED.");
}

void DataServer::ServerListenError(HttpServer& server, const std::exception& e) {
  Log("Error starting Web Server!\r\n" + ExceptionClassName(e) + ">" + e.what());
  if (events_.listenError) events_.listenError(server, e);
}

void DataServer::ServerConnecting(Connection& c) {
  {
    std::lock_guard lock(connectionLock_);
    ++connectionCount_;
    Log("++++ " + c.PeerAddr() + ":" + c.PeerPort() + " [" + std::to_string(connectionCount_) +
        " open]");
  }
  if (events_.connecting) events_.connecting(c);
}

void DataServer::ServerDisconnecting(Connection& c) {
  {
    std::lock_guard lock(connectionLock_);
    --connectionCount_;
    Log("---- " + c.PeerAddr() + ":" + c.PeerPort() + " [" + std::to_string(connectionCount_) +
        " open]");
  }
  if (events_.disconnecting) events_.disconnecting(c);
}

void DataServer::ServerDisconnect(Connection& c) {
  if (c.Request.ContentLength() > c.Request.ContentIn) {
    Log("ERR! " + RequestPart(c) + " 0 " + ClientPart(c) +
        " > DISCONNECTED while receiving a Request (" + std::to_string(c.Request.ContentIn) +
        " of " + std::to_string(c.Request.ContentLength()) + " bytes received).");
  }
}

void DataServer::ServerDataOut(Connection& c) {
  bytesSent_.fetch_add(c.DataOut(), std::memory_order_relaxed);
  if (events_.dataOut) events_.dataOut(c);
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
