// The byte stream under a connection, behind an interface so that tests can replace the kernel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "server/notifier.h"

namespace vidoria {

// One connected stream socket. Every member is called from the connection's own jobs; the
// readiness handler given to Watch runs on a readiness thread of the notifier (or, for a test
// peer, on the thread that feeds it), where it may run the connection's job itself.
class Socket {
 public:
  enum class Status {
    kDone,        // `bytes` moved (always > 0)
    kWouldBlock,  // nothing now; readiness will be reported again
    kClosed,      // receive only: the peer ended its side in order
    kFailed,      // the connection is broken
    kFileFailed,  // SendFile only: the file ended or could not be read at the offset
  };
  struct Result {
    Status status;
    size_t bytes;
  };

  virtual ~Socket() = default;

  // Applies the per-connection options once; returns the largest block one send should carry
  // (`limit`).
  virtual size_t Prepare(size_t limit) = 0;
  // IPv4 address and port of either end, as text; false when unknown.
  virtual bool LocalName(std::string& addr, std::string& port) = 0;
  virtual bool PeerName(std::string& addr, std::string& port) = 0;

  // Readiness for reading, writing, hang-up and errors, as epoll event masks. A kernel socket
  // reports hang-ups and errors only until the first Rearm, and after each report nothing until
  // the next Rearm; a test peer reports each change as it happens and ignores Rearm.
  virtual void Watch(Notifier& notifier, Notifier::Handler handler) = 0;
  // Asks for one report of `events` (EPOLLIN, EPOLLOUT, EPOLLRDHUP): at once when the socket is
  // ready now, else when it becomes so. Safe to call when not watched.
  virtual void Rearm(uint32_t events) { (void)events; }
  // After it returns no new readiness is reported; safe to call when not watched.
  virtual void Unwatch() = 0;

  virtual Result Receive(char* buffer, size_t size) = 0;
  // Never raises SIGPIPE and never blocks. `more`: further bytes follow at once (a file's), so
  // these may wait for them to fill a packet.
  virtual Result Send(const char* data, size_t size, bool more) = 0;
  // Sends up to `size` bytes of the file `fd` from `offset` (the descriptor's own position is
  // neither used nor moved), as Send does. This one reads the bytes and Sends them; the kernel
  // socket hands the file's pages over without copying them through the program.
  virtual Result SendFile(int fd, int64_t offset, size_t size);

  // Ends both directions and releases the socket; the destructor releases it without that.
  virtual void Close() = 0;
};

// For a program's start, before its threads: SIGPIPE is ignored for the whole process (a send to
// a broken connection fails with EPIPE instead), so file sends need not hold it back on their
// thread around every call. Without it they do, and the process is just as safe.
void IgnoreBrokenPipeSignal();

// The kernel socket `fd` (non-blocking), owned from now on.
std::unique_ptr<Socket> MakePosixSocket(int fd);

}  // namespace vidoria
