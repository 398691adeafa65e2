// Many HTTP clients on one thread, each fetching its own byte range of one file, either as fast as
// the server sends (aggregate throughput) or at a fixed slow rate (streams held open, as phones
// playing a video do, for the server's memory per stream).
//
// Usage: range_clients PORT URLPATH FILE N RANGE RATE SECONDS [verify]
//   FILE    the same file the server serves: its size places the ranges, and with `verify` every
//           received byte is compared with it.
//   N       clients; client i asks for RANGE bytes starting at i * (size - RANGE) / (N - 1), so
//           the offsets are spread over the file and not aligned to pages. RANGE 0 (or not less
//           than the size) asks for the whole file without a Range header.
//   RATE    0: read as fast as possible, finish when every client has its range or after SECONDS.
//           >0: bytes per second per client; connect them all (at most 60 s), print
//           "streaming K of N", keep reading at that rate for SECONDS, print what held, close.
// Prints one "result ..." line. Exits 0 only when every client got the right answer (and, fast,
// its whole range; slow, kept receiving until the end).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "open_files.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReadSize = 256 * 1024;
constexpr size_t kMaxHeader = 16 * 1024;
// A slow client's small receive window keeps the bytes it has not read yet in the server (or in
// its socket), as a phone's player does once its buffer is full.
constexpr int kSlowReceiveBuffer = 16 * 1024;
// Connecting slow clients a few at a time keeps the listen backlog from overflowing; a dropped
// SYN costs a 1 s retransmission and measures nothing of interest here.
constexpr size_t kConnectingAtOnce = 64;
constexpr auto kSlowConnectLimit = std::chrono::seconds(60);
constexpr auto kSlowTick = std::chrono::milliseconds(50);

enum class State { kIdle, kConnecting, kHeader, kBody, kDone, kFailed };

struct Client {
  int fd = -1;
  State state = State::kIdle;
  int64_t offset = 0;
  int64_t expected = 0;   // body bytes asked for
  int64_t received = 0;   // body bytes so far
  int64_t holdStart = 0;  // body bytes when the hold began (slow)
  double budget = 0;      // bytes it may still read (slow)
  std::string request;
  size_t requestSent = 0;
  std::string header;
  std::string error;
};

class Clients {
 public:
  Clients(int port, std::string path, const uint8_t* file, int64_t size, bool verify)
      : path_(std::move(path)), file_(file), size_(size), verify_(verify) {
    address_.sin_family = AF_INET;
    address_.sin_port = htons(static_cast<uint16_t>(port));
    address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    buffer_.resize(kReadSize);
  }
  ~Clients() {
    for (Client& c : clients_) Close(c);
    if (epoll_ >= 0) ::close(epoll_);
  }

  void Plan(int n, int64_t range) {
    clients_.resize(static_cast<size_t>(n));
    const bool whole = range <= 0 || range >= size_;
    for (int i = 0; i < n; ++i) {
      Client& c = clients_[static_cast<size_t>(i)];
      c.request = "GET " + path_ + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: range_clients\r\n";
      if (whole) {
        c.offset = 0;
        c.expected = size_;
      } else {
        c.offset = n > 1 ? (size_ - range) * i / (n - 1) : 0;
        c.expected = range;
        c.request += "Range: bytes=" + std::to_string(c.offset) + "-" +
                     std::to_string(c.offset + range - 1) + "\r\n";
      }
      c.request += "\r\n";
    }
    whole_ = whole;
  }

  // Fast: every client at once, each reading as fast as the server sends.
  void RunFast(Clock::time_point deadline) {
    for (Client& c : clients_) Connect(c, false);
    while (Active() > 0 && Clock::now() < deadline) {
      epoll_event events[256];
      const int n = ::epoll_wait(epoll_, events, 256, 100);
      for (int i = 0; i < n; ++i) Handle(clients_[events[i].data.u32], events[i].events, SIZE_MAX);
    }
    for (Client& c : clients_) {
      if (c.state != State::kDone && c.state != State::kFailed) Fail(c, "unfinished at the limit");
    }
  }

