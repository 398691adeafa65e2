// Holds many idle TCP connections open against a server, so its memory per connection can be
// read while they are there.
//
// Usage: idle_clients PORT N SECONDS [PATH [RANGE]]
// Connects N sockets to 127.0.0.1:PORT, prints "connected X of N" once done, keeps them idle for
// SECONDS, prints how many the server still held open, then closes them all. Exits 0 only when
// all N connected and stayed open.
// With PATH each connection first asks for it once (keep-alive; with RANGE, for its first RANGE
// bytes) and reads the whole answer, so what is held is a keep-alive connection after one answer.
// SECONDS 0 closes them at once: a wave of keep-alive connections.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "open_files.h"

namespace {

using Clock = std::chrono::steady_clock;

// Connecting is bounded as a whole; a SYN dropped by a full accept queue costs a 1 s retry, so
// this leaves room for many of those.
constexpr auto kConnectPhaseLimit = std::chrono::seconds(60);
constexpr int kConnectTimeoutSeconds = 5;

// Reads one answer of announced length; false when the server closed or sent something else.
bool ReadAnswer(int fd) {
  std::string got;
  char buffer[65536];
  size_t headerEnd = std::string::npos;
  long long length = -1;
  for (;;) {
    if (headerEnd != std::string::npos && got.size() - headerEnd >= static_cast<size_t>(length)) {
      return got.size() - headerEnd == static_cast<size_t>(length);
    }
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    got.append(buffer, static_cast<size_t>(n));
    if (headerEnd == std::string::npos) {
      const size_t end = got.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      headerEnd = end + 4;
      std::string header = got.substr(0, end);
      for (char& c : header) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const size_t at = header.find("content-length:");
      if (at == std::string::npos) return false;
      length = std::atoll(header.c_str() + at + 15);
      // A file answer's body is dropped as it comes; only the count matters.
      got.erase(0, headerEnd);
      headerEnd = 0;
    }
  }
}

bool AskOnce(int fd, const std::string& request) {
  size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return ReadAnswer(fd);
}

int ConnectOne(const sockaddr_in& address) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  // SO_SNDTIMEO bounds a blocking connect too.
  timeval timeout{kConnectTimeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Sockets the server has not closed: no end-of-stream, no error, nothing to read.
int CountStillOpen(const std::vector<int>& fds) {
  std::vector<pollfd> polls;
  polls.reserve(fds.size());
  for (int fd : fds) polls.push_back(pollfd{fd, POLLIN | POLLRDHUP, 0});
  if (::poll(polls.data(), polls.size(), 0) < 0) return -1;
  int open = 0;
  for (const pollfd& p : polls) {
    if (p.revents == 0) ++open;
  }
  return open;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 6) {
    std::fprintf(stderr, "usage: %s PORT N SECONDS [PATH [RANGE]]\n", argv[0]);
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int wanted = std::atoi(argv[2]);
  const int seconds = std::atoi(argv[3]);
  std::string request;
  if (argc >= 5) {
    request = std::string("GET ") + argv[4] + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    if (argc == 6)
      request += std::string("Range: bytes=0-") + std::to_string(std::atoll(argv[5]) - 1) + "\r\n";
    request += "\r\n";
  }
  if (port <= 0 || port > 65535 || wanted <= 0 || seconds < 0) {
    std::fprintf(stderr, "idle_clients: bad arguments\n");
    return 2;
  }

  const long files = vidoria::bench::RaiseOpenFileLimit();
  if (files >= 0 && files < wanted + 16) {
    std::fprintf(stderr, "idle_clients: open-file limit %ld is too low for %d connections\n", files,
                 wanted);
  }

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

  std::vector<int> fds;
  fds.reserve(static_cast<size_t>(wanted));
  const auto start = Clock::now();
  int failures = 0;
  int lastErrno = 0;
  while (static_cast<int>(fds.size()) < wanted && Clock::now() - start < kConnectPhaseLimit &&
         failures < 100) {
    const int fd = ConnectOne(address);
    if (fd < 0) {
      lastErrno = errno;
      ++failures;
      continue;
    }
    if (!request.empty() && !AskOnce(fd, request)) {
      lastErrno = errno;
      ++failures;
      ::close(fd);
      continue;
    }
    fds.push_back(fd);
  }
  const double connectSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("connected %zu of %d in %.1f s", fds.size(), wanted, connectSeconds);
  if (failures > 0) std::printf(" (%d failed, last: %s)", failures, std::strerror(lastErrno));
  std::printf("\n");
  std::fflush(stdout);

  std::this_thread::sleep_for(std::chrono::seconds(seconds));

  const int open = CountStillOpen(fds);
  std::printf("still open after %d s: %d\n", seconds, open);
  std::fflush(stdout);
  for (int fd : fds) ::close(fd);
  return (static_cast<int>(fds.size()) == wanted && open == wanted) ? 0 : 1;
}
