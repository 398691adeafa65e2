// The notification thread: one epoll loop that turns socket readiness and timer ticks into work.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "server/timers.h"

namespace vidoria {

using WatchId = uint64_t;

// One background thread, started by the first Watch or timer that needs it. Handlers and timer
// callbacks run on that thread and must only hand work on (post jobs); they never block.
// Every member may be called from any thread.
class Notifier {
 public:
  // Called with the epoll event mask (EPOLLIN, EPOLLOUT, EPOLLHUP, ...).
  using Handler = std::function<void(uint32_t events)>;
  static constexpr std::chrono::milliseconds kStopWait{10000};

  Notifier();
  Notifier(const Notifier&) = delete;
  Notifier& operator=(const Notifier&) = delete;
  ~Notifier();  // Stop()

  // Starts the thread when it is not running and waits until it is ready. Throws
  // EOutOfResources when the thread or its epoll set cannot be created.
  void Start();
  bool Running() const;
  bool OnNotifierThread() const;

  // Registers `fd` for `events`; the fd stays owned by the caller, who must Unwatch before
  // closing it. Throws EOutOfResources when the kernel refuses the registration.
  WatchId Watch(int fd, uint32_t events, Handler handler);
  void Modify(WatchId id, uint32_t events);
  // After Unwatch returns, the handler is not called for new events; a call already under way on
  // the notifier thread may still finish, so handlers hold their targets weakly.
  void Unwatch(WatchId id);

  // The timers whose ticks this thread delivers; arming one starts the thread.
  Timers& GetTimers();

  // Ends the thread, waiting up to `wait` for it. Watches and timers stay registered but are not
  // served until Start is called again.
  void Stop(std::chrono::milliseconds wait = kStopWait);

 private:
  class Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace vidoria