  // Slow: connect a few at a time until all stream, then hold them for `hold`.
  bool RunSlow(double rate, std::chrono::seconds hold) {
    slow_ = true;
    const auto start = Clock::now();
    size_t next = 0;
    auto last = Clock::now();
    while (Clock::now() - start < kSlowConnectLimit) {
      size_t starting = 0, streaming = 0;
      for (const Client& c : clients_) {
        if (c.state == State::kConnecting || c.state == State::kHeader) ++starting;
        if (c.state == State::kBody || c.state == State::kDone) ++streaming;
      }
      if (streaming + Failed() == clients_.size()) break;
      while (starting < kConnectingAtOnce && next < clients_.size()) {
        Connect(clients_[next++], true);
        ++starting;
      }
      last = Tick(rate, last);
    }
    size_t streaming = 0;
    for (const Client& c : clients_)
      streaming += c.state == State::kBody || c.state == State::kDone;
    std::printf("streaming %zu of %zu in %.1f s\n", streaming, clients_.size(),
                std::chrono::duration<double>(Clock::now() - start).count());
    std::fflush(stdout);

    for (Client& c : clients_) c.holdStart = c.received;
    const auto holdEnd = Clock::now() + hold;
    while (Clock::now() < holdEnd) last = Tick(rate, last);
    // A stream holds when it is still open and got bytes during the hold (or finished its range).
    size_t held = 0;
    for (Client& c : clients_) {
      if (c.state == State::kDone || (c.state == State::kBody && c.received > c.holdStart)) {
        ++held;
      } else if (c.state != State::kFailed) {
        Fail(c, "no bytes during the hold");
      }
    }
    std::printf("held %zu of %zu for %lld s\n", held, clients_.size(),
                static_cast<long long>(hold.count()));
    return held == clients_.size();
  }

  size_t Failed() const {
    size_t n = 0;
    for (const Client& c : clients_) n += c.state == State::kFailed;
    return n;
  }
  size_t Done() const {
    size_t n = 0;
    for (const Client& c : clients_) n += c.state == State::kDone;
    return n;
  }
  int64_t Bytes() const {
    int64_t n = 0;
    for (const Client& c : clients_) n += c.received;
    return n;
  }
  void PrintErrors() const {
    int shown = 0;
    for (size_t i = 0; i < clients_.size() && shown < 5; ++i) {
      if (clients_[i].state != State::kFailed) continue;
      std::fprintf(stderr, "client %zu (offset %lld): %s\n", i,
                   static_cast<long long>(clients_[i].offset), clients_[i].error.c_str());
      ++shown;
    }
  }

 private:
  size_t Active() const {
    size_t n = 0;
    for (const Client& c : clients_) n += c.state != State::kDone && c.state != State::kFailed;
    return n;
  }

