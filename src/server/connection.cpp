#include "server/connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "server/exceptions.h"
#include "server/http_server.h"
#include "server/main_thread.h"
#include "server/session_store.h"

namespace vidoria {

namespace {

class MessageJob final : public Job {
 public:
  explicit MessageJob(int message) : message_(message) {}
  // Only a connection queue understands socket messages.
  void Run(JobQueue&) override { throw EJobError("Error!! Unknown Job class: MessageJob"); }
  int Message() const { return message_; }

 private:
  int message_;
};

void Address(const sockaddr_in& address, std::string& host, std::string& port) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  host = text;
  port = std::to_string(ntohs(address.sin_port));
}

}  // namespace

// --- The queue -------------------------------------------------------------------------------

ConnectionQueue::ConnectionQueue(HttpServer& server, int fd, ConnectionSettings settings)
    : connection_(server, *this, fd, std::move(settings)) {}

bool ConnectionQueue::Work(Job& job) {
  try {
    if (auto* message = dynamic_cast<MessageJob*>(&job)) {
      return connection_.Handle(static_cast<Connection::Message>(message->Message()));
    }
    return JobQueue::Work(job);
  } catch (...) {
    // An exception that escapes an event closes the connection, silently, with its events.
    try {
      connection_.CloseStep();
    } catch (...) {
    }
    return true;
  }
}

void ConnectionQueue::Notify(uint32_t events) {
  if (events & (EPOLLHUP | EPOLLERR)) {
    connection_.PostMessage(Connection::Message::kClose, /*atHead=*/true);
    return;
  }
  if ((events & (EPOLLIN | EPOLLRDHUP)) && !readQueued_.exchange(true)) {
    connection_.PostMessage(Connection::Message::kRead);
  }
  if ((events & EPOLLOUT) && !writeQueued_.exchange(true)) {
    connection_.PostMessage(Connection::Message::kWrite);
  }
}

void ConnectionQueue::PostInit() {
  connection_.PostMessage(Connection::Message::kInit);
}

void ConnectionQueue::PostStop() {
  connection_.PostMessage(Connection::Message::kStop, true);
}

// --- The connection --------------------------------------------------------------------------

Connection::Connection(HttpServer& server, ConnectionQueue& queue, int fd,
                       ConnectionSettings settings)
    : server_(server),
      queue_(queue),
      settings_(std::move(settings)),
      reader_(HttpReaderLimits{settings_.MaxRequestSize, settings_.MaxHeaderSize,
                               settings_.FixupRequest}),
      fd_(fd) {
  readerCallbacks_.received = [this] { DataReceivedStep(); };
  readerCallbacks_.invalid = [this] { InvalidRequestStep(); };
}

Connection::~Connection() {
  // A queue freed without its close step (pool shutdown) still must not leak the socket.
  if (watch_) server_.Core().notifier.Unwatch(watch_);
  if (timer_) server_.Core().notifier.timers().Stop(timer_);
  if (fd_ >= 0) ::close(fd_);
  if (reserved_) server_.UncountConnection();
  if (Session) server_.Sessions->Release(Session, {});
  server_.Forget(queue_.Id());
}

void Connection::PostMessage(Message message, bool atHead) {
  queue_.Post(std::make_unique<MessageJob>(static_cast<int>(message)), false, atHead);
}

bool Connection::Handle(Message message) {
  switch (message) {
    case Message::kInit:
      InitStep();
      return false;
    case Message::kRead:
      queue_.readQueued_ = false;
      return ReadStep();
    case Message::kWrite:
      queue_.writeQueued_ = false;
      WriteStep();
      return false;
    case Message::kDataSent:
      dataSentQueued_ = false;
      DataSentStep();
      return false;
    case Message::kClose:
    case Message::kStop:
    case Message::kTimeout:
      CloseStep();
      return true;
  }
  return false;
}

void Connection::RunEvent(const ConnectionHandler& handler) {
  if (!handler) return;
  ++eventDepth_;
  struct Depth {
    int& depth;
    ~Depth() { --depth; }
  } depth{eventDepth_};
  handler(*this);
}

void Connection::RunEventAndFlush(const ConnectionHandler& handler) {
  RunEvent(handler);
  Flush();
}

