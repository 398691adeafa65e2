// The idle timer of a connection: closes it when no phase renewed the timer in time.
#pragma once

#include <chrono>

#include "server/timers.h"

namespace vidoria {

// Part of one Connection, used from its jobs only; the timers' own lock guards the timer itself,
// except for its postponement, which only these jobs write: postponing the deadline, what most
// phases do, takes no lock. When a tick finds the deadline passed, `onIdle` runs on the thread
// delivering ticks (the notifier) and must only post the timeout message.
class IdleTimer {
 public:
  explicit IdleTimer(Timers& timers) : timers_(timers) {}
  IdleTimer(const IdleTimer&) = delete;
  IdleTimer& operator=(const IdleTimer&) = delete;
  ~IdleTimer() { Stop(); }

  // Creates the timer, unarmed.
  void Start(Timers::Callback onIdle);
  // Entering a phase with `seconds` (see Timeout): > 0 sets the interval (restarting the period
  // when it differs), 0 only postpones the deadline, < 0 stops the ticks. Nothing before Start.
  void Apply(int seconds);
  void Stop();

 private:
  Timers& timers_;
  TimerId id_ = 0;
  Timers::Postponement* postponement_ = nullptr;  // the timer's, while id_ is
  int interval_ = 0;                              // seconds of the current period
};

}  // namespace vidoria
