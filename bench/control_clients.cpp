// Control points against the media server's description/SOAP port: each client thread sends its
// share of N requests one after the other, as a TV polling the server does.
//
// Usage: control_clients HOST PORT KIND N CLIENTS MODE
//   KIND  description     GET of /description.xml
//         browse          Browse of the root's children (POST to /ContentDirectory/control)
//         updateid        GetSystemUpdateID
//   MODE  close           a new connection per request, closed by the client after the answer,
//                         without "Connection: close" in the request (what most TVs do)
//         keepalive       one connection per client, reused while the server keeps it open
// Prints one line:
//   result requests=R errors=E resets=X seconds=S per_second=P p50_ms=A p99_ms=B
// An error is an answer that is not 200 or a time-out (5 s); a reset is a reused connection the
// server closed without saying so. Exits 0 when there was no error.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string Request(const std::string& kind, const std::string& host) {
  if (kind == "description") {
    return "GET /description.xml HTTP/1.1\r\nHost: " + host + "\r\nUser-Agent: bench\r\n\r\n";
  }
  const std::string action = kind == "browse" ? "Browse" : "GetSystemUpdateID";
  const std::string arguments =
      kind == "browse" ? "<ObjectID>0</ObjectID><BrowseFlag>BrowseDirectChildren</BrowseFlag>"
                         "<Filter>*</Filter><StartingIndex>0</StartingIndex>"
                         "<RequestedCount>0</RequestedCount><SortCriteria></SortCriteria>"
                       : "";
  const std::string type = "urn:schemas-upnp-org:service:ContentDirectory:1";
  const std::string body =
      "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:" +
      action + " xmlns:u=\"" + type + "\">" + arguments + "</u:" + action +
      "></s:Body></s:Envelope>";
  return "POST /ContentDirectory/control HTTP/1.1\r\nHost: " + host +
         "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nSOAPAction: \"" + type + "#" + action +
         "\"\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

int Connect(const sockaddr_in& address) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

enum class Outcome { kOk, kError, kReset };

// Sends one request on `fd` and reads its whole answer. `serverCloses` tells whether the answer
// said "Connection: close".
Outcome Exchange(int fd, const std::string& request, bool& serverCloses) {
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    return Outcome::kReset;
  }
  std::string in;
  char buffer[16384];
  size_t headerEnd = std::string::npos;
  size_t wanted = 0;
  while (true) {
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got == 0 || (got < 0 && errno == ECONNRESET)) {
      return in.empty() ? Outcome::kReset : Outcome::kError;
    }
    if (got < 0) return Outcome::kError;
    in.append(buffer, static_cast<size_t>(got));
    if (headerEnd == std::string::npos) {
      headerEnd = in.find("\r\n\r\n");
      if (headerEnd == std::string::npos) continue;
      std::string head = in.substr(0, headerEnd);
      std::transform(head.begin(), head.end(), head.begin(), ::tolower);
      const size_t length = head.find("\r\ncontent-length:");
      if (length == std::string::npos) return Outcome::kError;
      wanted = headerEnd + 4 + std::strtoul(head.c_str() + length + 17, nullptr, 10);
      serverCloses = head.find("\r\nconnection: close") != std::string::npos;
      if (head.compare(0, 12, "http/1.1 200") != 0) return Outcome::kError;
    }
    if (in.size() >= wanted) return Outcome::kOk;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s HOST PORT KIND N CLIENTS close|keepalive\n", argv[0]);
    return 2;
  }
  const std::string host = argv[1];
  const int port = std::atoi(argv[2]);
  const std::string kind = argv[3];
  const int total = std::atoi(argv[4]);
  const int clients = std::atoi(argv[5]);
  const bool keepAlive = std::string(argv[6]) == "keepalive";
  if (port <= 0 || total <= 0 || clients <= 0 ||
      (kind != "description" && kind != "browse" && kind != "updateid")) {
    std::fprintf(stderr, "control_clients: bad arguments\n");
    return 2;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return 2;
  const std::string request = Request(kind, host + ":" + std::to_string(port));

  std::atomic<int> errors = 0, resets = 0;
  std::vector<std::vector<double>> latencies(static_cast<size_t>(clients));
  const Clock::time_point start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c) {
    threads.emplace_back([&, c] {
      const int share = total / clients + (c < total % clients ? 1 : 0);
      int fd = -1;
      for (int i = 0; i < share; ++i) {
        const Clock::time_point sent = Clock::now();
        const bool reused = fd >= 0;
        if (fd < 0) fd = Connect(address);
        bool serverCloses = false;
        const Outcome outcome = fd < 0 ? Outcome::kError : Exchange(fd, request, serverCloses);
        if (outcome != Outcome::kOk) {
          (outcome == Outcome::kReset && reused ? resets : errors)++;
          serverCloses = true;
        }
        latencies[static_cast<size_t>(c)].push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        if (!keepAlive || serverCloses) {
          if (fd >= 0) ::close(fd);
          fd = -1;
        }
      }
      if (fd >= 0) ::close(fd);
    });
  }
  for (auto& t : threads) t.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (const auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
  std::sort(all.begin(), all.end());
  const auto at = [&](double q) {
    return all.empty() ? 0.0 : all[std::min(all.size() - 1, static_cast<size_t>(q * all.size()))];
  };
  std::printf(
      "result requests=%d errors=%d resets=%d seconds=%.2f per_second=%.0f p50_ms=%.2f "
      "p99_ms=%.2f\n",
      total, errors.load(), resets.load(), seconds, total / seconds, at(0.5), at(0.99));
  return errors.load() == 0 ? 0 : 1;
}
