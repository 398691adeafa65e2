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
    }
    quit_ = false;
    done_ = false;
    try {
      thread_ = std::thread([self = shared_from_this()] { self->Loop(); });
    } catch (const std::system_error& e) {
      throw EOutOfResources(std::string("No notification thread: ") + e.what());
    }
    threadId_ = thread_.get_id();
    running_ = true;
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
    watches_.emplace(id, Entry{fd, std::make_shared<Handler>(std::move(handler))});
    return id;
  }

  void Modify(WatchId id, uint32_t events) {
    std::lock_guard lock(mu_);
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = id;
    ::epoll_ctl(epfd_, EPOLL_CTL_MOD, it->second.fd, &ev);
  }

  void Unwatch(WatchId id) {
    std::shared_ptr<Handler> handler;  // destroyed after the lock is released
    std::lock_guard lock(mu_);
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    ::epoll_ctl(epfd_, EPOLL_CTL_DEL, it->second.fd, nullptr);
    handler = std::move(it->second.handler);
    watches_.erase(it);
  }

  Timers& GetTimers() { return timers_; }

  void Stop(std::chrono::milliseconds wait) {
    std::unique_lock lock(mu_);
    if (!running_) return;
    quit_ = true;
    Wake();
    const bool ended = doneCv_.wait_for(lock, wait, [&] { return done_; });
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
  };

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
      const auto next = timers_.NextTick();
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

  Timers timers_;
  mutable std::mutex mu_;  // guards everything below
  int epfd_ = -1;
  int wakefd_ = -1;
  std::unordered_map<WatchId, Entry> watches_;
  WatchId nextWatch_ = 1;
  std::thread thread_;
  std::thread::id threadId_;
  bool running_ = false;
  bool done_ = false;
  std::condition_variable doneCv_;
  std::atomic<bool> quit_{false};  // read by the loop without the lock
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
void Notifier::Stop(std::chrono::milliseconds wait) {
  impl_->Stop(wait);
}

}  // namespace vidoria
