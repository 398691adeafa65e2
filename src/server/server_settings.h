// The published settings and event handlers of a listening server, copied into each connection.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "server/data_provider.h"
#include "server/http_records.h"

namespace vidoria {

// Idle intervals in seconds, each applied when its phase is entered: > 0 sets the interval (and
// restarts the period when it differs), 0 keeps the interval and only postpones the deadline,
// < 0 stops the idle timer.
struct Timeout {
  int afterConnecting = 0;
  int afterConnect = 0;
  int afterDataReceived = 0;
  int afterDataLost = 0;  // kept for completeness; never applied
  int afterDataSend = 0;
  int afterDataOut = 0;
  int afterDataIn = 0;
  int afterDataSent = 0;
};

struct TimeoutsOfAPI {
  int resolveTimeout = 0;
  int connectTimeout = 0;
  int sendTimeout = 0;     // seconds; SO_SNDTIMEO when positive
  int receiveTimeout = 0;  // seconds; SO_RCVTIMEO when positive
  int responseTimeout = 0;
};

struct RestartParam {
  bool listenLost = false;
  bool listenError = false;
  int wait = 0;  // seconds; 0 or less: 100 ms
};

// The handlers a connection receives from its listening server when it is created; handlers
// assigned later do not reach connections that already exist.
struct ConnectionEvents {
  ConnectionHandler onConnecting, onDisconnecting, onConnect, onDisconnect, onClientConnect,
      onClientDisconnect, onDataOut, onDataIn, onRequestAccepted, onRequestNotAccepted,
      onResponseDone, onSessionOpen, onSessionClose, onInvalidRequest;
  // The connection's own steps for a request that no provider owns (the program leaves them unset).
  ConnectionHandler onDataSent, onReadyToSend;
};

struct ListenerEvents {
  ServerHandler onListenStart, onListenStop, onListenLost, onRestart;
  std::function<void(HttpServer&, const std::exception&)> onListenError, onException;
};

struct ConnectionSettings {
  std::string serverAddr;
  std::string serverPort;
  bool multiThreaded = false;
  vidoria::Timeout timeout;
  uint32_t maxRequestSize = 0;
  uint32_t maxHeaderSize = 0;
  ServerRequestFixup fixupRequest;
  ConnectionEvents events;
};

}  // namespace vidoria
