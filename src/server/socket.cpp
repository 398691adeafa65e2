#include "server/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

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

class PosixSocket final : public Socket {
 public:
  explicit PosixSocket(int fd) : fd_(fd) {}
  ~PosixSocket() override {
    Unwatch();
    if (fd_ >= 0) ::close(fd_);
  }

  size_t Prepare(size_t limit) override {
    size_t block = limit;
    int size = 0;
    socklen_t len = sizeof size;
    if (::getsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &size, &len) == 0 && size > 0 &&
        static_cast<size_t>(size) <= limit) {
      block = static_cast<size_t>(size);
    }
    // The listening socket's hard reset on close is not wanted for accepted ones.
    linger off{0, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    return block;
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

  Result Send(const char* data, size_t size) override {
    ssize_t n;
    do {
      n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return {Status::kDone, static_cast<size_t>(n)};
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {Status::kWouldBlock, 0};
    return {Status::kFailed, 0};
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

std::unique_ptr<Socket> MakePosixSocket(int fd) {
  return std::make_unique<PosixSocket>(fd);
}

}  // namespace vidoria
