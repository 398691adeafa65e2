// The listening HTTP server: settings, listening, accepting, restarting and stopping.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "server/connection.h"
#include "server/core_runtime.h"
#include "server/data_provider.h"
#include "server/server_settings.h"
#include "server/session_store.h"

namespace vidoria {

class ConnectionQueue;
namespace testing {
class ConnectionDriver;
}

// Configure the public settings and handlers, attach providers (SetServer), then Listen().
// Settings, handlers and providers are changed only while the server is not listening. Listen and
// StopListen may be called from any thread and return at once; the work runs as jobs on the
// listener's own queue and is reported through the events. The server must outlive its
// connections: the destructor stops listening and waits for them to close.
class HttpServer : public ConnectionEvents, public ListenerEvents {
 public:
  // A connection that would take one of the process's last kFreeDescriptors descriptor slots is
  // closed at once, as over the connection limit: a flood of clients must not leave the program
  // unable to open the files it answers with or to save the user's changes.
  static constexpr int kFreeDescriptors = 64;

  // Bursts of thousands of connects arrive within milliseconds; a queue of 200 overflowed, and
  // each dropped connect costs its client a second. lighttpd uses as many.
  static constexpr int kListenBacklog = 1024;
  // The unit of a send, of its data-out event and of the counts and log lines built on them: the
  // size the server has always sent in. The socket buffers themselves are left to the kernel.
  static constexpr int kPieceSize = 64240;
  static constexpr int kTotalConnectionLimit = 32000;
  static constexpr int kDefaultServerConnectionLimit = 32000;
  static constexpr std::chrono::milliseconds kRestartDelayDefault{100};

  explicit HttpServer(CoreRuntime& core = ProcessCore());
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;
  virtual ~HttpServer();

  std::string serverAddr;  // "" binds every interface
  std::string serverPort;  // a number or a service name
  vidoria::Timeout timeout;
  vidoria::TimeoutsOfAPI timeoutsOfApi;
  RestartParam restartOn;
  uint32_t maxRequestSize = 0;
  uint32_t maxHeaderSize = 0;
  ServerRequestFixup fixupRequest;
  int serverConnectionLimit = kDefaultServerConnectionLimit;
  SessionStore* sessions = &ProcessSessions();  // must outlive the server

  bool MultiThreaded() const { return multiThreaded_; }
  // Throws EConnection "Can not change MultiThreaded after Listen." while listening.
  void SetMultiThreaded(bool on);

  void Listen();
  void StopListen();

  bool Listening() const;
  std::string LocalAddr() const;
  std::string LocalPort() const;
  // Connections of this server that are counted open now (any thread).
  int OpenConnections() const;
  ComponentList& Components() { return components_; }
  CoreRuntime& Core() { return core_; }
  // For tests that take the listening socket away from under the server.
  int ListenerFdForTesting() const;

 private:
  friend class AbsDataServerLink;
  friend class Connection;
  friend class testing::ConnectionDriver;
  enum class State { kClosed, kStarting, kListening };

  bool PostToListener(std::unique_ptr<Job> job, bool atHead = false);
  void StartJob();
  void CreateListeningSocket();
  // Takes every connection waiting in the listen queue and sets each up (AcceptOne).
  void AcceptJob();
  void AcceptOne(int fd);
  // Connections set up before the listen queue is emptied again. A set-up costs several accepts,
  // and a burst's connects arrive faster than set-ups go, so only a few come between two looks.
  static constexpr int kSetUpsPerLook = 4;

  void ListenLostJob();
  void StopJob();
  void RestartJob();
  void RequestRestart();
  void ScheduleRestart(std::chrono::milliseconds delay);
  void AfterListenerEvent();
  void CloseListeningSocket();
  void RunListenerEvent(const ServerHandler& handler);

  // What a new connection takes from the server: a copy made now, shared by every connection
  // accepted while the server listens (settings and handlers change only while it does not).
  std::shared_ptr<const ConnectionSettings> SettingsForConnection();
  // Connection bookkeeping, called from connection jobs.
  bool CountConnection();
  void UncountConnection();
  void Established(uint64_t id, const std::weak_ptr<ConnectionQueue>& queue);
  void Forget(uint64_t id);

  CoreRuntime& core_;
  ComponentList components_;
  bool multiThreaded_ = false;

  mutable std::mutex mu_;  // guards the fields below that are touched outside listener jobs
  std::shared_ptr<JobQueue> listenerQueue_;
  std::map<uint64_t, std::weak_ptr<ConnectionQueue>> connections_;  // accepted, not yet freed
  State state_ = State::kClosed;
  std::string localAddr_, localPort_;
  int openConnections_ = 0;
  int listenFd_ = -1;
  std::shared_ptr<const ConnectionSettings> listeningSettings_;  // made at the first accept

  // Owned by the listener's jobs.
  WatchId listenWatch_ = 0;
  bool stopRequested_ = false;
  bool restartPending_ = false;
  bool stopPending_ = false;
  int listenerEventDepth_ = 0;
  TimerId restartTimer_ = 0;
  std::atomic<bool> destroying_{false};
};

}  // namespace vidoria
