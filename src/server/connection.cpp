// The life of a connection: its socket steps from init to close.
#include "server/connection.h"

#include <sys/epoll.h>

#include "server/connection_queue.h"
#include "server/event_depth.h"
#include "server/http_server.h"
#include "server/main_thread.h"
#include "server/session_store.h"

namespace vidoria {

Connection::Connection(HttpServer& server, ConnectionQueue& queue, std::unique_ptr<Socket> socket,
                       std::shared_ptr<const ConnectionSettings> settings, Timers& timers)
    : server_(server),
      queue_(queue),
      sharedSettings_(std::move(settings)),
      settings_(*sharedSettings_),
      socket_(std::move(socket)),
      idle_(timers) {}

Connection::Exchange::Exchange(Connection& connection, HttpReaderLimits limits)
    : reader(std::move(limits)), writer(connection, request, response) {
  readerCallbacks.received = [&connection] { connection.DataReceivedStep(); };
  readerCallbacks.invalid = [&connection] { connection.InvalidRequestStep(); };
  writer.SetSendBlock(connection.sendBlock_);
}

Connection::Exchange& Connection::StartExchange() {
  exchange_ = std::make_unique<Exchange>(
      *this,
      HttpReaderLimits{settings_.maxRequestSize, settings_.maxHeaderSize, settings_.fixupRequest});
  return *exchange_;
}

Connection::~Connection() {
  // A queue freed without its close step (pool shutdown) still must not leak the socket.
  socket_->Unwatch();
  idle_.Stop();
  socket_.reset();
  if (reserved_) server_.UncountConnection();
  if (session) server_.sessions->Release(session, {});
  server_.Forget(queue_.Id());
}

void Connection::PostMessage(ConnectionMessage message, bool atHead) {
  queue_.PostMessage(message, atHead);
}

void Connection::PostRead() {
  if (!queue_.readQueued_.exchange(true)) PostMessage(ConnectionMessage::kRead);
}

bool Connection::Handle(ConnectionMessage message) {
  struct Handling {
    Connection& c;
    ~Handling() { c.handling_ = false; }
  } handling{*this};
  handling_ = true;
  inlineBudget_ = kInlinePieces;
  dataSentInline_ = false;
  if (HandleOne(message)) return true;
  while (dataSentInline_ && Open()) {
    dataSentInline_ = false;
    GetExchange().writer.DataSentArrived();
    DataSentStep();
  }
  return false;
}

void Connection::AllOutputSent() {
  if (handling_ && inlineBudget_ > 0) {
    --inlineBudget_;
    dataSentInline_ = true;
  } else {
    PostMessage(ConnectionMessage::kDataSent);
  }
}

bool Connection::HandleOne(ConnectionMessage message) {
  switch (message) {
    case ConnectionMessage::kInit:
      InitStep();
      return false;
    case ConnectionMessage::kRead:
      queue_.readQueued_ = false;
      return ReadStep();
    case ConnectionMessage::kWrite:
      queue_.writeQueued_ = false;
      WriteStep();
      return false;
    case ConnectionMessage::kDataSent:
      GetExchange().writer.DataSentArrived();
      DataSentStep();
      return false;
    case ConnectionMessage::kClose:
    case ConnectionMessage::kStop:
    case ConnectionMessage::kTimeout:
      CloseStep();
      return true;
  }
  return false;
}

void Connection::RunEvent(const ConnectionHandler& handler) {
  if (!handler) return;
  EventDepth depth(eventDepth_);
  handler(*this);
}

void Connection::Disconnect() {
  PostMessage(ConnectionMessage::kClose);
}

void Connection::Listen() {
  server_.Listen();
}

void Connection::StopListen() {
  server_.StopListen();
}

bool Connection::InMainThread() const {
  MainThread* main = server_.Core().main;
  return main != nullptr && main->IsMainThread();
}

bool Connection::Sync(const ConnectionHandler& handler) {
  if (!handler) return false;
  MainThread* main = server_.Core().main;
  if (main == nullptr) {
    handler(*this);
    return true;
  }
  return SyncOnMainThread(*main, queue_, [&] { handler(*this); });
}

void Connection::InitStep() {
  sendBlock_ = socket_->Prepare(HttpServer::kPieceSize);
  // Each report is one message, and the socket is armed again only at a message's end (see
  // RearmSocket); the reader asks for more itself when a receive may have left bytes behind.
  std::weak_ptr<JobQueue> weak = queue_.shared_from_this();
  socket_->Watch(server_.Core().notifier, [weak](uint32_t events) {
    if (auto queue = weak.lock()) static_cast<ConnectionQueue&>(*queue).Notify(events);
  });

  std::string port;
  if (socket_->LocalName(localAddr_, port) && localAddr_ != "0.0.0.0") {
    localPort_ = port;  // from here on ConnectingFired()
    socket_->PeerName(peerAddr_, peerPort_);
    RunEvent(settings_.events.onConnecting);
  }

  phase_ = Phase::kOpen;
  idle_.Start([weak] {
    if (auto queue = weak.lock()) {
      static_cast<ConnectionQueue&>(*queue).PostMessage(ConnectionMessage::kTimeout, false);
    }
  });
  idle_.Apply(settings_.timeout.afterConnecting);
  RunEvent(settings_.events.onClientConnect);
}

void Connection::Establish() {
  if (phase_ != Phase::kOpen || !ConnectingFired()) return;
  phase_ = Phase::kEstablished;
  RunEvent(settings_.events.onConnect);
  idle_.Apply(settings_.timeout.afterConnect);
}

bool Connection::ReadStep() {
  if (!Open()) return false;
  Establish();
  if (RequestComplete()) {
    // The response to the current request is still on its way; the bytes wait in the socket.
    exchange_->reader.SetDataPending(true);
    return false;
  }
  if (exchange_) exchange_->reader.SetDataPending(false);
  char buffer[HttpServer::kPieceSize];
  const Socket::Result got = socket_->Receive(buffer, sizeof buffer);
  if (got.status == Socket::Status::kClosed || got.status == Socket::Status::kFailed) {
    CloseStep();
    return true;
  }
  if (got.status == Socket::Status::kDone) {
    Exchange& e = GetExchange();
    OnReceived(got.bytes);
    e.reader.Append(std::string_view(buffer, got.bytes));
    // A full receive may have left more behind, and a client's end that came with its last bytes
    // is reported only once: edge-triggered readiness will not repeat either, so read on.
    if (got.bytes == sizeof buffer || queue_.peerEnded_) PostRead();
  }
  if (!exchange_) return false;  // nothing has come yet
  Exchange& e = *exchange_;
  if (e.reader.Process(e.request, e.response, e.readerCallbacks) == HttpReader::Outcome::kInvalid) {
    Disconnect();
  }
  return false;
}

void Connection::RearmSocket() {
  if (!Open() || phase_ == Phase::kAccepted) return;
  uint32_t events = 0;
  // A complete request leaves the next one's bytes in the socket until its answer is done, and
  // a read already queued reads anyway: asking then would only report the same bytes again.
  if (!RequestComplete() && !queue_.readQueued_.load()) events |= EPOLLIN | EPOLLRDHUP;
  if (queue_.writeWanted_.load() && !queue_.writeQueued_.load()) events |= EPOLLOUT;
  socket_->Rearm(events);
}

void Connection::OutputWaiting(bool waiting) {
  // A connection not yet established still needs its first write readiness for that.
  queue_.writeWanted_.store(waiting || phase_ == Phase::kOpen || phase_ == Phase::kAccepted);
}

void Connection::WriteStep() {
  if (!Open()) return;
  Establish();
  if (exchange_) {
    exchange_->writer.TrySend();
  } else {
    OutputWaiting(false);  // nothing was ever written: the write readiness only established it
  }
}

void Connection::CloseStep() {
  if (phase_ == Phase::kClosed) return;
  const Phase was = phase_;
  phase_ = Phase::kClosed;
  socket_->Unwatch();
  if (ConnectingFired()) RunEvent(settings_.events.onDisconnecting);
  if (was == Phase::kEstablished) {
    if (RequestAccepted() && active_) {
      RunEvent(active_->onDisconnect);
      dispatch::LinkChain(active_, &DataServerLink::onDisconnect, *this);
    }
    RunEvent(settings_.events.onDisconnect);
    active_ = nullptr;
    ReleaseSessionLock();
  }
  if (reserved_) {
    reserved_ = false;
    server_.UncountConnection();
  }
  if (was != Phase::kAccepted) {
    RunEvent(settings_.events.onClientDisconnect);
    idle_.Stop();
  }
  socket_->Close();
  if (exchange_) exchange_->writer.DropOutput();
}

}  // namespace vidoria
