#include "web/data_server.h"

#include <chrono>
#include <string_view>

#include "server/exceptions.h"
#include "server/log.h"
#include "web/request_log.h"

namespace vidoria {

namespace {

// Per request: when its first byte arrived, in milliseconds of the steady clock.
constexpr std::string_view kRequestBegan = "$began";

}  // namespace

DataServer::DataServer(WebContext context, CoreRuntime& core, SessionStore* sessions)
    : context_(std::move(context)), server_(core) {
  if (sessions) server_.sessions = sessions;
  server_.SetMultiThreaded(true);
  server_.timeout.afterConnecting = 60;
  server_.serverPort = "80";
  server_.restartOn.listenLost = true;
  server_.maxRequestSize = 128000;
  server_.maxHeaderSize = 16000;
  server_.onConnecting = [this](Connection& c) { ServerConnecting(c); };
  server_.onDisconnecting = [this](Connection& c) { ServerDisconnecting(c); };
  server_.onDisconnect = [this](Connection& c) { ServerDisconnect(c); };
  server_.onListenStart = [this](HttpServer& s) { ServerListenStart(s); };
  server_.onListenStop = [this](HttpServer& s) { ServerListenStop(s); };
  server_.onListenError = [this](HttpServer& s, const std::exception& e) {
    ServerListenError(s, e);
  };
  server_.onRequestNotAccepted = [this](Connection& c) { ServerRequestNotAccepted(c); };
  server_.onInvalidRequest = [this](Connection& c) { ServerInvalidRequest(c); };
  server_.onDataIn = [this](Connection& c) { ServerDataIn(c); };
  server_.onDataOut = [this](Connection& c) { ServerDataOut(c); };
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
  server_.serverPort = std::to_string(port);
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
  if (c.Request().ContentLength() > c.Request().contentIn) {
    LogRequestLine("ERR! " + RequestPart(c) + " 0 " + ClientPart(c) +
                   " > DISCONNECTED while receiving a Request (" +
                   std::to_string(c.Request().contentIn) + " of " +
                   std::to_string(c.Request().ContentLength()) + " bytes received).");
  }
}

void DataServer::ServerDataIn(Connection& c) {
  const int limit = c.Settings().timeout.afterConnecting;
  if (limit <= 0) return;
  const auto now = context_.now ? context_.now() : std::chrono::steady_clock::now();
  const int64_t nowMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  // The record is cleared after each answer, so the mark is the first byte of this request.
  Info& info = c.Request().GetInfo();
  if (!info.Has(kRequestBegan)) {
    info.SetLargeIntField(kRequestBegan, nowMs);
    return;
  }
  if (nowMs - info.LargeIntField(kRequestBegan) < int64_t{limit} * 1000) return;
  Log("ERR! " + c.PeerAddr() + " > Request not received within " + std::to_string(limit) +
      " seconds (" + std::to_string(c.TotalDataIn()) + " bytes received).");
  c.Disconnect();
}

void DataServer::ServerDataOut(Connection& c) {
  bytesSent_.fetch_add(c.DataOut(), std::memory_order_relaxed);
  sends_.fetch_add(1, std::memory_order_relaxed);
  if (events_.dataOut) events_.dataOut(c);
}

void DataServer::ServerRequestNotAccepted(Connection& c) {
  LogRequestLine("BAD! " + c.PeerAddr() + " > " + MethodAndName(c) + " > Method \"" +
                 c.Request().Method() + "\" not supported.");
  c.Response().Status(400, "Bad Request");
  c.Write("Status 400: Bad Request");
  c.Disconnect();
}

void DataServer::ServerInvalidRequest(Connection& c) {
  LogRequestLine("ERR! " + c.PeerAddr() + " > " + MethodAndName(c) +
                 " > Invalid Request: Header size limit exceeded.");
  c.Response().Status(400, "Bad Request");
  c.Write("Status 400: Bad Request");
}

}  // namespace vidoria
