#include "server/idle_timer.h"

namespace vidoria {

void IdleTimer::Start(Timers::Callback onIdle) {
  id_ = timers_.Create(std::move(onIdle));
  postponement_ = timers_.PostponementOf(id_);
}

void IdleTimer::Apply(int seconds) {
  if (!id_) return;
  if (seconds > 0 && seconds != interval_) {
    interval_ = seconds;
    timers_.Restart(id_, std::chrono::seconds(seconds));
  } else if (seconds == 0 || seconds == interval_) {
    // Timers::Reset without the lock. Before the first period the timer is not enabled and a
    // reset does nothing; after Disable the stored time is cleared when it is armed again.
    if (interval_ > 0) {
      postponement_->store(
          (timers_.Now() + std::chrono::seconds(interval_)).time_since_epoch().count(),
          std::memory_order_relaxed);
    }
  } else {
    timers_.Disable(id_);
  }
}

void IdleTimer::Stop() {
  if (id_) timers_.Stop(id_);
  id_ = 0;
  postponement_ = nullptr;
}

}  // namespace vidoria
