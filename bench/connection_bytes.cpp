// Heap bytes the server core holds per connection: idle after connecting, and idle on keep-alive
// after one answer sent in pieces as the file provider sends a file. Counted with mallinfo2 in
// this one process (the clients are plain sockets here too), so the figures are exact and free of
// the page-level noise of the resident set.
//
// Usage: connection_bytes [N [ANSWER [text]]]
// Defaults: 2000 connections, 100000-byte answers sent from a file as the file provider sends
// them; `text` writes the pieces as text instead.
#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "server/connection.h"
#include "server/connection_queue.h"
#include "server/core_runtime.h"
#include "server/http_server.h"

namespace {

constexpr int64_t kPiece = 64240;

size_t HeapInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

// The heap once the server's threads have settled: the reading taken after two quiet intervals.
size_t SettledHeap() {
  size_t last = HeapInUse();
  for (int quiet = 0; quiet < 2;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const size_t now = HeapInUse();
    quiet = now == last ? quiet + 1 : 0;
    last = now;
  }
  return last;
}

int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Sends one request and reads its answer of `length` body bytes.
bool AskOnce(int fd, int64_t length) {
  const std::string request = "GET /x HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    return false;
  }
  std::string got;
  char buffer[65536];
  for (;;) {
    const size_t end = got.find("\r\n\r\n");
    if (end != std::string::npos && got.size() - end - 4 >= static_cast<size_t>(length)) {
      return true;
    }
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    got.append(buffer, static_cast<size_t>(n));
  }
}

int Run(int n, int64_t answer, bool asText) {
  const std::string body(static_cast<size_t>(answer), 'b');
  char pattern[] = "/tmp/connection_bytes_XXXXXX";
  const int fd = ::mkstemp(pattern);
  if (fd < 0 || ::write(fd, body.data(), body.size()) != static_cast<ssize_t>(body.size())) {
    std::perror("connection_bytes: temporary file");
    return 1;
  }
  ::close(fd);
  const std::string path = pattern;
  struct Remove {
    const std::string& path;
    ~Remove() { ::unlink(path.c_str()); }
  } remove{path};
  vidoria::DataProvider provider;
  vidoria::HttpServer server(vidoria::ProcessCore());
  server.serverAddr = "127.0.0.1";
  server.serverPort = "0";
  server.SetMultiThreaded(true);
  server.timeout.afterConnecting = 600;
  server.maxRequestSize = 128000;
  server.maxHeaderSize = 16000;
  // One piece per data-sent step, as files go out.
  auto sendPiece = [&](vidoria::Connection& c) {
    if (!c.Request().complete || c.Response().done) return;
    if (!c.Response().HasContentLength()) c.Response().SetContentLength(answer);
    const int64_t out = c.Response().contentOut;
    const int64_t size = std::min(kPiece, c.Response().ContentLength() - out);
    if (asText) {
      c.Write(std::string_view(body).substr(static_cast<size_t>(out), static_cast<size_t>(size)));
    } else {
      c.WriteFile(path, out, size, [](vidoria::Connection& failed) { failed.Disconnect(); });
    }
  };
  provider.onCheckRequest = [](vidoria::Connection& c) { c.Accept(); };
  provider.onDataReceived = sendPiece;
  provider.onDataSent = sendPiece;
  provider.SetServer(&server);
  server.Listen();
  for (int i = 0; i < 100 && !server.Listening(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const int port = std::atoi(server.LocalPort().c_str());
  if (!server.Listening() || port <= 0) {
    std::fprintf(stderr, "connection_bytes: not listening\n");
    return 1;
  }

  const size_t before = SettledHeap();
  std::vector<int> fds;
  for (int i = 0; i < n; ++i) {
    const int fd = Connect(port);
    if (fd < 0) break;
    fds.push_back(fd);
  }
  while (server.OpenConnections() < static_cast<int>(fds.size())) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const size_t idle = SettledHeap();
  size_t answered = 0;
  for (int fd : fds) answered += AskOnce(fd, answer);
  const size_t keepAlive = SettledHeap();
  const double count = static_cast<double>(fds.size());
  std::printf("connections %zu, answers of %lld bytes (%s): %zu\n", fds.size(),
              static_cast<long long>(answer), asText ? "text" : "file", answered);
  std::printf("sizeof ConnectionQueue %zu (Connection %zu)\n", sizeof(vidoria::ConnectionQueue),
              sizeof(vidoria::Connection));
  std::printf("heap bytes per idle connection:            %.0f\n",
              static_cast<double>(idle - before) / count);
  std::printf("heap bytes per keep-alive connection after one answer: %.0f\n",
              static_cast<double>(keepAlive - before) / count);
  for (int fd : fds) ::close(fd);
  while (server.OpenConnections() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int64_t answer = argc > 2 ? std::atoll(argv[2]) : 100000;
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
  const bool asText = argc > 3 && std::string(argv[3]) == "text";
  const int status = Run(n, answer, asText);
  vidoria::ProcessCore().Shutdown();
  return status;
}
