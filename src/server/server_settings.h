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
  int AfterConnecting = 0;
  int AfterConnect = 0;
  int AfterDataReceived = 0;
  int AfterDataLost = 0;  // kept for completeness; never applied
  int AfterDataSend = 0;
  int AfterDataOut = 0;
  int AfterDataIn = 0;
  int AfterDataSent = 0;
};

struct TimeoutsOfAPI {
  int ResolveTimeout = 0;
  int ConnectTimeout = 0;
  int SendTimeout = 0;     // seconds; SO_SNDTIMEO when positive
  int ReceiveTimeout = 0;  // seconds; SO_RCVTIMEO when positive
  int ResponseTimeout = 0;
};

struct RestartParam {
  bool ListenLost = false;
  bool ListenError = false;
  int Wait = 0;  // seconds; 0 or less: 100 ms
};

// The handlers a connection receives from its listening server when it is created; handlers
// assigned later do not reach connections that already exist.
struct ConnectionEvents {
  ConnectionHandler OnConnecting, OnDisconnecting, OnConnect, OnDisconnect, OnClientConnect,
      OnClientDisconnect, OnDataOut, OnDataIn, OnRequestAccepted, OnRequestNotAccepted,
      OnResponseDone, OnSessionOpen, OnSessionClose, OnInvalidRequest;
  // The connection's own steps for a request that no provider owns (the program leaves them unset).
  ConnectionHandler OnDataSent, OnReadyToSend;
};

struct ListenerEvents {
  ServerHandler OnListenStart, OnListenStop, OnListenLost, OnRestart;
  std::function<void(HttpServer&, const std::exception&)> OnListenError, OnException;
};

struct ConnectionSettings {
  std::string ServerAddr;
  std::string ServerPort;
  bool MultiThreaded = false;
  vidoria::Timeout Timeout;
  uint32_t MaxRequestSize = 0;
  uint32_t MaxHeaderSize = 0;
  ServerRequestFixup FixupRequest;
  ConnectionEvents events;
};

}  // namespace vidoria
