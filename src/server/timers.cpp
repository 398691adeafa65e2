#include "server/timers.h"

#include <algorithm>

#include "server/log.h"

namespace vidoria {

Timers::Timers(std::function<Clock::time_point()> now, std::function<void()> wake)
    : now_(std::move(now)), wake_(std::move(wake)) {}

TimerId Timers::Create(Callback callback) {
  std::lock_guard lock(mu_);
  TimerId id = nextId_++;
  timers_.try_emplace(id).first->second.callback = std::move(callback);
  return id;
}

void Timers::Enable(TimerId id, std::chrono::milliseconds interval, bool autoDisable,
                    bool autoDestroy, Callback callback) {
  Arm(id, interval, autoDisable, autoDestroy, &callback);
}

void Timers::Restart(TimerId id, std::chrono::milliseconds interval) {
  Arm(id, interval, false, false, nullptr);
}

void Timers::EnableJob(TimerId id, std::chrono::milliseconds interval, bool autoDisable,
                       bool autoDestroy, JobFactory makeJob, std::weak_ptr<JobQueue> queue) {
  // Kept as one callback, so that the far more numerous plain timers (one per connection) carry
  // no room for a job factory and a queue.
  Callback callback = [makeJob = std::move(makeJob), queue = std::move(queue)] {
    if (auto target = queue.lock()) target->Post(makeJob());
  };
  Arm(id, interval, autoDisable, autoDestroy, &callback);
}

void Timers::Arm(TimerId id, std::chrono::milliseconds interval, bool autoDisable, bool autoDestroy,
                 Callback* callback) {
  // A zero period would tick without pause; like a system timer, round up to the shortest one.
  interval = std::max(interval, std::chrono::milliseconds(1));
  bool earliest = false;
  {
    std::lock_guard lock(mu_);
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    Timer& t = it->second;
    const auto now = now_();
    t.enabled = true;
    t.autoDisable = autoDisable;
    t.autoDestroy = autoDestroy;
    t.interval = interval;
    t.deadline = now + interval;
    t.postponedTo.store(0, std::memory_order_relaxed);
    t.nextTick = now + interval;
    ++t.generation;
    if (callback != nullptr) t.callback = std::move(*callback);
    DropStaleTicks();
    CompactTicksIfMostlyStale();
    earliest = ticks_.empty() || t.nextTick < ticks_.front().at;
    PushTick({t.nextTick, id, t.generation});
  }
  if (earliest && wake_) wake_();
}

void Timers::Reset(TimerId id) {
  std::lock_guard lock(mu_);
  auto it = timers_.find(id);
  if (it == timers_.end() || !it->second.enabled) return;
  it->second.deadline = now_() + it->second.interval;
}

Timers::Postponement* Timers::PostponementOf(TimerId id) {
  std::lock_guard lock(mu_);
  auto it = timers_.find(id);
  return it == timers_.end() ? nullptr : &it->second.postponedTo;
}

Timers::Clock::time_point Timers::DeadlineOf(const Timer& t) {
  const Clock::time_point postponed{Clock::duration(t.postponedTo.load(std::memory_order_relaxed))};
  return std::max(t.deadline, postponed);
}

void Timers::Disable(TimerId id) {
  std::lock_guard lock(mu_);
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second.enabled = false;
  ++it->second.generation;
  CompactTicksIfMostlyStale();
}

void Timers::Stop(TimerId id) {
  std::lock_guard lock(mu_);
  timers_.erase(id);
  CompactTicksIfMostlyStale();
}

bool Timers::Exists(TimerId id) const {
  std::lock_guard lock(mu_);
  return timers_.count(id) != 0;
}

bool Timers::Enabled(TimerId id) const {
  std::lock_guard lock(mu_);
  auto it = timers_.find(id);
  return it != timers_.end() && it->second.enabled;
}

size_t Timers::Count() const {
  std::lock_guard lock(mu_);
  return timers_.size();
}

size_t Timers::PendingTicks() const {
  std::lock_guard lock(mu_);
  return ticks_.size();
}

bool Timers::Live(const Tick& tick) const {
  auto it = timers_.find(tick.id);
  return it != timers_.end() && it->second.enabled && it->second.generation == tick.generation;
}

void Timers::PushTick(const Tick& tick) const {
  ticks_.push_back(tick);
  std::push_heap(ticks_.begin(), ticks_.end(), std::greater<Tick>());
}

void Timers::PopTick() const {
  std::pop_heap(ticks_.begin(), ticks_.end(), std::greater<Tick>());
  ticks_.pop_back();
}

void Timers::DropStaleTicks() const {
  while (!ticks_.empty() && !Live(ticks_.front())) PopTick();
}

void Timers::CompactTicksIfMostlyStale() const {
  // Each enabled timer has exactly one live tick, so more than twice the timers' count means
  // more than half the entries are stale; the slack keeps small heaps from being rebuilt often.
  constexpr size_t kSlack = 64;
  if (ticks_.size() <= 2 * timers_.size() + kSlack) return;
  std::erase_if(ticks_, [this](const Tick& tick) { return !Live(tick); });
  std::make_heap(ticks_.begin(), ticks_.end(), std::greater<Tick>());
  if (ticks_.capacity() > 2 * ticks_.size() + kSlack) ticks_.shrink_to_fit();
}

Timers::Clock::time_point Timers::NextTick() const {
  std::lock_guard lock(mu_);
  DropStaleTicks();
  return ticks_.empty() ? Clock::time_point::max() : ticks_.front().at;
}

Timers::Clock::time_point Timers::DeliverDue() {
  std::vector<Callback> firings;
  Clock::time_point next = Clock::time_point::max();
  {
    std::lock_guard lock(mu_);
    const auto now = now_();
    for (DropStaleTicks(); !ticks_.empty() && ticks_.front().at <= now; DropStaleTicks()) {
      const Tick tick = ticks_.front();
      PopTick();
      Timer& t = timers_.at(tick.id);
      // Ticks missed while the thread was busy collapse into this one, as system timers do.
      const auto missed = (now - tick.at) / t.interval;
      t.nextTick = tick.at + (missed + 1) * t.interval;
      if (now < DeadlineOf(t)) {
        PushTick({t.nextTick, tick.id, t.generation});
        continue;
      }
      t.deadline = now + t.interval;
      if (t.autoDisable) {
        t.enabled = false;
        ++t.generation;
      } else {
        PushTick({t.nextTick, tick.id, t.generation});
      }
      firings.push_back(t.callback);
      if (t.autoDestroy) timers_.erase(tick.id);
    }
    if (!ticks_.empty()) next = ticks_.front().at;
  }
  for (auto& firing : firings) {
    try {
      if (firing) firing();
    } catch (const std::exception& e) {
      LogException("Timer", e);
    }
  }
  return next;
}

}  // namespace vidoria
