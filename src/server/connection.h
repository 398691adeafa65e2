// One accepted connection: its life, its events and the dispatch of its requests.
//
// Who owns what, and on which thread:
// - A Connection lives inside its own serial job queue (ConnectionQueue, connection_queue.h) and
//   is freed with it. Every step of it (init, read, write, data sent, close) and every handler it
//   runs is a job of that queue, so one worker at a time touches the connection, its records
//   (Request, Response), its reader, its ResponseWriter, its IdleTimer and its Socket: none of
//   them has a lock.
// - A readiness thread of the notifier reports the socket's readiness: the Socket's watch handler
//   turns it into read, write and close messages (ConnectionQueue::Notify) and runs them itself,
//   as jobs of the queue, when the queue is idle, else queues them. The notifier thread's idle
//   timer tick posts the timeout message. Neither touches connection state outside a job.
// - The listener's queue creates the connection and runs its init message (as a job of the
//   connection's queue, on the listener's thread) and posts its stop message; the
//   listener's counters (HttpServer) have their own lock.
// - Session comes from the server's SessionStore, whose own lock guards it; the connection holds
//   at most one, released once an answer's last byte is written, when the next request is
//   dispatched, or on close.
// - Any thread may call Disconnect, Listen, StopListen and InMainThread; Sync hands one handler
//   to the main thread and waits for it.
//
// The jobs are split by file: connection.cpp (the socket steps from init to close),
// connection_requests.cpp (dispatch, data events, sessions), response_writer.cpp (answers),
// connection_queue.cpp (messages), socket.cpp (the kernel socket).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "server/http_reader.h"
#include "server/http_records.h"
#include "server/idle_timer.h"
#include "server/info.h"
#include "server/response_writer.h"
#include "server/server_settings.h"
#include "server/socket.h"

namespace vidoria {

class ConnectionQueue;
class HttpServer;
class ServerSession;

// The socket messages a connection's queue delivers to it, one job each.
enum class ConnectionMessage { kInit, kRead, kWrite, kDataSent, kClose, kStop, kTimeout };

// The Sender of every connection and provider event. Unless noted, members may only be called
// from the connection's own events; handlers must not keep the reference after their event
// returned.
class Connection {
 public:
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  // The current request and its answer. Created with the rest of the exchange on first use.
  ServerRequest& Request() { return GetExchange().request; }
  ServerResponse& Response() { return GetExchange().response; }
  vidoria::Info& GetInfo() { return info_; }
  ServerSession* session = nullptr;  // set while a server session is bound to this connection

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
  void Write(std::string_view text) { GetExchange().writer.Write(text); }
  // Writes `length` bytes of the file at `path` from `offset` as Write would, sent straight
  // from the file (no copy through the program), which stays open until the answer has left.
  // When the file cannot be opened, ends or fails before they have left, the bytes not sent are
  // taken back from Response.ContentOut and `onReadError` runs as an event.
  void WriteFile(const std::string& path, int64_t offset, int64_t length,
                 ConnectionHandler onReadError) {
    GetExchange().writer.WriteFile(path, offset, length, std::move(onReadError));
  }
  // Hands over the file an answer is about to send, opened already while choosing it, so that
  // WriteFile of its path need not open it again (see ResponseWriter::UseFile).
  void UseAnswerFile(AnswerFile file) { GetExchange().writer.UseFile(std::move(file)); }
  void WriteHeader(bool sendNow) { GetExchange().writer.WriteHeader(sendNow); }
  // Parses `headerText` into the response first; an empty text writes no header and makes the
  // connection close after the request.
  void WriteHeader(std::string_view headerText, bool sendNow) {
    GetExchange().writer.WriteHeader(headerText, sendNow);
  }
  // Claims the current request for the active provider.
  void Accept();
  // Releases the connection's session, if any, and opens a new one as Session. Throws
  // EConnection "Unable to initialize session" when no identifier can be had.
  ServerSession* OpenSession(uint8_t lockMode);
  DataProvider* ActiveProvider() const { return active_; }
  bool Open() const { return phase_ != Phase::kClosed; }

  // For the dispatcher: selects the provider asked now and runs handlers as events.
  void SetActiveProvider(DataProvider* provider) { active_ = provider; }
  void RunEvent(const ConnectionHandler& handler);

