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
//
// One-shot watches (WatchOneShot) are served instead by readiness threads that wait in epoll
// themselves, on a second epoll set: the thread that learns of a readiness runs its handler, and
// that handler may run program code (a connection's job, see JobQueue::RunOrPost) and may block.
// A watch reports one readiness and then nothing until Rearm, so one handler call per watch runs
// at a time. There are at least kMinReadinessThreads of them; when every one is busy in a handler
// and none finished one since the notifier thread's last look (every kReadinessCheck), one more
// is started, up to kMaxReadinessThreads, so that handlers that block do not stall the others.
// They end only with Stop.
class Notifier {
 public:
  // Called with the epoll event mask (EPOLLIN, EPOLLOUT, EPOLLHUP, ...).
  using Handler = std::function<void(uint32_t events)>;
  static constexpr std::chrono::milliseconds kStopWait{10000};
  static constexpr int kMinReadinessThreads = 2;
  static constexpr int kMaxReadinessThreads = 64;
  static constexpr std::chrono::milliseconds kReadinessCheck{50};

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
  // Registers `fd` for one report of `events` (may be 0: only hang-ups and errors), delivered on a
  // readiness thread; later reports wait for Rearm. Throws as Watch, or EOutOfResources when no
  // readiness thread can be started.
  WatchId WatchOneShot(int fd, uint32_t events, Handler handler);
  // Arms a one-shot watch again for `events`: readiness there is now is reported at once.
  void Rearm(WatchId id, uint32_t events);

  // The timers whose ticks this thread delivers; arming one starts the thread.
  Timers& GetTimers();

  // Ends the thread and the readiness threads, waiting up to `wait` for them and calling `pump`
  // (when given) every few milliseconds meanwhile, so that a handler waiting for the caller's
  // thread can finish. Watches and timers stay registered but are not served until Start is
  // called again.
  void Stop(std::chrono::milliseconds wait = kStopWait, const std::function<void()>& pump = {});

 private:
  class Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace vidoria
