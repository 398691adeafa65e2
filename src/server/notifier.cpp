#include "server/notifier.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "server/exceptions.h"
#include "server/log.h"

namespace vidoria {

class Notifier::Impl : public std::enable_shared_from_this<Notifier::Impl> {
 public:
  Impl() : timers_(&Timers::Clock::now, [this] { WakeOrStart(); }) {}

  ~Impl() {
    if (epfd_ >= 0) ::close(epfd_);
    if (wakefd_ >= 0) ::close(wakefd_);
    if (readyfd_ >= 0) ::close(readyfd_);
    if (stopfd_ >= 0) ::close(stopfd_);
  }

  void Start() {
    std::unique_lock lock(mu_);
    if (running_) return;
    if (epfd_ < 0) {
      epfd_ = ::epoll_create1(EPOLL_CLOEXEC);
      if (epfd_ < 0) throw EOutOfResources(std::string("epoll: ") + std::strerror(errno));
      wakefd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
      if (wakefd_ < 0) throw EOutOfResources(std::string("eventfd: ") + std::strerror(errno));
      epoll_event ev{};
      ev.events = EPOLLIN;
      ev.data.u64 = kWakeId;
      if (::epoll_ctl(epfd_, EPOLL_CTL_ADD, wakefd_, &ev) != 0) {
        throw EOutOfResources(std::string("epoll_ctl: ") + std::strerror(errno));
      }
      readyfd_ = ::epoll_create1(EPOLL_CLOEXEC);
      if (readyfd_ < 0) throw EOutOfResources(std::string("epoll: ") + std::strerror(errno));
      stopfd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
      if (stopfd_ < 0) throw EOutOfResources(std::string("eventfd: ") + std::strerror(errno));
      // Level-triggered: once written it wakes every readiness thread, each in turn.
      ev.data.u64 = kWakeId;
      if (::epoll_ctl(readyfd_, EPOLL_CTL_ADD, stopfd_, &ev) != 0) {
        throw EOutOfResources(std::string("epoll_ctl: ") + std::strerror(errno));
      }
    }
    uint64_t count;
    [[maybe_unused]] ssize_t r = ::read(stopfd_, &count, sizeof count);  // a past Stop's mark
    quit_ = false;
    done_ = false;
    try {
      thread_ = std::thread([self = shared_from_this()] { self->Loop(); });
    } catch (const std::system_error& e) {
      throw EOutOfResources(std::string("No notification thread: ") + e.what());
    }
    threadId_ = thread_.get_id();
    running_ = true;
    if (oneShotWatches_ > 0) StartReadinessThreads();
  }

  bool Running() const {
    std::lock_guard lock(mu_);
    return running_;
  }

  bool OnThread() const {
    std::lock_guard lock(mu_);
    return running_ && std::this_thread::get_id() == threadId_;
  }

  WatchId Watch(int fd, uint32_t events, Handler handler) {
    Start();
    std::lock_guard lock(mu_);
    WatchId id = nextWatch_++;
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = id;
    if (::epoll_ctl(epfd_, EPOLL_CTL_ADD, fd, &ev) != 0) {
      throw EOutOfResources(std::string("epoll_ctl: ") + std::strerror(errno));
    }
    watches_.emplace(id, Entry{fd, std::make_shared<Handler>(std::move(handler)), false});
    return id;
  }

  WatchId WatchOneShot(int fd, uint32_t events, Handler handler) {
    Start();
    std::lock_guard lock(mu_);
    StartReadinessThreads();
    if (readinessThreads_ == 0) throw EOutOfResources("No readiness thread");
    WatchId id = nextWatch_++;
    // Entered first: a report may come before epoll_ctl returns.
    watches_.emplace(id, Entry{fd, std::make_shared<Handler>(std::move(handler)), true});
    epoll_event ev{};
    ev.events = events | EPOLLONESHOT;
    ev.data.u64 = id;
    if (::epoll_ctl(readyfd_, EPOLL_CTL_ADD, fd, &ev) != 0) {
      const int error = errno;
      watches_.erase(id);
      throw EOutOfResources(std::string("epoll_ctl: ") + std::strerror(error));
    }
    ++oneShotWatches_;
    return id;
  }