 private:
  friend class ConnectionQueue;
  friend class ResponseWriter;

  Connection(HttpServer& server, ConnectionQueue& queue, std::unique_ptr<Socket> socket,
             std::shared_ptr<const ConnectionSettings> settings, Timers& timers);

  // What a connection needs once its client sent a byte or an answer is written. Phones and
  // browsers hold connections open that never send anything (thousands of them in a burst), and
  // those carry none of it. Kept once created: keep-alive requests reuse its records and buffers.
  struct Exchange {
    Exchange(Connection& connection, HttpReaderLimits limits);
    ServerRequest request;
    ServerResponse response;
    HttpReader reader;
    HttpReader::Callbacks readerCallbacks;
    ResponseWriter writer;
  };
  Exchange& GetExchange() { return exchange_ ? *exchange_ : StartExchange(); }
  Exchange& StartExchange();
  // Reads of the request's state that must not create an exchange: without one there is no
  // request yet.
  bool RequestComplete() const { return exchange_ && exchange_->request.complete; }
  bool RequestAccepted() const { return exchange_ && exchange_->request.accepted; }

  // Runs one socket message; true when the connection closed (its queue then finishes). An
  // exception leaving it is answered with CloseStep. While the socket takes every piece at once,
  // the data-sent steps that follow run here too, up to kInlinePieces of them: a file leaves
  // piece after piece in one wake-up, without a message, a hand-over or a re-arm per piece.
  bool Handle(ConnectionMessage message);
  bool HandleOne(ConnectionMessage message);
  static constexpr int kInlinePieces = 32;
  // The writer's report that all output left: the data-sent step runs next, inline while
  // handling a message within the budget, else as a message of its own.
  void AllOutputSent();

  // The connection's life. Each phase says which closing events are owed.
  enum class Phase : uint8_t {
    kAccepted,     // counted by the listener; init has not finished
    kOpen,         // init done: the idle timer runs, ClientDisconnect is owed
    kEstablished,  // Connect fired: Disconnect is owed
    kClosed,       // the close step began: no I/O, no further events but its own
  };

  void InitStep();
  bool ReadStep();
  void WriteStep();
  void DataSentStep();
  void Establish();
  // The closing events, then the socket is released; does nothing the second time.
  void CloseStep();

  void OnReceived(size_t n);
  // The writer's report of `n` bytes taken by the socket, after its own accounting.
  void OnSent(size_t n);
  // The writer's report of whether output waits for the socket; see writeWanted_.
  void OutputWaiting(bool waiting);
  void DataReceivedStep();
  void InvalidRequestStep();
  void RunEventAndFlush(const ConnectionHandler& handler);
  void ReleaseSessionLock();
  // Connecting fired exactly when the local address was known and specific.
  bool ConnectingFired() const { return !localPort_.empty(); }

  // At the end of each message: arms the socket for the one report the connection waits for now.
  void RearmSocket();
  void PostMessage(ConnectionMessage message, bool atHead = false);
  // Asks for another read step unless one is waiting already.
  void PostRead();

  HttpServer& server_;
  ConnectionQueue& queue_;
  // Shared with the other connections of the listening period; settings_ is *sharedSettings_.
  const std::shared_ptr<const ConnectionSettings> sharedSettings_;
  const ConnectionSettings& settings_;
  vidoria::Info info_;
  std::unique_ptr<Socket> socket_;
  IdleTimer idle_;
  std::unique_ptr<Exchange> exchange_;  // see GetExchange
  size_t sendBlock_ = 64240;            // the socket's send size, for the exchange's writer

  Phase phase_ = Phase::kAccepted;
  // The listener counts a connection open when it accepts it, so that a burst of accepts cannot
  // pass the limits; released by the close step (or, when a closing event threw, on freeing).
  bool reserved_ = true;
  int eventDepth_ = 0;
  bool handling_ = false;        // inside Handle
  bool dataSentInline_ = false;  // a data-sent step waits to run at the end of Handle
  int inlineBudget_ = 0;         // data-sent steps Handle may still run inline
  DataProvider* active_ = nullptr;
  std::string peerAddr_, peerPort_, localAddr_, localPort_;
  uint32_t dataIn_ = 0, dataOut_ = 0;
  int64_t totalIn_ = 0, totalOut_ = 0;
};

}  // namespace vidoria
