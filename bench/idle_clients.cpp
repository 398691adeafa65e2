// Holds many idle TCP connections open against a server, so its memory per connection can be
// read while they are there.
//
// Usage: idle_clients PORT N SECONDS [PATH]
// Connects N sockets to 127.0.0.1:PORT, prints "connected X of N" once done, keeps them idle for
// SECONDS, prints how many the server still held open, then closes them all. Exits 0 only when
// all N connected and stayed open.
// With PATH, each connection first sends one keep-alive "GET PATH" and reads the whole answer (a
// 200 with a Content-Length) before the next one connects, so the server holds N idle keep-alive
// connections that have each served a request; it also prints "answered X of N".
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

namespace {

using Clock = std::chrono::steady_clock;

// Connecting is bounded as a whole; a SYN dropped by a full accept queue costs a 1 s retry, so
// this leaves room for many of those.
constexpr auto kConnectPhaseLimit = std::chrono::seconds(60);
constexpr int kConnectTimeoutSeconds = 5;

long RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return -1;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
  ::getrlimit(RLIMIT_NOFILE, &limit);
  return static_cast<long>(limit.rlim_cur);
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

bool SendAll(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// One keep-alive request and its whole answer; false on an error, a status other than 200 or an
// answer without Content-Length. Bounded by the socket's receive timeout.
bool RequestOnce(int fd, const std::string& request) {
  timeval timeout{kConnectTimeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  if (!SendAll(fd, request)) return false;
  std::string header;
  char buffer[16384];
  size_t headerEnd = std::string::npos;
  while (headerEnd == std::string::npos) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || header.size() > 65536) return false;
    header.append(buffer, static_cast<size_t>(n));
    headerEnd = header.find("\r\n\r\n");
  }
  int status = 0;
  if (std::sscanf(header.c_str(), "HTTP/1.%*d %d", &status) != 1 || status != 200) return false;
  std::string lower = header.substr(0, headerEnd);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return false;
  const long long length = std::atoll(lower.c_str() + at + 17);
  long long body = static_cast<long long>(header.size() - headerEnd - 4);
  while (body < length) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    body += n;
  }
  return body == length;
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
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: %s PORT N SECONDS [PATH]\n", argv[0]);
    return 2;
  }
  const std::string request =
      argc == 5 ? std::string("GET ") + argv[4] +
                      " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: idle_clients\r\n\r\n"
                : std::string();
  const int port = std::atoi(argv[1]);
  const int wanted = std::atoi(argv[2]);
  const int seconds = std::atoi(argv[3]);
  if (port <= 0 || port > 65535 || wanted <= 0 || seconds < 0) {
    std::fprintf(stderr, "idle_clients: bad arguments\n");
    return 2;
  }

  const long files = RaiseOpenFileLimit();
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
  int answered = 0;
  while (static_cast<int>(fds.size()) < wanted && Clock::now() - start < kConnectPhaseLimit &&
         failures < 100) {
    const int fd = ConnectOne(address);
    if (fd < 0) {
      lastErrno = errno;
      ++failures;
      continue;
    }
    fds.push_back(fd);
    if (!request.empty() && RequestOnce(fd, request)) ++answered;
  }
  const double connectSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("connected %zu of %d in %.1f s", fds.size(), wanted, connectSeconds);
  if (failures > 0) std::printf(" (%d failed, last: %s)", failures, std::strerror(lastErrno));
  std::printf("\n");
  if (!request.empty()) std::printf("answered %d of %d\n", answered, wanted);
  std::fflush(stdout);

  std::this_thread::sleep_for(std::chrono::seconds(seconds));

  const int open = CountStillOpen(fds);
  std::printf("still open after %d s: %d\n", seconds, open);
  std::fflush(stdout);
  for (int fd : fds) ::close(fd);
  const bool allAnswered = request.empty() || answered == wanted;
  return (static_cast<int>(fds.size()) == wanted && open == wanted && allAnswered) ? 0 : 1;
}