void Connection::Disconnect() {
  PostMessage(Message::kClose);
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
  int size = 0;
  socklen_t len = sizeof size;
  if (::getsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &size, &len) == 0 && size > 0 &&
      size <= HttpServer::SocketBufferSize) {
    sendBlock_ = static_cast<size_t>(size);
  }
  linger off{0, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &off, sizeof off);
  // Edge-triggered: each readiness is one message; the reader asks for more itself when a
  // receive may have left bytes behind.
  std::weak_ptr<JobQueue> weak = queue_.shared_from_this();
  watch_ = server_.Core().notifier.Watch(fd_, EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET,
                                         [weak](uint32_t events) {
                                           if (auto queue = weak.lock())
                                             static_cast<ConnectionQueue&>(*queue).Notify(events);
                                         });

  sockaddr_in local{}, peer{};
  socklen_t localLen = sizeof local, peerLen = sizeof peer;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &localLen) == 0) {
    std::string port;
    Address(local, localAddr_, port);
    if (localAddr_ != "0.0.0.0") {
      localPort_ = port;
      if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &peerLen) == 0) {
        Address(peer, peerAddr_, peerPort_);
      }
      connectingFired_ = true;
      RunEvent(settings_.events.OnConnecting);
    }
  }

  counted_ = true;
  timer_ = server_.Core().notifier.timers().Create();
  ApplyTimeout(settings_.Timeout.AfterConnecting);
  RunEvent(settings_.events.OnClientConnect);
}

void Connection::Establish() {
  if (established_ || !connectingFired_ || closing_) return;
  established_ = true;
  RunEvent(settings_.events.OnConnect);
  ApplyTimeout(settings_.Timeout.AfterConnect);
}

bool Connection::ReadStep() {
  if (!Open()) return false;
  Establish();
  if (Request.Complete) {
    // The response to the current request is still on its way; the bytes wait in the socket.
    reader_.SetDataPending(true);
    return false;
  }
  reader_.SetDataPending(false);
  char buffer[HttpServer::SocketBufferSize];
  ssize_t n;
  do {
    n = ::recv(fd_, buffer, sizeof buffer, 0);
  } while (n < 0 && errno == EINTR);
  if (n == 0) {
    CloseStep();
    return true;
  }
  if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
    CloseStep();
    return true;
  }
  if (n > 0) {
    OnReceived(static_cast<size_t>(n));
    reader_.Append(std::string_view(buffer, static_cast<size_t>(n)));
    // A full receive may have left more behind, and edge-triggered readiness will not repeat.
    if (static_cast<size_t>(n) == sizeof buffer && !queue_.readQueued_.exchange(true)) {
      PostMessage(Message::kRead);
    }
  }
  if (reader_.Process(Request, Response, readerCallbacks_) == HttpReader::Outcome::kInvalid) {
    Disconnect();
  }
  return false;
}

void Connection::WriteStep() {
  if (!Open()) return;
  Establish();
  TrySend();
}

void Connection::OnReceived(size_t n) {
  ApplyTimeout(settings_.Timeout.AfterDataIn);
  dataIn_ = static_cast<uint32_t>(n);
  totalIn_ += static_cast<int64_t>(n);
  if (Request.Accepted && active_) RunEvent(active_->OnDataIn);
  RunEvent(settings_.events.OnDataIn);
}

void Connection::OnSent(size_t n) {
  if (Response.HeaderSent && bytesToDeliver_ >= 0) {
    bytesToDeliver_ -= static_cast<int64_t>(n);
    Response.Sent = bytesToDeliver_ <= 0;
    if (Response.Sent) {
      Request.Started = false;
      Request.Active = false;
      Response.Sending = false;
      Response.HeaderSent = false;
      headerWritten_ = false;
    }
  }
  ApplyTimeout(settings_.Timeout.AfterDataOut);
  dataOut_ = static_cast<uint32_t>(n);
  totalOut_ += static_cast<int64_t>(n);
  if (Request.Accepted && active_) RunEvent(active_->OnDataOut);
  RunEvent(settings_.events.OnDataOut);
  Flush();
}

