// Timers whose ticks become callbacks or jobs.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "server/job_queue.h"

namespace vidoria {

using TimerId = uint64_t;

// A registry of timers. Each enabled timer has a periodic tick with its interval, counted from
// when it was enabled; a tick at or after the timer's deadline fires it and moves the deadline one
// interval on, a tick before the deadline is ignored. Reset therefore postpones firing without
// changing when ticks come, so a timer reset more often than its interval never fires.
//
// Every member may be called from any thread; one lock guards the registry, and callbacks run
// and jobs are posted after it was released, on the thread calling DeliverDue (the notifier).
// Operations on a stopped or unknown id do nothing. The one exception to the lock is a timer's
// postponement (see PostponementOf), an atomic its one owner writes and DeliverDue reads.
class Timers {
 public:
  using Clock = std::chrono::steady_clock;
  using Callback = std::function<void()>;
  using JobFactory = std::function<std::unique_ptr<Job>()>;

  // `now` is the clock (tests inject one); `wake` is called when a new tick is due earlier than
  // every tick scheduled before, so that the thread waiting for ticks can wait less.
  explicit Timers(std::function<Clock::time_point()> now = &Clock::now,
                  std::function<void()> wake = {});

  // `callback` is what Restart arms the timer with; Enable replaces it.
  TimerId Create(Callback callback = {});
  // Arms the timer: deadline and first tick one interval from now. On a tick that fires it,
  // auto-disable stops its ticks and auto-destroy removes it before the callback runs.
  void Enable(TimerId id, std::chrono::milliseconds interval, bool autoDisable, bool autoDestroy,
              Callback callback);
  // As Enable, but a firing tick posts a new job from `makeJob` to the tail of `queue`.
  void EnableJob(TimerId id, std::chrono::milliseconds interval, bool autoDisable, bool autoDestroy,
                 JobFactory makeJob, std::weak_ptr<JobQueue> queue);
  // As Enable with the timer's current callback, never auto-disabling or auto-destroying: for
  // owners that change a timer's interval often and would otherwise keep a copy of its callback.
  void Restart(TimerId id, std::chrono::milliseconds interval);
  // Moves the deadline to now + interval when the timer is enabled.
  void Reset(TimerId id);

  // A second deadline of the timer that needs no lock: the timer does not fire before the time
  // it holds (Clock ticks since the clock's epoch; 0 at Create and whenever the timer is armed).
  // Storing Now() + interval into it while the timer is enabled is Reset without the registry
  // lock, for timers reset far more often than they tick (a connection's idle timer is reset
  // several times per request, and all connections share the registry lock). Null for unknown
  // ids; valid until Stop(id). Only the timer's owner stores into it.
  using Postponement = std::atomic<Clock::rep>;
  Postponement* PostponementOf(TimerId id);
  Clock::time_point Now() const { return now_(); }
  void Disable(TimerId id);
  // Unregisters and frees the timer.
  void Stop(TimerId id);

  bool Exists(TimerId id) const;
  bool Enabled(TimerId id) const;
  size_t Count() const;
  // Entries in the tick heap, live or stale: what the registry holds beyond its timers.
  size_t PendingTicks() const;

  // Delivers every tick due by now and returns when the next tick is due (time_point::max() when
  // no timer is enabled).
  Clock::time_point DeliverDue();
  Clock::time_point NextTick() const;

 private:
  struct Timer {
    bool enabled = false;
    bool autoDisable = false;
    bool autoDestroy = false;
    std::chrono::milliseconds interval{0};
    Clock::time_point deadline;
    Clock::time_point nextTick;
    uint64_t generation = 0;      // bumped on every arm/disarm; older heap entries are stale
    Postponement postponedTo{0};  // the lock-free deadline (see PostponementOf)
    Callback callback;
  };
  struct Tick {
    Clock::time_point at;
    TimerId id;
    uint64_t generation;
    bool operator>(const Tick& other) const { return at > other.at; }
  };

  void Arm(TimerId id, std::chrono::milliseconds interval, bool autoDisable, bool autoDestroy,
           Callback* callback);  // nullptr: keep the timer's
  // Lock held: drops stale entries from the top of the heap.
  void DropStaleTicks() const;
  // Lock held. A tick goes stale when its timer is re-armed, disabled or stopped, and stays in
  // the heap until it would have come: after a burst of connections that is thousands of entries
  // for a whole idle interval, and the heap's storage would stay at the burst's size for ever.
  // Once most entries are stale, keeps the live ones only and gives the spare storage back.
  void CompactTicksIfMostlyStale() const;
  bool Live(const Tick& tick) const;
  void PushTick(const Tick& tick) const;
  void PopTick() const;
  // Lock held: the later of the timer's deadline and its postponement.
  static Clock::time_point DeadlineOf(const Timer& t);

  const std::function<Clock::time_point()> now_;
  const std::function<void()> wake_;
  mutable std::mutex mu_;  // the timer registry lock: guards everything below
  std::unordered_map<TimerId, Timer> timers_;
  mutable std::vector<Tick> ticks_;  // a heap by std::greater: the earliest tick first
  TimerId nextId_ = 1;
};

}  // namespace vidoria