  void Connect(Client& c, bool slow) {
    c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (c.fd < 0) return Fail(c, std::string("socket: ") + std::strerror(errno));
    if (slow) {
      ::setsockopt(c.fd, SOL_SOCKET, SO_RCVBUF, &kSlowReceiveBuffer, sizeof kSlowReceiveBuffer);
    }
    if (::connect(c.fd, reinterpret_cast<const sockaddr*>(&address_), sizeof address_) != 0 &&
        errno != EINPROGRESS) {
      return Fail(c, std::string("connect: ") + std::strerror(errno));
    }
    c.state = State::kConnecting;
    epoll_event event{};
    event.events = EPOLLOUT | EPOLLIN | EPOLLRDHUP;
    event.data.u32 = static_cast<uint32_t>(&c - clients_.data());
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, c.fd, &event);
  }

  void Close(Client& c) {
    if (c.fd >= 0) ::close(c.fd);
    c.fd = -1;
  }
  void Fail(Client& c, std::string why) {
    if (c.error.empty()) c.error = std::move(why);
    c.state = State::kFailed;
    Close(c);
  }

  // One readiness of one client; reads at most `limit` body bytes.
  void Handle(Client& c, uint32_t events, size_t limit) {
    if (c.state == State::kConnecting && (events & (EPOLLOUT | EPOLLERR | EPOLLHUP))) {
      int error = 0;
      socklen_t len = sizeof error;
      ::getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &len);
      if (error != 0) return Fail(c, std::string("connect: ") + std::strerror(error));
      while (c.requestSent < c.request.size()) {
        const ssize_t n = ::send(c.fd, c.request.data() + c.requestSent,
                                 c.request.size() - c.requestSent, MSG_NOSIGNAL);
        if (n < 0) return Fail(c, std::string("send: ") + std::strerror(errno));
        c.requestSent += static_cast<size_t>(n);
      }
      c.state = State::kHeader;
      epoll_event event{};
      event.events = EPOLLIN | EPOLLRDHUP;
      event.data.u32 = static_cast<uint32_t>(&c - clients_.data());
      ::epoll_ctl(epoll_, EPOLL_CTL_MOD, c.fd, &event);
    }
    if (c.state == State::kHeader || c.state == State::kBody) Receive(c, limit);
  }

  void Receive(Client& c, size_t limit) {
    // The header is read whole whatever the rate; the rate is about the body.
    while (c.state == State::kHeader || (c.state == State::kBody && limit > 0)) {
      const size_t want = c.state == State::kHeader ? 4096 : std::min(kReadSize, limit);
      const ssize_t n = ::recv(c.fd, buffer_.data(), want, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      if (n < 0) return Fail(c, std::string("recv: ") + std::strerror(errno));
      if (n == 0) {
        return Fail(c, "closed by the server after " + std::to_string(c.received) + " of " +
                           std::to_string(c.expected) + " body bytes");
      }
      const char* data = buffer_.data();
      size_t size = static_cast<size_t>(n);
      if (c.state == State::kHeader) {
        c.header.append(data, size);
        const size_t end = c.header.find("\r\n\r\n");
        if (end == std::string::npos) {
          if (c.header.size() > kMaxHeader) return Fail(c, "header too long");
          continue;
        }
        const size_t bodyStart = end + 4;
        const size_t bodyHere = c.header.size() - bodyStart;
        if (!CheckHeader(c, c.header.substr(0, end))) return;
        c.state = State::kBody;
        // Slow clients read on the clock from here on; a level-triggered watch on a socket
        // they leave unread on purpose would only spin.
        if (slow_) ::epoll_ctl(epoll_, EPOLL_CTL_DEL, c.fd, nullptr);
        if (bodyHere > 0 && !Body(c, c.header.data() + bodyStart, bodyHere)) return;
        c.header.clear();
        c.header.shrink_to_fit();
        continue;
      }
      limit -= std::min(limit, size);
      if (!Body(c, data, size)) return;
    }
  }

  bool CheckHeader(Client& c, const std::string& header) {
    const int wantStatus = whole_ ? 200 : 206;
    int status = 0;
    if (std::sscanf(header.c_str(), "HTTP/1.%*d %d", &status) != 1 || status != wantStatus) {
      Fail(c, "status line \"" + header.substr(0, header.find('\r')) + "\", expected " +
                  std::to_string(wantStatus));
      return false;
    }
    std::string lower = header;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) {
      Fail(c, "no Content-Length");
      return false;
    }
    const long long length = std::atoll(lower.c_str() + at + 17);
    if (length != c.expected) {
      Fail(c,
           "Content-Length " + std::to_string(length) + ", expected " + std::to_string(c.expected));
      return false;
    }
    if (!whole_) {
      const std::string range = "\r\ncontent-range: bytes " + std::to_string(c.offset) + "-" +
                                std::to_string(c.offset + c.expected - 1) + "/" +
                                std::to_string(size_);
      if (lower.find(range) == std::string::npos) {
        Fail(c, "no or a wrong Content-Range in: " + header);
        return false;
      }
    }
    return true;
  }

  bool Body(Client& c, const char* data, size_t size) {
    if (c.received + static_cast<int64_t>(size) > c.expected) {
      Fail(c, "more body bytes than announced");
      return false;
    }
    if (verify_ && std::memcmp(data, file_ + c.offset + c.received, size) != 0) {
      size_t at = 0;
      while (at < size && static_cast<uint8_t>(data[at]) == file_[c.offset + c.received + at]) ++at;
      Fail(c, "wrong byte at file offset " + std::to_string(c.offset + c.received + at));
      return false;
    }
    c.received += static_cast<int64_t>(size);
    if (c.received == c.expected) {
      c.state = State::kDone;
      Close(c);
    }
    return true;
  }

  // Slow mode: every client gets its share of the rate since the last tick, then the loop waits
  // for the next tick (events for connecting clients are handled in between).
  Clock::time_point Tick(double rate, Clock::time_point last) {
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - last).count();
    for (Client& c : clients_) {
      if (c.state != State::kHeader && c.state != State::kBody) continue;
      // At most a quarter second of unread allowance, so a late tick does not turn into a burst.
      c.budget = std::min(c.budget + rate * seconds, rate / 4);
      if (c.budget >= 1) {
        const int64_t before = c.received;
        Receive(c, static_cast<size_t>(c.budget));
        c.budget -= static_cast<double>(c.received - before);
      }
    }
    const auto until = now + kSlowTick;
    while (Clock::now() < until) {
      epoll_event events[256];
      const int ms = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
      const int n = ::epoll_wait(epoll_, events, 256, std::max(ms, 0));
      for (int i = 0; i < n; ++i) {
        Client& c = clients_[events[i].data.u32];
        // Only connecting clients are served here; the others read on the tick, at the rate.
        if (c.state == State::kConnecting || c.state == State::kHeader) {
          Handle(c, events[i].events, 0);
        }
      }
      if (n == 0 && ms <= 0) break;
    }
    return now;
  }

  std::string path_;
  const uint8_t* file_;
  int64_t size_;
  bool verify_;
  bool whole_ = false;
  bool slow_ = false;
  sockaddr_in address_{};
  int epoll_ = -1;
  std::vector<Client> clients_;
  std::vector<char> buffer_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8 && !(argc == 9 && std::strcmp(argv[8], "verify") == 0)) {
    std::fprintf(stderr, "usage: %s PORT URLPATH FILE N RANGE RATE SECONDS [verify]\n", argv[0]);
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const std::string urlPath = argv[2];
  const char* fileName = argv[3];
  const int n = std::atoi(argv[4]);
  const int64_t range = std::atoll(argv[5]);
  const double rate = std::atof(argv[6]);
  const int seconds = std::atoi(argv[7]);
  const bool verify = argc == 9;
  if (port <= 0 || port > 65535 || n <= 0 || range < 0 || rate < 0 || seconds <= 0) {
    std::fprintf(stderr, "range_clients: bad arguments\n");
    return 2;
  }
  const int fd = ::open(fileName, O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size <= 0) {
    std::fprintf(stderr, "range_clients: cannot read %s\n", fileName);
    return 2;
  }
  const uint8_t* file = nullptr;
  if (verify) {
    void* map = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) {
      std::fprintf(stderr, "range_clients: cannot map %s\n", fileName);
      return 2;
    }
    file = static_cast<const uint8_t*>(map);
  }
  const long files = vidoria::bench::RaiseOpenFileLimit();
  if (files >= 0 && files < n + 16) {
    std::fprintf(stderr, "range_clients: open-file limit %ld is too low for %d clients\n", files,
                 n);
  }

  Clients clients(port, urlPath, file, st.st_size, verify);
  clients.Plan(n, range);
  const auto start = Clock::now();
  bool ok = true;
  if (rate == 0) {
    clients.RunFast(start + std::chrono::seconds(seconds));
  } else {
    ok = clients.RunSlow(rate, std::chrono::seconds(seconds));
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  const int64_t bytes = clients.Bytes();
  std::printf("result clients=%d done=%zu failed=%zu bytes=%lld seconds=%.3f mibps=%.1f\n", n,
              clients.Done(), clients.Failed(), static_cast<long long>(bytes), elapsed,
              static_cast<double>(bytes) / 1048576.0 / elapsed);
  std::fflush(stdout);
  clients.PrintErrors();
  if (rate == 0) ok = clients.Done() == static_cast<size_t>(n);
  return ok && clients.Failed() == 0 ? 0 : 1;
}