  void Modify(WatchId id, uint32_t events) {
    std::lock_guard lock(mu_);
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    epoll_event ev{};
    ev.events = it->second.oneShot ? events | EPOLLONESHOT : events;
    ev.data.u64 = id;
    ::epoll_ctl(it->second.oneShot ? readyfd_ : epfd_, EPOLL_CTL_MOD, it->second.fd, &ev);
  }

  void Unwatch(WatchId id) {
    std::shared_ptr<Handler> handler;  // destroyed after the lock is released
    std::lock_guard lock(mu_);
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    ::epoll_ctl(it->second.oneShot ? readyfd_ : epfd_, EPOLL_CTL_DEL, it->second.fd, nullptr);
    if (it->second.oneShot) --oneShotWatches_;
    handler = std::move(it->second.handler);
    watches_.erase(it);
  }

  Timers& GetTimers() { return timers_; }

  void Stop(std::chrono::milliseconds wait, const std::function<void()>& pump) {
    std::unique_lock lock(mu_);
    if (!running_) return;
    quit_ = true;
    Wake();
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(stopfd_, &one, sizeof one);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    const auto allEnded = [&] { return done_ && readinessThreads_ == 0; };
    while (!allEnded() && std::chrono::steady_clock::now() < deadline) {
      if (pump) {
        lock.unlock();
        pump();
        lock.lock();
        doneCv_.wait_for(lock, std::chrono::milliseconds(5));
      } else {
        doneCv_.wait_until(lock, deadline);
      }
    }
    // Readiness threads still busy in a handler end on their own, holding the shared state.
    readinessThreads_ = 0;
    idleReadiness_ = 0;
    ++generation_;
    const bool ended = done_;
    std::thread thread = std::move(thread_);
    running_ = false;
    lock.unlock();
    if (ended) {
      thread.join();
    } else {
      thread.detach();  // it holds the shared state and ends on its own
    }
  }

 private:
  static constexpr uint64_t kWakeId = 0;
  struct Entry {
    int fd;
    std::shared_ptr<Handler> handler;
    bool oneShot;  // in readyfd_, served by the readiness threads
  };

  // Lock held. Brings the readiness threads up to their minimum; a thread that cannot be started
  // is left for the next call.
  void StartReadinessThreads() {
    while (readinessThreads_ < kMinReadinessThreads && StartReadinessThread()) {
    }
  }

  // Lock held.
  bool StartReadinessThread() {
    try {
      std::thread([self = shared_from_this(), generation = generation_] {
        self->ReadinessLoop(generation);
      }).detach();
    } catch (const std::system_error&) {
      return false;
    }
    ++readinessThreads_;
    ++idleReadiness_;
    return true;
  }

  // A readiness thread: waits in readyfd_ itself and runs the handler of what it learns of.
  void ReadinessLoop(uint64_t generation) {
    for (;;) {
      epoll_event event{};
      const int n = ::epoll_wait(readyfd_, &event, 1, -1);
      if (quit_.load()) break;
      if (n <= 0 || event.data.u64 == kWakeId) continue;
      std::shared_ptr<Handler> handler;
      {
        std::lock_guard lock(mu_);
        auto it = watches_.find(event.data.u64);
        if (it != watches_.end()) handler = it->second.handler;
        --idleReadiness_;
      }
      if (handler) {
        try {
          (*handler)(event.events);
        } catch (const std::exception& e) {
          LogException("Notification", e);
        }
      }
      handler.reset();
      std::lock_guard lock(mu_);
      if (generation != generation_) {
        doneCv_.notify_all();
        return;  // written off by a Stop while in the handler
      }
      ++idleReadiness_;
      ++readinessHandled_;
    }
    std::lock_guard lock(mu_);
    // A thread outlasting a Stop's wait was already written off.
    if (generation == generation_) {
      --readinessThreads_;
      --idleReadiness_;
    }
    doneCv_.notify_all();
  }

  // Notifier thread: one more readiness thread when every one was busy in handlers since the
  // last look without finishing any.
  void CheckReadiness() {
    std::lock_guard lock(mu_);
    if (readinessThreads_ > 0 && idleReadiness_ == 0 && readinessHandled_ == handledAtCheck_ &&
        readinessThreads_ < kMaxReadinessThreads) {
      StartReadinessThread();
    }
    handledAtCheck_ = readinessHandled_;
  }

