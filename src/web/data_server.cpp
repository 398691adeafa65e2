#include "web/data_server.h"

#include <cmath>
#include <sstream>

#include "server/exceptions.h"
#include "server/log.h"
#include "web/request_log.h"

namespace vidoria {

DataServer::DataServer(WebContext context, CoreRuntime& core)
    : context_(std::move(context)), Server(core) {
  Server.SetMultiThreaded(true);
  Server.Timeout.AfterConnecting = 60;
  Server.ServerPort = "80";
  Server.RestartOn.ListenLost = true;
  Server.MaxRequestSize = 128000;
  Server.MaxHeaderSize = 16000;
  Server.OnConnecting = [this](Connection& c) { ServerConnecting(c); };
  Server.OnDisconnecting = [this](Connection& c) { ServerDisconnecting(c); };
  Server.OnDisconnect = [this](Connection& c) { ServerDisconnect(c); };
  Server.OnListenStart = [this](HttpServer& s) { ServerListenStart(s); };
  Server.OnListenStop = [this](HttpServer& s) { ServerListenStop(s); };
  Server.OnListenError = [this](HttpServer& s, const std::exception& e) {
    ServerListenError(s, e);
  };
  Server.OnRequestNotAccepted = [this](Connection& c) { ServerRequestNotAccepted(c); };
  Server.OnInvalidRequest = [this](Connection& c) { ServerInvalidRequest(c); };
}

DataServer::~DataServer() {
  // The server waits for its connections here, while the providers they use still exist.
  StopServer();
}

FileProvider& DataServer::GetFileProvider() {
  if (!fileProvider_) fileProvider_ = std::make_unique<FileProvider>(context_);
  return *fileProvider_;
}

void DataServer::StartServer(const std::vector<std::string>& contentTypeLines, double port) {
  FileProvider& provider = GetFileProvider();
  provider.ClearHostRoots();
  provider.AddHostRoot("* = ./");  // every host is served from the program's folder
  provider.ClearDefaultPages();
  provider.AddDefaultPage("index.html");
  provider.ClearContentTypes();
  for (const std::string& line : contentTypeLines) provider.AddContentType(line);
  provider.ServerLink.SetServer(&Server);
  std::ostringstream text;
  text << port;  // the shortest form: 80 gives "80"
  Server.ServerPort = text.str();
  Server.SetMultiThreaded(true);
  Server.Listen();
}

void DataServer::StopServer() {
  Server.StopListen();
}

int DataServer::ConnectionCount() const {
  std::lock_guard lock(ConnectionLock);
  return ConnectionCount_;
}

void DataServer::ServerListenStart(HttpServer& server) {
  Log("SERVER STARTED ...");
  if (OnListenStart) OnListenStart(server);
}

void DataServer::ServerListenStop(HttpServer& server) {
  if (OnListenStop) OnListenStop(server);
  Log("SERVER STOPPED.");
}

void DataServer::ServerListenError(HttpServer& server, const std::exception& e) {
  Log("Error starting Web Server!\r\n" + ExceptionClassName(e) + ">" + e.what());
  if (OnListenError) OnListenError(server, e);
}

void DataServer::ServerConnecting(Connection& c) {
  {
    std::lock_guard lock(ConnectionLock);
    ++ConnectionCount_;
    Log("++++ " + c.PeerAddr() + ":" + c.PeerPort() + " [" + std::to_string(ConnectionCount_) +
        " open]");
  }
  if (OnConnecting) OnConnecting(c);
}

void DataServer::ServerDisconnecting(Connection& c) {
  {
    std::lock_guard lock(ConnectionLock);
    --ConnectionCount_;
    Log("---- " + c.PeerAddr() + ":" + c.PeerPort() + " [" + std::to_string(ConnectionCount_) +
        " open]");
  }
  if (OnDisconnecting) OnDisconnecting(c);
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
