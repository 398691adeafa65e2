// Answers sent straight from a file: over the in-memory peer (read and sent) and over a kernel
// socket pair (sendfile), with full send buffers, files shorter than announced and broken peers.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/connection_harness.h"

namespace vidoria {
namespace {

constexpr int64_t kPiece = 64240;

std::string Bytes(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  return s;
}

size_t OpenDescriptors() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n;
}

// A loopback TCP connection: the server's end (non-blocking, as the listener accepts it) and the
// client's end, each with small buffers so that an answer of a few pieces fills them.
struct SocketPair {
  int server = -1;
  int client = -1;

  SocketPair() {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;
    ::setsockopt(client, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    server = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    ::setsockopt(server, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::close(listener);
  }
  ~SocketPair() {
    if (client >= 0) ::close(client);
  }
};

// The kernel socket, with readiness reported by the test instead of the notifier, so the
// connection still runs on the test's thread. Counts the file sends the kernel refused.
class HandReportedSocket final : public Socket {
 public:
  explicit HandReportedSocket(int fd) : socket_(MakePosixSocket(fd)) {}

  size_t Prepare(size_t limit) override { return socket_->Prepare(limit); }
  bool LocalName(std::string& addr, std::string& port) override {
    return socket_->LocalName(addr, port);
  }
  bool PeerName(std::string& addr, std::string& port) override {
    return socket_->PeerName(addr, port);
  }
  void Watch(Notifier&, Notifier::Handler handler) override { *handler_ = std::move(handler); }
  void Unwatch() override { *handler_ = nullptr; }
  Result Receive(char* buffer, size_t size) override { return socket_->Receive(buffer, size); }
  Result Send(const char* data, size_t size, bool more) override {
    return socket_->Send(data, size, more);
  }
  Result SendFile(int fd, int64_t offset, size_t size) override {
    const Result result = socket_->SendFile(fd, offset, size);
    if (result.status == Status::kWouldBlock) ++*refused_;
    return result;
  }
  void Close() override { socket_->Close(); }

  // Shared with the test, which keeps them after the connection has taken the socket.
  std::shared_ptr<Notifier::Handler> handler_ = std::make_shared<Notifier::Handler>();
  std::shared_ptr<int> refused_ = std::make_shared<int>(0);

 private:
  std::unique_ptr<Socket> socket_;
};

class FileSendingTest : public testing::ConnectionHarness {
 protected:
  FileSendingTest() {
    folder_ = std::filesystem::path(::testing::TempDir()) /
              ("file_sending_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  ~FileSendingTest() override { std::filesystem::remove_all(folder_); }

  std::string MakeFile(const std::string& name, const std::string& bytes) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Answers every request with `announced` bytes of the file at `path`, one piece per data-sent
  // step as the file provider sends, either from the file or read and written as text. Records
  // each send (its size, ContentOut and Done after it), each data-sent step and read error.
  void ServePieces(const std::string& path, int64_t announced, bool asText) {
    auto sendPiece = [this, path, asText](Connection& c) {
      if (!c.Request().complete || c.Response().done) return;
      const int64_t out = c.Response().contentOut;
      const int64_t size = std::min(kPiece, c.Response().ContentLength() - out);
      if (size <= 0) return;
      if (asText) {
        std::ifstream file(path, std::ios::binary);
        file.seekg(out);
        std::string piece(static_cast<size_t>(size), '\0');
        file.read(piece.data(), size);
        piece.resize(static_cast<size_t>(file.gcount()));
        c.Write(piece);
        return;
      }
      c.WriteFile(path, out, size, [this](Connection& failed) {
        events_.push_back("read error at " + std::to_string(failed.Response().contentOut));
        failed.Disconnect();
      });
    };
    DataProvider* provider = NewProvider();
    // The header leaves first, on its own, as the file provider sends it.
    provider->onCheckRequest = [announced](Connection& c) {
      c.Accept();
      c.Response().SetContentLength(announced);
      c.Write("");
    };
    provider->onDataReceived = sendPiece;
    provider->onDataSent = [this, sendPiece](Connection& c) {
      events_.push_back("data sent " + std::to_string(c.Response().contentOut));
      sendPiece(c);
    };
    provider->SetServer(server_.get());
    server_->onDataOut = [this](Connection& c) {
      events_.push_back("out " + std::to_string(c.DataOut()) + " content " +
                        std::to_string(c.Response().contentOut) +
                        (c.Response().done ? " done" : ""));
    };
  }

  std::filesystem::path folder_;
};

const char kRequest[] = "GET /f HTTP/1.1\r\n\r\n";

std::string Head(int64_t length) {
  return "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: " + std::to_string(length) + "\r\n\r\n";
}

// The same answer written as text pieces and as file pieces, through a client that reads in
// uneven steps: the wire, every data-out event and every data-sent step are the same.
TEST_F(FileSendingTest, FilePiecesAreAccountedExactlyAsTextPieces) {
  const std::string bytes = Bytes(200000);
  const std::string path = MakeFile("f.bin", bytes);
  std::vector<std::string> traces[2];
  std::string wires[2];
  for (const bool asText : {true, false}) {
    SCOPED_TRACE(asText ? "text" : "file");
    providers_.clear();
    events_.clear();
    ServePieces(path, 200000, asText);
    auto& client = Connect();
    client.peer->Limit(100);
    Exchange(client, kRequest);
    for (const size_t step : {30000u, 70000u, 1u, 64239u, 50000u}) {
      client.peer->Allow(step);
      Run();
    }
    client.peer->Allow();
    Run();
    traces[asText ? 0 : 1] = events_;
    wires[asText ? 0 : 1] = client.peer->Received();
  }
  EXPECT_EQ(wires[1], Head(200000) + bytes);
  EXPECT_EQ(wires[1], wires[0]);
  EXPECT_EQ(traces[1], traces[0]);
}

// Over a kernel socket: sendfile meets full buffers, sends part of a piece, and resumes on
// write readiness until the whole answer has left, byte for byte.
TEST_F(FileSendingTest, FileLeavesThroughAKernelSocketAcrossFullBuffers) {
  const std::string bytes = Bytes(300000);
  ServePieces(MakeFile("f.bin", bytes), 300000, false);
  SocketPair pair;
  auto socket = std::make_unique<HandReportedSocket>(pair.server);
  const auto report = socket->handler_;
  const auto refused = socket->refused_;
  Connect(std::move(socket));
  ASSERT_EQ(::send(pair.client, kRequest, sizeof kRequest - 1, 0),
            static_cast<ssize_t>(sizeof kRequest - 1));
  (*report)(EPOLLIN);
  Run();
  const std::string expected = Head(300000) + bytes;
  std::string received;
  char buffer[8192];
  for (int rounds = 0; received.size() < expected.size() && rounds < 100000; ++rounds) {
    pollfd readable{pair.client, POLLIN, 0};
    if (::poll(&readable, 1, 5000) <= 0) break;  // nothing more is coming
    const ssize_t n = ::recv(pair.client, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n <= 0) break;
    received.append(buffer, static_cast<size_t>(n));
    (*report)(EPOLLOUT);
    Run();
  }
  EXPECT_TRUE(received == expected) << received.size() << " of " << expected.size() << " bytes";
  EXPECT_GT(*refused, 0) << "the send buffer never filled; nothing resumed on readiness";
  int64_t sent = 0;
  for (const std::string& e : events_) {
    if (e.starts_with("out ")) sent += std::stoll(e.substr(4));
  }
  EXPECT_EQ(sent, static_cast<int64_t>(expected.size()));
  EXPECT_EQ(events_.back(), "data sent 300000");
}

// A file shorter than its announced length (cut while the answer was under way), and one that
// is gone: the bytes it had leave, the rest is taken back from ContentOut and the read-error
// handler ends the connection, over either kind of socket.
TEST_F(FileSendingTest, FileShorterThanAnnouncedEndsAsAReadError) {
  struct Case {
    const char* name;
    size_t fileSize;  // -1 for no file
    bool kernel;
  };
  const Case cases[] = {
      {"cut in the second piece, memory peer", 100000, false},
      {"cut in the second piece, kernel socket", 100000, true},
      {"cut at a piece boundary, memory peer", 64240, false},
      {"gone, memory peer", std::string::npos, false},
      {"gone, kernel socket", std::string::npos, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    providers_.clear();
    events_.clear();
    const std::string path = (folder_ / "short.bin").string();
    std::filesystem::remove(path);
    const std::string bytes = Bytes(c.fileSize == std::string::npos ? 0 : c.fileSize);
    if (c.fileSize != std::string::npos) MakeFile("short.bin", bytes);
    ServePieces(path, 200000, false);
    std::string received;
    if (c.kernel) {
      SocketPair pair;
      auto socket = std::make_unique<HandReportedSocket>(pair.server);
      const auto report = socket->handler_;
      auto& client = Connect(std::move(socket));
      ::send(pair.client, kRequest, sizeof kRequest - 1, 0);
      (*report)(EPOLLIN);
      Run();
      // Read to the end of the stream: the server closes once the file failed.
      char buffer[8192];
      for (;;) {
        pollfd readable{pair.client, POLLIN, 0};
        if (::poll(&readable, 1, 5000) <= 0) break;
        const ssize_t n = ::recv(pair.client, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) break;
        received.append(buffer, static_cast<size_t>(n));
        if (*report) (*report)(EPOLLOUT);  // no longer watched once closed
        Run();
      }
      EXPECT_TRUE(client.queue->Finished());
    } else {
      auto& client = Connect();
      received = Exchange(client, kRequest);
      EXPECT_TRUE(client.peer->ClosedByServer());
    }
    EXPECT_TRUE(received.starts_with(Head(200000)));
    EXPECT_TRUE(received.substr(std::min(received.size(), Head(200000).size())) == bytes);
    // A data-sent step already waiting may ask once more before the close comes.
    std::vector<std::string> errors;
    for (const std::string& e : events_) {
      if (e.starts_with("read error")) errors.push_back(e);
    }
    ASSERT_FALSE(errors.empty());
    for (const std::string& e : errors)
      EXPECT_EQ(e, "read error at " + std::to_string(bytes.size()));
  }
}

// Text, a file piece and text written in one event while nothing can leave go out in that order.
TEST_F(FileSendingTest, BytesWrittenBehindAWaitingPieceFollowIt) {
  const std::string path = MakeFile("f.bin", Bytes(1000));
  AnswerWith([&](Connection& c) {
    c.Response().SetContentLength(1010);
    c.Write("<<<<<");
    c.WriteFile(path, 0, 1000, nullptr);
    c.Write(">>>>>");
  });
  auto& client = Connect();
  client.peer->Limit(0);
  Exchange(client, kRequest);
  client.peer->Allow();
  Run();
  EXPECT_EQ(client.peer->Received(), Head(1010) + "<<<<<" + Bytes(1000) + ">>>>>");
}

// The answer's file stays open from its first piece to its last and no longer: not after the
// answer, and not after a client that left in the middle.
TEST_F(FileSendingTest, TheFileIsHeldForItsAnswerOnly) {
  const std::string bytes = Bytes(200000);
  ServePieces(MakeFile("f.bin", bytes), 200000, false);
  const size_t before = OpenDescriptors();
  auto& finishing = Connect();
  finishing.peer->Limit(kPiece + 1000);
  Exchange(finishing, kRequest);
  EXPECT_EQ(OpenDescriptors(), before + 1) << "one descriptor while the answer is under way";
  finishing.peer->Allow();
  Run();
  EXPECT_EQ(finishing.peer->Received(), Head(200000) + bytes);
  EXPECT_EQ(OpenDescriptors(), before);

  auto& leaving = Connect();
  leaving.peer->Limit(kPiece + 1000);
  Exchange(leaving, kRequest);
  EXPECT_EQ(OpenDescriptors(), before + 1);
  leaving.peer->Reset();
  Run();
  EXPECT_TRUE(leaving.peer->ClosedByServer());
  EXPECT_EQ(OpenDescriptors(), before);
}

// sendfile has no flag against SIGPIPE: a file sent to a peer that reset the connection fails
// the send and leaves no signal behind, though this process never ignored SIGPIPE.
TEST(PosixSocketTest, FileSentToAResetPeerFailsWithoutASignal) {
  const std::string path =
      (std::filesystem::path(::testing::TempDir()) / ("reset_" + std::to_string(::getpid())))
          .string();
  std::ofstream(path, std::ios::binary) << Bytes(1 << 20);
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  SocketPair pair;
  auto socket = MakePosixSocket(pair.server);
  linger hard{1, 0};
  ::setsockopt(pair.client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  ::close(pair.client);
  pair.client = -1;
  Socket::Status status = Socket::Status::kDone;
  for (int i = 0; i < 100 && status != Socket::Status::kFailed; ++i) {
    status = socket->SendFile(file, 0, 1 << 20).status;
  }
  EXPECT_EQ(status, Socket::Status::kFailed);
  sigset_t pending;
  sigpending(&pending);
  EXPECT_FALSE(sigismember(&pending, SIGPIPE));
  ::close(file);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace vidoria
