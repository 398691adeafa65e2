// Opens many TCP connections to a server at once and times how long it takes until every one of
// them is connected, as a burst of browsers or a port scanner would.
//
// Usage: connect_burst PORT N LIMIT_SECONDS
// Starts N non-blocking connects to 127.0.0.1:PORT in one go, waits on epoll until each has
// finished (or LIMIT_SECONDS passed), closes them all and prints one line:
//   result connected=C failed=F pending=P seconds=S
// where S is the time from the first connect to the last one that completed. A connect the
// server's full accept queue turned away is retried by the kernel after about a second, so that
// shows in S. Exits 0 only when all N connected.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "open_files.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s PORT N LIMIT_SECONDS\n", argv[0]);
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int wanted = std::atoi(argv[2]);
  const int limitSeconds = std::atoi(argv[3]);
  if (port <= 0 || port > 65535 || wanted <= 0 || limitSeconds <= 0) {
    std::fprintf(stderr, "connect_burst: bad arguments\n");
    return 2;
  }
  const long files = vidoria::bench::RaiseOpenFileLimit();
  if (files >= 0 && files < wanted + 16) {
    std::fprintf(stderr, "connect_burst: open-file limit %ld is too low for %d connections\n",
                 files, wanted);
  }

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  if (epoll < 0) return 2;

  std::vector<int> fds(static_cast<size_t>(wanted), -1);
  int connected = 0, failed = 0, pending = 0;
  int lastErrno = 0;
  const auto start = Clock::now();
  auto last = start;
  for (int i = 0; i < wanted; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      lastErrno = errno;
      ++failed;
      continue;
    }
    fds[static_cast<size_t>(i)] = fd;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      ++connected;
      last = Clock::now();
      continue;
    }
    if (errno != EINPROGRESS) {
      lastErrno = errno;
      ++failed;
      continue;
    }
    epoll_event event{};
    event.events = EPOLLOUT;
    event.data.u32 = static_cast<uint32_t>(i);
    ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
    ++pending;
  }

  const auto deadline = start + std::chrono::seconds(limitSeconds);
  std::vector<epoll_event> events(1024);
  while (pending > 0 && Clock::now() < deadline) {
    const int n = ::epoll_wait(epoll, events.data(), static_cast<int>(events.size()), 100);
    for (int k = 0; k < n; ++k) {
      const int fd = fds[events[static_cast<size_t>(k)].data.u32];
      int error = 0;
      socklen_t len = sizeof error;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
      // Watched once: a connected socket stays writable and would be reported again.
      ::epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
      --pending;
      if (error == 0) {
        ++connected;
        last = Clock::now();
      } else {
        lastErrno = error;
        ++failed;
      }
    }
  }
  const double seconds = std::chrono::duration<double>(last - start).count();
  std::printf("result connected=%d failed=%d pending=%d seconds=%.3f", connected, failed, pending,
              seconds);
  if (failed > 0) std::printf(" last_error=\"%s\"", std::strerror(lastErrno));
  std::printf("\n");
  std::fflush(stdout);
  for (int fd : fds) {
    if (fd >= 0) ::close(fd);
  }
  ::close(epoll);
  return connected == wanted ? 0 : 1;
}
