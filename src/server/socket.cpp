#include "server/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>

namespace vidoria {

namespace {

bool Name(int (*get)(int, sockaddr*, socklen_t*), int fd, std::string& addr, std::string& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (get(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  addr = text;
  port = std::to_string(ntohs(address.sin_port));
  return true;
}

std::atomic<bool> brokenPipeIgnored{false};

// sendfile has no MSG_NOSIGNAL: SIGPIPE is held back on this thread around the call, and the one
// a broken connection raised is taken before it can be delivered (the caller sees EPIPE).
class SigPipeHeld {
 public:
  SigPipeHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
  }
  SigPipeHeld(const SigPipeHeld&) = delete;
  SigPipeHeld& operator=(const SigPipeHeld&) = delete;
  ~SigPipeHeld() {
    if (raised_) {
      const timespec now{0, 0};
      while (::sigtimedwait(&pipe_, nullptr, &now) == SIGPIPE) {
      }
    }
    ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
  }
  void Raised() { raised_ = true; }

 private:
  sigset_t pipe_, before_;
  bool raised_ = false;
};

class PosixSocket final : public Socket {
 public:
  explicit PosixSocket(int fd) : fd_(fd) {}
  ~PosixSocket() override {
    Unwatch();
    if (fd_ >= 0) ::close(fd_);
  }

  size_t Prepare(size_t limit) override {
    // The listening socket's hard reset on close is not wanted for accepted ones.
    linger off{0, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    return limit;
  }

  bool LocalName(std::string& addr, std::string& port) override {
    return Name(::getsockname, fd_, addr, port);
  }
  bool PeerName(std::string& addr, std::string& port) override {
    return Name(::getpeername, fd_, addr, port);
  }

  void Watch(Notifier& notifier, Notifier::Handler handler) override {
    notifier_ = &notifier;
    watch_ = notifier.WatchOneShot(fd_, 0, std::move(handler));
  }
  void Rearm(uint32_t events) override {
    if (watch_) notifier_->Rearm(watch_, events);
  }
  void Unwatch() override {
    if (watch_) notifier_->Unwatch(watch_);
    watch_ = 0;
  }

  Result Receive(char* buffer, size_t size) override {
    ssize_t n;
    do {
      n = ::recv(fd_, buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return {Status::kDone, static_cast<size_t>(n)};
    if (n == 0) return {Status::kClosed, 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {Status::kWouldBlock, 0};
    return {Status::kFailed, 0};
  }

  Result Send(const char* data, size_t size, bool more) override {
    ssize_t n;
    do {
      n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT | (more ? MSG_MORE : 0));
    } while (n < 0 && errno == EINTR);
    if (n > 0) return {Status::kDone, static_cast<size_t>(n)};
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {Status::kWouldBlock, 0};
    return {Status::kFailed, 0};
  }

  Result SendFile(int fd, int64_t offset, size_t size) override {
    off_t position = static_cast<off_t>(offset);
    ssize_t n;
    int error = 0;
    if (brokenPipeIgnored.load(std::memory_order_relaxed)) {
      do {
        n = ::sendfile(fd_, fd, &position, size);
      } while (n < 0 && errno == EINTR);
      error = errno;
    } else {
      SigPipeHeld held;
      do {
        n = ::sendfile(fd_, fd, &position, size);
      } while (n < 0 && errno == EINTR);
      error = errno;  // the guard's own calls may change errno
      if (n < 0 && error == EPIPE) held.Raised();
    }
    if (n > 0) return {Status::kDone, static_cast<size_t>(n)};
    if (n == 0) return {Status::kFileFailed, 0};  // nothing left at the offset: the file shrank
    switch (error) {
      case EAGAIN:
        return {Status::kWouldBlock, 0};
      case EINVAL:
      case ENOSYS:
        // A file system that cannot hand its pages over: read and send instead.
        return Socket::SendFile(fd, offset, size);
      case EIO:
      case ENOMEM:
      case EOVERFLOW:
      case ESPIPE:
        return {Status::kFileFailed, 0};
      default:
        return {Status::kFailed, 0};
    }
  }

  void Close() override {
    Unwatch();
    if (fd_ < 0) return;
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
  Notifier* notifier_ = nullptr;
  WatchId watch_ = 0;
};

}  // namespace

void IgnoreBrokenPipeSignal() {
  ::signal(SIGPIPE, SIG_IGN);
  brokenPipeIgnored = true;
}

Socket::Result Socket::SendFile(int fd, int64_t offset, size_t size) {
  // As much as asked for, so that each send is as large as a text send would be.
  const std::unique_ptr<char[]> buffer(new char[size]);
  ssize_t n;
  do {
    n = ::pread(fd, buffer.get(), size, static_cast<off_t>(offset));
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return {Status::kFileFailed, 0};
  return Send(buffer.get(), static_cast<size_t>(n), false);
}

std::unique_ptr<Socket> MakePosixSocket(int fd) {
  return std::make_unique<PosixSocket>(fd);
}

}  // namespace vidoria
