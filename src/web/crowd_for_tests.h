// Many loopback clients driven from one thread with poll(2), for flood tests.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vidoria::testing {

// Owns its sockets; not thread-safe: one thread drives a crowd.
class Crowd {
 public:
  using Clock = std::chrono::steady_clock;

  // Connects up to `count` clients to 127.0.0.1:`port`, one after the other; Connected() tells
  // how many the kernel took.
  Crowd(const std::string& port, int count) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int i = 0; i < count; ++i) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd < 0) break;
      if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        break;
      }
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      members_.push_back(Member{fd, {}, std::nullopt});
    }
  }
  Crowd(const Crowd&) = delete;
  Crowd& operator=(const Crowd&) = delete;
  ~Crowd() {
    for (Member& m : members_) {
      if (m.fd >= 0) ::close(m.fd);
    }
  }

  int Connected() const { return static_cast<int>(members_.size()); }
  // Members whose connection the server has not closed (as far as Watch has seen).
  int Open() const {
    int open = 0;
    for (const Member& m : members_) open += m.closedAt ? 0 : 1;
    return open;
  }
  // Members that received any byte.
  int Answered() const {
    int answered = 0;
    for (const Member& m : members_) answered += m.received.empty() ? 0 : 1;
    return answered;
  }
  const std::string& Received(int member) const { return members_[member].received; }
  // When Watch saw the last connection close; nullopt while any is open.
  std::optional<Clock::time_point> AllClosedAt() const {
    std::optional<Clock::time_point> last;
    for (const Member& m : members_) {
      if (!m.closedAt) return std::nullopt;
      if (!last || *m.closedAt > *last) last = m.closedAt;
    }
    return last;
  }

  // Every open member sends `bytes` (small: what the socket buffer takes at once).
  void SendToAll(std::string_view bytes) {
    for (Member& m : members_) {
      if (m.closedAt) continue;
      if (::send(m.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0 && errno != EAGAIN) {
        Closed(m);
      }
    }
  }

  // Collects what the server sends and which connections it closes, for `wait` in all.
  void Watch(std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    std::vector<pollfd> polls;
    std::vector<Member*> polled;
    for (;;) {
      polls.clear();
      polled.clear();
      for (Member& m : members_) {
        if (m.closedAt) continue;
        polls.push_back(pollfd{m.fd, POLLIN, 0});
        polled.push_back(&m);
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0 || polls.empty()) return;
      if (::poll(polls.data(), polls.size(), static_cast<int>(left)) <= 0) continue;
      for (size_t i = 0; i < polls.size(); ++i) {
        if (polls[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t n = ::recv(polls[i].fd, buffer, sizeof buffer, 0);
        if (n > 0) {
          polled[i]->received.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EAGAIN) {
          Closed(*polled[i]);
        }
      }
    }
  }

 private:
  struct Member {
    int fd;
    std::string received;
    std::optional<Clock::time_point> closedAt;
  };
  static void Closed(Member& m) {
    m.closedAt = Clock::now();
    ::close(m.fd);
    m.fd = -1;
  }

  std::vector<Member> members_;
};

}  // namespace vidoria::testing
