// A blocking loopback client for tests: sends raw bytes and reads what the server answers.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace vidoria::testing {

class TestClient {
 public:
  // `from`, when given, is the loopback address to connect from (any of 127.0.0.0/8), so that
  // one test can speak as several clients.
  explicit TestClient(const std::string& port, const std::string& from = "") {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (!from.empty()) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
      ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  TestClient(const TestClient&) = delete;
  TestClient& operator=(const TestClient&) = delete;
  ~TestClient() { Close(); }

  bool Connected() const { return connected_; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Aborts the connection with a reset instead of an orderly close.
  void Reset() {
    linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    Close();
  }

  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

  // Reads until `count` bytes arrived in all, the server closed, or the time is up.
  std::string ReadAtLeast(size_t count,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received_.size() < count && !closed_) {
      if (!Poll(deadline)) break;
    }
    return received_;
  }
  // Reads until the text contains `marker` `times` times (or closes, or the time is up).
  std::string ReadUntil(std::string_view marker, int times = 1,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Count(marker) < times && !closed_) {
      if (!Poll(deadline)) break;
    }
    return received_;
  }
  // Reads until the server closes; true when it did within the time.
  bool WaitClosed(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!closed_) {
      if (!Poll(deadline)) return false;
    }
    return true;
  }
  const std::string& Received() const { return received_; }
  bool ClosedByServer() const { return closed_; }

 private:
  int Count(std::string_view marker) const {
    int n = 0;
    for (size_t at = received_.find(marker); at != std::string::npos;
         at = received_.find(marker, at + marker.size())) {
      ++n;
    }
    return n;
  }
  bool Poll(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[65536];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      closed_ = true;
      return true;
    }
    received_.append(buffer, static_cast<size_t>(n));
    return true;
  }

  int fd_ = -1;
  bool connected_ = false;
  bool closed_ = false;
  std::string received_;
};

}  // namespace vidoria::testing
