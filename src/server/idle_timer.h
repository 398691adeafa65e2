// The idle timer of a connection: closes it when no phase renewed the timer in time.
#pragma once

#include <chrono>
#include <memory>

#include "server/timers.h"

namespace vidoria {

// Part of one Connection, used from its jobs only. A tick past the deadline posts the job made
// by `makeJob` (the timeout message) to the connection's queue; the timers' own lock guards the
// timer itself.
class IdleTimer {
 public:
  IdleTimer(Timers& timers, Timers::JobFactory makeJob)
      : timers_(timers), makeJob_(std::move(makeJob)) {}
  IdleTimer(const IdleTimer&) = delete;
  IdleTimer& operator=(const IdleTimer&) = delete;
  ~IdleTimer() { Stop(); }

  // Creates the timer, unarmed; `queue` receives its jobs.
  void Start(std::weak_ptr<JobQueue> queue);
  // Entering a phase with `seconds` (see Timeout): > 0 sets the interval (restarting the period
  // when it differs), 0 only postpones the deadline, < 0 stops the ticks. Nothing before Start.
  void Apply(int seconds);
  void Stop();

 private:
  Timers& timers_;
  Timers::JobFactory makeJob_;
  std::weak_ptr<JobQueue> queue_;
  TimerId id_ = 0;
  int interval_ = 0;  // seconds of the current period
};

}  // namespace vidoria