  // Lock held or not; the eventfd is valid while the thread runs.
  void Wake() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakefd_, &one, sizeof one);
  }

  // A timer was armed earlier than every other: the loop must recompute its wait.
  void WakeOrStart() {
    Start();
    Wake();
  }

  void Loop() {
    epoll_event events[128];
    while (!quit_.load()) {
      int timeout = -1;
      auto next = timers_.NextTick();
      const auto now = Timers::Clock::now();
      if (HasReadinessThreads()) {
        if (now >= nextReadinessCheck_) {
          CheckReadiness();
          nextReadinessCheck_ = now + kReadinessCheck;
        }
        next = std::min(next, nextReadinessCheck_);
      }
      if (next != Timers::Clock::time_point::max()) {
        const auto left = next - Timers::Clock::now();
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        timeout = ms <= 0 ? 0 : static_cast<int>(std::min<long long>(ms, INT_MAX));
      }
      int n = ::epoll_wait(epfd_, events, 128, timeout);
      for (int i = 0; i < n; ++i) {
        if (events[i].data.u64 == kWakeId) {
          uint64_t count;
          [[maybe_unused]] ssize_t r = ::read(wakefd_, &count, sizeof count);
          continue;
        }
        std::shared_ptr<Handler> handler;
        {
          std::lock_guard lock(mu_);
          auto it = watches_.find(events[i].data.u64);
          if (it != watches_.end()) handler = it->second.handler;
        }
        if (!handler) continue;
        try {
          (*handler)(events[i].events);
        } catch (const std::exception& e) {
          LogException("Notification", e);
        }
      }
      timers_.DeliverDue();
    }
    std::lock_guard lock(mu_);
    done_ = true;
    doneCv_.notify_all();
  }

  bool HasReadinessThreads() const {
    std::lock_guard lock(mu_);
    return readinessThreads_ > 0;
  }

  Timers timers_;
  Timers::Clock::time_point nextReadinessCheck_;  // the notifier thread's own
  mutable std::mutex mu_;                         // guards everything below
  int epfd_ = -1;
  int wakefd_ = -1;
  std::unordered_map<WatchId, Entry> watches_;
  WatchId nextWatch_ = 1;
  std::thread thread_;
  std::thread::id threadId_;
  bool running_ = false;
  bool done_ = false;
  std::condition_variable doneCv_;
  std::atomic<bool> quit_{false};  // read by the loops without the lock
  // The readiness threads' epoll set and the eventfd that ends their waits; created with epfd_.
  int readyfd_ = -1;
  int stopfd_ = -1;
  int oneShotWatches_ = 0;
  int readinessThreads_ = 0;  // running and not written off by a Stop
  int idleReadiness_ = 0;     // of those, waiting in epoll_wait
  uint64_t readinessHandled_ = 0, handledAtCheck_ = 0;
  uint64_t generation_ = 0;  // bumped by each Stop
};

Notifier::Notifier() : impl_(std::make_shared<Impl>()) {}
Notifier::~Notifier() {
  Stop();
}
void Notifier::Start() {
  impl_->Start();
}
bool Notifier::Running() const {
  return impl_->Running();
}
bool Notifier::OnNotifierThread() const {
  return impl_->OnThread();
}
WatchId Notifier::Watch(int fd, uint32_t events, Handler handler) {
  return impl_->Watch(fd, events, std::move(handler));
}
void Notifier::Modify(WatchId id, uint32_t events) {
  impl_->Modify(id, events);
}
void Notifier::Unwatch(WatchId id) {
  impl_->Unwatch(id);
}
Timers& Notifier::GetTimers() {
  return impl_->GetTimers();
}
WatchId Notifier::WatchOneShot(int fd, uint32_t events, Handler handler) {
  return impl_->WatchOneShot(fd, events, std::move(handler));
}
void Notifier::Rearm(WatchId id, uint32_t events) {
  impl_->Modify(id, events);
}
void Notifier::Stop(std::chrono::milliseconds wait, const std::function<void()>& pump) {
  impl_->Stop(wait, pump);
}

}  // namespace vidoria
