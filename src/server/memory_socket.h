// An in-memory peer for a connection's Socket: tests play the client on their own thread.
#pragma once

#include <sys/epoll.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "server/socket.h"

namespace vidoria::testing {

// The client's end. Whatever it does is reported to the connection's watch at once, as the
// kernel would; the connection's messages then wait in its queue until the test runs them.
class MemoryPeer {
 public:
  // Bytes for the server to receive.
  void Send(std::string_view bytes) {
    toServer_.append(bytes);
    Report(EPOLLIN);
  }
  // An orderly end: the server receives what was sent, then the end.
  void Close() {
    ended_ = true;
    Report(EPOLLIN | EPOLLRDHUP);
  }
  // An abort: the socket reports a hang-up and sends fail from now on.
  void Reset() {
    broken_ = true;
    Report(EPOLLHUP | EPOLLERR);
  }
  // The server's sends take at most `bytes` more (the client reads no further).
  void Limit(size_t bytes) { room_ = bytes; }
  // The client read on: sends take `bytes` more, and write readiness is reported.
  void Allow(size_t bytes = std::numeric_limits<size_t>::max()) {
    room_ = bytes;
    Report(EPOLLOUT);
  }

  // What the server sent so far.
  const std::string& Received() const { return fromServer_; }
  bool ClosedByServer() const { return closed_; }
  bool Watched() const { return static_cast<bool>(handler_); }

 private:
  friend class MemorySocket;
  void Report(uint32_t events) {
    if (handler_) handler_(events);
  }

  std::string toServer_, fromServer_;
  size_t room_ = std::numeric_limits<size_t>::max();
  bool ended_ = false, broken_ = false, closed_ = false;
  Notifier::Handler handler_;
};

class MemorySocket final : public Socket {
 public:
  explicit MemorySocket(std::shared_ptr<MemoryPeer> peer) : peer_(std::move(peer)) {}

  size_t Prepare(size_t limit) override { return limit; }
  bool LocalName(std::string& addr, std::string& port) override {
    addr = "127.0.0.1";
    port = "8080";
    return true;
  }
  bool PeerName(std::string& addr, std::string& port) override {
    addr = "127.0.0.1";
    port = "50000";
    return true;
  }
  void Watch(Notifier&, Notifier::Handler handler) override {
    peer_->handler_ = std::move(handler);
    // A new registration reports the readiness there is, as epoll does.
    peer_->Report(peer_->toServer_.empty() ? uint32_t{EPOLLOUT} : uint32_t{EPOLLOUT | EPOLLIN});
  }
  void Unwatch() override { peer_->handler_ = nullptr; }
  Result Receive(char* buffer, size_t size) override {
    if (!peer_->toServer_.empty()) {
      const size_t n = std::min(size, peer_->toServer_.size());
      std::memcpy(buffer, peer_->toServer_.data(), n);
      peer_->toServer_.erase(0, n);
      return {Status::kDone, n};
    }
    if (peer_->broken_) return {Status::kFailed, 0};
    return {peer_->ended_ ? Status::kClosed : Status::kWouldBlock, 0};
  }
  Result Send(const char* data, size_t size, bool /*more*/) override {
    if (peer_->broken_) return {Status::kFailed, 0};
    const size_t n = std::min(size, peer_->room_);
    if (n == 0) return {Status::kWouldBlock, 0};
    if (peer_->room_ != std::numeric_limits<size_t>::max()) peer_->room_ -= n;
    peer_->fromServer_.append(data, n);
    return {Status::kDone, n};
  }
  void Close() override {
    Unwatch();
    peer_->closed_ = true;
  }

 private:
  std::shared_ptr<MemoryPeer> peer_;
};

}  // namespace vidoria::testing
