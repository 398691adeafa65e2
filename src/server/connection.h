// One accepted connection: its socket, its HTTP reader and writer, its events.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "server/http_reader.h"
#include "server/http_records.h"
#include "server/info.h"
#include "server/job_queue.h"
#include "server/notifier.h"
#include "server/server_settings.h"

namespace vidoria {

class ConnectionQueue;
class HttpServer;
class ServerSession;

// The Sender of every connection and provider event. A connection lives inside its own serial
// job queue (ConnectionQueue): every event of it runs as a job there, so its state needs no lock,
// and it is freed with the queue once closed. Unless noted, members may only be called from the
// connection's own events; handlers must not keep the reference after their event returned.
class Connection {
 public:
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  ServerRequest Request;
  ServerResponse Response;
  vidoria::Info& GetInfo() { return info_; }
  ServerSession* Session = nullptr;  // set while a server session is bound to this connection

  const std::string& PeerAddr() const { return peerAddr_; }
  const std::string& PeerPort() const { return peerPort_; }
  const std::string& LocalAddr() const { return localAddr_; }
  const std::string& LocalPort() const { return localPort_; }
  uint32_t DataIn() const { return dataIn_; }    // bytes of the last receive
  uint32_t DataOut() const { return dataOut_; }  // bytes of the last send
  int64_t TotalDataIn() const { return totalIn_; }
  int64_t TotalDataOut() const { return totalOut_; }
  HttpServer& Server() const { return server_; }
  const ConnectionSettings& Settings() const { return settings_; }

  // Any thread: closes the connection after the jobs already queued for it.
  void Disconnect();
  // Any thread: forwarded to the listening server.
  void Listen();
  void StopListen();
  bool InMainThread() const;
  // Runs `handler(*this)` on the main thread and waits for it; see SyncOnMainThread. Without a
  // main thread configured on the server the handler runs here at once.
  bool Sync(const ConnectionHandler& handler);

  // The body bytes received so far and not yet taken; "" when none or when closed.
  std::string Read();
  // Writes body text: collected until the event ends when no Content-Length was set (the length
  // is then computed), else sent with the header going first. Raises the writer's EConnection
  // errors for answers written twice or longer than announced.
  void Write(std::string_view text);
  void WriteHeader(bool sendNow);
  // Parses `headerText` into the response first; an empty text writes no header and makes the
  // connection close after the request.
  void WriteHeader(std::string_view headerText, bool sendNow);
  // Claims the current request for the active provider.
  void Accept();
  // Releases the connection's session, if any, and opens a new one as Session. Throws
  // EConnection "Unable to initialize session" when no identifier can be had.
  ServerSession* OpenSession(uint8_t lockMode);
  DataProvider* ActiveProvider() const { return active_; }
  bool Open() const { return fd_ >= 0 && !closing_; }

  // For the dispatcher: selects the provider asked now and runs handlers as events.
  void SetActiveProvider(DataProvider* provider) { active_ = provider; }
  void RunEvent(const ConnectionHandler& handler);

 private:
  friend class ConnectionQueue;
  enum class Message { kInit, kRead, kWrite, kDataSent, kClose, kStop, kTimeout };

  Connection(HttpServer& server, ConnectionQueue& queue, int fd, ConnectionSettings settings);

  // Runs one socket message; true when the connection closed (its queue then finishes).
  bool Handle(Message message);
  void InitStep();
  bool ReadStep();
  void WriteStep();
  void DataSentStep();
  void Establish();
  void CloseStep();

  void OnReceived(size_t n);
  void OnSent(size_t n);
  void DataReceivedStep();
  void InvalidRequestStep();
  void RunEventAndFlush(const ConnectionHandler& handler);
  void ReleaseSessionLock();

  // The writer.
  void WriteHeaderNow(bool sendNow);
  void SendBody(std::string_view text);
  void Flush();
  void LastWrite();
  void AppendOutput(std::string_view bytes) { out_.append(bytes); }
  void TrySend();
  void PostMessage(Message message, bool atHead = false);

  void ApplyTimeout(int seconds);

  HttpServer& server_;
  ConnectionQueue& queue_;
  const ConnectionSettings settings_;
  vidoria::Info info_;
  HttpReader reader_;
  HttpReader::Callbacks readerCallbacks_;

  int fd_;
  WatchId watch_ = 0;
  TimerId timer_ = 0;
  int interval_ = 0;  // seconds of the idle timer's current period
  std::string peerAddr_, peerPort_, localAddr_, localPort_;
  uint32_t dataIn_ = 0, dataOut_ = 0;
  int64_t totalIn_ = 0, totalOut_ = 0;
  bool connectingFired_ = false, counted_ = false, established_ = false, closing_ = false;
  // The listener counts a connection open when it accepts it, so that a burst of accepts cannot
  // pass the limits; released when the socket closes.
  bool reserved_ = true;
  int eventDepth_ = 0;
  DataProvider* active_ = nullptr;

  // Writer state.
  bool headerWritten_ = false;
  int64_t contentToWrite_ = -1;
  int64_t bytesToDeliver_ = -1;
  bool outputBuffering_ = false;
  std::string outputBuffer_;
  // Socket output not yet taken by the kernel, from outPos_ on.
  std::string out_;
  size_t outPos_ = 0;
  size_t sendBlock_ = 64240;
  bool sending_ = false;
  bool sendFailed_ = false;
  bool sentSomething_ = false;
  bool dataSentQueued_ = false;
};

// The serial job queue that owns a connection. The notifier thread posts readiness into it;
// the coalescing flags keep at most one read and one write message waiting at a time.
class ConnectionQueue final : public JobQueue {
 public:
  ConnectionQueue(HttpServer& server, int fd, ConnectionSettings settings);
  Connection& GetConnection() { return connection_; }

  // Notifier thread: turns epoll events into messages.
  void Notify(uint32_t events);
  void PostInit();
  void PostStop();

 protected:
  bool Work(Job& job) override;

 private:
  friend class Connection;
  Connection connection_;
  std::atomic<bool> readQueued_{false};
  std::atomic<bool> writeQueued_{false};
};

}  // namespace vidoria
