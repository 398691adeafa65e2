#include "server/http_server.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <thread>

#include "server/connection_queue.h"
#include "server/event_depth.h"
#include "server/exceptions.h"
#include "server/socket_errors.h"
#include "server/text.h"

namespace vidoria {

namespace {

// The process-wide open counts; this lock also guards every server's own count.
std::mutex countLock;
int totalOpen = 0;

uint16_t ResolvePort(const std::string& text) {
  const std::string_view port = TrimControl(text);
  if (!port.empty() && std::all_of(port.begin(), port.end(), ::isdigit)) {
    const long value = port.size() > 5 ? 65536 : std::stol(std::string(port));
    if (value > 65535) throw SocketError(EINVAL, "Bind");
    return static_cast<uint16_t>(value);
  }
  servent entry{}, *found = nullptr;
  char buffer[1024];
  ::getservbyname_r(std::string(port).c_str(), "tcp", &entry, buffer, sizeof buffer, &found);
  if (found == nullptr) throw SocketError(EINVAL, "Bind");
  return ntohs(static_cast<uint16_t>(found->s_port));
}

// Whether the descriptor an accept just returned lies in the last slots of the process's table.
// Descriptors are handed out lowest first, so every slot below it was taken a moment ago.
bool InLastSlots(int fd) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
  return static_cast<rlim_t>(fd) + HttpServer::kFreeDescriptors >= limit.rlim_cur;
}

void SetOption(int fd, int level, int name, int value) {
  ::setsockopt(fd, level, name, &value, sizeof value);
}

}  // namespace

HttpServer::HttpServer(CoreRuntime& core) : core_(core) {
  static std::once_flag raised;
  std::call_once(raised, [] { RaiseOpenFileLimit(); });
}