void Connection::DataReceivedStep() {
  ++eventDepth_;
  struct Depth {
    int& depth;
    ~Depth() { --depth; }
  } depth{eventDepth_};
  if (Request.Accepted && active_) {
    RunEventAndFlush(active_->OnDataReceived);
    return;
  }
  if (!Request.Accepted) {
    active_ = nullptr;
    ReleaseSessionLock();
    dispatch::CheckPass(server_.Components(), *this);
    if (!Request.Active) {
      Flush();
      return;
    }
  }
  if (Request.Accepted && active_) {
    if (!Response.Done) RunEvent(active_->OnDataReceived);
    Flush();
    return;
  }
  ReleaseSessionLock();
  active_ = nullptr;
  if (settings_.events.OnRequestNotAccepted) {
    RunEventAndFlush(settings_.events.OnRequestNotAccepted);
  } else {
    Disconnect();
  }
}

void Connection::InvalidRequestStep() {
  RunEventAndFlush(settings_.events.OnInvalidRequest);
}

void Connection::Accept() {
  if (Request.Accepted) return;
  Request.Accepted = true;
  dispatch::LinkChain(active_, &DataServerLink::OnRequestAccepted, *this);
  RunEvent(settings_.events.OnRequestAccepted);
  Flush();
}

void Connection::DataSentStep() {
  if (!Open()) return;
  if (sentSomething_) ApplyTimeout(settings_.Timeout.AfterDataSent);
  RunEventAndFlush(active_ ? active_->OnDataSent : settings_.events.OnDataSent);
  const bool sent = Response.Sent;
  if (sent) {
    dispatch::LinkChain(active_, &DataServerLink::OnResponseDone, *this);
    RunEvent(settings_.events.OnResponseDone);
    Request.Accepted = false;
    Request.Active = false;
    active_ = nullptr;
    ReleaseSessionLock();
    if (Request.Close) Disconnect();
  }
  if (Open()) {
    RunEventAndFlush(active_ ? active_->OnReadyToSend : settings_.events.OnReadyToSend);
    if (Response.Sent && Request.Close) Disconnect();
  }
  if (sent) {
    Request.Clear();
    Response.Clear();
    reader_.RequestDone();
    if (reader_.DataPending() && !queue_.readQueued_.exchange(true)) PostMessage(Message::kRead);
  }
}

ServerSession* Connection::OpenSession(uint8_t lockMode) {
  ReleaseSessionLock();
  Session = server_.Sessions->Open(lockMode, peerAddr_, Request.ForwardedFor());
  RunEvent(settings_.events.OnSessionOpen);
  dispatch::SessionOpen(server_.Components(), *this);
  return Session;
}

void Connection::ReleaseSessionLock() {
  if (Session == nullptr) return;
  ServerSession* released = Session;
  Session = nullptr;
  server_.Sessions->Release(released, [this](ServerSession& closing) {
    // The closing chain sees the closing session as the connection's own, for its duration.
    ServerSession* own = Session;
    Session = &closing;
    try {
      dispatch::SessionClose(server_.Components(), *this);
      RunEvent(settings_.events.OnSessionClose);
    } catch (...) {
      Session = own;
      throw;
    }
    Session = own;
  });
}

void Connection::ApplyTimeout(int seconds) {
  if (!timer_) return;
  Timers& timers = server_.Core().notifier.timers();
  if (seconds > 0 && seconds != interval_) {
    interval_ = seconds;
    std::weak_ptr<JobQueue> weak = queue_.shared_from_this();
    timers.EnableJob(
        timer_, std::chrono::seconds(seconds), false, false,
        [] { return std::make_unique<MessageJob>(static_cast<int>(Message::kTimeout)); }, weak);
  } else if (seconds == 0 || seconds == interval_) {
    timers.Reset(timer_);
  } else {
    timers.Disable(timer_);
  }
}

void Connection::CloseStep() {
  if (fd_ < 0 || closing_) return;
  closing_ = true;
  if (watch_) server_.Core().notifier.Unwatch(watch_);
  watch_ = 0;
  if (connectingFired_) RunEvent(settings_.events.OnDisconnecting);
  if (established_) {
    if (Request.Accepted && active_) {
      RunEvent(active_->OnDisconnect);
      dispatch::LinkChain(active_, &DataServerLink::OnDisconnect, *this);
    }
    RunEvent(settings_.events.OnDisconnect);
    active_ = nullptr;
    ReleaseSessionLock();
  }
  if (reserved_) {
    reserved_ = false;
    server_.UncountConnection();
  }
  if (counted_) {
    counted_ = false;
    RunEvent(settings_.events.OnClientDisconnect);
    server_.Core().notifier.timers().Stop(timer_);
    timer_ = 0;
  }
  ::shutdown(fd_, SHUT_RDWR);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace vidoria
