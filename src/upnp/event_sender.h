// Sends events (GENA NOTIFY requests) to the subscribers' callback addresses, one after another on
// a thread of its own, so that a subscriber that is slow or gone never holds up an answer. A
// message gets kWaitMilliseconds to connect and as long again for its answer; one that fails is
// dropped (its subscription stays until it expires, as subscribers expect). Only numeric IPv4
// callback addresses are used: no name is ever looked up for a stranger.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/unique_fd.h"

namespace vidoria {

// "http://A.B.C.D[:port][/path]" taken apart; nullopt for any other form.
struct CallbackAddress {
  std::string host;  // the dotted address
  uint16_t port = 80;
  std::string path;  // "/" when none was given
};
std::optional<CallbackAddress> ReadCallbackAddress(std::string_view url);

class EventSender {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kWaitMilliseconds = 1500;
  // Events waiting at most; more are dropped (a change sends one per subscriber).
  static constexpr size_t kMaxQueued = 256;

  struct Event {
    std::string callback;
    std::string sid;
    uint32_t seq = 0;
    std::string body;
    Clock::time_point notBefore;  // a first event waits until its subscription's answer is out
  };

  EventSender();
  EventSender(const EventSender&) = delete;
  EventSender& operator=(const EventSender&) = delete;
  // Drops what waits, cuts short what is being sent, and ends the thread.
  ~EventSender();

  // Any thread.
  void Send(Event event);
  // Events whose NOTIFY was answered with a 2xx status (for tests). Any thread.
  uint64_t Delivered() const;

 private:
  void Run();
  bool Deliver(const Event& event);  // sender thread
  // Waits until `fd` is ready for `events` or the time is up or the sender stops.
  bool WaitFor(int fd, short events);

  UniqueFd stop_;            // an eventfd, written once when the sender stops
  mutable std::mutex lock_;  // guards queue_, stopping_, delivered_
  std::condition_variable wake_;
  std::deque<Event> queue_;
  bool stopping_ = false;
  uint64_t delivered_ = 0;
  std::thread thread_;
};

}  // namespace vidoria