HttpServer::~HttpServer() {
  destroying_ = true;
  StopListen();
  const auto deadline = std::chrono::steady_clock::now() + WorkerPool::kShutdownWait;
  for (;;) {
    {
      std::lock_guard lock(mu_);
      if (connections_.empty() && state_ == State::kClosed && !stopPending_) break;
    }
    if (std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::shared_ptr<JobQueue> queue;
  {
    std::lock_guard lock(mu_);
    queue = listenerQueue_;
  }
  if (queue && queue->PostQuit()) {
    while (queue->Registered() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  if (restartTimer_) core_.notifier.GetTimers().Stop(restartTimer_);
  auto components = components_.Items();
  for (AbsDataServerLink* component : components) component->Detach();
}

void HttpServer::SetMultiThreaded(bool on) {
  if (on == multiThreaded_) return;  // setting it again changes nothing, listening or not
  if (Listening()) throw EConnection("Can not change MultiThreaded after Listen.");
  multiThreaded_ = on;
}

bool HttpServer::Listening() const {
  std::lock_guard lock(mu_);
  return state_ == State::kListening;
}

std::string HttpServer::LocalAddr() const {
  std::lock_guard lock(mu_);
  return localAddr_;
}

std::string HttpServer::LocalPort() const {
  std::lock_guard lock(mu_);
  return localPort_;
}

int HttpServer::OpenConnections() const {
  std::lock_guard lock(countLock);
  return openConnections_;
}

int HttpServer::ListenerFdForTesting() const {
  std::lock_guard lock(mu_);
  return listenFd_;
}

bool HttpServer::PostToListener(std::unique_ptr<Job> job, bool atHead) {
  std::shared_ptr<JobQueue> queue;
  {
    std::lock_guard lock(mu_);
    if (!listenerQueue_ || !listenerQueue_->Registered()) {
      listenerQueue_ = core_.pool.CreateQueue();
    }
    queue = listenerQueue_;
  }
  return queue->Post(std::move(job), false, atHead);
}

void HttpServer::Listen() {
  {
    std::lock_guard lock(mu_);
    // Inside one of our own listener events: carried out once the event has returned.
    if (listenerQueue_ && JobQueue::Current() == listenerQueue_.get() && listenerEventDepth_ > 0) {
      restartPending_ = true;
      return;
    }
  }
  PostToListener(MakeJob([this](JobQueue&) {
    StartJob();
    AfterListenerEvent();
  }));
}

void HttpServer::StopListen() {
  {
    std::lock_guard lock(mu_);
    stopPending_ = true;
  }
  const bool posted = PostToListener(MakeJob([this](JobQueue&) {
    StopJob();
    AfterListenerEvent();
  }));
  if (!posted) {
    // The worker pool is gone: nothing listens any more, and nobody may wait for a stop job.
    std::lock_guard lock(mu_);
    stopPending_ = false;
  }
}

void HttpServer::RunListenerEvent(const ServerHandler& handler) {
  if (!handler) return;
  EventDepth depth(listenerEventDepth_);
  handler(*this);
}

void HttpServer::StartJob() {
  State state;
  {
    std::lock_guard lock(mu_);
    state = state_;
  }
  // These end the attempt without any event; the server stays as it is.
  if (state == State::kListening) return;  // "Can not start listener again. Connection in use."
  if (state == State::kStarting) return;   // "Can not start listener. Connection in use."
  if (TrimControl(serverPort).empty()) return;  // "Port undefined."
  {
    std::lock_guard lock(mu_);
    state_ = State::kStarting;
  }
  stopRequested_ = false;
  try {
    CreateListeningSocket();
  } catch (const CoreException& e) {
    // EWinSockException, and the limit errors should they come from below.
    CloseListeningSocket();
    if (onListenError) {
      EventDepth depth(listenerEventDepth_);
      onListenError(*this, e);
    }
    bool stopPending;
    {
      std::lock_guard lock(mu_);
      stopPending = stopPending_;
    }
    if (restartOn.listenError && !restartPending_ && !stopPending) RequestRestart();
    return;
  }
  RunListenerEvent(onListenStart);
  EventDepth depth(listenerEventDepth_);
  dispatch::ListenStart(components_, *this);
}

void HttpServer::CreateListeningSocket() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) throw SocketError(errno, "socket");
  {
    std::lock_guard lock(mu_);
    listenFd_ = fd;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  const std::string host = std::string(TrimControl(serverAddr));
  if (host.empty()) {
    address.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
    throw SocketError(EADDRNOTAVAIL, "Bind");
  }
  address.sin_port = htons(ResolvePort(serverPort));
  // Lets a restarted server take its port back while old connections linger in TIME_WAIT; a
  // port held by another listener is still refused.
  SetOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw SocketError(errno, "Bind");
  }
  if (::listen(fd, kListenBacklog) != 0) throw SocketError(errno, "Listen");
  SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
  SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  if (timeoutsOfApi.receiveTimeout > 0) {
    timeval tv{timeoutsOfApi.receiveTimeout, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  }
  if (timeoutsOfApi.sendTimeout > 0) {
    timeval tv{timeoutsOfApi.sendTimeout, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  }
  // The send and receive buffers are left to the kernel, whose autotuning grows them for a fast
  // reader and keeps them small for a slow one; a fixed size would switch it off (kPieceSize).
  linger on{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &on, sizeof on);

  std::weak_ptr<JobQueue> weak;
  {
    std::lock_guard lock(mu_);
    weak = listenerQueue_;
  }
  auto queued = std::make_shared<std::atomic<bool>>(false);
  try {
    listenWatch_ = core_.notifier.Watch(fd, EPOLLIN | EPOLLET, [this, weak, queued](uint32_t ev) {
      auto queue = weak.lock();
      if (!queue) return;
      if (ev & (EPOLLHUP | EPOLLERR)) {
        queue->Post(MakeJob([this](JobQueue&) {
          ListenLostJob();
          AfterListenerEvent();
        }));
      } else if (!queued->exchange(true)) {
        queue->Post(MakeJob([this, queued](JobQueue&) {
          queued->store(false);
          AcceptJob();
          AfterListenerEvent();
        }));
      }
    });
  } catch (const EOutOfResources&) {
    throw SocketError(errno, "WSAASyncSelect");
  }

  sockaddr_in local{};
  socklen_t length = sizeof local;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text);
  std::lock_guard lock(mu_);
  localAddr_ = text;
  localPort_ = std::to_string(ntohs(local.sin_port));
  state_ = State::kListening;
}

void HttpServer::CloseListeningSocket() {
  if (listenWatch_) core_.notifier.Unwatch(listenWatch_);
  listenWatch_ = 0;
  std::lock_guard lock(mu_);
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
  state_ = State::kClosed;
  listeningSettings_.reset();
}

void HttpServer::AcceptJob() {
  // The listen queue holds only kListenBacklog connections, and a connect it turns away is repeated
  // by the client only a second later, while setting a connection up costs many accepts. So
  // connections are taken first and set up after, and the queue is emptied again every few set-ups.
  std::deque<int> taken;
  struct CloseLeft {
    std::deque<int>& fds;
    ~CloseLeft() {
      for (int fd : fds) ::close(fd);  // only when a set-up threw
    }
  } closeLeft{taken};
  bool accepting = true;
  bool lost = false;
  for (;;) {
    while (accepting) {
      int fd;
      {
        std::lock_guard lock(mu_);
        fd = listenFd_;
      }
      if (fd < 0) {
        accepting = false;
        break;
      }
      const int client = ::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (client >= 0) {
        taken.push_back(client);
        continue;
      }
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;  // looked at again after the set-ups
      lost = errno == EINVAL;                              // the socket no longer listens
      accepting = false;                                   // anything else: wait for more readiness
    }
    if (taken.empty()) break;
    for (int i = 0; i < kSetUpsPerLook && !taken.empty(); ++i) {
      const int client = taken.front();
      taken.pop_front();
      AcceptOne(client);
    }
  }
  if (lost) ListenLostJob();
}

void HttpServer::AcceptOne(int fd) {
  if (InLastSlots(fd)) {
    ::close(fd);  // as over a limit: the rest of the table is for files and saves
    return;
  }
  if (!CountConnection()) {
    ::close(fd);  // over a limit: closed at once, nothing sent, no event
    return;
  }
  if (stopRequested_ || destroying_) {
    ::close(fd);
    UncountConnection();
    return;
  }
  auto queue =
      core_.pool.CreateQueue<ConnectionQueue>(*this, MakePosixSocket(fd), SettingsForConnection());
  {
    std::lock_guard lock(mu_);
    connections_[queue->Id()] = queue;
  }
  try {
    queue->PostInit();
  } catch (const EThreadLimitReached&) {
    // The init job waits in the queue until a worker frees up.
  }
}

std::shared_ptr<const ConnectionSettings> HttpServer::SettingsForConnection() {
  std::lock_guard lock(mu_);
  if (state_ == State::kListening && listeningSettings_) return listeningSettings_;
  // Sixteen handlers and the settings: a copy per connection would be most of an idle one.
  auto settings = std::make_shared<const ConnectionSettings>(
      ConnectionSettings{serverAddr, serverPort, multiThreaded_, timeout, maxRequestSize,
                         maxHeaderSize, fixupRequest, static_cast<const ConnectionEvents&>(*this)});
  if (state_ == State::kListening) listeningSettings_ = settings;
  return settings;
}

bool HttpServer::CountConnection() {
  std::lock_guard lock(countLock);
  if (totalOpen >= kTotalConnectionLimit) return false;  // "Total connection limit reached."
  if (openConnections_ >= serverConnectionLimit)
    return false;  // "Server connection limit reached."
  ++totalOpen;
  ++openConnections_;
  return true;
}

void HttpServer::UncountConnection() {
  std::lock_guard lock(countLock);
  if (totalOpen <= 0 || openConnections_ <= 0) {
    throw EConnection("Error calling Connection_Close. No open connections registered!");
  }
  --totalOpen;
  --openConnections_;
}

void HttpServer::Forget(uint64_t id) {
  std::lock_guard lock(mu_);
  connections_.erase(id);
}

void HttpServer::ListenLostJob() {
  if (stopRequested_) return;
  {
    std::lock_guard lock(mu_);
    if (state_ != State::kListening) return;
  }
  CloseListeningSocket();
  RunListenerEvent(onListenLost);
  bool stopPending;
  {
    std::lock_guard lock(mu_);
    stopPending = stopPending_;
  }
  if (restartOn.listenLost && !stopPending) RequestRestart();
}

void HttpServer::StopJob() {
  stopRequested_ = true;
  bool wasListening;
  std::vector<std::shared_ptr<ConnectionQueue>> open;
  {
    std::lock_guard lock(mu_);
    stopPending_ = false;
    wasListening = state_ == State::kListening;
  }
  if (listenWatch_) core_.notifier.Unwatch(listenWatch_);
  listenWatch_ = 0;
  if (wasListening) {
    EventDepth depth(listenerEventDepth_);
    dispatch::ListenStop(components_, *this);
    if (onListenStop) onListenStop(*this);
  }
  {
    std::lock_guard lock(mu_);
    for (auto& [id, weak] : connections_) {
      if (auto queue = weak.lock()) open.push_back(std::move(queue));
    }
  }
  for (auto& queue : open) queue->PostStop();
  CloseListeningSocket();
}

void HttpServer::RequestRestart() {
  restartPending_ = true;
}

void HttpServer::AfterListenerEvent() {
  bool pending;
  {
    std::lock_guard lock(mu_);
    pending = restartPending_;
    restartPending_ = false;
  }
  if (!pending || destroying_) return;
  const auto delay =
      restartOn.wait > 0 ? std::chrono::milliseconds(restartOn.wait * 1000) : kRestartDelayDefault;
  ScheduleRestart(delay);
}

void HttpServer::ScheduleRestart(std::chrono::milliseconds delay) {
  Timers& timers = core_.notifier.GetTimers();
  if (restartTimer_ && timers.Exists(restartTimer_)) return;  // one restart timer at a time
  std::weak_ptr<JobQueue> weak;
  {
    std::lock_guard lock(mu_);
    weak = listenerQueue_;
  }
  restartTimer_ = timers.Create();
  timers.EnableJob(
      restartTimer_, delay, true, true,
      [this] {
        return MakeJob([this](JobQueue&) {
          RestartJob();
          AfterListenerEvent();
        });
      },
      weak);
}

void HttpServer::RestartJob() {
  restartTimer_ = 0;
  if (destroying_) return;
  try {
    if (Listening()) StopJob();
    {
      std::lock_guard lock(mu_);
      if (state_ != State::kClosed) {
        restartPending_ = false;
      }
    }
    if (!Listening() && listenFd_ >= 0) {
      ScheduleRestart(std::chrono::seconds(std::max(restartOn.wait, 1)));
      return;
    }
    {
      std::lock_guard lock(mu_);
      restartPending_ = false;
    }
    RunListenerEvent(onRestart);
    bool again;
    {
      std::lock_guard lock(mu_);
      again = restartPending_;
    }
    if (!again && !destroying_) {
      PostToListener(MakeJob([this](JobQueue&) {
        StartJob();
        AfterListenerEvent();
      }));
    }
  } catch (const std::exception& e) {
    if (onException) onException(*this, e);
  }
}

}  // namespace vidoria
