#include "upnp/event_sender.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "library/case_fold.h"

namespace vidoria {

std::optional<CallbackAddress> ReadCallbackAddress(std::string_view url) {
  constexpr std::string_view kScheme = "http://";
  if (url.size() <= kScheme.size() ||
      !SameTextIgnoringCase(url.substr(0, kScheme.size()), kScheme)) {
    return std::nullopt;
  }
  url.remove_prefix(kScheme.size());
  const size_t slash = url.find('/');
  std::string_view authority = url.substr(0, slash);
  CallbackAddress address;
  address.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
  if (const size_t colon = authority.find(':'); colon != std::string_view::npos) {
    const std::string_view digits = authority.substr(colon + 1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
      return std::nullopt;
    }
    address.port = static_cast<uint16_t>(port);
    authority = authority.substr(0, colon);
  }
  in_addr parsed{};
  address.host = std::string(authority);
  if (::inet_pton(AF_INET, address.host.c_str(), &parsed) != 1) return std::nullopt;
  for (const char c : address.path) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) return std::nullopt;  // no header split
  }
  return address;
}

EventSender::EventSender() : stop_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  thread_ = std::thread([this] { Run(); });
}

EventSender::~EventSender() {
  {
    std::lock_guard hold(lock_);
    stopping_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  if (stop_.Valid()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(stop_.Get(), &one, sizeof one);
  }
  thread_.join();
}

void EventSender::Send(Event event) {
  {
    std::lock_guard hold(lock_);
    if (stopping_ || queue_.size() >= kMaxQueued) return;
    queue_.push_back(std::move(event));
  }
  wake_.notify_all();
}

uint64_t EventSender::Delivered() const {
  std::lock_guard hold(lock_);
  return delivered_;
}

void EventSender::Run() {
  std::unique_lock hold(lock_);
  while (true) {
    wake_.wait(hold, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    const Clock::time_point due = queue_.front().notBefore;
    if (Clock::now() < due) {
      wake_.wait_until(hold, due, [this] { return stopping_; });
      continue;
    }
    Event event = std::move(queue_.front());
    queue_.pop_front();
    hold.unlock();
    const bool delivered = Deliver(event);
    hold.lock();
    if (delivered) ++delivered_;
  }
}

bool EventSender::WaitFor(int fd, short events) {
  pollfd fds[2] = {{fd, events, 0}, {stop_.Get(), POLLIN, 0}};
  const int ready = ::poll(fds, stop_.Valid() ? 2 : 1, kWaitMilliseconds);
  return ready > 0 && (fds[0].revents & (events | POLLHUP | POLLERR)) != 0 &&
         (!stop_.Valid() || (fds[1].revents & POLLIN) == 0);
}

bool EventSender::Deliver(const Event& event) {
  const std::optional<CallbackAddress> address = ReadCallbackAddress(event.callback);
  if (!address) return false;
  UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) return false;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(address->port);
  ::inet_pton(AF_INET, address->host.c_str(), &peer.sin_addr);
  if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
    if (errno != EINPROGRESS || !WaitFor(socket.Get(), POLLOUT)) return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
      return false;
    }
  }
  std::string message = "NOTIFY " + address->path + " HTTP/1.1\r\nHOST: " + address->host + ":" +
                        std::to_string(address->port) +
                        "\r\nCONTENT-TYPE: text/xml; charset=\"utf-8\"\r\nNT: upnp:event\r\n"
                        "NTS: upnp:propchange\r\nSID: " +
                        event.sid + "\r\nSEQ: " + std::to_string(event.seq) +
                        "\r\nCONTENT-LENGTH: " + std::to_string(event.body.size()) +
                        "\r\nConnection: close\r\n\r\n" + event.body;
  for (size_t sent = 0; sent < message.size();) {
    const ssize_t n =
        ::send(socket.Get(), message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!WaitFor(socket.Get(), POLLOUT)) return false;
    } else {
      return false;
    }
  }
  // The status line is all that matters of the answer.
  std::string answer;
  char buffer[512];
  while (answer.find("\r\n") == std::string::npos && answer.size() < 4096) {
    const ssize_t n = ::recv(socket.Get(), buffer, sizeof buffer, 0);
    if (n > 0) {
      answer.append(buffer, static_cast<size_t>(n));
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!WaitFor(socket.Get(), POLLIN)) break;
    } else {
      break;
    }
  }
  const size_t space = answer.find(' ');
  return answer.starts_with("HTTP/") && space != std::string::npos && space + 1 < answer.size() &&
         answer[space + 1] == '2';
}

}  // namespace vidoria
